#!/usr/bin/env bash
# Times lumbrook-cli's filter and sort steps against sqlite3 on the same
# 1,000,000-row CSV, each as a whole process, in one run:
#   filter by one text value and export  vs  .import + WHERE + .mode csv
#   sort by a text column and export     vs  .import + ORDER BY + .mode csv
# Goal for each: lumbrook-cli / sqlite3 <= 1.0.
#
# Usage: bench/text/compare_filter_sqlite.sh [BUILD_DIR]   (default: build)
# The file is written to $LUMBROOK_BENCH_CSV (default /tmp/lumbrook-bench/big.csv)
# when missing. Needs sqlite3 and GNU time (scripts/install-deps.sh).
set -euo pipefail

BUILD=${1:-build}
CLI="$BUILD/cli/lumbrook-cli"
CSV=${LUMBROOK_BENCH_CSV:-/tmp/lumbrook-bench/big.csv}
OUT=$(dirname "$CSV")/out
mkdir -p "$OUT"
[ -f "$CSV" ] || "$BUILD/bench/text/text_bench_gencsv" "$CSV"
BASE=$(basename "$CSV" .csv)
# The category of the first record: the value the filter of row 1 uses.
CATEGORY=$(sed -n 2p "$CSV" | cut -d, -f7)

run() {
  local label=$1
  shift
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log" >&2; rm -f "$log"; exit 1; }
  awk -F': ' -v label="$label" '
    /Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i] }
    /Maximum resident set size/ { rss = $2 }
    END { printf "%s %.2f %d\n", label, s, rss }' "$log"
  rm -f "$log"
}

echo "file: $CSV, filter category='$CATEGORY', sort by name"
results=$(
  run sqlite_filter sh -c "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.mode csv' -cmd '.headers on' \
      \"SELECT * FROM t WHERE category='$CATEGORY';\" > $OUT/sqlite_filter.csv"
  run cli_filter "$CLI" export "$CSV" "$BASE#csv" txt_comma "$OUT/cli_filter.csv" --filter 1:category
  run sqlite_sort sh -c "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.mode csv' -cmd '.headers on' \
      'SELECT * FROM t ORDER BY name;' > $OUT/sqlite_sort.csv"
  run cli_sort "$CLI" export "$CSV" "$BASE#csv" txt_comma "$OUT/cli_sort.csv" --sort name
)
echo "$results" | awk '
  { t[$1] = $2; printf "%-14s %8.2f s  peak %8.1f MB\n", $1, $2, $3 / 1024 }
  END {
    if (t["sqlite_filter"] > 0) printf "filter: lumbrook-cli / sqlite3  %.2f (goal <= 1)\n", t["cli_filter"] / t["sqlite_filter"]
    if (t["sqlite_sort"] > 0) printf "sort:   lumbrook-cli / sqlite3  %.2f (goal <= 1)\n", t["cli_sort"] / t["sqlite_sort"]
  }'
echo "rows: sqlite $(($(wc -l < "$OUT/sqlite_filter.csv") - 1)), lumbrook-cli $(($(wc -l < "$OUT/cli_filter.csv") - 1)) (filter)"
