#!/usr/bin/env bash
# Whole lumbrook-cli processes beside a peer program doing the same work, as
# a user runs them: each pair alternates A B A B, $RUNS times (default 5),
# and the table gives the medians of wall-clock time and peak memory (GNU
# time) with the ratios Lumbrook / peer. Not part of the test command.
#
# Usage: bench/compare.sh [ROW...]        (default: every row)
#   csv-tab      1M-row CSV -> tab text          vs sqlite3 .import + .mode tabs
#   csv-sort     ... ORDER BY name -> comma text  vs sqlite3 import + same query
#   csv-sort2    ... ORDER BY category DESC, id   vs sqlite3
#   csv-filter   ... WHERE category='gamma'       vs sqlite3
#   csv-like     ... WHERE name LIKE 'amber%'     vs sqlite3
#   csv-contains ... WHERE remark LIKE '%said%9'  vs sqlite3
#   csv-and      ... WHERE category='gamma' AND active=1 vs sqlite3
#   csv-null     ... WHERE remark IS NULL         vs sqlite3 (remark = '')
#   xml-ent      100k-row XML rowset -> xml_ent   vs xsltproc, equivalent stylesheet
#   dbf-tab      200k-row .dbf -> tab text        vs Python dbfread (else the dbf module)
#   mdb-tables   `tables` of a small .mdb        vs mdb-tables
#   pg-tab       PostgreSQL 1M x 6 -> tab text    vs psql \copy
# Environment: BUILD (default ./build), RUNS, WORK (data and outputs,
# default /tmp/lumbrook-compare), FIXTURES (default /work/shared/fixtures).
# A peer (or data) that is missing skips its row with a message.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
RUNS=${RUNS:-5}
WORK=${WORK:-/tmp/lumbrook-compare}
FIXTURES=${FIXTURES:-/work/shared/fixtures}
CLI=$BUILD/cli/lumbrook-cli
OUT=$WORK/out
mkdir -p "$OUT"
[ -x /usr/bin/time ] || { echo "GNU time is missing (apt-get install time)" >&2; exit 1; }
[ -x "$CLI" ] || { echo "build lumbrook-cli first (ninja -C $BUILD lumbrook-cli)" >&2; exit 1; }

ROWS_OUT=()

skip() { ROWS_OUT+=("$(printf '%-13s skipped: %s' "$1" "$2")"); echo "$1: skipped: $2" >&2; }

# timed LOG COMMAND...: runs the command (output to /dev/null) under GNU
# time and appends "seconds peak_kb" to LOG; the seconds are taken to the
# millisecond around it, as GNU time gives only hundredths.
timed() {
  local log=$1 t start end
  shift
  t=$(mktemp)
  start=$(date +%s.%N)
  if ! /usr/bin/time -f "%M" -o "$t" "$@" >/dev/null 2>"$t.err"; then
    echo "failed: $*" >&2
    cat "$t.err" >&2
    rm -f "$t" "$t.err"
    return 1
  fi
  end=$(date +%s.%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(tail -1 "$t")" >>"$log"
  rm -f "$t" "$t.err"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare NAME PEER_NAME LUMBROOK_COMMAND PEER_COMMAND: both commands are
# shell text run by sh -c, alternating; adds a line to the table.
compare() {
  local name=$1 peer=$2 lcmd=$3 pcmd=$4 a b i
  a=$(mktemp)
  b=$(mktemp)
  for ((i = 0; i < RUNS; i++)); do
    timed "$a" sh -c "$lcmd" || { skip "$name" "lumbrook-cli failed"; rm -f "$a" "$b"; return; }
    timed "$b" sh -c "$pcmd" || { skip "$name" "$peer failed"; rm -f "$a" "$b"; return; }
  done
  local lt st lm sm
  lt=$(cut -d' ' -f1 "$a" | median)
  st=$(cut -d' ' -f1 "$b" | median)
  lm=$(cut -d' ' -f2 "$a" | median)
  sm=$(cut -d' ' -f2 "$b" | median)
  rm -f "$a" "$b"
  # The names go through the environment: awk -v would read "\c" in
  # "psql \copy" as an escape and drop the backslash.
  ROWS_OUT+=("$(ROW_NAME=$name ROW_PEER=$peer awk -v lt="$lt" -v st="$st" -v lm="$lm" -v sm="$sm" 'BEGIN {
    printf "%-13s %8.3fs %8.3fs %6.2f %9.0f %9.0f %6.2f  %s", ENVIRON["ROW_NAME"], lt, st, (st > 0 ? lt / st : 0),
           lm / 1024, sm / 1024, (sm > 0 ? lm / sm : 0), ENVIRON["ROW_PEER"] }')")
  echo "${ROWS_OUT[-1]}" >&2
}

# The 1,000,000-row CSV of the text benchmarks (about 107 MB).
big_csv() {
  CSV=$WORK/big.csv
  if [ ! -f "$CSV" ]; then
    [ -x "$BUILD/bench/text/text_bench_gencsv" ] || return 1
    "$BUILD/bench/text/text_bench_gencsv" "$CSV" >&2
  fi
}

have_sqlite() { command -v sqlite3 >/dev/null; }

row_csv_tab() {
  big_csv || { skip csv-tab "build text_bench_gencsv first"; return; }
  have_sqlite || { skip csv-tab "sqlite3 is not installed"; return; }
  compare csv-tab "sqlite3 .import + .mode tabs" \
    "'$CLI' export '$CSV' 'big#csv' txt_tab '$OUT/lumbrook.tsv'" \
    "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.mode tabs' 'SELECT * FROM t;' > '$OUT/sqlite.tsv'"
}

# csv_query NAME LUMBROOK_SQL SQLITE_SQL: a statement over the big CSV to
# comma text, beside sqlite3 importing the file and running the same.
csv_query() {
  local name=$1 lsql=$2 ssql=$3
  big_csv || { skip "$name" "build text_bench_gencsv first"; return; }
  have_sqlite || { skip "$name" "sqlite3 is not installed"; return; }
  compare "$name" "sqlite3 import + same query" \
    "'$CLI' export '$CSV' 'big#csv' txt_comma '$OUT/lumbrook.csv' --sql \"$lsql\"" \
    "sqlite3 :memory: -cmd '.import --csv $CSV t' -cmd '.headers on' -cmd '.mode csv' \"$ssql\" > '$OUT/sqlite.csv'"
  local l s
  l=$(wc -l <"$OUT/lumbrook.csv")
  s=$(wc -l <"$OUT/sqlite.csv")
  [ "$l" = "$s" ] || echo "$name: line counts differ (lumbrook $l, sqlite3 $s)" >&2
}

# sqlite3's imported columns are all text: the id tie-break is cast to sort
# as a number, as Lumbrook's integer column does.
row_csv_sort() { csv_query csv-sort "SELECT * FROM [big#csv] ORDER BY name" "SELECT * FROM t ORDER BY name"; }
row_csv_sort2() {
  csv_query csv-sort2 "SELECT * FROM [big#csv] ORDER BY category DESC, id" \
    "SELECT * FROM t ORDER BY category DESC, CAST(id AS INTEGER)"
}
row_csv_filter() {
  csv_query csv-filter "SELECT * FROM [big#csv] WHERE [category]='gamma'" "SELECT * FROM t WHERE category='gamma'"
}
row_csv_like() {
  csv_query csv-like "SELECT * FROM [big#csv] WHERE [name] LIKE 'amber%'" "SELECT * FROM t WHERE name LIKE 'amber%'"
}
row_csv_contains() {
  csv_query csv-contains "SELECT * FROM [big#csv] WHERE [remark] LIKE '%said%9'" \
    "SELECT * FROM t WHERE remark LIKE '%said%9'"
}
row_csv_and() {
  csv_query csv-and "SELECT * FROM [big#csv] WHERE [category]='gamma' AND [active]=1" \
    "SELECT * FROM t WHERE category='gamma' AND active=1"
}
row_csv_null() {
  csv_query csv-null "SELECT * FROM [big#csv] WHERE [remark] IS NULL" "SELECT * FROM t WHERE remark=''"
}

row_xml_ent() {
  command -v xsltproc >/dev/null || { skip xml-ent "xsltproc is not installed"; return; }
  local xml=$WORK/rows100k.xml
  if [ ! -f "$xml" ]; then
    [ -x "$BUILD/bench/text/text_bench_gencsv" ] || { skip xml-ent "build text_bench_gencsv first"; return; }
    "$BUILD/bench/text/text_bench_gencsv" "$WORK/rows100k.csv" 100000 >&2
    "$CLI" export "$WORK/rows100k.csv" 'rows100k#csv' xml_row "$xml"
  fi
  # The element XML the converter writes: <RS><row><field>value</field>...</row></RS>.
  cat >"$WORK/ent.xsl" <<'XSL'
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:rs="urn:schemas-microsoft-com:rowset" xmlns:z="#RowsetSchema" exclude-result-prefixes="rs z">
  <xsl:output method="xml" encoding="windows-1251"/>
  <xsl:template match="/">
    <RS><xsl:for-each select="xml/rs:data/z:row"><row><xsl:for-each select="@*"><xsl:element
      name="{local-name()}"><xsl:value-of select="."/></xsl:element></xsl:for-each></row></xsl:for-each></RS>
  </xsl:template>
</xsl:stylesheet>
XSL
  compare xml-ent "xsltproc" "'$CLI' export '$xml' rows xml_ent '$OUT/lumbrook-ent.xml'" \
    "xsltproc -o '$OUT/xsltproc-ent.xml' '$WORK/ent.xsl' '$xml' 2>/dev/null"
}

row_dbf_tab() {
  local bench=$BUILD/bench/xbase_paradox/xbase_paradox_bench dbf=$WORK/dbf/big.dbf
  if [ ! -f "$dbf" ]; then
    [ -x "$bench" ] || { skip dbf-tab "build xbase_paradox_bench first"; return; }
    mkdir -p "$WORK/dbf"
    "$bench" make "$WORK/dbf" 200000 >&2
  fi
  local script=$WORK/dbfdump.py
  if /usr/bin/python3 -c 'import dbfread' 2>/dev/null; then
    cat >"$script" <<'PY'
import sys, dbfread
table = dbfread.DBF(sys.argv[1])
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("\t".join(table.field_names) + "\n")
    for record in table:
        out.write("\t".join("" if v is None else str(v) for v in record.values()) + "\n")
PY
    peer="python3 dbfread"
  elif /usr/bin/python3 -c 'import dbf' 2>/dev/null; then
    cat >"$script" <<'PY'
import sys, dbf
table = dbf.Table(sys.argv[1])
table.open(dbf.READ_ONLY)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("\t".join(table.field_names) + "\n")
    for record in table:
        out.write("\t".join("" if v is None else str(v).rstrip() for v in record) + "\n")
table.close()
PY
    peer="python3 dbf (no dbfread)"
  else
    skip dbf-tab "neither dbfread nor python3-dbf is installed"
    return
  fi
  compare dbf-tab "$peer" "'$CLI' export '$dbf' big txt_tab '$OUT/lumbrook-dbf.tsv'" \
    "/usr/bin/python3 '$script' '$dbf' '$OUT/python-dbf.tsv'"
}

row_mdb_tables() {
  command -v mdb-tables >/dev/null || { skip mdb-tables "mdb-tables is not installed"; return; }
  local mdb
  mdb=$(ls -S "$FIXTURES"/access/*.mdb 2>/dev/null | head -1 || true)
  [ -n "$mdb" ] || { skip mdb-tables "no .mdb in $FIXTURES/access"; return; }
  compare mdb-tables "mdb-tables ($(basename "$mdb"))" "'$CLI' tables '$mdb'" "mdb-tables -1 '$mdb'"
}

row_pg_tab() {
  local driver
  driver=$(ls /usr/lib/*/odbc/psqlodbcw.so 2>/dev/null | head -n1 || true)
  [ -n "$driver" ] || { skip pg-tab "odbc-postgresql is not installed"; return; }
  command -v psql >/dev/null || { skip pg-tab "psql is not installed"; return; }
  local server
  server=$("$ROOT/scripts/pg-test-server.sh" start $$ 2>/dev/null) || { skip pg-tab "no PostgreSQL test server"; return; }
  eval "$server"
  # shellcheck disable=SC2064
  trap "'$ROOT/scripts/pg-test-server.sh' stop '$PGDIR' >/dev/null 2>&1 || true" EXIT
  export PGPASSWORD=lumbrook-secret
  local psql="psql -X -q -h 127.0.0.1 -p $PGPORT -U $PGUSER -d postgres -v ON_ERROR_STOP=1"
  $psql -c "CREATE TABLE t (id integer PRIMARY KEY, name varchar(40), amount numeric(12,2),
            created timestamp, flag boolean, note varchar(60))" >&2
  $psql -c "INSERT INTO t SELECT g, 'name ' || g, (g % 100000) / 100.0,
            timestamp '2000-01-01' + g * interval '1 minute', g % 2 = 0,
            CASE WHEN g % 10 = 0 THEN NULL ELSE 'note for row ' || g END
            FROM generate_series(1, 1000000) g" >&2
  $psql -c "VACUUM ANALYZE t" >&2
  local odbc=$WORK/odbc
  mkdir -p "$odbc"
  printf '[ODBC Drivers]\n[PostgreSQL Unicode]\nDriver=%s\n' "$driver" >"$odbc/odbcinst.ini"
  : >"$odbc/odbc.ini"
  export ODBCSYSINI=$odbc ODBCINI=$odbc/odbc.ini
  local cs="Driver={PostgreSQL Unicode};Servername=127.0.0.1;Port=$PGPORT;Database=postgres;UID=$PGUSER;PWD=$PGPASSWORD;BoolsAsChar=0;"
  printf '\xff\xfe' >"$odbc/bench.udl"
  printf '[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n%s\r\n' "$cs" |
    iconv -f UTF-8 -t UTF-16LE >>"$odbc/bench.udl"
  compare pg-tab "psql \\copy" "'$CLI' export '$odbc/bench.udl' t txt_tab '$OUT/lumbrook-pg.tsv'" \
    "$psql -c '\\copy t to stdout' > '$OUT/psql.tsv'"
  "$ROOT/scripts/pg-test-server.sh" stop "$PGDIR" >/dev/null 2>&1 || true
  trap - EXIT
}

ALL=(csv-tab csv-sort csv-sort2 csv-filter csv-like csv-contains csv-and csv-null xml-ent dbf-tab mdb-tables pg-tab)
WANT=("$@")
[ ${#WANT[@]} -gt 0 ] || WANT=("${ALL[@]}")
for row in "${WANT[@]}"; do
  fn=row_${row//-/_}
  declare -F "$fn" >/dev/null || { echo "unknown row '$row' (rows: ${ALL[*]})" >&2; exit 2; }
done

echo "$(date '+%Y-%m-%d %H:%M'), $(nproc) cores, $(uname -m); $RUNS runs each, alternating, medians"
for row in "${WANT[@]}"; do "row_${row//-/_}"; done
printf '%-13s %9s %9s %6s %9s %9s %6s  %s\n' work lumbrook peer ratio "lb MiB" "peer MiB" ratio peer
printf '%s\n' "${ROWS_OUT[@]}"
