#!/usr/bin/env bash
# Builds Lumbrook and opens it on a file (default: the sample shop database
# in examples/). Without a display it runs under Xvfb, saves a screenshot to
# screenshots/lumbrook.png and says so.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMBROOK_BUILD_DIR:-$root/build}"
file="${1:-$root/examples/shop/Orders 2024.csv}"

bash "$root/scripts/build.sh"
program="$build/viewer/lumbrook"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$file"
fi

shots="$root/screenshots"
mkdir -p "$shots"
shot="$shots/lumbrook.png"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" "$2" &
  pid=$!
  sleep "${LUMBROOK_SHOT_DELAY:-4}"
  import -window root "$3"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' _ "$program" "$file" "$shot"
echo "No display: Lumbrook ran under Xvfb on '$file'; screenshot saved to $shot"
