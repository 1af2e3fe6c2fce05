#!/usr/bin/env bash
# Time from `tavrin-cli show` start to the amplifier's first full answer, p50 of RUNS
# runs, in the lab with the default devices and again with 200 amplifiers.
#
#   bench/show_latency.sh [BUILD_DIR] [RUNS]     (root; BUILD_DIR default build/release)
#
# Each run prints "first full answer after N ms" (tavrin-cli --verbose); the script
# reports the median and the slowest run.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$repo/build/release}")
runs=${2:-20}
export TAVRIN_BUILD_DIR=$build
export LAB_DIR=${LAB_DIR:-${TMPDIR:-/tmp}/tavrin-lab-show-bench}
cli=$build/cli/tavrin-cli
[ -x "$cli" ] || { echo "no $cli (build tavrin-cli, device-sim, conmon-server)" >&2; exit 1; }

measure() {
  local label=$1 amps=$2 i ms all=()
  "$repo/scripts/lab" down >/dev/null 2>&1 || true
  LAB_WAIT_SECONDS=120 "$repo/scripts/lab" up --amps "$amps" >/dev/null
  for i in $(seq 1 "$runs"); do
    ms=$("$repo/scripts/lab" exec "$cli" --verbose show Amp-1 2>&1 >/dev/null |
      sed -n 's/^first full answer after \([0-9]*\) ms$/\1/p')
    all+=("${ms:-99999}")
  done
  "$repo/scripts/lab" down >/dev/null 2>&1 || true
  printf '%s\n' "${all[@]}" | sort -n | awk -v label="$label" -v n="$runs" '
    { v[NR] = $1 }
    END { printf "%-28s p50 %6d ms   max %6d ms   (%d runs)\n", label, v[int((n + 1) / 2)], v[n], n }'
}

measure "show, default lab" 3
measure "show, 200 amplifiers" 200
