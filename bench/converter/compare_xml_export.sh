#!/usr/bin/env bash
# Whole-process timings of the element (xml_ent) and attribute (xml_attr)
# exports of a persisted XML rowset, beside xsltproc running the converter's
# own stylesheets (103, 101) on the same file. Runs alternate (A B A B);
# prints the median wall time and peak memory (GNU time) of each and the
# ratio Lumbrook / xsltproc.
#
#   bench/converter/compare_xml_export.sh BUILD-DIR [ROWS] [RUNS]
#
# ROWS defaults to 100000, RUNS to 5. With ROWS of 1000000 pass RUNS 1 or 3
# and add SKIP_XSLTPROC=1 to time Lumbrook alone.
set -euo pipefail
BUILD="${1:?usage: $0 BUILD-DIR [ROWS] [RUNS]}"
ROWS="${2:-100000}"
RUNS="${3:-5}"
HERE="$(cd "$(dirname "$0")" && pwd)"
CLI="$BUILD/cli/lumbrook-cli"
[ -x "$CLI" ] || { echo "build lumbrook-cli first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: apt-get install time" >&2; exit 1; }
HAVE_XSLTPROC=1
command -v xsltproc >/dev/null || { echo "xsltproc is not installed: Lumbrook timed alone"; HAVE_XSLTPROC=0; }
[ "${SKIP_XSLTPROC:-0}" = 1 ] && HAVE_XSLTPROC=0

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Varied rows: numbers, text with markup and non-ASCII, dates, Nulls.
/usr/bin/python3 - "$WORK/data.csv" "$ROWS" <<'PY'
import sys, random
path, rows = sys.argv[1], int(sys.argv[2])
r = random.Random(5)
words = ["alpha", "beta & gamma", "<delta>", "Zoë", "Цена", "quote \"x\"", "plain text"]
with open(path, "w", encoding="utf-8", newline="") as f:
    f.write("id,name,amount,created,flag,note\n")
    for i in range(1, rows + 1):
        note = "" if i % 13 == 0 else r.choice(words) + " " + str(r.randint(0, 99999))
        f.write('%d,"name %d",%d.%02d,2024-%02d-%02d %02d:%02d:%02d,%s,"%s"\n' % (
            i, i, r.randint(0, 99999), r.randint(0, 99), 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60,
            "true" if i % 2 else "false", note.replace('"', '""')))
PY
"$CLI" export "$WORK/data.csv" data.csv xml_row "$WORK/rowset.xml"
echo "input: $ROWS rows, $(du -m "$WORK/rowset.xml" | cut -f1) MB persisted rowset"

measure() {  # label, command...; appends "seconds KiB" to $WORK/<label>
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o "$WORK/t" "$@" >/dev/null 2>"$WORK/err" || { cat "$WORK/err" >&2; exit 1; }
  cat "$WORK/t" >> "$WORK/$label"
}
median() {  # file column
  sort -n -k"$2" "$1" | awk -v c="$2" '{a[NR]=$c} END {print a[int((NR+1)/2)]}'
}

for key in xml_ent xml_attr; do
  style=103; [ $key = xml_attr ] && style=101
  for _ in $(seq "$RUNS"); do
    measure "lb_$key" "$CLI" export "$WORK/rowset.xml" rowset "$key" "$WORK/out.xml"
    if [ $HAVE_XSLTPROC = 1 ]; then
      measure "xp_$key" xsltproc -o "$WORK/xp.xml" "$HERE/../../converter/stylesheets/$style.xsl" "$WORK/rowset.xml"
    fi
  done
  lt=$(median "$WORK/lb_$key" 1); lm=$(median "$WORK/lb_$key" 2)
  if [ $HAVE_XSLTPROC = 1 ]; then
    xt=$(median "$WORK/xp_$key" 1); xm=$(median "$WORK/xp_$key" 2)
    awk -v k=$key -v lt=$lt -v lm=$lm -v xt=$xt -v xm=$xm 'BEGIN {
      printf "%-8s lumbrook %6.2f s %7.1f MiB | xsltproc %6.2f s %7.1f MiB | time %.2f memory %.2f\n",
             k, lt, lm/1024, xt, xm/1024, (xt > 0 ? lt/xt : 0), (xm > 0 ? lm/xm : 0) }'
  else
    awk -v k=$key -v lt=$lt -v lm=$lm 'BEGIN { printf "%-8s lumbrook %6.2f s %7.1f MiB\n", k, lt, lm/1024 }'
  fi
done
