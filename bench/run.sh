#!/usr/bin/env bash
# Runs the benchmarks and prints their figures. Builds first when needed.
# The search benchmarks run inside an isolated lab network (root).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
export KEPLIN_BUILD_DIR=${KEPLIN_BUILD_DIR:-build}
build=$KEPLIN_BUILD_DIR

if [ "${KEPLIN_LAB:-}" != "1" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target dispatch_bench lab_search_bench list_fill_bench window_flood_bench \
    keplin-camsim keplin-flood keplin >/dev/null
  echo "== dispatch_message throughput =="
  "$build/bench/dispatch_bench" --benchmark_min_time=1
  echo
  echo "== the search window fills its list (virtual display, no network) =="
  tests/run-isolated.sh --xvfb -- "$build/bench/list_fill_bench" || true
  echo
  echo "== memory per listed camera (bench/memory.sh, a lab of its own) =="
  bench/memory.sh || true
  echo "== thousands of cameras and floods on a PC with two interfaces (a lab of its own) =="
  bench/lab_scale.sh || true
  exec tests/lab/with-lab.sh --cams 1 -- "$0"
fi

ns=${KEPLIN_LAB_CAM_NS%%,*}
log=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$log"' EXIT
ip netns exec "$ns" "$build/kit/keplin-camsim" --count 500 \
  --camera "kind=text,id=BENCH000000000000000000000000001,mac=02:10:00:00:00:01,ip=10.213.1.1" \
  --camera "kind=broadcast,mac=02:20:00:00:00:01,ip=10.214.1.1" >"$log/out" 2>&1 &
for _ in $(seq 100); do grep -q ready "$log/out" && break; sleep 0.1; done

echo
echo "== 500 text-protocol cameras answer one search (engine) =="
"$build/bench/lab_search_bench" --text 500 --broadcast 0 --wait 2500 || true
echo
echo "== 500 text-protocol and 500 broadcast cameras answer one search (engine) =="
"$build/bench/lab_search_bench" --text 500 --broadcast 500 --wait 2500 || true
echo
echo "== the same through 'keplin search' =="
"$build/bench/lab_search_bench" --command 2500 1000 -- "$build/kit/keplin" search --format json || true
