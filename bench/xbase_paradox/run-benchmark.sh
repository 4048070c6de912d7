#!/usr/bin/env bash
# Times the xbase provider on a 200,000-row .dbf: lumbrook-cli export to tab
# text beside Python's dbf module (Debian python3-dbf) dumping the same
# file, in one run; then rows per second through the data-access layer for
# that table and a Paradox table of the same size.
# Usage: bench/xbase_paradox/run-benchmark.sh BUILD_DIR [ROWS]
set -euo pipefail
build=${1:?build folder}
rows=${2:-200000}
bench="$build/bench/xbase_paradox/xbase_paradox_bench"
cli="$build/cli/lumbrook-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" make "$work" "$rows"
ls -l "$work"

now() { date +%s.%N; }
t0=$(now)
"$cli" export "$work/big.dbf" big txt_tab "$work/cli.txt"
t1=$(now)
/usr/bin/python3 - "$work/big.dbf" "$work/py.txt" <<'PY'
import sys, dbf
table = dbf.Table(sys.argv[1])
table.open(dbf.READ_ONLY)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("\t".join(table.field_names) + "\n")
    for record in table:
        out.write("\t".join("" if v is None else str(v).rstrip() for v in record) + "\n")
table.close()
PY
t2=$(now)
cli_s=$(echo "$t1 - $t0" | bc -l)
py_s=$(echo "$t2 - $t1" | bc -l)
printf 'lumbrook-cli export: %.3f s (%s lines)\n' "$cli_s" "$(wc -l < "$work/cli.txt")"
printf 'python3 dbf dump:    %.3f s (%s lines)\n' "$py_s" "$(wc -l < "$work/py.txt")"
printf 'ratio: %.1f x\n' "$(echo "$py_s / $cli_s" | bc -l)"
"$bench" load "$work"
