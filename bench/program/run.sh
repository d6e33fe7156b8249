#!/usr/bin/env bash
# Measures a whole scripted run of framecalc (process start to exit, input from a file, output to
# /dev/null) against a minimal C program that reads the same six lines with stdio and prints the
# same bytes. Reports the time ratio, the peak memory and the read/write calls of one run.
# Usage: bash bench/program/run.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-300}
bash tools/install-deps.sh strace time python3 >&2
cmake --preset default >/dev/null
cmake --build --preset default --target framecalc >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gcc -O2 -o "$work/minimal_dialogue" bench/program/minimal_dialogue.c
printf '100\n200\n300\n400\nX\n150\n\n' > "$work/input"

program=build/default/framecalc
"$program" < "$work/input" > "$work/ours.out"
"$work/minimal_dialogue" < "$work/input" > "$work/peer.out"
if ! cmp -s "$work/ours.out" "$work/peer.out"; then
  echo "the peer does not print the same bytes" >&2
  exit 1
fi

python3 - "$runs" "$program" "$work/minimal_dialogue" "$work/input" <<'PY'
import os, sys, time
runs, programs, input_path = int(sys.argv[1]), sys.argv[2:4], sys.argv[4]
def run_all(path):
    best = None
    for _ in range(3):
        start = time.perf_counter()
        for _ in range(runs):
            with open(input_path, "rb") as i, open(os.devnull, "wb") as o:
                pid = os.posix_spawn(path, [path], os.environ, file_actions=[
                    (os.POSIX_SPAWN_DUP2, i.fileno(), 0), (os.POSIX_SPAWN_DUP2, o.fileno(), 1)])
                os.waitpid(pid, 0)
        elapsed = (time.perf_counter() - start) / runs
        best = elapsed if best is None else min(best, elapsed)
    return best
ours, peer = run_all(programs[0]), run_all(programs[1])
print(f"whole run, framecalc:        {ours*1e6:8.1f} us")
print(f"whole run, minimal C peer:   {peer*1e6:8.1f} us")
print(f"ratio framecalc / peer:      {ours/peer:8.2f}")
PY

for who in framecalc peer; do
  if [ $who = framecalc ]; then exe=$program; else exe=$work/minimal_dialogue; fi
  peak=$( { /usr/bin/time -f '%M' "$exe" < "$work/input" > /dev/null; } 2>&1 | tail -n 1)
  # Output redirected to a regular file, as a scripted run would have it.
  strace -o "$work/trace" -e trace=read,write "$exe" < "$work/input" > "$work/trace.out"
  reads=$(grep -c '^read(0,' "$work/trace" || true)
  writes=$(grep -c '^write(1,' "$work/trace" || true)
  printf '%-10s peak memory %6s KiB, read calls on standard input %3s, write calls on standard output %3s\n' \
    "$who" "$peak" "$reads" "$writes"
done
