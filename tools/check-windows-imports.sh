#!/usr/bin/env bash
# Checks that the Windows executables of a build import nothing but system DLLs (the C and C++
# run-times and the thread library are linked in) and carry the string table resource.
#     tools/check-windows-imports.sh BUILD-DIR
set -euo pipefail
build="${1:?usage: tools/check-windows-imports.sh BUILD-DIR}"
allowed='^(ADVAPI32|KERNEL32|msvcrt|USER32)\.dll$'
failed=0
for exe in "$build"/framecalc.exe "$build"/tools/numconv-probe.exe "$build"/tests/unit_tests.exe; do
  [ -f "$exe" ] || { echo "missing: $exe" >&2; failed=1; continue; }
  objdump=i686-w64-mingw32-objdump
  if od -An -tx2 -j$(( $(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ') + 4 )) -N2 "$exe" | grep -q 8664; then
    objdump=x86_64-w64-mingw32-objdump
  fi
  while read -r dll; do
    if ! [[ "$dll" =~ $allowed ]]; then
      echo "$exe imports $dll, which is not a system DLL" >&2
      failed=1
    fi
  done < <("$objdump" -p "$exe" | awk '/DLL Name:/ {print $3}')
  if ! "$objdump" -h "$exe" | grep -q ' \.rsrc '; then
    echo "$exe has no resource section (the string table)" >&2
    failed=1
  fi
done
if [ $failed = 0 ]; then echo "framecalc: $build: the executables import only system DLLs"; fi
exit $failed
