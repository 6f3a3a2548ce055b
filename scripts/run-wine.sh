#!/usr/bin/env bash
# Runs Windows executables under Wine on a private Xvfb display, inside a Wine
# virtual desktop (windows behave as on a plain Windows desktop, with no X
# window manager in the way). The program's architecture (32- or 64-bit, read
# from its PE header) picks Wine's loader for it directly, not Debian's `wine`
# wrapper, which takes the 32-bit loader whenever it is installed, even where
# the kernel cannot run it; and each architecture has a prefix of its own
# (64-bit Wine refuses a 32-bit prefix): build/wineprefix-win32 and
# build/wineprefix-win64, or WINEPREFIX-win32/-win64 when WINEPREFIX is set,
# so that runs side by side can keep apart.
#
# Usage: scripts/run-wine.sh program.exe [args...]; the exit code is the program's.
#        scripts/run-wine.sh --check win32|win64: exit code 0 when Windows
#          programs of that architecture run here, else one line saying why,
#          with exit code 1 (this machine cannot) or 2 (Wine's loader for it
#          is not installed).
#          It runs the loader, since only running a program tells;
#          TARVELMIN_WINE_SKIP="win32 ..." says no on purpose.
#        scripts/run-wine.sh --prepare win32|win64 only prepares that prefix
#          (bench/cpu-use's too).
# WINE_DESKTOP=none runs it without the virtual desktop instead.
# XVFB_WAIT bounds the wait for the X server (seconds, default 60), WINE_TIMEOUT
# the program's run and each step of preparing the prefix (default 600).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
wine_lib=${TARVELMIN_WINE_LIB:-/usr/lib/wine}
export WINEDEBUG=-all
# Wine takes its code page from the locale; the tests expect Windows' Western one.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installer prompts
limit=${WINE_TIMEOUT:-600}

fail() {
  echo "run-wine: $*" >&2
  exit 1
}

# Wine's loader for an architecture.
loader_of() {
  case $1 in
    win32) echo "$wine_lib/wine" ;;
    win64) echo "$wine_lib/wine64" ;;
    *) fail "unknown architecture '$1' (win32 or win64)" ;;
  esac
}

# The architecture of a Windows executable: the Machine field of its PE header.
arch_of() {
  local exe=$1 at sig machine
  [ -f "$exe" ] || fail "$exe: no such file"
  at=$(od -An -t u4 -j 60 -N 4 "$exe" 2>/dev/null | tr -d ' ')
  sig=$(od -An -t x1 -j "${at:-0}" -N 4 "$exe" 2>/dev/null | tr -d ' ')
  [ "$sig" = 50450000 ] || fail "$exe is not a Windows executable"
  machine=$(od -An -t x2 -j $((at + 4)) -N 2 "$exe" | tr -d ' ')
  case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) fail "$exe is for machine type 0x$machine, neither i386 nor x86-64" ;;
  esac
}

# Can Windows programs of this architecture run here? Says why not, in one line.
check() {
  local arch=$1 loader bits said status=0
  loader=$(loader_of "$arch") || exit 1
  bits=${arch#win}
  local skip=${TARVELMIN_WINE_SKIP:-}
  case " ${skip//,/ } " in
    *" $arch "*)
      echo "$arch: skipped on purpose (TARVELMIN_WINE_SKIP=$TARVELMIN_WINE_SKIP)"
      return 1 ;;
  esac
  if [ ! -e "$loader" ]; then
    # Not a limit of this machine: an install step is missing.
    echo "$arch: Wine's $bits-bit loader ($loader) is not installed (Debian package $([ "$arch" = win32 ] && echo wine32:i386 || echo wine64); bash scripts/setup.sh installs it)"
    return 2
  fi
  # Through bash, not straight from timeout: execvp would hand a binary the
  # kernel refuses to /bin/sh and report a syntax error instead.
  said=$(timeout 120 bash -c '"$0" --version' "$loader" 2>&1) || status=$?
  if [ "$status" -ne 0 ]; then
    case $said in
      *"Exec format error"* | *"cannot execute binary file"*) said="the kernel refuses $bits-bit x86 programs (Exec format error)" ;;
      "") said="exit status $status" ;;
    esac
    echo "$arch: $bits-bit Windows programs cannot run here: $loader --version failed: $(echo "$said" | head -n 1)"
    return 1
  fi
  return 0
}

case ${1:-} in
  --check)
    [ $# -eq 2 ] || fail "usage: run-wine.sh --check win32|win64"
    check "$2"
    exit ;;
  --prepare)
    [ $# -eq 2 ] || fail "usage: run-wine.sh --prepare win32|win64"
    arch=$2 ;;
  "" | -*) fail "usage: run-wine.sh program.exe [args...] (or --check / --prepare win32|win64)" ;;
  *) arch=$(arch_of "$1") ;;
esac
loader=$(loader_of "$arch")
export WINEARCH=$arch
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}-$arch"
export WINESERVER="$wine_lib/wineserver"
# Xvfb's own words, for a failure that is its.
xvfb_said() {
  if [ -s "$work/xvfb.log" ]; then sed 's/^/  /' "$work/xvfb.log" >&2; else echo "  (nothing)" >&2; fi
}

work=$(mktemp -d)
xvfb_pid=""
wine_started=""
cleanup() {
  [ -z "$wine_started" ] || "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

source "$root/scripts/needs.sh"
needs Xvfb xdpyinfo timeout || exit 1

# Xvfb picks a free display itself and writes its number once it listens.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!

# Listening is not yet serving: wait until a client is actually answered.
# A busy machine can take its time, so the deadline is generous; a server
# that dies or never answers stops the run here, not in Wine later.
deadline=$((SECONDS + ${XVFB_WAIT:-60}))
display=""
while :; do
  if [ -z "$display" ] && [ "$(wc -l <"$work/display")" -ge 1 ]; then
    display=":$(head -n 1 "$work/display")"
  fi
  if [ -n "$display" ] && DISPLAY="$display" timeout 20 xdpyinfo >/dev/null 2>&1; then break; fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    status=0
    wait "$xvfb_pid" || status=$?
    xvfb_pid=""
    echo "run-wine: Xvfb exited (status $status) before its display answered; its output:" >&2
    xvfb_said
    exit 1
  fi
  if [ "$SECONDS" -gt "$deadline" ]; then
    echo "run-wine: Xvfb${display:+ on $display} did not answer within ${XVFB_WAIT:-60} s; its output:" >&2
    xvfb_said
    exit 1
  fi
  sleep 0.2
done
export DISPLAY="$display"

# One step of preparing the prefix; a failed step leaves the prefix unmarked,
# so the next run prepares it again.
prepare() {
  local what=$1 status=0
  shift
  timeout --kill-after=10 "$limit" "$@" >>"$work/prefix.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "run-wine: preparing the Wine prefix $WINEPREFIX failed at $what (status $status); its output:" >&2
    tail -n 30 "$work/prefix.log" | sed 's/^/  /' >&2
    exit 1
  fi
}

if [ ! -f "$WINEPREFIX/.tarvelmin-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wine_started=1
  prepare wineboot "$loader" wineboot -i
  # wineboot may return while the prefix is still being filled; a reg run
  # meanwhile finds no reg.exe ("Application could not be started").
  prepare "wineboot's end" "$WINESERVER" -w
  # Every program runs in one 1024 x 768 virtual desktop.
  prepare "the desktop key" "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
  prepare "the desktop size" "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
  # A crash ends the program instead of waiting on a dialog nobody sees.
  prepare "the crash dialog" "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  prepare "the debugger" "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /d '' /f
  # DirectDraw through GDI: no OpenGL on a virtual X server.
  prepare "the renderer" "$loader" reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f
  prepare "wineserver -w" "$WINESERVER" -w
  touch "$WINEPREFIX/.tarvelmin-ready"
fi
[ "$1" != --prepare ] || exit 0

# WINE_DESKTOP=none: windows go straight onto the X display, with no virtual
# desktop, from a copy of the prefix without the desktop key.
if [ "${WINE_DESKTOP:-}" = none ]; then
  bare="$WINEPREFIX-no-desktop"
  if [ ! -f "$bare/.tarvelmin-ready" ]; then
    "$WINESERVER" -w
    rm -rf "$bare"
    cp -a "$WINEPREFIX" "$bare"
    rm -f "$bare/.tarvelmin-ready"
    export WINEPREFIX="$bare"
    prepare "the desktop key, removed" "$loader" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f
    prepare "wineserver -w" "$WINESERVER" -w
    touch "$bare/.tarvelmin-ready"
  fi
  export WINEPREFIX="$bare"
fi

wine_started=1
status=0
timeout --kill-after=10 "$limit" "$loader" "$@" || status=$?
[ "$status" -ne 124 ] || echo "run-wine: $1 ran past $limit s and was stopped" >&2
exit $status
