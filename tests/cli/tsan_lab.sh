#!/usr/bin/env bash
# The whole stack under ThreadSanitizer against the lab: a poll stream (watch) runs
# while discoveries and connections come and go in other processes of the same lab.
#   tests/cli/tsan_lab.sh TSAN_TAVRIN_CLI RELEASE_BUILD_DIR
# Exits non-zero when any run reports a race or fails.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cli=$1
export TAVRIN_BUILD_DIR=$2
export LAB_DIR=${LAB_DIR:-$TAVRIN_BUILD_DIR/tsan-lab}
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$repo/tests/tsan.supp"
out=$(mktemp -d)
trap '"$repo/scripts/lab" down >/dev/null 2>&1; rm -rf "$out"' EXIT

"$repo/scripts/lab" up >/dev/null || { echo "tsan lab: the lab did not come up" >&2; exit 1; }
"$repo/scripts/lab" exec "$cli" watch Amp-1 --seconds 20 >"$out/watch" 2>&1 &
watch=$!
status=0
for i in 1 2; do
  "$repo/scripts/lab" exec "$cli" discover --brand all >"$out/discover$i" 2>&1 || status=1
done
for i in 1 2; do
  "$repo/scripts/lab" exec "$cli" show Amp-2 >"$out/show$i" 2>&1 || status=1
done
wait "$watch" || status=1
grep -q "Connected to Amp-1" "$out/watch" || status=1
for f in "$out"/*; do
  if grep -q "WARNING: ThreadSanitizer" "$f" || [ "$status" -ne 0 ]; then
    echo "--- $(basename "$f")"; cat "$f"
  fi
done
[ "$status" -eq 0 ] && ! grep -q "WARNING: ThreadSanitizer" "$out"/* && echo "tsan lab: no race" && exit 0
echo "tsan lab: FAILED" >&2
exit 1
