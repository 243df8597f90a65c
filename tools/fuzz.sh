#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# FUZZ_SECONDS (default 60), starting from its seeds in fuzz/corpus/<target>/.
# Fails when any target crashes, hangs or breaks a property; the input that
# did it is left in build-fuzz/artifacts/<target>/.
#   FUZZ_SECONDS=600 tools/fuzz.sh            # longer runs
#   FUZZ_TARGETS="fuzz_ini" tools/fuzz.sh     # some targets only
set -euo pipefail
cd "$(dirname "$0")/.."
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
FUZZ_TARGETS=${FUZZ_TARGETS:-"fuzz_receive fuzz_framer fuzz_ini fuzz_preset"}
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DKP_FUZZ=ON -DKP_BUILD_UI=OFF -DKP_BUILD_TESTS=OFF
cmake --build "$BUILD" --target kp_fuzz_targets -j"$(nproc)"

# The targets' scratch files, on tmpfs when there is one (their writes sync).
shm=/dev/shm
[ -w "$shm" ] || shm=${TMPDIR:-/tmp}
KP_FUZZ_TMP=$(mktemp -d "$shm/kp-fuzz.XXXXXX")
export KP_FUZZ_TMP
trap 'rm -rf "$KP_FUZZ_TMP"' EXIT

# A quarantine of 16 MB instead of 256: freed memory comes back sooner instead
# of being mapped afresh for every input, and a use after free is still caught
# within the last 16 MB freed.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in $FUZZ_TARGETS; do
  work="$BUILD/corpus/$t"
  artifacts="$BUILD/artifacts/$t/"
  mkdir -p "$work" "$artifacts"
  echo "== $t: ${FUZZ_SECONDS}s"
  start=$(date +%s)
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  # New inputs go to the work corpus; the seeds in the tree stay as they are.
  if "$BUILD/fuzz/$t" -max_total_time="$FUZZ_SECONDS" -timeout=30 -rss_limit_mb=4096 \
       -print_final_stats=1 -artifact_prefix="$artifacts" "${dict[@]}" "$work" "fuzz/corpus/$t" \
       > "$BUILD/$t.log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD/$t.log" | grep -o '[0-9]*$')
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$BUILD/$t.log" | grep -o '[0-9]*$')
    echo "   $t: no crash in $(( $(date +%s) - start ))s ($runs runs, $rate inputs/s)"
  else
    echo "   $t: FAILED after $(( $(date +%s) - start ))s; input in $artifacts"
    grep -E -A1 'FUZZ_CHECK|ERROR:|runtime error|Test unit written' "$BUILD/$t.log" | head -20 || true
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (logs: $BUILD/<target>.log)"
  exit 1
fi
echo "fuzzing: ${FUZZ_TARGETS// /, } ran ${FUZZ_SECONDS}s each without a fault"
