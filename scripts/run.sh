#!/usr/bin/env bash
# Installs what is missing, builds every configuration, and runs the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
cmake --preset win32 >/dev/null
cmake --build --preset win32
if [ -x build/linux/tarvelmin ]; then
  exec build/linux/tarvelmin "$@"
fi
echo "Built the framework, our Win32 layer and the tests (build/linux, build/win32)."
echo "The program itself comes with the application module; until then, see the tests:"
echo "  bash scripts/test.sh"
