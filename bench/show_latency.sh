#!/usr/bin/env bash
# Time from `tavrin-cli show` start to the amplifier's first full answer, p50 of RUNS
# runs, in the lab with the default devices and again with 200 amplifiers.
#
#   bench/show_latency.sh [--verbose] [BUILD_DIR] [RUNS]   (root; default build/release)
#
# Each run prints "first full answer after N ms" (tavrin-cli --verbose); the script
# reports the median and the slowest run. --verbose adds the median of each step of
# the connection (runtime up, subscribed, worker started, first poll sent, answer
# segments in, answer taken), from the timeline tavrin-cli --verbose prints.
set -euo pipefail
verbose=0
if [ "${1:-}" = "--verbose" ]; then verbose=1; shift; fi
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$repo/build/release}")
runs=${2:-20}
export TAVRIN_BUILD_DIR=$build
export LAB_DIR=${LAB_DIR:-${TMPDIR:-/tmp}/tavrin-lab-show-bench}
cli=$build/cli/tavrin-cli
[ -x "$cli" ] || { echo "no $cli (build tavrin-cli, device-sim, conmon-server)" >&2; exit 1; }

measure() {
  local label=$1 amps=$2 i ms all=() err timelines=
  "$repo/scripts/lab" down >/dev/null 2>&1 || true
  LAB_WAIT_SECONDS=120 "$repo/scripts/lab" up --amps "$amps" >/dev/null
  for i in $(seq 1 "$runs"); do
    err=$("$repo/scripts/lab" exec "$cli" --verbose show Amp-1 2>&1 >/dev/null)
    ms=$(sed -n 's/^first full answer after \([0-9]*\) ms$/\1/p' <<<"$err")
    all+=("${ms:-99999}")
    timelines+=$(sed -n 's/^timeline (ms): //p' <<<"$err")$'\n'
  done
  if [ "$verbose" -eq 1 ]; then
    # One line per step: its median over the runs.
    local step values
    tr ',' '\n' <<<"$timelines" | sed -E 's/^ +//; /^$/d; s/ [0-9]+$//' | awk '!seen[$0]++' |
      while IFS= read -r step; do
        values=$(tr ',' '\n' <<<"$timelines" | sed -E 's/^ +//' | grep "^$step [0-9]*$" |
          awk '{print $NF}' | sort -n)
        printf '    %-22s median %5d ms\n' "$step" \
          "$(awk -v n="$(wc -l <<<"$values")" 'NR == int((n + 1) / 2)' <<<"$values")"
      done
  fi
  "$repo/scripts/lab" down >/dev/null 2>&1 || true
  printf '%s\n' "${all[@]}" | sort -n | awk -v label="$label" -v n="$runs" '
    { v[NR] = $1 }
    END { printf "%-28s p50 %6d ms   max %6d ms   (%d runs)\n", label, v[int((n + 1) / 2)], v[n], n }'
}

measure "show, default lab" 3
measure "show, 200 amplifiers" 200
