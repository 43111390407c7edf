#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) in a
# build directory of their own and runs each for a bounded time, starting from
# its seed corpus in fuzz/corpus/<target>/. Fails when a target finds a crash,
# a leak or undefined behaviour; the input that did it is kept in
# $BUILD_DIR/artifacts/.
#
#   FUZZ_SECONDS  run time of each target (default 20)
#   BUILD_DIR     build directory (default build-fuzz)
#   JOBS          build jobs (default 2)
#   scripts/fuzz.sh [target...]   only these targets (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${BUILD_DIR:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-20}
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(frame_reader data_packet form_resource edit_mask session_file)
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSERVCLIENTE_FUZZ=ON -DSERVCLIENTE_SANITIZE=ON -DSERVCLIENTE_GUI=OFF -DSERVCLIENTE_TESTS=OFF >/dev/null
for t in "${TARGETS[@]}"; do
  cmake --build "$BUILD_DIR" --target "fuzz_$t" -j"${JOBS:-2}"
done

mkdir -p "$BUILD_DIR/artifacts"
status=0
for t in "${TARGETS[@]}"; do
  # New inputs go to a scratch corpus; the seeds in the repository stay as
  # they are.
  work="$BUILD_DIR/corpus/$t"
  mkdir -p "$work"
  log="$BUILD_DIR/fuzz_$t.log"
  echo "fuzz.sh: $t for ${SECONDS_EACH}s"
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$BUILD_DIR/bin/fuzz_$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$BUILD_DIR/artifacts/$t-" \
       "$work" "$ROOT/fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz.sh: $t: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') runs, no crash"
  else
    echo "fuzz.sh: $t FAILED; see $log" >&2
    tail -40 "$log" >&2
    status=1
  fi
done
exit $status
