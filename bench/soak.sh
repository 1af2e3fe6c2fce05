#!/usr/bin/env bash
# A soak under faults: `tavrin-cli status --all --watch` runs on a lab of N amplifiers
# for M minutes while a fault schedule (a fixed seed) silences, drops, delays and takes
# offline amplifiers and restarts the ConMon server and avahi-daemon, and a `set` on all
# amplifiers runs every minute. Reports: amplifiers that answered again after each
# fault (and how long it took), sets that ended compared or with an honest error (an
# "ok" for an amplifier whose wire log lacks the frame counts as wrong), the watching
# process's resident memory, descriptors and CPU at the start and the end.
#
#   bench/soak.sh [--minutes M] [--amps N] [--seed S] [--build DIR]
#
# Needs root (the lab). Defaults: 30 minutes, 200 amplifiers, seed 1, build/release.
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
minutes=30
amps=200
seed=1
build=$repo/build/release
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    --amps) amps=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    *) echo "usage: bench/soak.sh [--minutes M] [--amps N] [--seed S] [--build DIR]" >&2; exit 64 ;;
  esac
done
export LAB_DIR=${LAB_DIR:-/tmp/tavrin-lab-soak}
export TAVRIN_BUILD_DIR=$build LAB_WAIT_SECONDS=${LAB_WAIT_SECONDS:-180}
cli=$build/cli/tavrin-cli
lab=$repo/scripts/lab
out=$(mktemp -d /tmp/tavrin-soak.XXXXXX)
RANDOM=$seed

"$lab" up --amps "$amps" >/dev/null || { echo "soak: the lab did not come up" >&2; exit 1; }
trap '"$lab" down >/dev/null 2>&1' EXIT

# The watch, inside the lab; its own pid is found by its command line.
"$lab" exec "$cli" status --all --watch 10 --json >"$out/watch.jsonl" 2>"$out/watch.err" &
watch_pid=""
for _ in $(seq 1 100); do
  watch_pid=$(pgrep -n -f "tavrin-cli status --all --watch 10" || true)
  [ -n "$watch_pid" ] && break
  sleep 0.2
done
[ -n "$watch_pid" ] || { echo "soak: the watch did not start" >&2; exit 1; }

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$watch_pid/status" 2>/dev/null; }
fds() { ls "/proc/$watch_pid/fd" 2>/dev/null | wc -l; }
cpu() { awk '{print ($14 + $15) / 100}' "/proc/$watch_pid/stat" 2>/dev/null; }
# The newest master setting the watch saw for an amplifier.
master_of() {
  grep "\"name\":\"$1\"" "$out/watch.jsonl" | tail -n 1 | sed -n 's/.*"master":"\([^"]*\)".*/\1/p'
}
# The newest row of an amplifier in the watch's output: its error, or "ok".
row_of() {
  grep "\"name\":\"$1\"" "$out/watch.jsonl" | tail -n 1 |
    sed -n 's/.*"error":"\([^"]*\)".*/\1/p;t;s/.*/ok/p'
}

# Let the first table come, then take the starting figures.
sleep 30
rss0=$(rss); fds0=$(fds); cpu0=$(cpu)
start=$SECONDS
end=$((start + minutes * 60))
faults=0; recovered=0; slowest=0; sets=0; sets_honest=0; sets_wrong=0
next_set=$((SECONDS + 60))
level=60  # the lab's amplifiers start at 60 %: the first set sends 40

pick_amp() { echo "Amp-$((RANDOM % amps + 1))"; }

# One amplifier's fault for 30 s, then how long it took to answer again.
amp_fault() {
  local amp=$1 on=$2 off=$3
  "$lab" ctl "$amp" $on >/dev/null
  sleep 30
  "$lab" ctl "$amp" $off >/dev/null
  local t0=$SECONDS
  while [ $((SECONDS - t0)) -lt 60 ]; do
    sleep 5
    if [ "$(row_of "$amp")" = ok ]; then
      echo $((SECONDS - t0))
      return
    fi
  done
  echo -1
}

while [ $SECONDS -lt $end ]; do
  case $((RANDOM % 7)) in
    0) took=$(amp_fault "$(pick_amp)" "silence on" "silence off") ;;
    1) took=$(amp_fault "$(pick_amp)" "offline" "online") ;;
    2) took=$(amp_fault "$(pick_amp)" "drop 30" "drop 0") ;;
    3) took=$(amp_fault "$(pick_amp)" "delay 2000" "delay 0") ;;
    4) took=$(amp_fault "$(pick_amp)" "corrupt on" "corrupt off") ;;
    5) "$lab" restart conmon-server >/dev/null; sleep 30; took=0 ;;
    6) "$lab" restart avahi >/dev/null; sleep 30; took=0 ;;
  esac
  faults=$((faults + 1))
  if [ "$took" -ge 0 ]; then
    recovered=$((recovered + 1))
    [ "$took" -gt "$slowest" ] && slowest=$took
  fi
  if [ $SECONDS -ge $next_set ]; then
    next_set=$((SECONDS + 60))
    level=$((level == 40 ? 60 : 40))
    before=$(mktemp -d)
    for w in "$LAB_DIR"/*.wire; do
      wc -l <"$w" >"$before/$(basename "$w")"
      a=$(basename "$w" .wire)
      master_of "$a" >"$before/$a.master"
    done
    "$lab" exec "$cli" set --all "master=$level" >"$out/set.$sets" 2>&1
    sets=$((sets + 1))
    # Every "ok" must be on the wire: the master frame since the set began, unless the
    # amplifier held the value already (a set before failed honestly on it).
    byte=$(printf '%02x' $((level / 2)))
    wrong=0
    while read -r ok_line; do
      amp=${ok_line%%: ok}
      [ "$(cat "$before/$amp.master" 2>/dev/null)" = "$level" ] && continue
      w=$LAB_DIR/$amp.wire
      n=$(cat "$before/$amp.wire" 2>/dev/null || echo 0)
      if ! tail -n +$((n + 1)) "$w" | grep -q "aa d5 08 00 03 $byte ff"; then
        wrong=$((wrong + 1))
        echo "soak: $amp reported ok without the frame" >>"$out/wrong"
      fi
    done < <(grep -E '^Amp-[0-9]+: ok$' "$out/set.$((sets - 1))")
    rm -rf "$before"
    if [ $wrong -eq 0 ]; then sets_honest=$((sets_honest + 1)); else sets_wrong=$((sets_wrong + 1)); fi
  fi
done

rss1=$(rss); fds1=$(fds); cpu1=$(cpu)
kill -INT "$watch_pid" 2>/dev/null
wait 2>/dev/null
growth=$(awk -v a="$rss0" -v b="$rss1" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
printf '\nsoak: %d minutes, %d amplifiers, seed %d (output in %s)\n' "$minutes" "$amps" "$seed" "$out"
printf '%-44s %s\n' "faults injected" "$faults"
printf '%-44s %s (slowest %s s after the fault ended)\n' "answered again within 60 s" "$recovered" "$slowest"
printf '%-44s %s\n' "sets run" "$sets"
printf '%-44s %s\n' "sets honest (every ok on the wire)" "$sets_honest"
printf '%-44s %s\n' "sets with an ok not on the wire" "$sets_wrong"
printf '%-44s %s kB -> %s kB (%s %%)\n' "resident memory of the watch" "$rss0" "$rss1" "$growth"
printf '%-44s %s -> %s\n' "open descriptors of the watch" "$fds0" "$fds1"
printf '%-44s %s s -> %s s\n' "CPU time of the watch" "$cpu0" "$cpu1"
