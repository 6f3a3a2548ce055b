#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# native, AddressSanitizer/UBSan, the 32-bit Windows build under Wine (the
# Win32-behaviour tests and tarvelmin.exe itself), and a bounded fuzzing run. Ends with one line "tests: N passed, N failed".
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || { echo "setup failed"; exit 1; }

logs="$root/build/test-logs"
mkdir -p "$logs"
passed=0
failed=0
broken=()

# Adds up googletest's own counts from a log.
count() {
  local log=$1 p f
  p=$(sed -nE 's/^([0-9]+: )?\[  PASSED  \] ([0-9]+) tests?\..*/\2/p' "$log" | awk '{s+=$1} END {print s+0}')
  f=$(sed -nE 's/^([0-9]+: )?\[  FAILED  \] ([0-9]+) tests?,.*/\2/p' "$log" | awk '{s+=$1} END {print s+0}')
  passed=$((passed + p))
  failed=$((failed + f))
}

step() {
  local name=$1
  shift
  echo "== $name"
  if "$@" >"$logs/$name.log" 2>&1; then
    tail -n 3 "$logs/$name.log"
  else
    echo "!! $name failed; its log:"
    tail -n 60 "$logs/$name.log"
    broken+=("$name")
  fi
}

native() {
  local preset=$1
  cmake --preset "$preset" && cmake --build --preset "$preset" &&
    ctest --preset "$preset" --output-on-failure --timeout 600 -V
}

step linux native linux
count "$logs/linux.log"
step linux-asan native linux-asan
count "$logs/linux-asan.log"
step win32-build bash -c 'cmake --preset win32 && cmake --build --preset win32'
if [ -f build/win32/tests/win32_tests.exe ]; then
  step wine scripts/run-wine.sh build/win32/tests/win32_tests.exe
  count "$logs/wine.log"
fi
if [ -f build/win32/tests/tarvelmin_exe_tests.exe ]; then
  # tarvelmin.exe inside Wine's virtual desktop, and straight on the X display.
  step wine-program scripts/run-wine.sh build/win32/tests/tarvelmin_exe_tests.exe
  count "$logs/wine-program.log"
  step wine-program-no-desktop env WINE_DESKTOP=none scripts/run-wine.sh build/win32/tests/tarvelmin_exe_tests.exe
  count "$logs/wine-program-no-desktop.log"
fi
if [ -x scripts/fuzz.sh ]; then
  step fuzz scripts/fuzz.sh
fi

echo
if [ ${#broken[@]} -gt 0 ]; then
  echo "failed steps: ${broken[*]} (logs in build/test-logs/)"
  [ "$failed" -eq 0 ] && failed=1
fi
echo "tests: $passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
