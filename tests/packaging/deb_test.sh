#!/usr/bin/env bash
# Builds the Debian package with cpack into a scratch folder, checks its
# control fields and files, and runs lintian, which must report no error.
# Usage: deb_test.sh BUILD_DIR. Exit 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >/dev/null
deb=$(ls "$scratch"/lumbrook_*.deb)
fail=0
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = lumbrook ] || { echo "Package"; fail=1; }
[ "$(field Section)" = database ] || { echo "Section"; fail=1; }
[ -n "$(field Maintainer)" ] || { echo "Maintainer"; fail=1; }
# The libraries the programs link come from dpkg-shlibdeps.
# The libraries the providers open at first use are named by hand.
for dep in libqt6widgets6 libqt6core6 libxml2 libxslt1.1 libsqlite3-0 libc6 libgsf-1-114 pxlib1 libshp2 libodbc2; do
  field Depends | grep -q "$dep" || { echo "Depends lacks $dep"; fail=1; }
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/lumbrook ./usr/bin/lumbrook-cli ./usr/share/applications/lumbrook.desktop \
    ./usr/share/mime/packages/lumbrook.xml ./usr/share/lumbrook/Help/Lumbrook.html \
    ./usr/share/icons/hicolor/scalable/apps/lumbrook.svg; do
  grep -q " $f\$" <<<"$contents" || { echo "package lacks $f"; fail=1; }
done
grep -q 'libquillon.so' <<<"$contents" || { echo "package lacks libquillon"; fail=1; }
# The programs open libquillon by its soname at the first XML export: it must
# lie in a folder the dynamic loader searches.
grep -Eq ' \./usr/lib/([^/]+/)?libquillon\.so\.[0-9]+( |$)' <<<"$contents" ||
  { echo "libquillon is not under /usr/lib"; fail=1; }
report=$(lintian "$deb" 2>&1 | grep -v 'root privileges' || true)
echo "$report"
if grep -q '^E:' <<<"$report"; then echo "lintian reports errors"; fail=1; fi
[ $fail -eq 0 ] && echo "$(basename "$deb"): ok"
exit $fail
