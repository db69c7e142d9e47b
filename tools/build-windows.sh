#!/usr/bin/env bash
# Cross-builds the Windows driver mbktarn2u.drv and the decoder library
# mbkdec32.dll with the 32-bit MinGW-w64 toolchain, installing the cross
# compiler first when it is missing. Safe to run again: it does only the
# missing work. Build folder: build-win/, or $TARN2_WIN_BUILD.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "build-windows: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build=${TARN2_WIN_BUILD:-build-win}
. tools/configure.sh
configure . "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the two modules: the host program and the tests are Linux-only.
cmake --build "$build" -j2 --target mbktarn2u mbkdec32
echo "build-windows: $build/bin/mbktarn2u.drv $build/bin/mbkdec32.dll"
