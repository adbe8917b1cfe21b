#!/usr/bin/env bash
# Takes the screenshots of the README and the manual: the program on the
# meter simulator under Xvfb, in both languages, into docs/.
# Environment: BUILD_DIR (default build), BUILD_TYPE (default Release).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/packages.sh
ensure_packages "${quorvane_packages[@]}"

build=${BUILD_DIR:-build}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}"
cmake --build "$build" -j "$(nproc)" --target shoot_screens quorvane-meter-sim quorvane_databases

for lang in zh en; do
  xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
    "$build/bin/shoot_screens" "$root/docs" "$lang"
done
ls -1 docs/*.png
