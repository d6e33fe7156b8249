#!/usr/bin/env bash
# Every benchmark of framecalc, and one table of ratios with the machine and the date:
#
#   bash bench/run.sh [runs]        (runs: whole runs of each program, default 400)
#
# 1. The number conversion (bench/numconv_bench.cpp, Google Benchmark, release build): every
#    conversion over the typed coordinates and over the peers' hard cases, 9 repetitions in random
#    interleaving (--benchmark_enable_random_interleaving); the median and the fastest CPU time
#    per value (the goals are judged on the medians), and the user-space instructions per value
#    from callgrind (numconv_bench --kernel). Ratios are peer time / our time: above 1 means ours
#    is faster.
# 2. Whole runs (bench/program/run.sh) against the static C program, output to a regular file.
# 3. Where the peers print more digits or round differently (numconv_bench --compare).
#
# Each converted value is kept in the register it comes back in; one row repeats TextToReal
# against fast_float with benchmark::DoNotOptimize as the sink instead (an 80-bit store and load
# of each extended result, an 8-byte store of each double).
#
# Installs what it needs (Google Benchmark, fast_float, {fmt}, valgrind). Build directories:
# build/bench-release and build/bench-program in the source tree.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-400}
build_dir=$source_dir/build/bench-release
bash "$source_dir/tools/install-deps.sh" libbenchmark-dev libfast-float-dev libfmt-dev valgrind \
  python3 >&2
cmake --preset release -S "$source_dir" -B "$build_dir" -DFRAMECALC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target numconv_bench -j2 >/dev/null
bench=$build_dir/bench/numconv_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --benchmark_enable_random_interleaving=true --benchmark_repetitions=9 \
  --benchmark_min_time=0.2 \
  --benchmark_out="$work/numconv.json" --benchmark_out_format=json >/dev/null 2>&1

kernels=(TextToReal strtold strtod from_chars_long_double from_chars_double fast_float_double
         TextToReal_stored fast_float_double_stored PaddedTextToReal RealToText_5_2 snprintf_5.2Lf snprintf_5.2f_double to_chars_long_double to_chars_double
         fmt_compiled_double)
: > "$work/instructions"
for set in typed hard; do
  for kernel in "${kernels[@]}"; do
    size=$(valgrind --tool=callgrind --toggle-collect='*RunKernel*' \
             --callgrind-out-file="$work/cg.out" "$bench" --kernel "$kernel" "$set" 100 2>/dev/null)
    total=$(awk '/^totals:/ {print $2}' "$work/cg.out")
    echo "$kernel/$set $(awk -v t="$total" -v n="$size" 'BEGIN {printf "%.0f", t / (100 * n)}')" \
      >> "$work/instructions"
  done
done

bash "$source_dir/bench/program/run.sh" "$runs" > "$work/program" 2>/dev/null
"$bench" --compare > "$work/compare"

python3 - "$work" "$runs" <<'PY'
import json, os, platform, statistics, subprocess, sys, datetime
work, runs = sys.argv[1], sys.argv[2]
data = json.load(open(os.path.join(work, "numconv.json")))
runs_of = {}
for b in data["benchmarks"]:
    if b.get("run_type") == "iteration":
        assert b["time_unit"] == "ns"
        runs_of.setdefault(b["run_name"], []).append(b["cpu_time"])
time = {name: statistics.median(t) for name, t in runs_of.items()}
fastest = {name: min(t) for name, t in runs_of.items()}
# per value: the benchmark converts a whole set per iteration
sizes = {"typed": 16, "hard": 10}
instr = dict(line.split() for line in open(os.path.join(work, "instructions")))
program = dict(line.split(None, 1) for line in open(os.path.join(work, "program")) if line.strip())
program = {key: value.strip() for key, value in program.items()}

cpu = open("/proc/cpuinfo").read()
model = next((l.split(":", 1)[1].strip() for l in cpu.splitlines() if l.startswith("model name")), "?")
print(f"Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M UTC}  ")
print(f"Machine: {model}, {os.cpu_count()} CPUs, {platform.system()} {platform.release()}, "
      f"load average {os.getloadavg()[0]:.1f} at the end  ")
print(f"Compiler: {subprocess.run(['g++', '--version'], capture_output=True, text=True).stdout.splitlines()[0]}")
print()

def per_value(name, s):
    return time[f"{name}/{s}"] / sizes[s]

def row(label, ours, peer, s, goal=None):
    t_ours, t_peer = per_value(ours, s), per_value(peer, s)
    ratio = t_peer / t_ours
    best = fastest[f"{peer}/{s}"] / fastest[f"{ours}/{s}"]
    verdict = ""
    if goal is not None:
        verdict = f"≥ {goal}×: {'holds' if ratio >= goal else 'NOT MET'}"
    print(f"| {label} | {t_ours:.1f} ns, {instr[ours + '/' + s]} instr | "
          f"{t_peer:.1f} ns, {instr[peer + '/' + s]} instr | {ratio:.2f}× | {best:.2f}× | {verdict} |")

for s, title in (("typed", "typed coordinates"), ("hard", "the peers' hard cases")):
    print(f"#### Number conversion, {title} (per value; ratio = peer time / our time, "
          f"of the medians and of the fastest of the 9 repetitions)")
    print()
    print("| ours vs peer | ours (median) | peer (median) | ratio of medians | ratio of fastest | goal |")
    print("|---|---|---|---|---|---|")
    g = (lambda x: x) if s == "typed" else (lambda x: None)
    row("TextToReal vs fast_float (double)", "TextToReal", "fast_float_double", s, g(1.2))
    row("the same, each result stored by benchmark::DoNotOptimize", "TextToReal_stored",
        "fast_float_double_stored", s)
    row("PaddedTextToReal (framecalc-batch's fields) vs fast_float (double)", "PaddedTextToReal",
        "fast_float_double", s)
    row("TextToReal vs strtold", "TextToReal", "strtold", s, g(5))
    row("TextToReal vs strtod", "TextToReal", "strtod", s)
    row("TextToReal vs std::from_chars (double)", "TextToReal", "from_chars_double", s)
    row("TextToReal vs std::from_chars (long double)", "TextToReal", "from_chars_long_double", s)
    row("RealToText(5, 2) vs std::to_chars (double)", "RealToText_5_2", "to_chars_double", s, g(1))
    row("RealToText(5, 2) vs {fmt} FMT_COMPILE (double)", "RealToText_5_2", "fmt_compiled_double", s, g(1))
    row("RealToText(5, 2) vs snprintf %5.2Lf", "RealToText_5_2", "snprintf_5.2Lf", s, g(4))
    row("RealToText(5, 2) vs snprintf %5.2f (double)", "RealToText_5_2", "snprintf_5.2f_double", s)
    row("RealToText(5, 2) vs std::to_chars (long double)", "RealToText_5_2", "to_chars_long_double", s)
    print()

p = program
print("#### Whole runs against the static C program (input from a file, output to a regular file)")
print()
print("| measure | framecalc | C peer | ratio (framecalc / peer) | goal |")
print("|---|---|---|---|---|")
r = float(p["cpu_us.readme.framecalc"]) / float(p["cpu_us.readme.peer"])
low, high = p["cpu_ratio_blocks.readme"].split()
print(f"| README run, CPU per run (median of {runs} runs of each, interleaved) | "
      f"{p['cpu_us.readme.framecalc']} µs | {p['cpu_us.readme.peer']} µs | {r:.2f} | "
      f"≤ 1: {'holds' if r <= 1 else 'NOT MET'} |")
print(f"| the same ratio in each eighth of those runs, lowest and highest | | | {low} to {high} | |")
print(f"| README run, minor page faults (median) | {p['minflt.readme.framecalc']} | "
      f"{p['minflt.readme.peer']} | | |")
i_ours, i_peer = int(p["instructions.readme.framecalc"]), int(p["instructions.readme.peer"])
print(f"| README run, user instructions | {i_ours} | {i_peer} | {i_ours / i_peer:.2f} | "
      f"≤ 60000: {'holds' if i_ours <= 60000 else 'NOT MET'} |")
b_ours, b_peer = float(p["instructions.blank_byte.framecalc"]), float(p["instructions.blank_byte.peer"])
print(f"| blanks before a number, instructions per byte | {b_ours} | {b_peer} | "
      f"{b_ours / b_peer:.2f} | ≤ 12: {'holds' if b_ours <= 12 else 'NOT MET'} |")
s_ours, s_peer = float(p["instructions.skipped_byte.framecalc"]), float(p["instructions.skipped_byte.peer"])
print(f"| rest of a line after its number, instructions per byte | {s_ours} | {s_peer} | "
      f"{s_ours / s_peer:.2f} | |")
print(f"| answer line, instructions per byte (read, then written in the next prompt) | "
      f"{p['instructions.answer_byte.framecalc']} | | | |")
c_ours, c_peer = float(p["cpu_ms.blanks_20MB.framecalc"]), float(p["cpu_ms.blanks_20MB.peer"])
print(f"| 20 MB of blanks, CPU (128-byte reads against stdio's 4096) | {c_ours} ms | {c_peer} ms | "
      f"{c_ours / c_peer:.2f} | |")
m = float(p["peak_ratio.line_100MB.framecalc"])
print(f"| answer line of 100 MB, peak memory / line length | {m:.3f} | | | "
      f"≤ 1.05: {'holds' if m <= 1.05 else 'NOT MET'} |")
print()
print("#### Where the peers' results differ from ours (numconv_bench --compare)")
print()
print("```")
print(open(os.path.join(work, "compare")).read().rstrip())
print("```")
PY
