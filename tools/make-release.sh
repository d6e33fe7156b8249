#!/usr/bin/env bash
# Makes the release files of framecalc into dist/, building both targets afresh:
#     bash tools/make-release.sh
#
#   dist/framecalc_<version>_amd64.deb    the Debian package, made by CPack from the CMake
#                                         install rules (the programs, both manual pages, the
#                                         example and German modules, copyright and changelog)
#   dist/framecalc-<version>-win32.zip    the folder framecalc-<version>-win32: framecalc.exe and
#                                         framecalc-batch.exe (32-bit), the German module as the
#                                         DLL framecalc.DEU, README.txt, and the manual pages as
#                                         text (framecalc.txt, framecalc-batch.txt), with CR LF
#   dist/SHA256SUMS                       the checksums of both
#
# The version is the CMake project's (project() in CMakeLists.txt), as framecalc-batch --version
# prints it. The builds go to build/release/, which is made afresh: nothing of another build is
# used. What is missing is installed first (tools/install-deps.sh with FRAMECALC_RELEASE=1).
# SOURCE_DATE_EPOCH (by default the time of the last commit) dates the changelog and the zip's
# entries. tools/test-release.sh checks the result.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

FRAMECALC_WINDOWS=1 FRAMECALC_RELEASE=1 bash tools/install-deps.sh

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "framecalc: note: the release holds changes that are not committed" >&2
fi

work=$root/build/release
rm -rf "$work"
mkdir -p "$work"

echo "== framecalc release: the Linux build and its Debian package"
cmake -S . -B "$work/linux" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DFRAMECALC_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/linux" -j2
version=$("$work/linux/batch/framecalc-batch" --version | sed -n 's/^framecalc-batch //p')
if ! [[ "$version" =~ ^[0-9]+(\.[0-9]+)*$ ]]; then
  echo "framecalc: framecalc-batch --version gave no version: '$version'" >&2
  exit 1
fi
(cd "$work/linux" && cpack -G DEB -B "$work/package" >/dev/null)
deb=framecalc_${version}_amd64.deb
[ -f "$work/package/$deb" ] || { echo "framecalc: cpack made no $deb" >&2; exit 1; }

echo "== framecalc release: the 32-bit Windows build"
cmake -S . -B "$work/windows" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFRAMECALC_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/windows" -j2 --target framecalc framecalc-batch

name=framecalc-${version}-win32
stage=$work/zip/$name
mkdir -p "$stage"
for exe in "$work/windows/framecalc.exe" "$work/windows/batch/framecalc-batch.exe"; do
  # i686 (machine 014c), importing nothing but system DLLs; the debugging information stays in
  # the build (a report's address is the same either way).
  header=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  machine=$(od -An -tx2 -j$((header + 4)) -N2 "$exe" | tr -d ' ')
  [ "$machine" = 014c ] || { echo "framecalc: $exe is not an i686 program ($machine)" >&2; exit 1; }
  imports=$(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' |
            grep -Evx 'ADVAPI32\.dll|KERNEL32\.dll|msvcrt\.dll|USER32\.dll' || true)
  [ -z "$imports" ] || { echo "framecalc: $exe imports $imports" >&2; exit 1; }
  i686-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$exe"
done
# The German module: UTF-8 for Linux, the DLL's text in code page 1252.
bash tools/make-language-dll.sh --from-utf8 share/framecalc.DEU.lang "$stage/framecalc.DEU"

# Texts for Windows: CR LF line ends; README.txt in code page 1252, as Windows editors read it.
crlf() { sed 's/$/\r/'; }
sed "s/@VERSION@/$version/g" packaging/README-windows.txt | iconv -f UTF-8 -t CP1252 | crlf \
  >"$stage/README.txt"
for page in framecalc framecalc-batch; do
  # The installed manual page (the version in its title), rendered as a terminal of 80 columns
  # shows it, in ASCII, without the terminal's bold and underlining.
  LC_ALL=C.UTF-8 MANWIDTH=80 man -E ascii -l "$work/linux/documents/$page.1" 2>"$work/$page.warnings" |
    col -bx | crlf >"$stage/$page.txt"
  if [ -s "$work/$page.warnings" ]; then
    echo "framecalc: man $page:" >&2
    cat "$work/$page.warnings" >&2
    exit 1
  fi
done

find "$work/zip" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
zip=$name.zip
(cd "$work/zip" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -9 -q "$work/$zip" -@)

mkdir -p dist
rm -f dist/framecalc_*.deb dist/framecalc-*-win32.zip dist/SHA256SUMS
cp "$work/package/$deb" "$work/$zip" dist/
(cd dist && sha256sum "$deb" "$zip" >SHA256SUMS)
echo "== framecalc release $version in dist/:"
(cd dist && ls -l "$deb" "$zip" SHA256SUMS)
