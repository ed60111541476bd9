#!/bin/sh
# InitPage inside the desktop app (the real web page) on a "full" data
# folder, against writing the page InitPage leaves in one go in the same
# engine. Runs the app RUNS times (default 3) under a virtual display, each
# on a freshly written folder in /dev/shm, and prints the page's figures.
#
#   bench/app_initpage.sh [BUILD_DIR]     (default: build)
# Needs the targets vellumine and vellumine_bench_mem built, and xvfb-run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
runs=${RUNS:-3}
folder=/dev/shm/vellumine-appbench-full
trap 'rm -rf "$folder"' EXIT
i=1
while [ "$i" -le "$runs" ]; do
  rm -rf "$folder"
  "$build/bin/vellumine_bench_mem" gen full "$folder" >/dev/null
  echo "run=$i"
  VELLUMINE_TIMING_SCRIPT="$here/app_initpage.js" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/bin/vellumine" --data "$folder"
  i=$((i + 1))
done
