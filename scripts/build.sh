#!/usr/bin/env bash
# Installs what is missing, then configures and builds Lumbrook into build/.
# Extra arguments go to CMake (for example -DLUMBROOK_SANITIZE=ON).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMBROOK_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
ninja -C "$build" -j"$(nproc)"
