#!/usr/bin/env bash
# Measures framecalc-batch on generated records, against one framecalc process per record in a
# shell loop (what a user without framecalc-batch would run).
#
#   bash bench/batch/run.sh [records] [loop-records]      (defaults: 1000000 and 200)
#
# - framecalc-batch reads `records` records from a file and writes its results to /dev/null; the
#   best wall time of five runs, process start to exit, gives the records per second.
# - Peak memory (maximum resident set) of framecalc-batch for 10,000, 100,000 and `records`
#   records: it should not grow with the number of records.
# - The shell loop runs framecalc once per record for the first `loop-records` records only; its
#   time per record is extrapolated to `records` records for the ratio (said so in the output).
# The records are the same on every run (fixed seed): about 98 % give a result, the rest fail in
# every way a record can (not a number, parallel lines, A = B, overflow).
set -euo pipefail
cd "$(dirname "$0")/../.."
records=${1:-1000000}
loop_records=${2:-200}
bash tools/install-deps.sh time bc python3 >&2
cmake --preset default >/dev/null
cmake --build --preset default --target framecalc framecalc-batch >&2
batch=build/default/batch/framecalc-batch
calculator=build/default/framecalc
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" "$records" <<'PY'
import random, sys
work, count = sys.argv[1], int(sys.argv[2])
def generate(path, n):
    r = random.Random(20261210)
    bad = ["12a", "1e400", "1e5120", "abc"]
    with open(path, "w") as f:
        f.write("AX AY BX BY AXIS K\n")
        for i in range(n):
            ax, ay, bx, by = (round(r.uniform(-1e5, 1e5), r.randrange(4)) for _ in range(4))
            axis = "X" if r.random() < 0.5 else "Y"
            k = round(r.uniform(-1e5, 1e5), 2)
            roll = r.random()
            if roll < 0.005: bx = ax if axis == "X" else bx; by = ay if axis == "Y" else by
            elif roll < 0.01: bx, by = ax, ay
            elif roll < 0.02: ax = r.choice(bad)
            f.write(f"{ax} {ay} {bx} {by} {axis} {k}\n")
for n in (10000, 100000, count):
    generate(f"{work}/records-{n}.txt", n)
PY

input=$work/records-$records.txt
printf 'machine: %s, %s cores\n' "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')" "$(nproc)"
printf 'records: %s (%s bytes)\n' "$records" "$(stat -c %s "$input")"

# Best of five runs: wall time, and the processor time (user + system) of that run. The machine is
# shared, so the wall time of a single run can be far above its processor time.
best=""
cpu=""
for _ in 1 2 3 4 5; do
  status=0
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$batch" "$input" > /dev/null 2> "$work/errors" || status=$?
  [ "$status" -le 1 ] || { echo "framecalc-batch failed ($status)" >&2; cat "$work/errors" >&2; exit 1; }
  read -r elapsed user system < <(tail -n 1 "$work/time")
  if [ -z "$best" ] || [ "$(echo "$elapsed < $best" | bc -l)" = 1 ]; then
    best=$elapsed
    cpu=$(echo "$user + $system" | bc -l)
  fi
done
failed=$(wc -l < "$work/errors")
printf 'framecalc-batch: %.2f s wall (%.2f s processor) for %s records (%s failed): %.0f records/s\n' \
  "$best" "$cpu" "$records" "$failed" "$(echo "$records / $best" | bc -l)"
printf 'load average during the run: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"

for n in 10000 100000 "$records"; do
  # framecalc-batch ends with 1 here: some records fail on purpose.
  /usr/bin/time -f '%M' -o "$work/peak" "$batch" "$work/records-$n.txt" > /dev/null 2>&1 || true
  peak=$(tail -n 1 "$work/peak")
  printf 'peak memory for %8s records: %6s KiB\n' "$n" "$peak"
done

# The shell loop: six answers and the Enter on framecalc's standard input, one process a record.
head -n $((loop_records + 1)) "$input" | tail -n "$loop_records" > "$work/loop.txt"
start=$(date +%s.%N)
while read -r ax ay bx by axis k; do
  printf '%s\n%s\n%s\n%s\n%s\n%s\n\n' "$ax" "$ay" "$bx" "$by" "$axis" "$k" | "$calculator" > /dev/null 2>&1 || true
done < "$work/loop.txt"
end=$(date +%s.%N)
loop=$(echo "$end - $start" | bc -l)
per_record=$(echo "$loop / $loop_records" | bc -l)
extrapolated=$(echo "$per_record * $records" | bc -l)
printf 'shell loop over framecalc: %.3f s for %s records (%.2f ms a record)\n' "$loop" "$loop_records" \
  "$(echo "$per_record * 1000" | bc -l)"
printf 'extrapolated to %s records: %.0f s; ratio shell loop / framecalc-batch: %.0f\n' \
  "$records" "$extrapolated" "$(echo "$extrapolated / $best" | bc -l)"
