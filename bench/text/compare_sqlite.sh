#!/usr/bin/env bash
# Times the text provider against sqlite3's CSV import on the same file, in
# one run, with wall-clock time and peak memory from /usr/bin/time -v:
#   sqlite3 import                  vs  text_load load       (goal: no slower)
#   sqlite3 import + tab output     vs  text_load getstring  (goal: no slower)
#   text_load save (XML) for reference
# and checks that loading peaks below twice the file's size.
#
# Usage: bench/text/compare_sqlite.sh [BUILD_DIR]   (default: build)
# The file is written to $LUMBROOK_BENCH_CSV (default /tmp/lumbrook-bench/big.csv)
# when missing. Needs sqlite3 and GNU time (scripts/install-deps.sh).
set -euo pipefail

BUILD=${1:-build}
CSV=${LUMBROOK_BENCH_CSV:-/tmp/lumbrook-bench/big.csv}
OUT=$(dirname "$CSV")/out
mkdir -p "$OUT"
[ -f "$CSV" ] || "$BUILD/bench/text/text_bench_gencsv" "$CSV"
SIZE=$(stat -c %s "$CSV")

# run LABEL COMMAND...: prints "LABEL seconds peak_kb"
run() {
  local label=$1
  shift
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log" >&2; rm -f "$log"; exit 1; }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
           n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; printf "%.2f", s }' "$log")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log")
  rm -f "$log"
  echo "$label $wall $rss"
}

echo "file: $CSV ($((SIZE / 1000000)) MB)"
results=$(
  run sqlite_import sqlite3 :memory: ".import --csv $CSV t"
  run sqlite_import_tabs sh -c "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.mode tabs' 'SELECT * FROM t;' > $OUT/sqlite.tsv"
  run text_load "$BUILD/bench/text/text_load" load "$CSV"
  run text_getstring "$BUILD/bench/text/text_load" getstring "$CSV" "$OUT/lumbrook.tsv"
  run text_save_xml "$BUILD/bench/text/text_load" save "$CSV" "$OUT/lumbrook.xml" || true
)
echo "$results" | awk -v size="$SIZE" '
  { t[$1] = $2; m[$1] = $3; printf "%-20s %8.2f s  peak %8.1f MB\n", $1, $2, $3 / 1024 }
  END {
    if (t["sqlite_import"] > 0) printf "load / sqlite import:              %.2f (goal <= 1)\n", t["text_load"] / t["sqlite_import"]
    if (t["sqlite_import_tabs"] > 0) printf "getstring / sqlite import + tabs:  %.2f (goal <= 1)\n", t["text_getstring"] / t["sqlite_import_tabs"]
    printf "load peak / file size:             %.2f (goal <= 2)\n", m["text_load"] * 1024 / size
  }'
