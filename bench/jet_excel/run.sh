#!/usr/bin/env bash
# Whole-process timings of lumbrook-cli export for an Access table beside
# mdb-export on the same table, and of a workbook sheet export.
# usage: run.sh LUMBROOK_CLI [MDB TABLE] [XLS SHEET] [RUNS]
set -euo pipefail
cli=${1:?path of lumbrook-cli}
mdb=${2:-../shared/fixtures/access/fruit.mdb}
table=${3:-Fruit}
xls=${4:-../shared/fixtures/excel/profiles.xls}
sheet=${5:-PROFILELEVELS\$}
runs=${6:-50}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Median wall time in milliseconds of running "$@" $runs times.
median_ms() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}

rows=$(mdb-export "$mdb" "$table" | tail -n +2 | wc -l)
echo "table '$table' of $mdb: $rows rows"
echo "lumbrook-cli export txt_tab: $(median_ms "$cli" export "$mdb" "$table" txt_tab "$out/a.txt") ms (median of $runs)"
if command -v mdb-export >/dev/null; then
  echo "mdb-export -d '\\t':          $(median_ms mdb-export -d '\t' "$mdb" "$table") ms (median of $runs)"
fi
xrows=$("$cli" export "$xls" "$sheet" txt_tab "$out/x.txt" && tail -n +2 "$out/x.txt" | wc -l)
ms=$(median_ms "$cli" export "$xls" "$sheet" txt_tab "$out/x.txt")
echo "sheet '$sheet' of $xls: $xrows rows, open + export $ms ms, $(awk -v r="$xrows" -v m="$ms" 'BEGIN {printf "%.0f", r / (m / 1000)}') rows/s"
