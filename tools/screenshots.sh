#!/usr/bin/env bash
# Pictures of the driver's dialogs for the documentation: every dialog
# (Driver Settings, Video Format, Camera Settings, Advanced Camera Settings,
# the trace window) in every language it exists in, opened by the Windows
# driver under Wine and drawn by Wine's user32 under Xvfb
# (tools/wine-test.sh runs the Pictures case of tests/wine), cropped to the
# window and written as small palette PNGs into docs/dialogs/.
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/packages.sh
install_missing screenshots imagemagick

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
TARN2_PICTURES=$shots tools/wine-test.sh --gtest_filter='Pictures.*'
mkdir -p docs/dialogs
for bmp in "$shots"/*.bmp; do
  png=docs/dialogs/$(basename "${bmp%.bmp}").png
  convert "$bmp" -strip "PNG8:$png"
  echo "screenshots: $png"
done
