#!/usr/bin/env bash
# Runs the README's example dialogue through framecalc under strace, with input and output
# redirected to files, and compares the system calls it made with expected.txt. Fails when a call
# is made that the list does not name, or more often than the list says; a listed call that was
# made less often is reported (the list should then be brought down) but does not fail.
#   bash bench/syscalls/check.sh [path-to-framecalc]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:-$here/../../build/default/framecalc}
program=$(cd "$(dirname "$program")" && pwd)/$(basename "$program")
command -v strace >/dev/null || { echo "check.sh: strace is missing (tools/install-deps.sh installs it)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/home"
printf '100\n200\n300\n400\nX\n150\n\n' > "$work/input"
env -i HOME="$work/home" PATH=/usr/bin:/bin \
  strace -qq -o "$work/trace" "$program" < "$work/input" > "$work/output"
expected_output=$(printf 'X= 150.00m\r\nY= 250.00m\r\n')
grep -qF "$expected_output" "$work/output" || { echo "check.sh: the run did not print its result" >&2; exit 1; }

grep -v '^+++\|^---' "$work/trace" | sed 's/(.*//' | sort | uniq -c | awk '{print $2, $1}' > "$work/made"
grep -v '^#' "$here/expected.txt" | awk 'NF >= 2 {count[$2] += $1} END {for (n in count) print n, count[n]}' \
  | sort > "$work/listed"

status=0
while read -r name made; do
  listed=$(awk -v n="$name" '$1 == n {print $2}' "$work/listed")
  listed=${listed:-0}
  if [ "$made" -gt "$listed" ]; then
    echo "system call $name: made $made times, listed $listed times" >&2
    status=1
  fi
done < "$work/made"
while read -r name listed; do
  made=$(awk -v n="$name" '$1 == n {print $2}' "$work/made")
  made=${made:-0}
  if [ "$made" -lt "$listed" ]; then
    echo "note: system call $name: listed $listed times, made $made times (bring the list down)"
  fi
done < "$work/listed"
if [ $status -ne 0 ]; then
  echo "the full trace:" >&2
  cat "$work/trace" >&2
fi
exit $status
