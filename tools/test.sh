#!/usr/bin/env bash
# Builds what is missing and runs every test, then checks the formatting,
# then cross-builds the Windows modules and checks them (installing the
# cross compilers when they are missing), then runs the Windows driver's
# suite under Wine (tools/wine-test.sh, installing Wine and Xvfb when
# missing), then runs the suite under the sanitizers (tools/sanitize.sh)
# and gives the fuzz targets a short run (tools/fuzz.sh). TARN2_QUICK=1
# skips those last two, for a quick loop while working; CI always runs
# everything.
set -euo pipefail
cd "$(dirname "$0")/.."
# The project's checks treat every warning as an error (tools/configure.sh).
export TARN2_WERROR=ON
tools/setup.sh
build=${TARN2_BUILD:-build}
summary=$(mktemp)
wine=$(mktemp)
trap 'rm -f "$summary" "$wine"' EXIT
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 120 | tee "$summary"
# The suites' counts again as the run's last lines, after the checks below.
counts() {
  sed -n 's/^\([0-9]* passed, [0-9]* failed\)$/wine: \1/p' "$wine"
  sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$summary" |
    awk '{ printf "tests: %d passed, %d failed\n", $1 - $2, $2 }'
}
tools/format.sh --check
tools/build-windows.sh
tools/check-windows.sh
tools/wine-test.sh | tee "$wine"
if [ "${TARN2_QUICK:-0}" = 1 ]; then
  echo "test: TARN2_QUICK=1, sanitizer and fuzz runs skipped"
  counts
  exit 0
fi
tools/sanitize.sh
tools/fuzz.sh
counts
