#!/usr/bin/env bash
# framecalc-batch's processing in the WebAssembly module (node) against the Linux program, on the
# plain file of bench/batch (compare.py's generator: a header, then blank-separated records, about
# 98 % of which give a result):
#
#   bash bench/wasm/run.sh [records] [rounds]   (defaults: 1000000 and 7)
#
# Builds the default and wasm presets first; prints a table of records per second.
set -euo pipefail
cd "$(dirname "$0")/../.."
records=${1:-1000000}
rounds=${2:-7}
cmake --preset default >/dev/null
cmake --build --preset default --target framecalc-batch -j2 >&2
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j2 >&2
mkdir -p build
work=$(mktemp -d "$PWD/build/wasm-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -c 'import sys; sys.path.insert(0, "bench/batch"); import compare; compare.generate(sys.argv[1], int(sys.argv[2]))' \
  "$work/records.txt" "$records"
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) CPUs, load average $(cut -d' ' -f1 /proc/loadavg)"
node bench/wasm/batch_bench.mjs build/wasm/wasm/framecalc.wasm build/default/batch/framecalc-batch \
  "$work/records.txt" "$rounds"
