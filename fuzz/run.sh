#!/usr/bin/env bash
# Builds the number-conversion fuzz targets with clang's libFuzzer (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time:
#
#   bash fuzz/run.sh [seconds]          (default: 60 seconds per target)
#
# Targets: text_to_real (TextToReal), real_to_text (RealToText), soft_extended (the software
# extended real against the x87), language_module and batch (framecalc-batch's input processing); see the comment at the top of
# each source for what it checks. The project itself builds with g++; the fuzz targets use clang++
# directly, whose long double is the same x87 extended format. Both run under the program's
# control word 0x1332: an x87 fault is a real SIGFPE that the platform's fault guard
# (platform/posix/faults.cpp, through probes/x87_guard.h) catches around each guarded call,
# accepted only where it is the expected overflow; anywhere else libFuzzer and the sanitizers
# report it as the crash it is.
#
# Build and working files go to $FUZZ_BUILD_DIR (default: $TMPDIR/framecalc-fuzz): the corpus that
# grows while fuzzing (the committed seeds under fuzz/seeds/<target>/ are only read) and the
# crash reproducers, which are kept as <target>-crash-<hash>. Rerun one with
#   "$FUZZ_BUILD_DIR/<target>" <file>
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_BUILD_DIR:-${TMPDIR:-/tmp}/framecalc-fuzz}
cxx=${CLANGXX:-clang++}
mkdir -p "$out/artifacts"
if [ -z "${CLANGXX:-}" ]; then
  bash "$root/tools/install-deps.sh" clang libclang-rt-dev >&2
fi

# The commas inside -fsanitize= belong to the one flag.
# shellcheck disable=SC2054
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Wall -Wextra -I"$root" -I"$root/numconv/x87")

# The platform's fault guard: its handler (and the machine state it reads) for the targets that
# run conversions under the program's control word.
guard=("$root/platform/posix/faults.cpp" -I"$root/platform/posix" -I"$root/platform/posix/x86_64")

export ASAN_OPTIONS=handle_segv=1:detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
for target in text_to_real real_to_text; do
  echo "== building $target"
  "$cxx" "${flags[@]}" "$root"/numconv/*.cpp "$root"/numconv/x87/*.cpp "${guard[@]}" \
    "$root/fuzz/${target}_fuzz.cpp" -o "$out/$target"

  mkdir -p "$out/corpus/$target"
  extra=()
  case $target in
    text_to_real) extra=(-max_len=6000 -dict="$root/fuzz/text_to_real.dict") ;;
    real_to_text) extra=(-max_len=22) ;;
  esac
  echo "== running $target for $seconds s"
  if ! "$out/$target" -max_total_time="$seconds" -print_final_stats=1 \
         -artifact_prefix="$out/artifacts/$target-" "${extra[@]}" \
         "$out/corpus/$target" "$root/fuzz/seeds/$target"; then
    echo "== $target FAILED: reproducers in $out/artifacts/"
    status=1
  fi
done
# ---- software extended real -----------------------------------------------------------------
# The software arithmetic (numconv/soft_extended.cpp) against the x87 of this machine; see the
# comment at the top of fuzz/soft_extended_fuzz.cpp for what it checks.
echo "== building soft_extended"
"$cxx" "${flags[@]}" "$root/numconv/soft_extended.cpp" "$root/fuzz/soft_extended_fuzz.cpp" \
  -o "$out/soft_extended"
mkdir -p "$out/corpus/soft_extended"
echo "== running soft_extended for $seconds s"
if ! "$out/soft_extended" -max_total_time="$seconds" -max_len=22 -print_final_stats=1 \
       -artifact_prefix="$out/artifacts/soft_extended-" \
       "$out/corpus/soft_extended" "$root/fuzz/seeds/soft_extended"; then
  echo "== soft_extended FAILED: reproducers in $out/artifacts/"
  status=1
fi
# ---- end of software extended real -----------------------------------------------------------
# ---- language module parser ------------------------------------------------------------------
# The parser of language module files (platform/posix/string_tables.cpp) with the program's own
# string table; see the comment at the top of fuzz/fuzz_language_module.cpp for what it checks.
echo "== building language_module"
"$cxx" "${flags[@]}" "$root/platform/posix/string_tables.cpp" "$root/platform/posix/files.cpp" \
  "$root/platform/posix/image_string_table.cpp" "$root/fuzz/fuzz_language_module.cpp" -o "$out/language_module"
mkdir -p "$out/corpus/language_module"
echo "== running language_module for $seconds s"
if ! "$out/language_module" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
       -artifact_prefix="$out/artifacts/language_module-" \
       "$out/corpus/language_module" "$root/fuzz/seeds/language_module"; then
  echo "== language_module FAILED: reproducers in $out/artifacts/"
  status=1
fi
# ---- end of language module parser -----------------------------------------------------------
# ---- framecalc-batch ------------------------------------------------------------------------
# The whole processing of framecalc-batch's input (batch/) with the calculator's intersection; see
# the comment at the top of fuzz/batch_fuzz.cpp for what it checks.
echo "== building batch"
"$cxx" "${flags[@]}" "$root"/numconv/*.cpp "$root"/numconv/x87/*.cpp "$root/calculator/frame_intersection.cpp" \
  "$root/batch/input_prelude.cpp" "$root/batch/record_parser.cpp" "$root/batch/column_layout.cpp" \
  "$root/batch/number_field.cpp" "$root/batch/record_evaluation.cpp" "$root/batch/table_fields.cpp" \
  "$root/batch/output_buffer.cpp" "$root/batch/record_processor.cpp" "${guard[@]}" \
  "$root/fuzz/batch_fuzz.cpp" -o "$out/batch"
mkdir -p "$out/corpus/batch"
echo "== running batch for $seconds s"
if ! "$out/batch" -max_total_time="$seconds" -max_len=4096 \
       -dict="$root/fuzz/batch.dict" -print_final_stats=1 \
       -artifact_prefix="$out/artifacts/batch-" \
       "$out/corpus/batch" "$root/fuzz/seeds/batch"; then
  echo "== batch FAILED: reproducers in $out/artifacts/"
  status=1
fi
# ---- end of framecalc-batch ------------------------------------------------------------------
exit $status
