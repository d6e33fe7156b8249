#!/usr/bin/env bash
# framecalc-batch against the tools a user with a file of records would pick, on one generated
# file, and against the shell loop that starts framecalc once per record:
#
#   bash bench/batch/run.sh [records] [loop-records] [rounds]   (defaults: 1000000, 200 and 7)
#
# The peers (written as a user would write them; bench/batch/compare.py says what each does
# differently):
# - C: bench/batch/peer.c, fgets, strtod, the crossing in long double, printf("%.2Lf"), gcc -O2;
# - the awk one-liner, run by mawk and by gawk;
# - Python's csv module with float(), and pandas (read_csv, numpy arithmetic, to_csv), Debian's
#   python3 and python3-pandas;
# - the shell loop over framecalc, on the first `loop-records` records only, its time per record
#   extrapolated to `records` records (said so in the table).
# framecalc-batch's two other kinds of run are in the same rounds:
# - a quoted CSV of the same records as R's write.csv writes it (a header with an empty quoted
#   name for the row names, `"1",` before each row, the axis quoted, numbers unquoted, commas,
#   LF), read by the header's names; Python's csv.DictReader and pandas' read_csv with their
#   defaults read the same file;
# - the plain file with --table (every input line written back with X, Y, on_AB and error).
# Each of `rounds` rounds runs every program once, in a random order, on the same file of
# `records` records (in the page cache), the results and messages written to files in a scratch
# folder. compare.py prints the medians of wall and CPU time, the ratios to framecalc-batch on
# the same file, peak memory (framecalc-batch's for 10,000, 100,000 and `records` records too,
# for each kind of run), the goals, and where each peer's results differ from framecalc-batch's,
# with examples and their reasons.
#
# The records are the same on every run (fixed seed): about 98 % give a result, the rest fail in
# every way a record can (not a number, parallel lines, A = B, overflow, an infinite field).
set -euo pipefail
cd "$(dirname "$0")/../.."
records=${1:-1000000}
loop_records=${2:-200}
rounds=${3:-7}
bash tools/install-deps.sh time gcc mawk gawk python3 python3-numpy python3-pandas >&2
cmake --preset default >/dev/null
cmake --build --preset default --target framecalc framecalc-batch -j2 >&2
# The scratch folder is in build/, on disk (/tmp may be a tmpfs elsewhere).
mkdir -p build
work=$(mktemp -d "$PWD/build/batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
gcc -O2 -o "$work/peer" bench/batch/peer.c

# Debian's python3: the pandas it runs is Debian's python3-pandas.
/usr/bin/python3 bench/batch/compare.py --work "$work" --records "$records" --rounds "$rounds" \
  --loop-records "$loop_records" --batch build/default/batch/framecalc-batch \
  --calculator build/default/framecalc --peer "$work/peer"
