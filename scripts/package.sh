#!/usr/bin/env bash
# Makes what users install, in build/dist/ (made anew each time):
#   tarvelmin_<version>_amd64.deb       the Debian package (CPack, from the linux preset)
#   tarvelmin_<version>_arm64.deb       the same for 64-bit ARM (from the linux-arm64 preset)
#   tarvelmin-<version>-windows.zip     the 32- and 64-bit tarvelmin.exe and a README.txt
#   tarvelmin-<version>-web/, .zip      the web page, for any static web server
# Installs what is missing and builds what it packs first; ends with a list
# of what it made and the sizes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
source scripts/needs.sh
# CPack's Debian generator works out the dependencies with file and dpkg-shlibdeps.
needs cmake cpack file dpkg-shlibdeps aarch64-linux-gnu-g++ rsvg-convert icotool i686-w64-mingw32-windres x86_64-w64-mingw32-windres
bash scripts/web-deps.sh

build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$@"
}
build linux tarvelmin tarvelmin-record icons
build linux-arm64 tarvelmin tarvelmin-record icons
build win32 tarvelmin
build win64 tarvelmin
build web tarvelmin

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
[ -n "$version" ] || { echo "package: no project version in build/linux/CMakeCache.txt" >&2; exit 1; }
dist="$root/build/dist"
work="$root/build/package-work"
rm -rf "$dist" "$work"
mkdir -p "$dist" "$work"

# The Debian packages; CPack's own working files stay out of dist/. The
# arm64 one's dependencies come from its arm64 programs and the arm64
# libraries installed here.
for arch in amd64 arm64; do
  preset=linux
  [ "$arch" = amd64 ] || preset=linux-$arch
  cpack --config "build/$preset/CPackConfig.cmake" -B "$work/deb-$arch" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
  mv "$work/deb-$arch/tarvelmin_${version}_$arch.deb" "$dist/"
done

# Windows: each architecture's program, stripped, in a folder of its own.
win="$work/windows/tarvelmin-$version"
for arch in win32 win64; do
  cmake --install "build/$arch" --prefix "$win/$arch" --strip >/dev/null
done
cp build/win64/README.txt "$win/"
(cd "$work/windows" && cmake -E tar cf "$dist/tarvelmin-$version-windows.zip" --format=zip "tarvelmin-$version")

# The web page as it is, a folder and a zip of it.
cp -r build/web/page "$dist/tarvelmin-$version-web"
(cd "$dist" && cmake -E tar cf "tarvelmin-$version-web.zip" --format=zip "tarvelmin-$version-web")
rm -rf "$work"

echo "package: made in build/dist/:"
for item in "$dist"/*; do
  printf '  %-36s %8s\n' "$(basename "$item")$([ -d "$item" ] && echo /)" \
    "$(du -s --apparent-size -B1 "$item" | cut -f1 | numfmt --to=iec-i --suffix=B)"
done
