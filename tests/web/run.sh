#!/usr/bin/env bash
# The browser tests: the web page in build/web/page/ in headless Chromium and
# Firefox ESR (each test in both; TARVELMIN_BROWSERS=chromium or =firefox
# narrows it), through puppeteer-core (Firefox over WebDriver BiDi), with
# node's own test runner. The output ends with its summary ("# pass N",
# "# fail N", "# cancelled N": a set-up that failed cancels the tests).
# Exit 77: not run, Chromium cannot run here.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
chromium=${TARVELMIN_CHROMIUM:-/usr/bin/chromium}
firefox=${TARVELMIN_FIREFOX:-/usr/bin/firefox-esr}
export TARVELMIN_CHROMIUM=$chromium TARVELMIN_FIREFOX=$firefox

if [ ! -f "$root/build/web/page/tarvelmin.wasm" ]; then
  echo "build/web/page/tarvelmin.wasm is missing: build the web preset first (cmake --preset web && cmake --build --preset web)"
  exit 1
fi

# A browser that is not installed is a missing install step; one that is
# installed but cannot show a page here is this machine's limit (below).
source "$root/scripts/needs.sh"
needs node npm "$chromium" "$firefox" || exit 1

# Once, and again when the lock file changes.
if [ ! -f "$here/node_modules/.package-lock.json" ] || [ "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]; then
  (cd "$here" && npm ci --no-audit --no-fund) || { echo "npm ci failed in tests/web"; exit 1; }
fi

# A browser that starts and shows a page, not just one that is installed.
if ! timeout 60 "$chromium" --headless --no-sandbox --dump-dom 'data:text/html,<p>chromium-runs</p>' 2>/dev/null |
    grep -q chromium-runs; then
  echo "not run: $chromium cannot run a headless page here"
  exit 77
fi

cd "$root" && exec node --test --test-reporter=tap tests/web/*.test.mjs
