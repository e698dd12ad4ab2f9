#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each of them.
#   fuzz/run.sh                  every target for 10 minutes
#   fuzz/run.sh --seconds 20     every target for 20 seconds (scripts/test.sh does this)
#   fuzz/run.sh zip_fuzzer       one target
# Each target first replays its committed cases (fuzz/corpus/<target>, regression cases
# included) and the test fixtures, then fuzzes, growing build-fuzz/corpus/<target>.
# A crash, hang or leak leaves its input in build-fuzz/artifacts/<target>/ and fails the run.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/common.sh"

seconds=600
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

FUZZ_SRC="$NB_ROOT/fuzz"
FUZZ_BUILD="${NB_FUZZ_BUILD:-$NB_ROOT/build-fuzz}"
cmake -S "$FUZZ_SRC" -B "$FUZZ_BUILD" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$FUZZ_BUILD" -j"$(nproc)"
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < "$FUZZ_BUILD/fuzzers.txt"

# The test fixtures each target starts from, beside its committed corpus.
fixtures_of() {
  case "$1" in
    zone_list_fuzzer) echo "$NB_ROOT/tests/data/zonelist" ;;
    login_reply_fuzzer) echo "$NB_ROOT/tests/data/login $NB_ROOT/tests/data/control" ;;
    zip_fuzzer) echo "$NB_ROOT/tests/data/zip $NB_ROOT/tests/data/malicious" ;;
  esac
}

export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for t in "${targets[@]}"; do
  exe="$FUZZ_BUILD/$t"
  [ -x "$exe" ] || { echo "no fuzz target $t"; failed+=("$t"); continue; }
  seeds=("$FUZZ_SRC/corpus/$t")
  for d in $(fixtures_of "$t"); do [ -d "$d" ] && seeds+=("$d"); done
  work="$FUZZ_BUILD/corpus/$t"
  artifacts="$FUZZ_BUILD/artifacts/$t/"
  mkdir -p "$work" "$artifacts" "$FUZZ_SRC/corpus/$t"
  options=(-timeout=20 -rss_limit_mb=2048 -max_len=65536 -close_fd_mask=3 -print_final_stats=0
           -artifact_prefix="$artifacts")
  [ -f "$FUZZ_SRC/dict/$t.dict" ] && options+=(-dict="$FUZZ_SRC/dict/$t.dict")

  echo "== $t: committed cases and fixtures"
  if ! "$exe" "${options[@]}" -runs=0 "${seeds[@]}" 2>"$FUZZ_BUILD/$t.replay.log"; then
    tail -n 40 "$FUZZ_BUILD/$t.replay.log"; failed+=("$t"); continue
  fi
  echo "== $t: fuzzing for ${seconds}s"
  if ! "$exe" "${options[@]}" -max_total_time="$seconds" "$work" "${seeds[@]}" 2>"$FUZZ_BUILD/$t.log"; then
    tail -n 40 "$FUZZ_BUILD/$t.log"
    # The run closes the target's own output; a replay shows what the target said.
    for a in "$artifacts"*; do
      [ -f "$a" ] || continue
      echo "== replay of $a"
      "$exe" "$a" 2>&1 | grep -v '^    #' | tail -n 20 || true
    done
    failed+=("$t"); continue
  fi
  grep -E '^Done [0-9]+ runs' "$FUZZ_BUILD/$t.log" | tail -n 1 || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (inputs under $FUZZ_BUILD/artifacts/)"
  exit 1
fi
echo "fuzzing: no faults in ${targets[*]}"
