#!/usr/bin/env bash
# Discovery benchmark against a lab of many virtual amplifiers: brings the lab up with
# --amps N (timing it), runs bench_browse_lab inside it, brings it down again.
#
#   bench/browse_lab.sh [--amps N] [bench_browse_lab options...]
#
# Environment: TAVRIN_BUILD_DIR (default <repo>/build/release; needs sim/ and bench/
# built there), LAB_DIR (default /tmp/tavrin-lab-bench), LAB_WAIT_SECONDS (default
# 120 here: 200 amplifiers take a while to be advertised), KEEP_LAB=1 leaves it up.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export TAVRIN_BUILD_DIR=${TAVRIN_BUILD_DIR:-$repo/build/release}
export LAB_DIR=${LAB_DIR:-/tmp/tavrin-lab-bench}
export LAB_WAIT_SECONDS=${LAB_WAIT_SECONDS:-120}
amps=200
if [ "${1:-}" = --amps ]; then
  amps=${2:?--amps needs a number}
  shift 2
fi

bench=$TAVRIN_BUILD_DIR/bench/bench_browse_lab
[ -x "$bench" ] || { echo "browse_lab: no $bench (build the target bench_browse_lab)" >&2; exit 2; }
lab=$repo/scripts/lab

owns=0
if ! "$lab" status >/dev/null 2>&1; then
  owns=1
  start=$(date +%s.%N)
  "$lab" up --amps "$amps" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$amps" -v s="$start" -v e="$end" 'BEGIN { printf "browse_lab: scripts/lab up --amps %s took %.1f s\n", a, e - s }'
fi
cleanup() { [ "$owns" = 1 ] && [ "${KEEP_LAB:-0}" != 1 ] && "$lab" down; }
trap cleanup EXIT

"$lab" exec "$bench" "$@"
