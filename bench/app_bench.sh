#!/usr/bin/env bash
# The in-app benchmark: every command of the control that opens no dialog,
# timed inside the desktop app (the real page in its real engine) under a
# virtual display, at a tenth of the capacities and at full capacity. Each
# command runs in an app run of its own on a fresh copy of the generated data
# folder (in /dev/shm when there is one). Every run also times the start-up
# and a yardstick (bench/app_bench.js says what each figure is), and reports
# the peak resident size of every process of the app. One more run per size,
# and one on an empty data folder, start the app and then measure the CPU
# time its processes use while nothing happens.
#
#   bench/app_bench.sh BUILD_DIR OUT_DIR [--smoke]
#
# Writes OUT_DIR/raw.txt (every run's figures, a line each, prefixed with the
# size and the command) and OUT_DIR/table.md (bench/app_table.sh). With
# --smoke: every command once at a tenth, no idle runs, no table; a run that
# fails fails the script. Needs the targets vellumine and vellumine_bench_mem,
# and xvfb-run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: bench/app_bench.sh BUILD_DIR OUT_DIR [--smoke]}
out=${2:?usage: bench/app_bench.sh BUILD_DIR OUT_DIR [--smoke]}
smoke=0
[ "${3:-}" = --smoke ] && smoke=1
app=$build/bin/vellumine
gen=$build/bin/vellumine_bench_mem
for tool in "$app" "$gen"; do
  [ -x "$tool" ] || { echo "app_bench: $tool is not built" >&2; exit 2; }
done
command -v xvfb-run >/dev/null || { echo "app_bench: xvfb-run is missing (scripts/deps installs it)" >&2; exit 2; }

shm=/dev/shm
[ -d "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/vellumine-appbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
: >"$out/raw.txt"

commands=(InitPage AddMemo RenewMemo RemoveMemo EditMemo ChangeMemoPage MakeLinkMenu
  ChangeLinkMenu AddLink ChangeLink RemoveLink PermuteLink ChangeLinkPage SetWndPos
  "ChangeOption(MenuTextColor)" "ChangeOption(MenuFontSize)" "ChangeOption(WeekDayColor)"
  "ChangeOption(LinkItemNum)" "ChangeOption(MemoItemNum)" "ChangeWindowOption(TextColor)"
  "ChangeWindowOption(FontSize)" SetBG SetBG_Random AddWallPaper RemoveWallPaper SetCalender
  ChangeDate ChangeSchedule)
if [ "$smoke" = 1 ]; then
  scales=(tenth)
  calls=1
else
  scales=(tenth full)
  calls=${VELLUMINE_APP_BENCH_CALLS:-5}
fi
# While working on one thing: VELLUMINE_APP_BENCH_ONLY="RenewMemo SetBG" and
# VELLUMINE_APP_BENCH_SCALES="full" narrow the runs (no idle runs then).
narrowed=0
if [ -n "${VELLUMINE_APP_BENCH_ONLY:-}" ]; then
  read -r -a commands <<<"$VELLUMINE_APP_BENCH_ONLY"
  narrowed=1
fi
if [ -n "${VELLUMINE_APP_BENCH_SCALES:-}" ]; then
  read -r -a scales <<<"$VELLUMINE_APP_BENCH_SCALES"
  narrowed=1
fi

# Files the commands need: two link targets and a picture (AddLink and
# AddWallPaper check that the path is a file).
printf 'a\n' >"$work/target-a.txt"
printf 'b\n' >"$work/target-b.txt"
printf 'not really a picture\n' >"$work/picture.png"
# Questions (the undoing of MakeLinkMenu) are answered yes; anything else a
# run shows is logged, and a logged message fails the run.
for _ in $(seq 200); do echo yes; done >"$work/answers"

status=0
# run SCALE COMMAND DATA_DIR [IDLE_SECONDS]
run() {
  local scale=$1 command=$2 data=$3 idle=${4:-0}
  local last_global=99
  [ "$scale" = tenth ] && last_global=9
  local script="$work/script.js"
  {
    printf 'window.vellumineBench = {command: "%s", calls: %s, lastGlobal: %s, settle: %s,\n' \
      "$command" "$calls" "$last_global" "$((idle > 0 ? 10000 : 0))"
    printf '  linkTargets: ["%s", "%s"], picture: "%s"};\n' \
      "$work/target-a.txt" "$work/target-b.txt" "$work/picture.png"
    cat "$here/app_bench.js"
  } >"$script"
  : >"$work/dialogs.log"
  local log="$work/run.txt"
  local ok=1
  if ! VELLUMINE_TIMING_SCRIPT="$script" VELLUMINE_TIMING_IDLE_SECONDS="$idle" \
    VELLUMINE_DIALOG_SCRIPT="$work/answers" VELLUMINE_DIALOG_LOG="$work/dialogs.log" \
    GSETTINGS_BACKEND=memory \
    xvfb-run -a -s "-screen 0 1280x800x24" "$app" --data "$data" >"$log" 2>"$work/err.txt"; then
    ok=0
  fi
  # A refusal (a message with an OK button) means the command did not take
  # effect; the questions the undoing asks are answered.
  if grep -qP '^message\t[^\t]*\tOK\t' "$work/dialogs.log"; then
    echo "app_bench: $scale $command showed a message: $(grep -P '^message\t[^\t]*\tOK\t' "$work/dialogs.log" | head -1)" >&2
    ok=0
  fi
  local name=${command:-idle}
  if [ "$ok" = 1 ] && grep -q '^peak_rss_sum=' "$log"; then
    sed -n '/=/p' "$log" | sed "s/^/$scale $name /" >>"$out/raw.txt"
    echo "$scale $name: $(sed -n 's/^median_ms=//p;s/^idle_cpu_percent=/idle cpu % /p' "$log" | head -1)"
  else
    echo "app_bench: $scale $name failed" >&2
    sed -n '1,20p' "$work/err.txt" >&2
    echo "$scale $name failed=1" >>"$out/raw.txt"
    status=1
  fi
}

for scale in "${scales[@]}"; do
  "$gen" gen "$scale" "$work/gen-$scale" >/dev/null
  # A folder in use: written a while before the app starts. A file written
  # in the last few seconds is read again at every load, since a change in
  # the same tick of the file clock would not show in its time.
  find "$work/gen-$scale" -exec touch -h -d '1 hour ago' {} +
  for command in "${commands[@]}"; do
    rm -rf "$work/data"
    cp -a "$work/gen-$scale" "$work/data"
    run "$scale" "$command" "$work/data"
  done
done
if [ "$smoke" = 0 ] && [ "$narrowed" = 0 ]; then
  mkdir -p "$work/gen-empty"
  for scale in empty tenth full; do
    rm -rf "$work/data"
    cp -a "$work/gen-$scale" "$work/data"
    run "$scale" "" "$work/data" 20
  done
fi
[ "$smoke" = 0 ] && "$here/app_table.sh" "$out/raw.txt" >"$out/table.md"
exit "$status"
