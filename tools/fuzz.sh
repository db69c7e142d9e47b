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

missing=()
for p in clang libclang-rt-dev; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# A check of the project's own: warnings are errors here, run alone too.
TARN2_WERROR=${TARN2_WERROR:-ON}
. tools/configure.sh
configure tests/fuzz "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2

# The resource script the driver really carries, with its header as the
# include the fuzzer offers after the zero byte.
scratch="$build/corpus"
rm -rf "$scratch"
mkdir -p "$scratch"/{frame,hive_scenario,resource_script}
if [ -f ui/resources/tarn2.rc ] && [ -f ui/resources/resource.h ]; then
  { sed 's/"resource.h"/"fuzz.h"/' ui/resources/tarn2.rc; printf '\0'; cat ui/resources/resource.h; } \
    >"$scratch/resource_script/tarn2.rc"
fi

failed=0
for name in frame hive_scenario resource_script; do
  log="$build/fuzz_$name.log"
  if (cd "$build" && "bin/fuzz_$name" -seed="$seed" -max_total_time="$seconds" -timeout=10 -close_fd_mask=2 \
        -print_final_stats=1 "corpus/$name" "$root/tests/fuzz/corpus/$name") >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: fuzz_$name $runs runs in ${seconds} s, no fault"
  else
    echo "fuzz: fuzz_$name FAILED; the report:"
    grep -v '^#' "$log" | tail -60
    failed=1
  fi
done
exit $failed
