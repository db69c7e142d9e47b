#!/usr/bin/env bash
# The real-time soak of the capture path: streams 352x288 at 30 frames a
# second through tarncap for ten minutes (TARN2_SOAK_SECONDS to change it),
# once on the default port and once on a fast port (type bits 0x30), and
# prints for each the rate overall and in steady state (after the first
# tenth of the run), the CPU per frame, the peak and final resident memory,
# the memory's growth between the first and the last tenth, and the frames
# skipped. The frames go as I420 into a YUV4MPEG2 stream thrown away, so no
# disk sets the pace. Run it on an otherwise idle machine: it measures time.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
build=${TARN2_BUILD:-build}
seconds=${TARN2_SOAK_SECONDS:-600}
report=$((seconds / 10 > 0 ? seconds / 10 : 1))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'port 1 base 0x378 type 0x77 camera\n' >"$work/fast.sim"

# One run; its report lines and summary go to $work/NAME.log.
soak() {
  local name=$1 scenario=$2
  mkdir -p "$work/$name"
  env ${scenario:+TARN2_SIM="$scenario"} "$build/bin/tarncap" --home "$work/$name" stream --seconds "$seconds" \
    --rate 30 --size 352x288 --format i420 --report "$report" --out - 2>"$work/$name.log" >/dev/null || true
}

# The figures of one run as a table row.
figures() {
  awk -v port="$2" '
    /over the last/ {
      n++; t[n] = $2 + 0; f[n] = $4 + 0; rss[n] = $(NF - 1) + 0
    }
    /frames delivered of/ { delivered = $2; skipped = $8; overall = $10 }
    /per frame delivered/ { cpu = $3 }
    /peak resident memory/ { peak = $5 }
    END {
      steady = n >= 2 && t[n] > t[1] ? (f[n] - f[1]) / (t[n] - t[1]) : 0
      printf "%-24s %9s %10.2f %10s %9s %10s %8.1f %8s %10s\n", port, overall, steady, cpu " ms", peak " MB",
        rss[n] " MB", rss[n] - rss[1], skipped, delivered
    }' "$1"
}

echo "soak: ${seconds} s of 352x288 at 30 fps asked, I420 into a YUV4MPEG2 stream, report every ${report} s"
soak default ""
soak fast "$work/fast.sim"
printf "%-24s %9s %10s %10s %9s %10s %8s %8s %10s\n" port "fps all" "fps steady" "CPU/frame" "peak RSS" \
  "final RSS" "growth" skipped delivered
figures "$work/default.log" "type 0x57 (default)"
figures "$work/fast.log" "type 0x77 (pipelined)"
for name in default fast; do
  if grep -q "^tarncap:" "$work/$name.log"; then
    echo "soak: $name run:"
    grep "^tarncap:" "$work/$name.log"
  fi
done
