#!/usr/bin/env bash
# Installs what is missing, builds, then runs the benchmarks of bench/ with
# repetitions (the machine is shared, so the fastest and the median count,
# not the mean). Extra arguments go to the bench program, for example
#   tools/bench.sh --benchmark_filter=ratio/
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${TARN2_BUILD:-build}
if [ ! -x "$build/bin/tarn2_bench" ]; then
  echo "bench: $build/bin/tarn2_bench was not built (is libbenchmark-dev installed?)" >&2
  exit 1
fi
exec "$build/bin/tarn2_bench" --benchmark_repetitions="${TARN2_BENCH_REPETITIONS:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 "$@"
