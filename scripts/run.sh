#!/usr/bin/env bash
# Installs what is missing, builds everything (Linux, and tarvelmin.exe for
# 32- and 64-bit Windows), and shows the program: in a window when there is a display
# (X11 or Wayland); otherwise it records one lap on the headless host and
# says where the pictures are. Arguments go to tarvelmin-record (see its
# --help), e.g. --client 320x240.
# scripts/run.sh --web [PORT] instead builds the web page and serves it on
# 127.0.0.1 (port 8080 unless given), printing its address; Ctrl-C ends it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

if [ "${1:-}" = --web ]; then
  port=${2:-8080}
  case $port in
    '' | *[!0-9]*) echo "run: --web takes a port number, not '$port'" >&2; exit 2 ;;
  esac
  if [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then echo "run: port $port is out of range" >&2; exit 2; fi
  bash scripts/web-deps.sh
  cmake --preset web >/dev/null
  cmake --build --preset web --target tarvelmin
  echo "tarvelmin in a web page: http://127.0.0.1:$port/ (build/web/page/, any static web server will do; Ctrl-C ends this one)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/page
fi
cmake --preset linux >/dev/null
cmake --build --preset linux
for arch in win32 win64; do
  cmake --preset $arch >/dev/null
  cmake --build --preset $arch
done

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ $# -eq 0 ]; then
  echo "Opening tarvelmin: close its window to end it."
  if build/linux/tarvelmin; then exit 0; fi
  echo "No window could be opened (see above); recording a lap instead."
fi

out="$root/build/lap"
build/linux/tools/tarvelmin-record --out "$out" "$@"
echo "One lap of tarvelmin: $out/frame-*.png, and $out/orbit.gif (loops at 10 frames a second)."
echo "The Windows programs are build/win32/tarvelmin.exe (32-bit) and build/win64/tarvelmin.exe (64-bit):"
echo "each runs on its own on Windows."
# Under Wine, the 32-bit one, the program we ship first, where this machine
# can run 32-bit programs (only running Wine's loader tells).
for arch in win32 win64; do
  if why=$(scripts/run-wine.sh --check $arch 2>&1); then
    echo "Here, under Wine: scripts/run-wine.sh build/$arch/tarvelmin.exe"
    exit 0
  fi
  echo "(${why})"
done
echo "No Windows program can run under Wine here."
