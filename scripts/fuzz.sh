#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz in build-fuzz/ (clang, ASan,
# UBSan) and runs them one after the other.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#       Runs each target for SECONDS (default 60), seeded from its stored
#       corpus; new inputs that add coverage are merged into
#       tests/fuzz/corpus/<target>/ (files up to 64 KiB; files named seed-*
#       and regression-* are always kept).
#       With LUMBROOK_FUZZ_FIXTURE_SEEDS=1 the fixture files (files other
#       programs wrote) seed the run too; the corpus is then left as it is,
#       since what grows from them is their content, which the project does
#       not keep. A finding of such a run becomes a hand-built test.
#       Crashes are kept in build-fuzz/artifacts/<target>/.
#   scripts/fuzz.sh --replay [TARGET...]
#       Runs each target over its stored corpus for a few seconds
#       (LUMBROOK_FUZZ_REPLAY_SECONDS, default 10), so a regression of a
#       fixed crash fails. scripts/test.sh calls this.
#
# One fuzzer runs at a time (-jobs=1 equivalent), on one core.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LUMBROOK_FUZZ_BUILD_DIR:-$root/build-fuzz}"
corpus_root="$root/tests/fuzz/corpus"
fixtures="${LUMBROOK_FIXTURES:-$root/../shared/fixtures}"
max_len=65536

replay=0
seconds=60
if [ "${1:-}" = "--replay" ]; then
  replay=1
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi

cxx="${LUMBROOK_FUZZ_CXX:-$(command -v clang++-14 || command -v clang++ || true)}"
cc="${LUMBROOK_FUZZ_CC:-$(command -v clang-14 || command -v clang || true)}"
if [ -z "$cxx" ] || [ -z "$cc" ]; then
  echo "fuzz.sh: clang is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

CC="$cc" CXX="$cxx" cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMBROOK_FUZZ=ON \
  -DLUMBROOK_BUILD_GUI=OFF -DLUMBROOK_BUILD_TESTS=OFF -DLUMBROOK_BUILD_BENCH=OFF >/dev/null
all_targets="$(ninja -C "$build" -t targets all | sed -n 's/^\(fuzz_[a-z0-9_]*\): .*/\1/p' | sort -u)"
if [ $# -gt 0 ]; then
  targets=()
  for t in "$@"; do targets+=("fuzz_${t#fuzz_}"); done
else
  mapfile -t targets <<<"$all_targets"
fi
if [ "${LUMBROOK_FUZZ_NO_BUILD:-0}" != 1 ]; then
  ninja -C "$build" -j"${LUMBROOK_FUZZ_BUILD_JOBS:-2}" "${targets[@]}"
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
# Findings: a crash, a sanitizer report, an input running over 5 s, or
# more than 2 GB of memory.
limits=(-timeout=5 -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=$max_len -print_final_stats=1)

# The fixture files a target starts from (never stored in the corpus).
fixture_seeds() {
  local name="$1" out="$2"
  mkdir -p "$out"
  [ -d "$fixtures" ] || return 0
  local pattern
  case "$name" in
    xls) pattern='*.xls' ;;
    dbf) pattern='*.dbf' ;;
    dbc) pattern='*.dbc' ;;
    paradox) pattern='*.[dD][bB]' ;;
    jet) pattern='*.mdb' ;;
    *) return 0 ;;
  esac
  local sep=$'\n=LUMBROOK-FUZZ=\n'
  find "$fixtures" -iname "$pattern" -size -1024k -print0 | while IFS= read -r -d '' f; do
    local base="${f%.*}" dest="$out/$(basename "$f")"
    cp "$f" "$dest"
    # The table and its memo file as one input.
    for memo in "$base".dbt "$base".fpt "$base".dct "$base".mb "$base".MB; do
      if [ -f "$memo" ]; then
        { cat "$f"; printf '%s' "$sep"; cat "$memo"; } >"$dest.memo"
        break
      fi
    done
  done
}

status=0
for target in "${targets[@]}"; do
  name="${target#fuzz_}"
  corpus="$corpus_root/$name"
  mkdir -p "$corpus" "$build/artifacts/$name"
  bin="$build/tests/fuzz/$target"
  if [ "$replay" = 1 ]; then
    echo "== replay $name ($(find "$corpus" -type f | wc -l) inputs)"
    # New inputs go to a scratch folder: replay never changes the checkout.
    rm -rf "$build/replay/$name"
    mkdir -p "$build/replay/$name"
    if ! "$bin" "${limits[@]}" -seed=1 -max_total_time="${LUMBROOK_FUZZ_REPLAY_SECONDS:-10}" \
         -artifact_prefix="$build/artifacts/$name/" "$build/replay/$name" "$corpus" >"$build/replay-$name.log" 2>&1; then
      tail -n 60 "$build/replay-$name.log"
      echo "FAILED: $name (log: $build/replay-$name.log)" >&2
      status=1
    fi
    continue
  fi
  work="$build/work/$name"
  seeds="$build/seeds/$name"
  rm -rf "$work" "$seeds"
  mkdir -p "$work"
  from_fixtures=0
  if [ "${LUMBROOK_FUZZ_FIXTURE_SEEDS:-0}" = 1 ]; then
    fixture_seeds "$name" "$seeds"
    from_fixtures=1
  else
    mkdir -p "$seeds"
  fi
  echo "== fuzz $name for ${seconds}s"
  if ! "$bin" "${limits[@]}" -max_total_time="$seconds" -artifact_prefix="$build/artifacts/$name/" \
       "$work" "$corpus" "$seeds" >"$build/fuzz-$name.log" 2>&1; then
    grep -E "^==[0-9]+==|ERROR|SUMMARY|Test unit written" "$build/fuzz-$name.log" | head -n 20
    echo "FINDING: $name (log: $build/fuzz-$name.log)" >&2
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/fuzz-$name.log" | sed "s/^/  /" || true
  if [ "$from_fixtures" = 1 ]; then
    echo "  corpus left as it was (the run grew from fixture files)"
    continue
  fi
  # Keep the named seeds and regression inputs, and of the rest only what
  # adds coverage to them (a fresh minimal set), and only small files.
  find "$work" -type f -size +${max_len}c -delete
  before=$(find "$corpus" -type f | wc -l)
  merged="$build/merged/$name"
  rm -rf "$merged"
  mkdir -p "$merged"
  find "$corpus" -maxdepth 1 -type f \( -name 'seed-*' -o -name 'regression-*' \) -exec cp {} "$merged/" \;
  if "$bin" -merge=1 -max_len=$max_len -timeout=5 -rss_limit_mb=2048 "$merged" "$corpus" "$work" \
       >"$build/merge-$name.log" 2>&1; then
    find "$merged" -type f -size +${max_len}c -delete
    rm -rf "$corpus"
    cp -r "$merged" "$corpus"
  else
    echo "merge failed for $name (log: $build/merge-$name.log)" >&2
  fi
  echo "  corpus: $before -> $(find "$corpus" -type f | wc -l) files"
done
exit $status
