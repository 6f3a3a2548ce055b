#!/usr/bin/env bash
# Builds what the web configuration links that Debian ships only for Linux:
# pixman and FreeType, compiled for wasm32 with Emscripten from Debian's own
# source packages (fetched with apt-get source, so deb-src must be enabled:
# scripts/setup.sh does it), into build/web-deps/prefix. Also seeds a cache of
# Emscripten's system libraries of our own, build/web-deps/em-cache, from
# Debian's frozen one (symlinks), so a library it lacks can still be built.
# Quick when done already: a stamp per library.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/needs.sh"
needs em-config emcmake emmake dpkg-source xz
deps="$root/build/web-deps"
prefix="$deps/prefix"
src="$deps/src"
mkdir -p "$prefix" "$src"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export NODE_OPTIONS=${NODE_OPTIONS:---no-experimental-fetch}
# Debian's cache, asked before ours is named.
system=$(env -u EM_CACHE em-config CACHE 2>/dev/null || echo /usr/share/emscripten/cache)
export EM_CACHE="$deps/em-cache"

# Our cache: Debian's, linked file by file, so nothing of it is copied.
if [ ! -f "$EM_CACHE/.seeded" ]; then
  rm -rf "$EM_CACHE"
  [ -d "$system" ] || { echo "web-deps: Emscripten's cache $system is missing" >&2; exit 1; }
  mkdir -p "$EM_CACHE"
  (cd "$system" && find . -type d) | while read -r d; do mkdir -p "$EM_CACHE/$d"; done
  (cd "$system" && find . \( -type f -o -type l \) ! -name cache.lock) | while read -r f; do
    ln -s "$system/$f" "$EM_CACHE/$f"
  done
  touch "$EM_CACHE/.seeded"
fi

# The upstream tarball of a source package, verified by apt against the
# package's .dsc. Debian's diff may be missing from the archive (pixman's
# is); we build upstream's sources as they are, so the tarball is enough.
fetch() {
  local package=$1 tarball
  tarball=$(ls "$src"/"${package}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | grep -v -- '-ft2' | head -n 1 || true)
  if [ -z "$tarball" ]; then
    (cd "$src" && apt-get source --download-only "$package" >"$src/$package.fetch.log" 2>&1) || true
    tarball=$(ls "$src"/"${package}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | grep -v -- '-ft2' | head -n 1 || true)
    if [ -z "$tarball" ]; then
      echo "web-deps: could not fetch the source of $package; apt-get said:" >&2
      tail -n 5 "$src/$package.fetch.log" >&2
      exit 1
    fi
  fi
  rm -rf "$src/$package"
  mkdir -p "$src/$package"
  tar -xf "$tarball" -C "$src/$package" --strip-components=1
}

if [ ! -f "$prefix/.pixman" ]; then
  echo "web-deps: pixman for wasm32" >&2
  fetch pixman
  (cd "$src/pixman" &&
    emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$prefix" --disable-shared --enable-static \
      --disable-openmp --disable-loongson-mmi --disable-mmx --disable-sse2 --disable-ssse3 --disable-vmx \
      --disable-arm-simd --disable-neon --disable-a64-neon --disable-iwmmxt --disable-mips-dspr2 \
      --disable-gcc-inline-asm --disable-gtk --disable-libpng --disable-timers >"$src/pixman.build.log" 2>&1 &&
    emmake make -C pixman -j"$(nproc)" install >>"$src/pixman.build.log" 2>&1) ||
    { echo "web-deps: building pixman failed; the end of its log:" >&2; tail -n 30 "$src/pixman.build.log" >&2; exit 1; }
  touch "$prefix/.pixman"
fi

# FreeType with only what draws our one TrueType face: the TrueType driver,
# its tables, the autofitter and the anti-aliasing renderer; no drivers for
# other formats, compressed or resource-fork fonts, variations, bitmaps or
# colour, which the page would only carry. Hinting is left as Debian's.
if [ ! -f "$prefix/.freetype-truetype-only" ]; then
  echo "web-deps: FreeType for wasm32" >&2
  fetch freetype
  printf 'FT_USE_MODULE( %s )\n' 'FT_Module_Class, autofit_module_class' 'FT_Driver_ClassRec, tt_driver_class' \
    'FT_Module_Class, sfnt_module_class' 'FT_Renderer_Class, ft_smooth_renderer_class' \
    >"$src/freetype/include/freetype/config/ftmodule.h"
  for option in FT_CONFIG_OPTION_USE_LZW FT_CONFIG_OPTION_USE_ZLIB FT_CONFIG_OPTION_POSTSCRIPT_NAMES \
      FT_CONFIG_OPTION_ADOBE_GLYPH_LIST FT_CONFIG_OPTION_MAC_FONTS FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK \
      FT_CONFIG_OPTION_INCREMENTAL FT_CONFIG_OPTION_SVG TT_CONFIG_OPTION_EMBEDDED_BITMAPS TT_CONFIG_OPTION_COLOR_LAYERS \
      TT_CONFIG_OPTION_POSTSCRIPT_NAMES TT_CONFIG_OPTION_GX_VAR_SUPPORT TT_CONFIG_OPTION_BDF; do
    sed -i "s|^#define $option\$|/* #undef $option */|" "$src/freetype/include/freetype/config/ftoption.h"
  done
  rm -rf "$src/freetype-build"
  (emcmake cmake -S "$src/freetype" -B "$src/freetype-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >"$src/freetype.build.log" 2>&1 &&
    cmake --build "$src/freetype-build" --target install >>"$src/freetype.build.log" 2>&1) ||
    { echo "web-deps: building FreeType failed; the end of its log:" >&2; tail -n 30 "$src/freetype.build.log" >&2; exit 1; }
  touch "$prefix/.freetype-truetype-only"
fi
