#!/usr/bin/env bash
# Builds framecalc and runs every test (unit and end-to-end), installing what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default --timeout 300 "$@"
