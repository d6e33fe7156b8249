#!/usr/bin/env bash
# The software extended arithmetic against the x87 one and against the C library, on x86-64:
#
#   bash bench/arithmetic/run.sh [rounds]      (default: 6 rounds)
#
# Builds bench/numconv_bench.cpp twice in release mode, on the x87 arithmetic (build/bench-release)
# and on the software one (build/bench-soft), and runs the two programs in turns, `rounds` times
# each, every run with 3 repetitions in random interleaving. Kernels: TextToReal against strtold,
# RealToText(5, 2) against snprintf("%5.2Lf"), over the typed coordinates and the hard cases. The
# peers run in both programs (they are the same code) and are taken from both. Printed: the median
# CPU time per value of every run's repetitions, and the ratios peer / software and
# software / x87, as a Markdown table.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
rounds=${1:-6}
bash "$source_dir/tools/install-deps.sh" libbenchmark-dev libfast-float-dev libfmt-dev python3 >&2
for side in x87 soft; do
  build_dir=$source_dir/build/bench-release
  if [ "$side" = soft ]; then build_dir=$source_dir/build/bench-soft; fi
  cmake --preset release -S "$source_dir" -B "$build_dir" -DFRAMECALC_BUILD_TESTS=OFF \
    -DFRAMECALC_ARITHMETIC=$side >/dev/null
  cmake --build "$build_dir" --target numconv_bench -j2 >/dev/null
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
filter='^(TextToReal|strtold|RealToText_5_2|snprintf_5.2Lf)/(typed|hard)$'
for round in $(seq "$rounds"); do
  for side in x87 soft; do
    build_dir=$source_dir/build/bench-release
    if [ "$side" = soft ]; then build_dir=$source_dir/build/bench-soft; fi
    "$build_dir/bench/numconv_bench" --benchmark_filter="$filter" \
      --benchmark_enable_random_interleaving=true --benchmark_repetitions=3 \
      --benchmark_min_time=0.1 --benchmark_out="$work/$side-$round.json" \
      --benchmark_out_format=json >/dev/null 2>&1
  done
done

python3 - "$work" "$rounds" <<'PY'
import datetime, glob, json, os, platform, statistics, subprocess, sys
work, rounds = sys.argv[1], sys.argv[2]
times = {}
for path in glob.glob(os.path.join(work, "*.json")):
    side = os.path.basename(path).split("-")[0]
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type") == "iteration":
            kernel, set_name = b["run_name"].split("/")
            # the peers are the same code in both programs
            key = (kernel if kernel in ("strtold", "snprintf_5.2Lf") else f"{kernel}@{side}", set_name)
            times.setdefault(key, []).append(b["cpu_time"])
sizes = {"typed": 16, "hard": 10}
def t(kernel, set_name):
    return statistics.median(times[(kernel, set_name)]) / sizes[set_name]
cpu = open("/proc/cpuinfo").read()
model = next((l.split(":", 1)[1].strip() for l in cpu.splitlines() if l.startswith("model name")), "?")
print(f"Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M UTC}  ")
print(f"Machine: {model}, {os.cpu_count()} CPUs, {platform.system()} {platform.release()}, "
      f"load average {os.getloadavg()[0]:.1f} at the end  ")
print(f"Compiler: {subprocess.run(['g++', '--version'], capture_output=True, text=True).stdout.splitlines()[0]}  ")
print(f"Rounds: {rounds} of each program, 3 repetitions a run")
print()
print("| set | conversion | x87 | software | peer | peer / software | software / x87 | goal (peer / software ≥ 2×) |")
print("|---|---|---|---|---|---|---|---|")
for set_name in ("typed", "hard"):
    for ours, peer in (("TextToReal", "strtold"), ("RealToText_5_2", "snprintf_5.2Lf")):
        x87 = t(f"{ours}@x87", set_name)
        soft = t(f"{ours}@soft", set_name)
        other = t(peer, set_name)
        goal = ("holds" if other / soft >= 2 else "misses") if set_name == "typed" else ""
        print(f"| {set_name} | {ours} vs {peer} | {x87:.1f} ns | {soft:.1f} ns | {other:.1f} ns | "
              f"{other / soft:.2f}× | {soft / x87:.2f}× | {goal} |")
PY
