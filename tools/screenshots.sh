#!/usr/bin/env bash
# Pictures of the driver's dialogs for the documentation: every dialog
# (Driver Settings, Video Format, Camera Settings, Advanced Camera Settings,
# the trace window) in every language it exists in, opened by the Windows
# driver under Wine and drawn by Wine's user32 under Xvfb
# (tools/wine-test.sh runs the Pictures case of tests/wine), cropped to the
# window and written as small palette PNGs into docs/dialogs/.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg -s imagemagick >/dev/null 2>&1; then
  echo "screenshots: installing imagemagick"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
TARN2_PICTURES=$shots tools/wine-test.sh --gtest_filter='Pictures.*'
mkdir -p docs/dialogs
for bmp in "$shots"/*.bmp; do
  png=docs/dialogs/$(basename "${bmp%.bmp}").png
  convert "$bmp" -strip "PNG8:$png"
  echo "screenshots: $png"
done
