#!/usr/bin/env bash
# Builds what is missing and runs every test, then checks the formatting,
# then cross-builds the Windows modules and checks them (installing the
# cross compiler when it is missing), then runs the suite under the
# sanitizers (tools/sanitize.sh) and gives the fuzz targets a short run
# (tools/fuzz.sh). TARN2_QUICK=1 skips those last two, for a quick loop
# while working; CI always runs everything.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${TARN2_BUILD:-build}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 120
tools/format.sh --check
tools/build-windows.sh
tools/check-windows.sh
if [ "${TARN2_QUICK:-0}" = 1 ]; then
  echo "test: TARN2_QUICK=1, sanitizer and fuzz runs skipped"
  exit 0
fi
tools/sanitize.sh
tools/fuzz.sh
