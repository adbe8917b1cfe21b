#!/usr/bin/env bash
# Builds the program and opens it on the bundled meter simulator: five
# simulated meters (addresses 1..5) on a pseudo-terminal that the program
# knows as COM1, in a demo data directory of its own (build/demo-home).
#
# Without a display the program runs under Xvfb for a few seconds and a
# screenshot of it is saved instead.
#
# Environment: BUILD_DIR (default build), BUILD_TYPE (default Release),
# QUORVANE_HOME (default $BUILD_DIR/demo-home), SCREENSHOT (where the headless
# screenshot goes, default $BUILD_DIR/demo-screenshot.png), DEMO_SECONDS
# (how long the headless run lasts, default 6).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/packages.sh
ensure_packages "${quorvane_packages[@]}"

build=${BUILD_DIR:-build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}"
cmake --build "$build" -j "$(nproc)" --target quorvane quorvane-meter-sim quorvane_databases

export QUORVANE_HOME=${QUORVANE_HOME:-$root/$build/demo-home}
mkdir -p "$QUORVANE_HOME"
sim_out=$build/demo-sim.out
sim_log=$build/demo-sim.log

# The simulator lays down the defaults in the data directory when they are
# missing and points COM1 of its settings file at its pseudo-terminal.
"$build/bin/quorvane-meter-sim" --data-dir "$QUORVANE_HOME" --addresses 1-5 >"$sim_out" 2>"$sim_log" &
sim=$!
stop_sim() {
  kill -TERM "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop_sim EXIT

for _ in $(seq 100); do
  [ -s "$sim_out" ] && break
  kill -0 "$sim" 2>/dev/null || { cat "$sim_log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$sim_out" ] || { echo "the meter simulator did not start" >&2; cat "$sim_log" >&2; exit 1; }
echo "meter simulator on $(head -n 1 "$sim_out") (requests logged in $sim_log)"
echo "data directory: $QUORVANE_HOME"

# The demo opens on the value panels the first time; after that the program
# reopens on whatever it showed when it was last closed.
settings=$QUORVANE_HOME/qlvmsys.dll
if ! grep -qi '^Surface=' "$settings"; then
  if grep -qi '^\[SysConfig\]' "$settings"; then
    sed -i '/^\[[Ss][Yy][Ss][Cc][Oo][Nn][Ff][Ii][Gg]\]/a Surface=MeterPanel' "$settings"
  else
    printf '\n[SysConfig]\nSurface=MeterPanel\n' >>"$settings"
  fi
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$build/bin/quorvane"
  exit 0
fi

# Headless: run for a while on a virtual screen the size of the window, then
# photograph the screen and end the program as its Exit command would.
shot=${SCREENSHOT:-$root/$build/demo-screenshot.png}
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$1" & program=$!
  sleep "$3"
  import -window root "$2"
  kill -TERM $program
  wait $program
' run "$root/$build/bin/quorvane" "$shot" "${DEMO_SECONDS:-6}"
echo "screenshot: $shot"
