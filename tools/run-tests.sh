#!/usr/bin/env bash
# Builds framecalc and runs every test (unit and end-to-end), installing what is missing; then
# the same for the aarch64 Linux build, whose tests run under qemu-user, and for the 32-bit Windows
# build, whose tests run under Wine; then makes the release files and tests them as their users
# use them (tools/test-release.sh: the Debian package and the Windows zip; a few minutes).
# FRAMECALC_AARCH64=0 leaves the aarch64 build out. Then the WebAssembly module, whose tests run in
# node against the default build's programs; FRAMECALC_WASM=0 leaves it out.
#
# Where this machine's kernel runs no 32-bit code (Wine's 32-bit loader cannot start here), the
# 32-bit build's whole suite runs in a small virtual machine that does (tools/make-wine-vm.sh
# makes it once per machine; tools/wine-run.sh boots it on first use), and the same sources and
# tests also run as a 64-bit Windows build under this machine's own Wine (preset windows64),
# whose x87 is the real one. The virtual machine is stopped when the tests end, also when they
# fail or the run is interrupted.
#
# FRAMECALC_WINDOWS=0 leaves the Windows builds and the release out; FRAMECALC_RELEASE=0 leaves
# out the release alone. FRAMECALC_I686=0 leaves out the 32-bit
# suite in the virtual machine, the longest part (quicker while iterating on this machine).
# Arguments are passed to every ctest run.
set -euo pipefail
cd "$(dirname "$0")/.."
export FRAMECALC_WINDOWS="${FRAMECALC_WINDOWS:-1}"
export FRAMECALC_RELEASE="${FRAMECALC_RELEASE:-$FRAMECALC_WINDOWS}"
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default --timeout 300 "$@"

status=0
# A suite that fails does not stop the others; what failed, with each failed test's output, is
# said again at the very end, where a log that keeps only its last lines still shows it.
failures="build/failures.txt"
: >"$failures"
note_failures() {  # preset [heading]
  local log="build/$1/Testing/Temporary/LastTest.log"
  {
    echo "== framecalc: ${2:-failed in the $1 suite}:"
    sed 's/^[0-9]*:/  /' "build/$1/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || true
    # Each failed test's record in ctest's log, its last 40 lines at most.
    awk '/^[0-9]+\/[0-9]+ Testing: / { n = 0; failed = 0 }
         { block[n++] = $0 }
         /^Test Failed\.|^Test Failed / { failed = 1 }
         /" end time: / && failed { for (i = (n > 40 ? n - 40 : 0); i < n; i++) print "  | " block[i] }' \
      "$log" 2>/dev/null || true
  } >>"$failures"
}

# Wine 8 now and then kills a 32-bit program with SIGSEGV on its way out, after the program has
# done its work: its main thread is in the C library's exit() while a thread of Wine's own takes a
# signal and crashes in NtCurrentTeb (pthread_getspecific), as the core of one such end shows.
# That race is Wine's. A suite whose every failed test is of that kind, a test that printed its
# "[  PASSED  ]" and was then ended by SIGSEGV (ctest: "(SEGFAULT)"), runs those tests once more
# and passes if they pass then; they are named at the end all the same. Any other failure fails.
only_wine_exit_crashes() {  # preset ctest-output
  local failed="build/$1/Testing/Temporary/LastTestsFailed.log" name
  [ -s "$failed" ] || return 1
  while IFS=: read -r _ name; do
    grep -qF " - $name (SEGFAULT)" "$2" || return 1
    awk -v name="$name" '
      /^[0-9]+\/[0-9]+ Testing: / { inside = substr($0, index($0, "Testing: ") + 9) == name }
      inside && index($0, "[  PASSED  ]") { passed = 1 }
      END { exit !passed }' "build/$1/Testing/Temporary/LastTest.log" || return 1
  done <"$failed"
}

run_windows_suite() {  # preset ctest-arguments...
  local preset=$1 output="build/$1/ctest-output.txt"
  shift
  if ctest --preset "$preset" --timeout 300 -j2 "$@" 2>&1 | tee "$output"; then return 0; fi
  if only_wine_exit_crashes "$preset" "$output"; then
    echo "framecalc: the $preset suite: Wine ended passed tests with SIGSEGV; they run once more" >&2
    note_failures "$preset" "passed, then ended by Wine's SIGSEGV on the way out, in the $preset suite"
    if ctest --preset "$preset" --timeout 300 --rerun-failed "$@"; then
      echo "  they passed when run again" >>"$failures"
      return 0
    fi
  fi
  status=1
  note_failures "$preset"
}

release_tests() {
  echo "== framecalc: the release files"
  bash tools/test-release.sh ||
    { status=1; echo "== framecalc: the release tests failed (above)" >>"$failures"; }
}

say_failures() {
  if [ -s "$failures" ]; then cat "$failures" >&2; fi
}

if [ "${FRAMECALC_AARCH64:-1}" != 0 ]; then
  # No x87 there: the software extended arithmetic, which must give the same bits.
  echo "== framecalc: the aarch64 build, under qemu-user"
  cmake --preset aarch64 >/dev/null
  cmake --build --preset aarch64
  ctest --preset aarch64 --timeout 300 -j2 "$@" || { status=1; note_failures aarch64; }
fi

if [ "${FRAMECALC_WASM:-1}" != 0 ]; then
  echo "== framecalc: the WebAssembly module, in node"
  cmake --preset wasm >/dev/null
  cmake --build --preset wasm
  ctest --preset wasm --timeout 300 -j2 "$@" || { status=1; note_failures wasm; }
fi

if [ "${FRAMECALC_WINDOWS:-0}" = 0 ]; then
  if [ "$FRAMECALC_RELEASE" != 0 ]; then release_tests; fi
  say_failures
  exit $status
fi

echo "== framecalc: the 32-bit Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows
bash tools/check-windows-imports.sh build/windows

presets=()
if bash tools/wine-run.sh --uses-vm; then
  echo "== framecalc: this machine runs no 32-bit code: the Windows tests run on the 64-bit build here" \
       "and on the 32-bit build in a virtual machine" >&2
  # (Wine 8 in 64-bit mode reports a stack overflow with too little stack left to handle it:
  # that one scenario is left out of the windows64 test preset.)
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64
  bash tools/check-windows-imports.sh build/windows64
  presets+=(windows64)
  if [ "${FRAMECALC_I686:-1}" != 0 ]; then
    presets+=(windows)
  else
    echo "framecalc: FRAMECALC_I686=0: the 32-bit build's suite is left out" >&2
  fi
else
  presets+=(windows)
fi

# Everything the Windows runs started (Wine servers, the virtual machine) ends with this script.
trap 'bash tools/wine-run.sh --stop; say_failures' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for preset in "${presets[@]}"; do
  if [ "$preset" = windows ] && bash tools/wine-run.sh --uses-vm; then
    # Made (once per machine) and booted before the first test, whose time limit a first making
    # would exceed.
    started=$(date +%s)
    bash tools/wine-run.sh --start
    echo "framecalc: the virtual machine was ready after $(($(date +%s) - started)) s"
  fi
  echo "== framecalc: ctest --preset $preset"
  started=$(date +%s)
  run_windows_suite "$preset" "$@"
  echo "framecalc: the $preset suite took $(($(date +%s) - started)) s"
done

# The release's Windows programs run where the 32-bit suite ran (the machine is up by now).
if [ "$FRAMECALC_RELEASE" != 0 ]; then release_tests; fi
exit $status
