#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for
# FUZZ_SECONDS (default 60) on FUZZ_JOBS processes (default: one per core),
# starting from its seeds in fuzz/corpus/<target>/.
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
# within the last 16 MB freed. Reports give five frames of where memory was
# taken and freed (run the saved input again for more).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=16:malloc_context_size=5}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# One fuzzing process per core, sharing the work corpus (each takes up what
# the others find); the rate printed is the inputs of all of them per second.
JOBS=${FUZZ_JOBS:-$(nproc)}
failed=()
for t in $FUZZ_TARGETS; do
  work="$BUILD/corpus/$t"
  artifacts="$BUILD/artifacts/$t/"
  mkdir -p "$work" "$artifacts"
  echo "== $t: ${FUZZ_SECONDS}s on $JOBS processes"
  start=$(date +%s)
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  pids=()
  for j in $(seq 1 "$JOBS"); do
    # New inputs go to the work corpus; the seeds in the tree stay as they are.
    "$BUILD/fuzz/$t" -max_total_time="$FUZZ_SECONDS" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts" "${dict[@]}" "$work" "fuzz/corpus/$t" \
      > "$BUILD/$t.$j.log" 2>&1 &
    pids+=($!)
  done
  ok=1
  for p in "${pids[@]}"; do wait "$p" || ok=0; done
  elapsed=$(( $(date +%s) - start ))
  if [ "$ok" = 1 ]; then
    runs=0
    each=()
    for j in $(seq 1 "$JOBS"); do
      r=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$BUILD/$t.$j.log" | grep -o '[0-9]*$')
      runs=$(( runs + r ))
      each+=("$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$BUILD/$t.$j.log" | grep -o '[0-9]*$')")
    done
    echo "   $t: no crash in ${elapsed}s ($runs runs, $(( runs / FUZZ_SECONDS )) inputs/s; per process ${each[*]})"
  else
    echo "   $t: FAILED after ${elapsed}s; input in $artifacts"
    grep -h -E -A1 'FUZZ_CHECK|ERROR:|runtime error|Test unit written' "$BUILD/$t".*.log | head -20 || true
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (logs: $BUILD/<target>.<process>.log)"
  exit 1
fi
echo "fuzzing: ${FUZZ_TARGETS// /, } ran ${FUZZ_SECONDS}s each without a fault"
