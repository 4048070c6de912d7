#!/usr/bin/env bash
# The run paths of the build tree's programs and libraries: an empty entry
# (a leading or trailing ":" or "::") makes the loader search the current
# folder for libraries first, so a library planted where the user works
# would be loaded. The programs must still find libquillon's folder.
# Usage: runpath_test.sh BUILD_DIR. Exit 77 (skipped) when readelf is missing.
set -euo pipefail
build=$1
command -v readelf >/dev/null || { echo "SKIP: readelf is not installed"; exit 77; }
fail=0
checked=0
while IFS= read -r -d '' f; do
  head -c 4 "$f" | grep -q $'^\x7fELF' || continue
  checked=$((checked + 1))
  path=$(readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p')
  [ -n "$path" ] || continue
  case ":$path:" in
    *::*) echo "empty run path entry in $f: [$path]"; fail=1 ;;
  esac
done < <(find "$build" -path "$build/CMakeFiles" -prune -o -type f \( -perm -u+x -o -name '*.so*' \) -print0)
for p in cli/lumbrook-cli; do
  readelf -d "$build/$p" | grep -q "RUNPATH.*\[$build/converter\]" || { echo "$p: no run path to $build/converter"; fail=1; }
done
[ $checked -gt 0 ] || { echo "no programs under $build"; fail=1; }
[ $fail -eq 0 ] && echo "run paths of $checked files: ok"
exit $fail
