#!/usr/bin/env bash
# Runs a 64-bit ARM Linux program (the linux-arm64 build) on this machine
# under qemu's user-mode emulator, with the arm64 libraries installed beside
# the native ones (multiarch); the kernel need not know arm64 programs.
#
# Usage: scripts/run-arm64.sh program [args...]; the exit code is the program's.
#        scripts/run-arm64.sh --check: exit code 0 when the emulator runs an
#          arm64 program here, else one line saying why, with exit code 1
#          (this machine cannot) or 2 (the emulator or the cross compiler
#          is not installed). Only running one tells: it builds a tiny
#          static arm64 program once (build/arm64-probe/) and runs it.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/needs.sh"
emulator=qemu-aarch64-static

if [ "${1:-}" != --check ]; then
  [ $# -gt 0 ] || { echo "usage: $0 program [args...] | --check" >&2; exit 2; }
  needs "$emulator" || exit 127
  exec "$emulator" "$@"
fi

why=$(needs "$emulator" aarch64-linux-gnu-gcc 2>&1) || { echo "arm64: ${why#*: }"; exit 2; }
probe="$root/build/arm64-probe"
mkdir -p "$probe"
if [ ! -x "$probe/probe" ]; then
  # It answers with a word of its own, so that nothing else passes for it.
  printf '%s\n' '#include <stdio.h>' 'int main(void) { puts("arm64"); return 0; }' >"$probe/probe.c"
  aarch64-linux-gnu-gcc -static -o "$probe/probe.new" "$probe/probe.c" 2>"$probe/cc.log" ||
    { echo "arm64: the cross compiler cannot build a static arm64 program: $(head -n 1 "$probe/cc.log")"; exit 2; }
  mv "$probe/probe.new" "$probe/probe"
fi
said=$("$emulator" "$probe/probe" 2>&1)
[ "$said" = arm64 ] && exit 0
echo "arm64: $emulator cannot run an arm64 program here: $(echo "${said:-it said nothing}" | head -n 1)"
exit 1
