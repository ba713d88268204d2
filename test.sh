#!/usr/bin/env bash
# Builds everything from scratch and runs every test:
#   1. the normal build (warnings as errors) and its tests, lab tests included;
#   2. the same under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the engine and its tests under ThreadSanitizer;
#   4. the fuzzers (clang, libFuzzer), sharing one bounded time.
# Tests that send packets run only inside an isolated lab network; every other
# test runs in an empty network namespace. See tests/lab/README.md.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${KEPLIN_FUZZ_SECONDS:-120}
passed=0
failed=0
failures=()

# run_ctest NAME BUILD_DIR [ctest args...]: runs the suite and adds up its results.
run_ctest() {
  local name=$1 dir=$2; shift 2
  local log="$dir/ctest.log"
  if ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$log"; then :; fi
  local line total nfail
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -z "$line" ]; then
    failed=$((failed + 1)); failures+=("$name: ctest did not finish"); return
  fi
  nfail=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + total - nfail))
  failed=$((failed + nfail))
  [ "$nfail" -eq 0 ] || failures+=("$name: $nfail failed")
}

# phase NAME: prints the phase's heading and how long the run has taken so far.
phase() { echo "== $1 == (at $SECONDS s)"; }

# The test builds keep line tables only (-g1): stack traces still name files and
# lines, and the builds take about half the time of full debug information.
test_flags="-O2 -g1 -DNDEBUG"

configure_and_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DKEPLIN_WERROR=ON \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$test_flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$test_flags" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

phase "Normal build"
configure_and_build build
run_ctest normal build

phase "AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build build-asan -DKEPLIN_SANITIZE=address,undefined -DKEPLIN_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest asan build-asan

phase "ThreadSanitizer (engine)"
configure_and_build build-tsan -DKEPLIN_SANITIZE=thread -DKEPLIN_ENGINE_ONLY=ON -DKEPLIN_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest tsan build-tsan

phase "Fuzzing (${fuzz_seconds}s shared by every target)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKEPLIN_FUZZ=ON -DKEPLIN_ENGINE_ONLY=ON -DKEPLIN_BENCH=OFF >/dev/null
# target, seed folder (may be empty), dictionary (may be empty)
fuzzers=(
  "engine_receive_fuzzer engine/fuzz/corpus engine/fuzz/receive.dict"
  "rules_broadcast_fuzzer - -"
  "platform_profile_fuzzer resources -"
  "keplin_format_fuzzer - -"
)
targets=()
for f in "${fuzzers[@]}"; do targets+=("${f%% *}"); done
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"
corpus_root=$(mktemp -d)
trap 'rm -rf "$corpus_root"' EXIT
each=$((fuzz_seconds / ${#fuzzers[@]}))
for f in "${fuzzers[@]}"; do
  read -r target seeds dict <<<"$f"
  corpus="$corpus_root/$target"
  mkdir -p "$corpus"
  if [ "$seeds" != "-" ]; then find "$seeds" -maxdepth 1 -type f -size -64k -exec cp {} "$corpus"/ \; ; fi
  args=(-max_total_time="$each" -print_final_stats=1)
  [ "$dict" != "-" ] && args+=(-dict="$dict")
  if tests/run-isolated.sh -- "build-fuzz/kit/$target" "${args[@]}" "$corpus" >"build-fuzz/$target.log" 2>&1; then
    passed=$((passed + 1)); echo "$target: no crash in ${each}s ($(grep -o 'Done [0-9]* runs' "build-fuzz/$target.log"))"
  else
    failed=$((failed + 1)); failures+=("$target: see build-fuzz/$target.log"); tail -40 "build-fuzz/$target.log"
  fi
done

echo
for f in "${failures[@]+"${failures[@]}"}"; do echo "FAILED $f"; done
echo "all: $passed passed, $failed failed (in $SECONDS s)"
[ "$failed" -eq 0 ]
