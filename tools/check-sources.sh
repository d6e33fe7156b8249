#!/usr/bin/env bash
# Checks the sources' form: every C and C++ file as .clang-format lays it out, and every shell
# script clean under shellcheck. Names what is off and exits 1; changes nothing (clang-format -i
# on a named file lays it out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh clang-format shellcheck
status=0
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "framecalc: the files above are not laid out as .clang-format says (clang-format -i FILE)" >&2
  status=1
fi
# The scripts: *.sh, the CI script and the virtual machine's guest scripts.
mapfile -t scripts < <(git ls-files '*.sh' .ci/run 'tools/wine-vm/*')
if ! shellcheck "${scripts[@]}"; then
  echo "framecalc: shellcheck finds the above in the scripts" >&2
  status=1
fi
exit "$status"
