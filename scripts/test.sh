#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# native, AddressSanitizer/UBSan, arm64 under qemu's emulator, wasm32 under
# node, the 32- and 64-bit Windows builds under Wine (the Win32-behaviour
# tests and tarvelmin.exe itself), each where its programs can run here
# (TARVELMIN_WINE_SKIP="win32" leaves one out on purpose), and a bounded
# fuzzing run. Ends with one line "tests: N passed, N failed".
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
start=$SECONDS
bash scripts/setup.sh || { echo "setup failed"; exit 1; }
echo "   (setup took $((SECONDS - start)) s)"

logs="$root/build/test-logs"
mkdir -p "$logs"
passed=0
failed=0
broken=()
not_run=()

# Adds up googletest's own counts from a log.
count() {
  local log=$1 p f
  p=$(sed -nE 's/^([0-9]+: )?\[  PASSED  \] ([0-9]+) tests?\..*/\2/p' "$log" | awk '{s+=$1} END {print s+0}')
  f=$(sed -nE 's/^([0-9]+: )?\[  FAILED  \] ([0-9]+) tests?,.*/\2/p' "$log" | awk '{s+=$1} END {print s+0}')
  passed=$((passed + p))
  failed=$((failed + f))
}

step() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  if "$@" >"$logs/$name.log" 2>&1; then
    tail -n 3 "$logs/$name.log"
    echo "   ($name took $((SECONDS - start)) s)"
  else
    echo "!! $name failed after $((SECONDS - start)) s; its log:"
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

# 64-bit ARM, in the background beside the steps below (at a lower
# priority, so that it mostly takes what they leave idle); it reports before
# the package step, which packs its build. The build always; under the
# emulator, where it runs an arm64 program here, the tests that need no
# display and a lap recorded on arm64 compared byte for byte with the
# native one (the linux step built the native recorder). Its counts come
# back through build/test-logs/arm64.state.
arm64() {
  renice -n 10 -p "$BASHPID" >/dev/null
  passed=0 failed=0 broken=() not_run=()
  step linux-arm64-build bash -c 'cmake --preset linux-arm64 && cmake --build --preset linux-arm64 --target \
    win32_tests layer_tests program_tests tarvelmin tarvelmin-record icons'
  local status=0 why p f
  why=$(scripts/run-arm64.sh --check 2>&1) || status=$?
  if [ ${#broken[@]} -gt 0 ]; then
    :
  elif [ "$status" -eq 2 ]; then
    echo "!! the arm64 tests: ${why#arm64: }"
    broken+=(linux-arm64)
  elif [ "$status" -ne 0 ]; then
    echo "-- not run: the arm64 tests and lap: ${why#arm64: }"
    not_run+=(linux-arm64 arm64-lap)
  else
    step linux-arm64 ctest --preset linux-arm64 --output-on-failure --timeout 600 -V
    count "$logs/linux-arm64.log"
    step arm64-lap bash tests/arm64/lap.sh
    if read -r p f < <(sed -nE 's/^arm64-lap: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$logs/arm64-lap.log"); then
      passed=$((passed + p))
      failed=$((failed + f))
    fi
  fi
  echo "$passed $failed" >"$logs/arm64.state"
  echo "${broken[*]}" >>"$logs/arm64.state"
  echo "${not_run[*]}" >>"$logs/arm64.state"
}
rm -f "$logs/arm64.state"
(arm64) >"$logs/arm64.out" 2>&1 &
arm64_job=$!
step linux-asan native linux-asan
count "$logs/linux-asan.log"
# The same Win32-behaviour, layer and whole-program tests as wasm32 under
# node: the layer must hold where pointers are 32 bits.
step web-deps scripts/web-deps.sh
if [ -f build/web-deps/prefix/.freetype-truetype-only ]; then
  step web native web
  count "$logs/web.log"
fi
# The page in headless Chromium; exit 77 from it: Chromium cannot run here.
browser() {
  local status=0
  bash tests/web/run.sh || status=$?
  [ "$status" -ne 77 ] || return 0
  return "$status"
}
if [ -f build/web/page/tarvelmin.wasm ]; then
  step browser browser
  if grep -q '^not run:' "$logs/browser.log"; then
    echo "-- not run: the browser tests: $(sed -n 's/^not run: //p' "$logs/browser.log" | head -n 1)"
    not_run+=(browser)
  else
    passed=$((passed + $(sed -nE 's/^# pass ([0-9]+)$/\1/p' "$logs/browser.log" | tail -n 1)))
    failed=$((failed + $(sed -nE 's/^# (fail|cancelled) ([0-9]+)$/\2/p' "$logs/browser.log" | awk '{s+=$1} END {print s+0}')))
  fi
fi
# Both Windows builds, always; each runs under Wine where its programs can run
# here, which only running one tells (32-bit ones cannot on some kernels).
ran_wine=""
for arch in win32 win64; do
  step "$arch-build" bash -c "cmake --preset $arch && cmake --build --preset $arch"
done
for arch in win32 win64; do
  [ -f "build/$arch/tests/win32_tests.exe" ] || continue
  status=0
  why=$(scripts/run-wine.sh --check "$arch" 2>&1) || status=$?
  if [ "$status" -eq 2 ]; then
    echo "!! the $arch Wine steps: ${why#"$arch: "}"
    broken+=("wine-$arch")
    continue
  elif [ "$status" -ne 0 ]; then
    echo "-- not run: the $arch Wine steps: ${why#"$arch: "}"
    not_run+=("wine-$arch" "wine-program-$arch" "wine-program-no-desktop-$arch")
    continue
  fi
  ran_wine=1
  step "wine-$arch" scripts/run-wine.sh "build/$arch/tests/win32_tests.exe"
  count "$logs/wine-$arch.log"
  # tarvelmin.exe inside Wine's virtual desktop, and straight on the X display.
  if [ -f "build/$arch/tests/tarvelmin_exe_tests.exe" ]; then
    step "wine-program-$arch" scripts/run-wine.sh "build/$arch/tests/tarvelmin_exe_tests.exe"
    count "$logs/wine-program-$arch.log"
    step "wine-program-no-desktop-$arch" env WINE_DESKTOP=none scripts/run-wine.sh \
      "build/$arch/tests/tarvelmin_exe_tests.exe"
    count "$logs/wine-program-no-desktop-$arch.log"
  fi
done
if [ -z "$ran_wine" ]; then
  echo "-- no Windows program can run here under Wine: both builds were made, none of them was run"
fi
# The arm64 steps' report.
wait "$arm64_job"
cat "$logs/arm64.out"
{
  read -r p f
  read -r -a more_broken
  read -r -a more_not_run
} <"$logs/arm64.state" || { p=0 f=0 more_broken=(arm64) more_not_run=(); }
passed=$((passed + p))
failed=$((failed + f))
broken+=("${more_broken[@]}")
not_run+=("${more_not_run[@]}")

# The packages as a user installs them: the .deb into a fresh Debian root of
# the test's own (the arm64 one into an arm64 root where it can), the
# Windows zip's programs, the desktop files validated.
step package bash tests/package/check.sh
if read -r p f n < <(sed -nE 's/^package: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) not run$/\1 \2 \3/p' \
  "$logs/package.log"); then
  passed=$((passed + p))
  failed=$((failed + f))
  [ "$n" -eq 0 ] || not_run+=("package checks ($n)")
fi
if [ -x scripts/fuzz.sh ]; then
  step fuzz scripts/fuzz.sh
fi

echo
if [ ${#not_run[@]} -gt 0 ]; then
  echo "not run here (neither passed nor failed): ${not_run[*]}"
fi
if [ ${#broken[@]} -gt 0 ]; then
  echo "failed steps: ${broken[*]} (logs in build/test-logs/)"
  [ "$failed" -eq 0 ] && failed=1
fi
echo "tests: $passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
