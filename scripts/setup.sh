#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Quick when everything is already there: it only calls apt-get for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libsdl2-dev libx11-dev libwayland-dev libdecor-0-plugin-1-cairo weston libxtst-dev
  libpixman-1-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libgif-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick
  emscripten nodejs dpkg-dev chromium python3
  librsvg2-bin icoutils desktop-file-utils appstream groff-base mmdebstrap xdotool
)

# Changes to the system go through sudo unless we are root already.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# The web build compiles pixman and FreeType from Debian's source packages.
sources=/etc/apt/sources.list.d/tarvelmin-sources.sources
fresh_sources=""
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$sources" >/dev/null
  fresh_sources=1
fi

missing=()
for p in "${packages[@]}"; do
  # dpkg-query answers per architecture when the name carries one.
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Debian's nodejs comes without npm (the browser tests install puppeteer-core
# with it); other builds of node bring their own and conflict with Debian's.
command -v npm >/dev/null || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  [ -z "$fresh_sources" ] || $SUDO apt-get update -qq
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
