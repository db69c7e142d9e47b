#!/usr/bin/env bash
# The main job: builds what is missing, then runs tarncap with the given
# arguments in the current folder. Without arguments it runs "try": a
# snapshot and a five-second clip from the camera into capture/, with where
# they are and what to try next. TARN2_SKIP_SETUP=1 takes the build as it
# is (the tests run this on a build they made).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ "${TARN2_SKIP_SETUP:-0}" = 1 ] || (cd "$root" && tools/setup.sh >/dev/null)
build=${TARN2_BUILD:-build}
case $build in
  /*) ;;
  *) build=$root/$build ;;
esac
if [ $# -eq 0 ]; then set -- try; fi
exec "$build/bin/tarncap" "$@"
