#!/usr/bin/env bash
# Memory per listed camera: the heap one entry costs in the shared list and in
# keplin's output (no network), then the peak memory of `keplin search` and of
# the search window while many simulated cameras answer, inside a lab network
# (root). KEPLIN_BENCH_CAMERAS sets how many (30000: half of each protocol).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export KEPLIN_BUILD_DIR=${KEPLIN_BUILD_DIR:-build}
build=$KEPLIN_BUILD_DIR
cameras=${KEPLIN_BENCH_CAMERAS:-30000}
export KEPLIN_BENCH_CAMERAS=$cameras

if [ "${KEPLIN_LAB:-}" != "1" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target entry_memory_bench window_search_bench keplin-camsim keplin >/dev/null
  echo "== heap per listed camera =="
  "$build/bench/entry_memory_bench"
  exec tests/lab/with-lab.sh --cams 1 -- "$0"
fi

ns=${KEPLIN_LAB_CAM_NS%%,*}
log=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$log"' EXIT

# run_case TITLE COUNT-PER-DEF DEF...: the simulator plays COUNT cameras of
# every DEF while keplin, then the window, search once.
run_case() {
  local title=$1 count=$2
  shift 2
  local defs=()
  for def in "$@"; do defs+=(--camera "$def"); done
  ip netns exec "$ns" "$build/kit/keplin-camsim" --count "$count" "${defs[@]}" >"$log/sim" 2>&1 &
  local sim=$!
  for _ in $(seq 300); do grep -q ready "$log/sim" && break; sleep 0.1; done

  echo
  echo "== $title: 'keplin search --format json' =="
  /usr/bin/time -f "%M" -o "$log/rss" "$build/kit/keplin" search --wait 8000 --format json >"$log/json" 2>"$log/err"
  listed=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["devices"]))' "$log/json")
  echo "keplin: $listed cameras listed; peak $(awk '{printf "%.1f", $1 / 1024}' "$log/rss") MiB"
  grep "more than" "$log/err" || true

  echo "== $title: the search window (virtual display) =="
  KEPLIN_BENCH_WAIT_MS=8000 tests/with-xvfb.sh "$build/bench/window_search_bench" || true
  kill "$sim" 2>/dev/null
  wait "$sim" 2>/dev/null || true
}

run_case "$cameras simulated cameras" $((cameras / 2)) \
  "kind=text,name=Memory bench camera,model=KC-2000" "kind=broadcast,name=Memory bench camera"

# Every text as long as its field allows, and more cameras than one list holds.
long40=$(printf 'N%.0s' $(seq 40))
long31=$(printf 'V%.0s' $(seq 31))
run_case "70000 cameras with the longest texts" 35000 \
  "kind=text,name=$long40,model=$long40,sw=$long31$long31,web=$long31$long31,vendor=$long31,product=$long31,type=$long31" \
  "kind=broadcast,name=$long40$long40,sw=$long31,web=$long31"
