#!/usr/bin/env bash
# Builds the release preset in a build directory of its own, runs the number-conversion benchmark
# and prints how many times faster our conversions are than each peer (peer time / our time).
#
#   bash bench/run-numconv.sh [build-dir]      (default: $TMPDIR/framecalc-bench-release)
#
# Installs the Debian packages libbenchmark-dev, libfast-float-dev and libfmt-dev when missing. The
# goal is a ratio of at least 4 against strtold and snprintf.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-${NUMCONV_BENCH_BUILD_DIR:-${TMPDIR:-/tmp}/framecalc-bench-release}}
results="$build_dir/numconv_bench.csv"

bash "$source_dir/tools/install-deps.sh" libbenchmark-dev libfast-float-dev libfmt-dev >&2
cmake --preset release -S "$source_dir" -B "$build_dir" -DFRAMECALC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target numconv_bench -j2 >/dev/null

"$build_dir/bench/numconv_bench" \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$results" --benchmark_out_format=csv

# The CSV has a header line after a free-form context block; take the median CPU time per name.
awk -F, '
  /^name,/ { header = 1; next }
  !header { next }
  {
    name = $1; gsub(/"/, "", name)
    if (name ~ /_median$/) { sub(/_median$/, "", name); t[name] = $4 }
  }
  function ratio(label, peer, ours) {
    if (!(peer in t) || !(ours in t) || t[ours] == 0) { printf "%-40s missing\n", label; return }
    printf "%-40s %6.2fx  (%.1f ns vs %.1f ns per token set)\n", label, t[peer] / t[ours], t[ours], t[peer]
  }
  END {
    print ""
    print "Speed-up of our conversion (peer time / our time):"
    ratio("TextToReal vs strtold",                  "BM_strtold",              "BM_TextToReal")
    ratio("TextToReal vs fast_float",               "BM_FastFloatFromChars",   "BM_TextToReal")
    ratio("RealToText vs snprintf %5.2Lf",          "BM_snprintf/1",           "BM_RealToText/1")
    ratio("RealToText vs fmt {:5.2f}",              "BM_FmtFormatTo/1",        "BM_RealToText/1")
    print "With 1e300 too (the peers write its 301 integer digits, we write 1.0E+0300):"
    ratio("RealToText vs snprintf %5.2Lf, all",     "BM_snprintf/0",           "BM_RealToText/0")
    ratio("RealToText vs fmt {:5.2f}, all",         "BM_FmtFormatTo/0",        "BM_RealToText/0")
  }' "$results"
