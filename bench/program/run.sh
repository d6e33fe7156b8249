#!/usr/bin/env bash
# Whole runs of framecalc against a static C program holding the same dialogue with stdio
# (minimal_dialogue.c: scanf("%Lf"), printf; built with -O2 -static). Input comes from a file and
# standard output goes to a regular file, as a scripted run has it. Measured:
#
#   readme   the README's example dialogue: CPU time per run (user + system, from wait4), in
#            runs of the two programs interleaved in random order, and the user-space
#            instructions of one run (valgrind --tool=callgrind, which counts from the first
#            instruction of the process and does not depend on the machine's load)
#   blanks   1,000,000 blanks before the first number: instructions per blank byte (the
#            difference to the plain run, divided by the blanks), and CPU time over 20,000,000;
#            likewise 1,000,000 bytes skipped after a number, and (framecalc only: the peer reads
#            its answer into a fixed buffer) an answer line of 1,000,000 bytes, read and shown
#   line     an answer line of 100,000,000 bytes: framecalc's peak resident memory against the
#            line's length
#
#   bash bench/program/run.sh [runs] [build-dir]     (default 400 runs of each program)
#
# Prints "key value" lines for bench/run.sh, which makes the table.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-400}
build_dir=${2:-$source_dir/build/bench-program}
bash "$source_dir/tools/install-deps.sh" valgrind python3 >&2
cmake --preset default -S "$source_dir" -B "$build_dir" -DFRAMECALC_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target framecalc -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gcc -O2 -static -o "$work/peer-linked" "$source_dir/bench/program/minimal_dialogue.c"
# Both executables are copied into the same folder the same way: how a file reached the page
# cache (written piecewise by the linker, or copied whole) changes how many page faults starting
# it costs, by more than the difference being measured.
cp "$build_dir/framecalc" "$work/framecalc"
cp "$work/peer-linked" "$work/peer"
program=$work/framecalc

printf '100\n200\n300\n400\nX\n150\n\n' > "$work/readme.in"
python3 -c "import sys; sys.stdout.write(' ' * 1000000 + open(sys.argv[1]).read())" \
  "$work/readme.in" > "$work/blanks.in"
python3 -c "import sys; sys.stdout.write(' ' * 20000000 + open(sys.argv[1]).read())" \
  "$work/readme.in" > "$work/blanks-long.in"
python3 -c "import sys; sys.stdout.write('100\n200\n300\n400\n' + 'Y' * 100000000 + '\n150\n\n')" \
  > "$work/line.in"
# The rest of a line after its number (skipped), and an answer line (read, then shown again in
# the next prompt), each 1,000,000 bytes long.
python3 -c "import sys; sys.stdout.write('100' + ' ' * 1000000 + '\n200\n300\n400\nX\n150\n\n')" \
  > "$work/skip.in"
python3 -c "import sys; sys.stdout.write('100\n200\n300\n400\n' + 'Y' * 1000000 + '\n150\n\n')" \
  > "$work/answer.in"

"$program" < "$work/readme.in" > "$work/ours.out"
"$work/peer" < "$work/readme.in" > "$work/peer.out"
cmp -s "$work/ours.out" "$work/peer.out" || { echo "the peer does not print the same bytes" >&2; exit 1; }
"$program" < "$work/blanks.in" > "$work/ours-blanks.out"
cmp -s "$work/ours.out" "$work/ours-blanks.out" || { echo "blanks change the output" >&2; exit 1; }

mkdir "$work/home"
# Both programs run with the same small environment (the C library's start-up reads all of it).
instructions() {  # program input -> user-space instructions of one run
  env -i HOME="$work/home" valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
    "$1" < "$2" > "$work/cg.stdout" 2>/dev/null
  awk '/^totals:/ {print $2}' "$work/cg.out"
}
for who in framecalc peer; do
  if [ $who = framecalc ]; then exe=$program; else exe=$work/peer; fi
  plain=$(instructions "$exe" "$work/readme.in")
  blanks=$(instructions "$exe" "$work/blanks.in")
  echo "instructions.readme.$who $plain"
  echo "instructions.blank_byte.$who $(awk -v a="$blanks" -v b="$plain" 'BEGIN {printf "%.2f", (a - b) / 1000000}')"
  skip=$(instructions "$exe" "$work/skip.in")
  echo "instructions.skipped_byte.$who $(awk -v a="$skip" -v b="$plain" 'BEGIN {printf "%.2f", (a - b) / 1000000}')"
done
plain=$(instructions "$program" "$work/readme.in")
answer=$(instructions "$program" "$work/answer.in")
echo "instructions.answer_byte.framecalc $(awk -v a="$answer" -v b="$plain" 'BEGIN {printf "%.2f", (a - b) / 1000000}')"

python3 - "$runs" "$program" "$work/peer" "$work" <<'PY'
import os, random, statistics, sys
runs, ours, peer, work = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]

def run(path, input_name):
    """CPU seconds (user + system), peak resident KiB and minor page faults of one run, output
    to a regular file."""
    with open(os.path.join(work, input_name), "rb") as i, \
         open(os.path.join(work, "run.out"), "wb") as o:
        pid = os.posix_spawn(path, [path], {"HOME": os.path.join(work, "home")}, file_actions=[
            (os.POSIX_SPAWN_DUP2, i.fileno(), 0), (os.POSIX_SPAWN_DUP2, o.fileno(), 1)])
        _, status, usage = os.wait4(pid, 0)
    if status != 0:
        sys.exit(f"{path} failed")
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss, usage.ru_minflt

def paired(input_name, count, faults=None):
    times = {"framecalc": [], "peer": []}
    for _ in range(count):
        order = [("framecalc", ours), ("peer", peer)]
        random.shuffle(order)
        for who, path in order:
            cpu, _, minflt = run(path, input_name)
            times[who].append(cpu)
            if faults is not None:
                faults.setdefault(who, []).append(minflt)
    return times

for who, path in (("framecalc", ours), ("peer", peer)):  # warm the page cache
    run(path, "readme.in")
faults = {}
t = paired("readme.in", runs, faults)
for who in t:
    print(f"cpu_us.readme.{who} {statistics.median(t[who]) * 1e6:.1f}")
    print(f"cpu_us_mean.readme.{who} {statistics.fmean(t[who]) * 1e6:.1f}")
    print(f"minflt.readme.{who} {statistics.median(faults[who]):.0f}")
# The ratio of the medians in each eighth of the runs, in the order they were made: how far the
# machine's moods move it.
blocks = 8
size = runs // blocks
ratios = [statistics.median(t["framecalc"][b * size:(b + 1) * size]) /
          statistics.median(t["peer"][b * size:(b + 1) * size]) for b in range(blocks)]
print(f"cpu_ratio_blocks.readme {min(ratios):.3f} {max(ratios):.3f}")
t = paired("blanks-long.in", 5)
for who in t:
    print(f"cpu_ms.blanks_20MB.{who} {statistics.median(t[who]) * 1e3:.1f}")
_, peak, _ = run(ours, "line.in")
print(f"peak_kib.line_100MB.framecalc {peak}")
print(f"peak_ratio.line_100MB.framecalc {peak * 1024 / 100000000:.3f}")
PY
