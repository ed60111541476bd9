#!/usr/bin/env bash
# Writes the performance tables of the README from a recorded report: the
# part of RESULTS_FILE between "<!-- readme:begin -->" and
# "<!-- readme:end -->" replaces the part of README_FILE between
# "<!-- bench:begin -->" and "<!-- bench:end -->", so that every figure the
# README shows is one the report holds.
#
#   bench/readme_tables.sh RESULTS_FILE README_FILE
set -euo pipefail
results=${1:?usage: bench/readme_tables.sh RESULTS_FILE README_FILE}
readme=${2:?usage: bench/readme_tables.sh RESULTS_FILE README_FILE}
for marker in "<!-- readme:begin -->" "<!-- readme:end -->"; do
  grep -qF "$marker" "$results" || { echo "readme_tables: $results lacks $marker" >&2; exit 1; }
done
for marker in "<!-- bench:begin -->" "<!-- bench:end -->"; do
  grep -qF "$marker" "$readme" || { echo "readme_tables: $readme lacks $marker" >&2; exit 1; }
done
tables=$(mktemp)
out=$(mktemp)
trap 'rm -f "$tables" "$out"' EXIT
sed -n '/<!-- readme:begin -->/,/<!-- readme:end -->/p' "$results" | sed '1d;$d' >"$tables"
awk -v tables="$tables" '
  /<!-- bench:begin -->/ { print; while ((getline line < tables) > 0) print line; skip = 1; next }
  /<!-- bench:end -->/ { skip = 0 }
  !skip { print }
' "$readme" >"$out"
cat "$out" >"$readme"
echo "wrote the tables of $readme"
