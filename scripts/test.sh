#!/usr/bin/env bash
# Builds Lumbrook and runs its whole test suite (widget tests run offscreen):
# first the damaged-file suites under AddressSanitizer, then the fuzz targets
# over their stored corpora (a fixed crash that comes back fails here; set
# LUMBROOK_SKIP_FUZZ_REPLAY=1 to leave them out), then everything.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMBROOK_BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
bash "$root/scripts/test-sanitized.sh"
if [ "${LUMBROOK_SKIP_FUZZ_REPLAY:-0}" != 1 ]; then
  bash "$root/scripts/fuzz.sh" --replay
fi
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 600 "$@"
