#!/usr/bin/env bash
# Measures what pulling the adapter out costs the program: runs quorvane on
# the offscreen platform against the meter simulator, ends the simulator (its
# pseudo-terminal hangs up, as an unplugged USB adapter does) once the line
# polls, and prints the CPU time and read calls of the program in the 10 s
# before and the 10 s after.
#
# Usage: scripts/measure-unplug.sh [poll period in ms, 200..1000; default 200]
# Environment: BUILD_DIR (default build) with quorvane, quorvane-meter-sim and
# quorvane_databases built.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
period=${1:-200}
home=$(mktemp -d)
sim=
program=
finish() {
  for pid in $program $sim; do kill -TERM "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap finish EXIT

"$build/bin/quorvane-meter-sim" --data-dir "$home" --addresses 1-5 >"$home/sim.out" 2>"$home/sim.log" &
sim=$!
for _ in $(seq 100); do [ -s "$home/sim.out" ] && break; sleep 0.1; done
[ -s "$home/sim.out" ] || { echo "the meter simulator did not start" >&2; exit 1; }
sed -i "s/^samplingtime=.*/samplingtime=$period/" "$home/qlvmsys.dll"

QUORVANE_HOME=$home QT_QPA_PLATFORM=offscreen "$build/bin/quorvane" >"$home/program.log" 2>&1 &
program=$!
for _ in $(seq 300); do grep -q '^REQ' "$home/sim.log" && break; sleep 0.1; done
grep -q '^REQ' "$home/sim.log" || { echo "the program does not poll" >&2; exit 1; }
sleep 2

ticks=$(getconf CLK_TCK)
sample() { echo "$(awk '{print $14 + $15}' "/proc/$program/stat") $(awk '/^syscr/ {print $2}' "/proc/$program/io")"; }
report() { # label, "cpu reads" before, "cpu reads" after
  read -r cpu0 reads0 <<<"$2"
  read -r cpu1 reads1 <<<"$3"
  awk -v l="$1" -v c=$((cpu1 - cpu0)) -v t="$ticks" -v r=$((reads1 - reads0)) \
    'BEGIN { printf "%-26s CPU %.2f s, %d read calls\n", l, c / t, r }'
}
echo "poll period $period ms"
start=$(sample); sleep 10; polled=$(sample)
report "10 s polling:" "$start" "$polled"
kill -TERM "$sim"; wait "$sim" 2>/dev/null || true; sim=
unplugged=$(sample); sleep 10; after=$(sample)
report "10 s after the unplug:" "$unplugged" "$after"
