#!/usr/bin/env bash
# Times the viewer's filter and sort statements over the 1,000,000-row CSV of
# the text benchmark as whole processes beside sqlite3 doing the same work:
#   lumbrook-cli export PATH TABLE txt_comma OUT --sql "SELECT * FROM t WHERE ..."
#   sqlite3 :memory: -cmd ".import --csv PATH t" -cmd ".mode csv" "SELECT * FROM t WHERE ..."
# alternating A B A B, five runs each, and prints the medians of wall-clock
# time and peak memory (GNU time) with the ratio Lumbrook / sqlite3 (goal:
# each at most 1.0).
#
# Usage: bench/text/compare_filter_sort.sh [BUILD_DIR] [RUNS]   (defaults: build, 5)
# The file is written to $LUMBROOK_BENCH_CSV (default /tmp/lumbrook-bench/big.csv)
# when missing. Needs sqlite3 and GNU time (scripts/install-deps.sh).
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-5}
CSV=${LUMBROOK_BENCH_CSV:-/tmp/lumbrook-bench/big.csv}
DIR=$(dirname "$CSV")
OUT=$DIR/out
CLI=$BUILD/cli/lumbrook-cli
mkdir -p "$OUT"
[ -f "$CSV" ] || "$BUILD/bench/text/text_bench_gencsv" "$CSV"
command -v sqlite3 >/dev/null || { echo "sqlite3 is not installed" >&2; exit 1; }
BASE=$(basename "$CSV")
TABLE=${BASE//./#}  # the text source names a file's table with # for its dot

# name | Lumbrook's statement (as the filter and sort write it) | sqlite3's statement
# (the same condition and order; sqlite3's imported columns are all text, so
# the id tie-break is cast to sort as a number as Lumbrook's integer column does)
CASES=(
  "filter =|SELECT * FROM [$TABLE] WHERE   [category]='gamma'|SELECT * FROM t WHERE category='gamma'"
  "filter LIKE x%|SELECT * FROM [$TABLE] WHERE   [name] LIKE 'amber%'|SELECT * FROM t WHERE name LIKE 'amber%'"
  "filter =, =|SELECT * FROM [$TABLE] WHERE   [category]='gamma'   AND [active]=1|SELECT * FROM t WHERE category='gamma' AND active=1"
  "sort text|SELECT * FROM [$TABLE] ORDER BY name|SELECT * FROM t ORDER BY name"
  "sort text DESC,id|SELECT * FROM [$TABLE] ORDER BY category DESC,id|SELECT * FROM t ORDER BY category DESC,CAST(id AS INTEGER)"
)
# Only the cases whose name contains $ONLY, when set.
ONLY=${ONLY:-}

# timed LOG COMMAND...: runs the command under GNU time, appends "seconds kb" to LOG
timed() {
  local log=$1
  shift
  local t
  t=$(mktemp)
  /usr/bin/time -f "%e %M" -o "$t" "$@" >/dev/null || { echo "failed: $*" >&2; rm -f "$t"; exit 1; }
  tail -1 "$t" >>"$log"
  rm -f "$t"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "file: $CSV ($(($(stat -c %s "$CSV") / 1000000)) MB), $RUNS runs each, alternating; $(nproc) cores"
printf "%-20s %10s %10s %7s %12s %12s %7s\n" case lumbrook sqlite3 ratio "lb peak MB" "sq peak MB" ratio
for c in "${CASES[@]}"; do
  IFS='|' read -r name lsql ssql <<<"$c"
  [[ -z $ONLY || $name == *"$ONLY"* ]] || continue
  a=$(mktemp)
  b=$(mktemp)
  for ((i = 0; i < RUNS; i++)); do
    timed "$a" "$CLI" export "$CSV" "$TABLE" txt_comma "$OUT/lumbrook.csv" --sql "$lsql"
    timed "$b" sh -c "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.headers on' -cmd '.mode csv' \"$ssql\" > $OUT/sqlite.csv"
  done
  lt=$(cut -d' ' -f1 "$a" | median)
  st=$(cut -d' ' -f1 "$b" | median)
  lm=$(cut -d' ' -f2 "$a" | median)
  sm=$(cut -d' ' -f2 "$b" | median)
  rows_l=$(($(wc -l <"$OUT/lumbrook.csv") - 1))
  rows_s=$(($(wc -l <"$OUT/sqlite.csv") - 1))
  awk -v n="$name" -v lt="$lt" -v st="$st" -v lm="$lm" -v sm="$sm" 'BEGIN {
    printf "%-20s %9.2fs %9.2fs %7.2f %12.0f %12.0f %7.2f\n", n, lt, st, lt / st, lm / 1024, sm / 1024, lm / sm }'
  [ "$rows_l" = "$rows_s" ] || echo "  note: row counts differ (lumbrook $rows_l, sqlite3 $rows_s)"
  rm -f "$a" "$b"
done
