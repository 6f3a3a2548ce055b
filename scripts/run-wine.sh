#!/usr/bin/env bash
# Runs Windows executables under Wine on a private Xvfb display, with a Wine
# prefix of our own under build/, inside a Wine virtual desktop (windows
# behave as on a plain Windows desktop, with no X window manager in the way).
# Usage: scripts/run-wine.sh program.exe [args...]; the exit code is the program's.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installer prompts

# A free display number: no lock file and no socket.
display=""
for n in $(seq 90 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "run-wine: no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  DISPLAY="$display" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb_pid" >/dev/null 2>&1 || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"

if [ ! -f "$WINEPREFIX/.tarvelmin-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Every program runs in one 1024 x 768 virtual desktop.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  # A crash ends the program instead of waiting on a dialog nobody sees.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
  # DirectDraw through GDI: no OpenGL on a virtual X server.
  wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tarvelmin-ready"
fi

status=0
timeout --kill-after=10 "${WINE_TIMEOUT:-600}" wine "$@" || status=$?
exit $status
