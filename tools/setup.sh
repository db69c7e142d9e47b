#!/usr/bin/env bash
# Installs what the build needs (only what is missing), then configures and
# builds into build/. Safe to run again: it does only the missing work.
set -euo pipefail
cd "$(dirname "$0")/.."

# windres (MinGW binutils) compiles the driver's resources, with the MinGW
# C compiler as its preprocessor, as on the Windows build.
. tools/packages.sh
install_missing setup cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang-format libyuv-dev \
  binutils-mingw-w64-i686 gcc-mingw-w64-i686

build=${TARN2_BUILD:-build}
. tools/configure.sh
# TARN2_SANITIZE=thread (or address,undefined) gives a sanitizer build.
configure . "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN2_SANITIZE="${TARN2_SANITIZE:-}"
cmake --build "$build" -j"$(nproc)"
