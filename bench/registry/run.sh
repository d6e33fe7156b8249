#!/usr/bin/env bash
# How the reading of the user's configuration file grows with its number of values
# (bench/registry_bench.cpp): RegOpenKeyExA of the language key against reading the same file and
# finding its lines, for 1,000 to 60,000 values, in interleaved repetitions, with Google
# Benchmark's O(N) fit of each.
#
#   bash bench/registry/run.sh [repetitions]      (default 5)
#
# Installs Google Benchmark when missing; builds in build/bench-registry.
set -euo pipefail
cd "$(dirname "$0")/../.."
repetitions=${1:-5}
bash tools/install-deps.sh libbenchmark-dev >&2
cmake -S . -B build/bench-registry -DCMAKE_BUILD_TYPE=Release -DFRAMECALC_BUILD_TESTS=OFF \
  -DFRAMECALC_BUILD_BENCH=ON -DFRAMECALC_BENCH_ONLY=registry >/dev/null
cmake --build build/bench-registry --target registry_bench -j2 >&2
build/bench-registry/bench/registry_bench --benchmark_enable_random_interleaving=true \
  --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.2
