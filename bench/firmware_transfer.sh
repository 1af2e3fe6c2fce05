#!/usr/bin/env bash
# Time of a 64 KiB firmware transfer (256 blocks) from `tavrin-cli firmware` to a
# virtual amplifier, against its pacing bound: each block waits for the worker's
# 100 ms wake-up, the 100 ms pause after the previous answer and the 20 ms gap before
# sending, so 256 x 220 ms = 56.3 s.
#
#   bench/firmware_transfer.sh [BUILD_DIR] [RUNS]     (root; BUILD_DIR default build/release)
#
# Prints per run the block phase (256 x the command's "ms a block") and the whole
# command's wall time (connect, resume question, start, blocks, checksum, version,
# finish, and the amplifier's restart until it answers again); then the median block
# phase and how far it lies above the bound.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$repo/build/release}")
runs=${2:-1}
export TAVRIN_BUILD_DIR=$build
export LAB_DIR=${LAB_DIR:-${TMPDIR:-/tmp}/tavrin-lab-fw-bench}
cli=$build/cli/tavrin-cli
[ -x "$cli" ] || { echo "no $cli (build tavrin-cli, device-sim, conmon-server)" >&2; exit 1; }
lab=$repo/scripts/lab
bound_ms=$((256 * 220))

work=$(mktemp -d)
cleanup() {
  "$lab" ctl Amp-1 firmware 21 11 17 1 >/dev/null 2>&1 || true
  [ -n "${KEEP_LAB:-}" ] || "$lab" down >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# 65280 data bytes in 16-byte records make an image of exactly 256 blocks.
awk 'BEGIN {
  printf "10D517060F0A\r\n";
  for (at = 0; at < 65280; at += 16) {
    line = sprintf(":10%04X00", at); sum = 16 + int(at / 256) + at % 256;
    for (i = 0; i < 16; i++) { b = ((at + i) * 7) % 251; line = line sprintf("%02X", b); sum += b }
    printf "%s%02X\r\n", line, (256 - sum % 256) % 256;
  }
  printf ":00000001FF\r\n";
}' > "$work/fw64k.hex"

"$lab" status >/dev/null 2>&1 || "$lab" up >/dev/null
phases=()
for i in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  out=$("$lab" exec "$cli" firmware Amp-1 "$work/fw64k.hex" --yes </dev/null 2>&1) || {
    echo "run $i failed:" >&2; echo "$out" >&2; exit 1; }
  wall_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  per_block=$(sed -n 's/^Sent 256 blocks, \([0-9.]*\) ms a block\.$/\1/p' <<<"$out")
  [ -n "$per_block" ] || { echo "run $i: no block figure in:" >&2; echo "$out" >&2; exit 1; }
  phase=$(awk -v p="$per_block" 'BEGIN { printf "%d", 256 * p + 0.5 }')
  phases+=("$phase")
  printf 'run %d: blocks %6d ms (%s ms a block), whole command %6d ms\n' "$i" "$phase" "$per_block" "$wall_ms"
  "$lab" ctl Amp-1 firmware 21 11 17 1 >/dev/null
done
median=$(printf '%s\n' "${phases[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
awk -v m="$median" -v b="$bound_ms" -v n="$runs" 'BEGIN {
  printf "64 KiB transfer, median of %d: blocks %.1f s, bound %.1f s (%+.1f %%)\n", n, m / 1000, b / 1000, (m - b) * 100 / b }'
