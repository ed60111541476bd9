#!/usr/bin/env bash
# Counts the instructions of one call of each command at both sizes under
# callgrind and prints the full/tenth ratio: a measure of how a command grows
# with the data that machine load and caches don't disturb.
#
#   bench/callgrind_ratios.sh BUILD_DIR [COMMAND...]
# Commands are the benchmark names without the size (AddMemo, SetBG, ...);
# none given: all of them.
set -euo pipefail
build=${1:?usage: bench/callgrind_ratios.sh BUILD_DIR [COMMAND...]}
shift
bin=$build/bin/vellumine_bench
if [ $# -eq 0 ]; then
  set -- AddMemo RenewMemo RemoveMemo ChangeMemoPage MakeLinkMenu AddLink PermuteLink \
    ChangeLinkPage SetWndPos 'ChangeOption(MenuTextColor)' 'ChangeOption(LinkItemNum)' \
    'ChangeWindowOption(TextColor)' SetBG SetCalender ChangeDate ChangeSchedule
fi
# The interface method each benchmark calls; only its calls are counted.
method() {
  case "$1" in
    ChangeOption*) echo ChangeOption ;;
    ChangeWindowOption*) echo ChangeWindowOption ;;
    *) echo "$1" ;;
  esac
}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
printf '| Command | tenth (Ir) | full (Ir) | full/tenth |\n|---|---:|---:|---:|\n'
for command in "$@"; do
  declare -A ir=()
  for scale in tenth full; do
    filter="^$(printf '%s' "$command" | sed 's/[()]/\\&/g')/$scale(/|\$)"
    # The undo step of add and remove benchmarks calls the opposite method,
    # which is not counted.
    valgrind --tool=callgrind --callgrind-out-file="$out/cg" \
      "--toggle-collect=vellumine::CSkerrow::$(method "$command")(*" \
      "$bin" --smoke "--benchmark_filter=$filter" >/dev/null 2>"$out/err"
    ir[$scale]=$(sed -n 's/.*Collected : //p' "$out/err")
  done
  awk -v c="$command" -v t="${ir[tenth]}" -v f="${ir[full]}" \
    'BEGIN { printf "| %s | %d | %d | %.2f |\n", c, t, f, (t > 0 ? f / t : 0) }'
done
