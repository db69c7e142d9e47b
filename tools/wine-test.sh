#!/usr/bin/env bash
# Runs the Windows driver's suite under Wine: installs wine64 (and its
# fonts), Xvfb and the x86_64 MinGW compiler when missing, builds the x86_64 pair
# (tools/build-windows.sh) and the test program of tests/wine beside it,
# and runs the program with wine64 in a prefix of its own, headless under
# xvfb-run. Arguments go to the test program (e.g. --gtest_filter=Stream.*).
# The last line is the suite's "N passed, N failed". Build folder:
# build-win64/, or $TARN2_WIN64_BUILD; the prefix is its wine-prefix/.
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/packages.sh
install_missing wine-test wine64 fonts-wine xvfb xauth googletest g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64

build=${TARN2_WIN64_BUILD:-build-win64}
[ -f "$build/bin/mbktarn2u.drv" ] || tools/build-windows.sh >/dev/null
. tools/configure.sh
# Optimised a little and without debugging records: it builds a third
# faster, and the pictures are still compared in no time.
configure tests/wine "$build/wine" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" \
  -DTARN2_MINGW_THREADS=posix -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS=-O1 -DTARN2_WINE_OUTPUT="$PWD/$build/bin"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
if ! cmake --build "$build/wine" -j2 >"$output" 2>&1; then
  cat "$output"
  exit 1
fi

# The 64-bit loader itself (/usr/bin/wine picks the 32-bit one, which these
# machines cannot run); no prompts for Mono or Gecko.
export WINEPREFIX=$PWD/$build/wine-prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
# Without a window manager nobody would draw the windows' frames and
# captions, or tell Wine that a window it hid is gone (it would wait two
# seconds for that at every dialog's end): Wine draws the frames itself
# and manages its windows alone when told so, with its own fonts (the
# frames' buttons and the scroll arrows are Marlett), which go into the
# prefix. That first call creates the prefix; its session, which has no
# display, must end before the suite's begins.
if [ ! -d "$WINEPREFIX" ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  "$wineserver" -w
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
fi
status=0
(cd "$build/bin" && timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" "$wine" tarn2_wine_tests.exe "$@") \
  >"$output" 2>&1 || status=$?
"$wineserver" -k 2>/dev/null || true
# The driver prints the link test's upload states on its standard output;
# the display's end is no news.
tr -d '\r' <"$output" | sed -E 's/^(( S| CE| CS|IDLE|FINISHING)+)//; /^$/d; /^X connection to .* broken/d'
exit "$status"
