#!/usr/bin/env bash
# Times the odbc provider on a 1,000,000-row PostgreSQL table: fetched into a
# recordset and exported as tab text (by odbc_export_bench and, when built,
# by lumbrook-cli export), beside psql's \copy of the same table in the same
# run. Reports wall time, CPU time and peak memory (GNU time) of each.
#
#   bench/odbc/run-benchmark.sh BUILD-DIR [ROWS]
set -euo pipefail
BUILD="${1:?usage: $0 BUILD-DIR [ROWS]}"
ROWS="${2:-1000000}"
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BENCH="$BUILD/bench/odbc/odbc_export_bench"
[ -x "$BENCH" ] || { echo "build odbc_export_bench first (ninja -C $BUILD odbc_export_bench)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: apt-get install time" >&2; exit 1; }
DRIVER="$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -n1)"
[ -n "$DRIVER" ] || { echo "odbc-postgresql is not installed" >&2; exit 1; }

WORK="$(mktemp -d)"
chmod 755 "$WORK"
SERVER_OUT="$("$ROOT/scripts/pg-test-server.sh" start $$)"
eval "$SERVER_OUT"
cleanup() { "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" || true; rm -rf "$WORK"; }
trap cleanup EXIT

export PGPASSWORD=lumbrook-secret
PSQL=(psql -X -q -h 127.0.0.1 -p "$PGPORT" -U "$PGUSER" -d postgres -v ON_ERROR_STOP=1)
"${PSQL[@]}" -c "CREATE TABLE t (id integer PRIMARY KEY, name varchar(40), amount numeric(12,2),
                  created timestamp, flag boolean, note varchar(60))"
"${PSQL[@]}" -c "INSERT INTO t SELECT g, 'name ' || g, (g % 100000) / 100.0,
                  timestamp '2000-01-01' + g * interval '1 minute', g % 2 = 0,
                  CASE WHEN g % 10 = 0 THEN NULL ELSE 'note for row ' || g END
                  FROM generate_series(1, $ROWS) g"
"${PSQL[@]}" -c "VACUUM ANALYZE t"

printf '[ODBC Drivers]\n' >"$WORK/odbcinst.ini"
printf '[PostgreSQL Unicode]\nDriver=%s\n' "$DRIVER" >>"$WORK/odbcinst.ini"
: >"$WORK/odbc.ini"
export ODBCSYSINI="$WORK" ODBCINI="$WORK/odbc.ini"
CS="Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=$PGPORT;Database=postgres;UID=$PGUSER;PWD=$PGPASSWORD;BoolsAsChar=0;${LUMBROOK_BENCH_EXTRA:-}"
printf '\xff\xfe' >"$WORK/bench.udl"
printf '[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%s\r\n' "$CS" | iconv -f UTF-8 -t UTF-16LE >>"$WORK/bench.udl"

measure() {  # label, output file, command...
  local label="$1" out="$2"; shift 2
  /usr/bin/time -v -o "$WORK/time.txt" "$@" >"$WORK/$label.stdout"
  local wall rss cpu
  wall="$(grep 'Elapsed (wall clock)' "$WORK/time.txt" | awk '{print $NF}')"
  rss="$(grep 'Maximum resident set size' "$WORK/time.txt" | awk '{print $NF}')"
  cpu="$(awk -F': ' '/User time|System time/ {s += $2} END {printf "%.2f", s}' "$WORK/time.txt")"
  printf '%-10s wall %-9s cpu_s %-7s peak_rss_mib %-7s output_mib %s\n' "$label" "$wall" "$cpu" "$((rss / 1024))" \
    "$(( $(stat -c %s "$out") / 1048576 ))"
}
echo "rows: $ROWS"
measure psql "$WORK/psql.txt" bash -c "\"\${@}\" -c '\\copy t to stdout' >'$WORK/psql.txt'" _ "${PSQL[@]}"
measure lumbrook "$WORK/lumbrook.txt" "$BENCH" "File Name=$WORK/bench.udl;" "SELECT * FROM t" "$WORK/lumbrook.txt"
cat "$WORK/lumbrook.stdout"
CLI="$BUILD/cli/lumbrook-cli"
if [ -x "$CLI" ]; then
  # The same through the viewer's opening of a .udl and its tab-text export.
  cp "$WORK/bench.udl" "$WORK/bench-cli.udl"
  measure cli "$WORK/cli.txt" "$CLI" export "$WORK/bench-cli.udl" t txt_tab "$WORK/cli.txt"
  echo "lines: cli $(wc -l <"$WORK/cli.txt")"
fi
echo "lines: psql $(wc -l <"$WORK/psql.txt") lumbrook $(wc -l <"$WORK/lumbrook.txt")"
