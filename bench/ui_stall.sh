#!/usr/bin/env bash
# The longest time the window's UI thread stalls during one Discovery of a lab with
# many amplifiers (aim: under 50 ms). Needs root; brings up a lab of its own.
#   bench/ui_stall.sh [BUILD_DIR] [AMPS] [RUNS]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build/release}" && pwd)
amps=${2:-200}
runs=${3:-3}
export LAB_DIR=${LAB_DIR:-/tmp/tavrin-lab-stall}
export TAVRIN_BUILD_DIR=$build
script=$(mktemp)
trap '"$repo/scripts/lab" down >/dev/null 2>&1 || true; rm -f "$script"' EXIT
printf 'discover Amp-1\nexpect-lamp red\n' >"$script"
LAB_WAIT_SECONDS=180 "$repo/scripts/lab" up --amps "$amps" >/dev/null
for i in $(seq 1 "$runs"); do
  "$repo/scripts/lab" exec env QT_QPA_PLATFORM=offscreen TAVRIN_UI_STALL_PROBE=1 \
    "$build/tavrin-config/tavrin-config" --play "$script" 2>&1 >/dev/null |
    grep 'longest UI-thread stall' | sed "s/^/run $i ($amps amplifiers): /"
done
