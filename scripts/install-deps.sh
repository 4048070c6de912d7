#!/usr/bin/env bash
# Installs everything Lumbrook needs to build, run and test on Debian 12.
# Idempotent: when every package is present it prints nothing and exits at once.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config
  # clang with libFuzzer and the sanitizer runtimes (scripts/fuzz.sh)
  clang-14 libclang-rt-14-dev
  # Qt 6; WebEngine shows and prints the report window, the SVG plug-in draws
  # the toolbar icons
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6svg6 qt6-qpa-plugins libgl-dev
  # the engine of the file sources and the readers of the file formats:
  # SQLite, mdbtools (Access), libgsf (the compound document of .xls),
  # shapelib (.dbf), pxlib (Paradox), libxml2/libxslt (Quillon)
  libsqlite3-dev mdbtools-dev libgsf-1-dev libshp-dev pxlib-dev libxml2-dev libxslt1-dev
  # ODBC for data links, and the servers and drivers their tests use
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc odbc-mariadb odbc-mdbtools
  postgresql mariadb-server sqlite3
  # tests and benchmarks: GoogleTest and Google Benchmark; files written and
  # read by other programs (Python's dbf and xlwt, mdbtools, xsltproc); GNU time
  libgtest-dev libgmock-dev libbenchmark-dev time python3-dbf python3-xlwt mdbtools xsltproc
  # running the window without a display, and its screenshot (ImageMagick's import)
  xvfb xauth imagemagick fonts-dejavu-core fonts-liberation
  # the report page is also tested in a real headless browser
  chromium
  # installing and packaging: icons rendered from SVG, the desktop entry and
  # file types checked, the Debian package built and checked
  librsvg2-bin desktop-file-utils shared-mime-info dpkg-dev lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
