#!/usr/bin/env bash
# Builds framecalc (installing what is missing) and starts it at this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh >&2
cmake --preset default >/dev/null
cmake --build --preset default --target framecalc >&2
exec build/default/framecalc
