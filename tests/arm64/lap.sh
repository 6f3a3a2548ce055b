#!/usr/bin/env bash
# A lap recorded by the arm64 build (under the emulator) is the native one,
# byte for byte: every PNG frame and the GIF, at the window's own size and at
# a shrunk and a grown client area (the stretch takes the portable path on
# arm64 and the vector one where the native CPU has it). Needs build/linux
# and build/linux-arm64 built (tarvelmin-record in each).
# One line per size, "ok: ..." or "FAIL: ..." with what differed, then
# "arm64-lap: N passed, N failed"; the exit code is 1 if any failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
native="$root/build/linux/tools/tarvelmin-record"
arm64="$root/build/linux-arm64/tools/tarvelmin-record"
work="$root/build/arm64-lap"
passed=0
failed=0

for program in "$native" "$arm64"; do
  [ -x "$program" ] || { echo "FAIL: $program is not built"; echo "arm64-lap: 0 passed, 1 failed"; exit 1; }
done

# Records with both and compares; says what differed.
compare() {
  local size=$1 dir="$work/$1" name
  rm -rf "$dir"
  mkdir -p "$dir"
  "$native" --client "$size" --out "$dir/native" >"$dir/native.log" 2>&1 ||
    { echo "the native recorder failed: $(tail -n 1 "$dir/native.log")"; return 1; }
  "$root/scripts/run-arm64.sh" "$arm64" --client "$size" --out "$dir/arm64" >"$dir/arm64.log" 2>&1 ||
    { echo "the arm64 recorder failed: $(tail -n 1 "$dir/arm64.log")"; return 1; }
  # A whole lap: 181 frames, then the GIF.
  [ -f "$dir/native/frame-0181.png" ] && [ -f "$dir/native/orbit.gif" ] ||
    { echo "the native recording is not a whole lap"; return 1; }
  if ! diff <(cd "$dir/native" && ls) <(cd "$dir/arm64" && ls) >"$dir/files.diff"; then
    echo "the two recordings hold different files: $(head -n 3 "$dir/files.diff" | tr '\n' ' ')"
    return 1
  fi
  local differ=()
  for name in $(cd "$dir/native" && ls); do
    cmp -s "$dir/native/$name" "$dir/arm64/$name" || differ+=("$name")
  done
  [ ${#differ[@]} -eq 0 ] || { echo "${#differ[@]} files differ, the first: ${differ[*]:0:3}"; return 1; }
  echo "$(cd "$dir/native" && ls | wc -l) files the same"
}

for size in 640x480 457x343 1021x767; do
  what="a lap at a ${size} client area, recorded on arm64, is the native one byte for byte (181 PNG frames and the GIF)"
  if said=$(compare "$size"); then
    echo "ok: $what"
    passed=$((passed + 1))
    rm -rf "${work:?}/$size"
  else
    echo "FAIL: $what: $said (recordings in $work/$size)"
    failed=$((failed + 1))
  fi
done
echo "arm64-lap: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
