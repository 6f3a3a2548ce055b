#!/usr/bin/env bash
# Builds the libFuzzer target for our Win32 layer (clang, ASan, UBSan) in
# build/fuzz and runs it for a bounded time on a copy of the seed corpus, so
# the repository's corpus never changes. Exits non-zero on any finding (crash,
# sanitizer report, leak, timeout, out-of-memory) and keeps what reproduces it
# in build/fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds]   (default 60; FUZZ_SECONDS works too)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/needs.sh
needs clang clang++
seconds=${1:-${FUZZ_SECONDS:-60}}
build="$root/build/fuzz"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELMIN_FUZZ=ON >/dev/null
cmake --build "$build" --target layer_fuzz

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvelmin-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp fuzz/corpus/* "$work/corpus/"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# -close_fd_mask=2 drops what the layer itself writes to stderr (stalled
# GetMessageA calls, message boxes); libFuzzer's and the sanitizers' reports
# still come through.
status=0
"$build/fuzz/layer_fuzz" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 -close_fd_mask=2 </dev/null >"$work/log" 2>&1 || status=$?

runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$work/log" | tail -n 1)
findings=$(find "$work/artifacts" -type f | wc -l)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  mkdir -p "$build/findings"
  find "$work/artifacts" -type f -exec cp {} "$build/findings/" \;
  cp "$work/log" "$build/findings/last-run.log"
  grep -vE '^#[0-9]+ +(NEW|REDUCE|pulse|RELOAD)' "$work/log" | tail -n 80
  echo "fuzz: exit status $status after ${runs:-?} executions; $findings finding(s) kept in build/fuzz/findings/"
  echo "fuzz: reproduce with LAYER_FUZZ_TRACE=1 build/fuzz/fuzz/layer_fuzz build/fuzz/findings/<file>"
  exit 1
fi
echo "fuzz: ${runs:-0} executions in $seconds s, no findings"
