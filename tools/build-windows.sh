#!/usr/bin/env bash
# Cross-builds the Windows driver mbktarn2u.drv and the decoder library
# mbkdec32.dll twice from the same sources with MinGW-w64: the i686 pair that
# ships for 32-bit hosts (build-win/, or $TARN2_WIN_BUILD) and the x86_64 pair
# for 64-bit hosts (build-win64/, or $TARN2_WIN64_BUILD), installing the cross
# compilers first when they are missing. Safe to run again: it does only the
# missing work.
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/packages.sh
install_missing build-windows cmake make g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64

. tools/configure.sh
# Only the two modules: the host program and the tests are Linux-only.
build_pair() {
  local build=$1 toolchain=$2
  configure . "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j2 --target mbktarn2u mbkdec32
  echo "build-windows: $build/bin/mbktarn2u.drv $build/bin/mbkdec32.dll"
}
build_pair "${TARN2_WIN_BUILD:-build-win}" mingw-i686.cmake
build_pair "${TARN2_WIN64_BUILD:-build-win64}" mingw-x86_64.cmake
