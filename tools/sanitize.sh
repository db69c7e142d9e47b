#!/usr/bin/env bash
# The whole test suite under AddressSanitizer with UndefinedBehaviorSanitizer
# (build-asan), then the stream tests, where the host's thread and the
# timer's thread share the buffer queue, under ThreadSanitizer (build-tsan).
# Each build folder builds only what its run needs. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
asan=${TARN2_ASAN_BUILD:-build-asan}
tsan=${TARN2_TSAN_BUILD:-build-tsan}

# A check of the project's own: warnings are errors here, run alone too.
TARN2_WERROR=${TARN2_WERROR:-ON}
. tools/configure.sh
# -O1 as the sanitizers' makers advise: quicker to build, stacks that read.
configure_sanitized() {
  configure . "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DTARN2_SANITIZE="$2"
}

started=$SECONDS
configure_sanitized "$asan" address,undefined
cmake --build "$asan" -j2 --target tarn2_tests
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The leak checker of this compiler's runtime crashes when it scans the
# thread-local block of a module that was unloaded (tarncap frees the
# driver, as a host does); leaks are still found through every other root.
export LSAN_OPTIONS=${LSAN_OPTIONS:-use_tls=0}
ctest --test-dir "$asan" -j2 --output-on-failure --timeout 300
echo "sanitize: address,undefined clean ($((SECONDS - started)) s)"

started=$SECONDS
configure_sanitized "$tsan" thread
cmake --build "$tsan" -j2 --target tarn2_stream_tests
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  "$tsan/bin/tarn2_stream_tests" --gtest_filter='Stream.*' --gtest_brief=1
echo "sanitize: thread clean on Stream.* ($((SECONDS - started)) s)"
