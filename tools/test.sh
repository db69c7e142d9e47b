#!/usr/bin/env bash
# Builds what is missing and runs every test, then checks the formatting,
# then cross-builds the Windows modules and checks them (installing the
# cross compiler when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${TARN2_BUILD:-build}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 120
tools/format.sh --check
tools/build-windows.sh
tools/check-windows.sh
