#!/usr/bin/env bash
# The main job: builds what is missing, then runs tarncap with the given
# arguments (by default "probe": load the driver, enable it, open and close
# its channels against the simulated camera, and report).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
build=${TARN2_BUILD:-build}
if [ $# -eq 0 ]; then set -- probe; fi
exec "$build/bin/tarncap" "$@"
