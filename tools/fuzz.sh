#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz and
# gives each a short run from its seed corpus (TARN2_FUZZ_SECONDS each,
# default 5, from a fixed seed). New inputs found go to a scratch corpus in
# the build folder, never into the repository; a crash leaves its input in
# build-fuzz/ and fails the run. One line per target with the executions.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${TARN2_FUZZ_BUILD:-build-fuzz}
seconds=${TARN2_FUZZ_SECONDS:-5}
seed=${TARN2_FUZZ_SEED:-1}

. tools/packages.sh
install_missing fuzz clang libclang-rt-dev binutils-mingw-w64-i686 gcc-mingw-w64-i686

# A check of the project's own: warnings are errors here, run alone too.
TARN2_WERROR=${TARN2_WERROR:-ON}
. tools/configure.sh
configure tests/fuzz "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2

# The seeds of the resource readers: the driver's resources and the
# window-system tests', compiled by windres as the build compiles them.
scratch="$build/corpus"
rm -rf "$scratch"
mkdir -p "$scratch"/{frame,hive_scenario,resources}
for rc in ui/resources/tarn2.rc tests/windows_test.rc; do
  i686-w64-mingw32-windres -O res -i "$rc" -o "$scratch/resources/$(basename "$rc" .rc).res"
done

failed=0
for name in frame hive_scenario resources; do
  log="$build/fuzz_$name.log"
  seeds=("corpus/$name")
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds+=("$root/tests/fuzz/corpus/$name")
  if (cd "$build" && "bin/fuzz_$name" -seed="$seed" -max_total_time="$seconds" -timeout=10 -close_fd_mask=2 \
        -print_final_stats=1 "${seeds[@]}") >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: fuzz_$name $runs runs in ${seconds} s, no fault"
  else
    echo "fuzz: fuzz_$name FAILED; the report:"
    grep -v '^#' "$log" | tail -60
    failed=1
  fi
done
exit $failed
