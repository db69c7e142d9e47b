#!/usr/bin/env bash
# Builds what is missing and runs every test, then checks the formatting,
# then cross-builds the Windows modules and checks them (installing the
# cross compiler when it is missing), then runs the suite under the
# sanitizers (tools/sanitize.sh) and gives the fuzz targets a short run
# (tools/fuzz.sh). TARN2_QUICK=1 skips those last two, for a quick loop
# while working; CI always runs everything.
set -euo pipefail
cd "$(dirname "$0")/.."
# The project's checks treat every warning as an error (tools/configure.sh).
export TARN2_WERROR=ON
tools/setup.sh
build=${TARN2_BUILD:-build}
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 120 | tee "$summary"
# The suite's count again as the run's last line, after the checks below.
counts() {
  sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$summary" |
    awk '{ printf "tests: %d passed, %d failed\n", $1 - $2, $2 }'
}
tools/format.sh --check
tools/build-windows.sh
tools/check-windows.sh
if [ "${TARN2_QUICK:-0}" = 1 ]; then
  echo "test: TARN2_QUICK=1, sanitizer and fuzz runs skipped"
  counts
  exit 0
fi
tools/sanitize.sh
tools/fuzz.sh
counts
