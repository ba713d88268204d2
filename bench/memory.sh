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
ip netns exec "$ns" "$build/kit/keplin-camsim" --count $((cameras / 2)) \
  --camera "kind=text,name=Memory bench camera,model=KC-2000" \
  --camera "kind=broadcast,name=Memory bench camera" >"$log/sim" 2>&1 &
for _ in $(seq 300); do grep -q ready "$log/sim" && break; sleep 0.1; done

echo
echo "== $cameras simulated cameras answer 'keplin search --format json' =="
/usr/bin/time -f "%M" -o "$log/rss" "$build/kit/keplin" search --wait 8000 --format json >"$log/json"
listed=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["devices"]))' "$log/json")
echo "keplin: $listed cameras listed; peak $(awk '{printf "%.1f", $1 / 1024}' "$log/rss") MiB"

echo
echo "== the same cameras answer the search window (virtual display) =="
KEPLIN_BENCH_WAIT_MS=8000 tests/with-xvfb.sh "$build/bench/window_search_bench" || true
