#!/usr/bin/env bash
# Installs the build into a scratch root with `cmake --install --prefix` and
# checks what a desktop needs: the programs, libquillon with a header that
# compiles on its own, the guide with its pictures, the menu entry
# (desktop-file-validate), the icons and the file types (update-mime-database
# must accept them, and no "*.db" glob may claim every .db file).
# Usage: install_test.sh BUILD_DIR. Exit 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1
for tool in desktop-file-validate update-mime-database xmllint; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/usr
cmake --install "$build" --prefix "$root" >/dev/null

fail=0
need() { for f in "$@"; do [ -s "$root/$f" ] || { echo "missing: $f"; fail=1; }; done; }
need bin/lumbrook bin/lumbrook-cli share/lumbrook/Help/Lumbrook.html \
  share/applications/lumbrook.desktop share/icons/hicolor/scalable/apps/lumbrook.svg \
  share/mime/packages/lumbrook.xml share/doc/lumbrook/copyright share/doc/lumbrook/changelog.gz \
  include/quillon/converter/convertor.h share/man/man1/lumbrook.1.gz share/man/man1/lumbrook-cli.1.gz
for f in bin/lumbrook bin/lumbrook-cli; do [ -x "$root/$f" ] || { echo "not executable: $f"; fail=1; }; done
# libquillon under the library folder of the prefix, with its development link.
lib=$(find "$root" -name 'libquillon.so' -print -quit)
[ -n "$lib" ] && [ -e "$lib" ] || { echo "missing: libquillon.so"; fail=1; }
# The installed programs and libquillon carry no run path (the build tree's
# folders mean nothing on the user's machine).
if command -v readelf >/dev/null; then
  for f in "$root/bin/lumbrook" "$root/bin/lumbrook-cli" "$root/bin/lumbrook-report-pdf" "$lib"; do
    [ -f "$f" ] || continue
    if readelf -d "$f" | grep -Eq '\((RUNPATH|RPATH)\)'; then echo "run path in ${f#$root/}"; fail=1; fi
  done
fi
# PNG icons when the build could render them.
if command -v rsvg-convert >/dev/null; then need share/icons/hicolor/48x48/apps/lumbrook.png share/icons/hicolor/128x128/apps/lumbrook.png; fi
# Every picture the guide shows was installed with it.
for img in $(grep -o 'src="[^"]*"' "$root/share/lumbrook/Help/Lumbrook.html" | sed 's/^src="//; s/"$//'); do
  need "share/lumbrook/Help/$img"
done

desktop-file-validate "$root/share/applications/lumbrook.desktop" || fail=1
grep -q '^Exec=lumbrook %f$' "$root/share/applications/lumbrook.desktop" || { echo "Exec line"; fail=1; }

# The file types: well-formed, accepted by the MIME database, and each one
# the desktop entry opens.
mime=$root/share/mime
xmllint --noout "$mime/packages/lumbrook.xml" || fail=1
update-mime-database "$mime" || fail=1
types=$(grep -o '<mime-type type="[^"]*"' "$mime/packages/lumbrook.xml" | sed 's/.*type="//; s/"$//')
mimetypes=$(sed -n 's/^MimeType=//p' "$root/share/applications/lumbrook.desktop")
for t in $types application/vnd.ms-access application/vnd.ms-excel application/x-dbf; do
  case ";$mimetypes" in *";$t;"*) ;; *) echo "the desktop entry does not open $t"; fail=1 ;; esac
done
for g in '\*\.dbc$' '\*\.udl$'; do grep -q ":$g" "$mime/globs2" || { echo "no glob $g"; fail=1; }; done
if grep -q ':\*\.db$' "$mime/globs2"; then echo "a *.db glob would claim every .db file"; fail=1; fi
grep -q 'application/x-paradox-table' "$mime/magic" || { echo "no Paradox magic"; fail=1; }

# The installed header compiles on its own against Qt.
if command -v pkg-config >/dev/null && pkg-config --exists Qt6Core && command -v c++ >/dev/null; then
  echo '#include "converter/convertor.h"' |
    c++ -std=c++20 -fPIC -fsyntax-only -x c++ -I"$root/include/quillon" $(pkg-config --cflags Qt6Core) - || {
      echo "the installed header does not compile"; fail=1; }
fi

[ $fail -eq 0 ] && echo "install into $root: ok"
exit $fail
