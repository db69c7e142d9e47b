#!/usr/bin/env bash
# Builds what is missing and runs every test, then checks the formatting.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${TARN2_BUILD:-build}
ctest --test-dir "$build" -j"$(nproc)" --output-on-failure --timeout 120
tools/format.sh --check
