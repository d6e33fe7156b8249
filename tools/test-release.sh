#!/usr/bin/env bash
# Makes the release files (tools/make-release.sh) and checks them as their users use them
# (tests/release): the Debian package installed into scratch roots, its metadata, its
# manual pages and lintian; the Windows zip unpacked into a scratch folder, its programs run
# under tools/wine-run.sh against the package's. Installs what is missing.
#     bash tools/test-release.sh [gtest options]
# With FRAMECALC_DIST set, the release files there are checked as they are (nothing is made;
# FRAMECALC_RELEASE_BUILD then names the Linux build they came from). Where this machine cannot
# run the zip's 32-bit programs, their tests are skipped with the reason;
# FRAMECALC_RELEASE_REQUIRE_WINDOWS=1 makes that a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
FRAMECALC_WINDOWS=1 FRAMECALC_RELEASE=1 bash tools/install-deps.sh
if [ -z "${FRAMECALC_DIST:-}" ]; then
  bash tools/make-release.sh
fi
cmake --preset default >/dev/null
cmake --build --preset default --target release_tests
echo "== framecalc: the release files"
status=0
build/default/tests/release/release_tests "$@" || status=$?
bash tools/wine-run.sh --stop
exit $status
