#!/usr/bin/env bash
# Thousands of cameras and a flood, on a PC with two interfaces (bench/run.sh
# calls it; it makes its own lab). Prints figures; asserts nothing.
#
#   bench/lab_scale.sh [--counts "1000 5000"] [--flood-text N] [--flood-broadcast N] [--flood-rate R]
#
# For each count N, one keplin-camsim plays N text-protocol and N broadcast
# cameras, and one search collects them: first through the engine
# (lab_search_bench: listed, time to the last, arrival-to-handler delay), then
# through `keplin search --format json` (listed, wall and CPU time, peak
# memory). Then 20 genuine cameras of each protocol answer 5 s after a search
# that keplin-flood floods, and `keplin search --format json --wait 20000`
# reports its peak memory, its entries, the genuine cameras among them and the
# datagrams the PC's kernel dropped. Last, the search window program does the
# same on a virtual display (window_flood_bench), beside the same window
# without a search; its genuine cameras answer after 2 s, within the 2.5 s the
# window collects before it fills its list.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
build=${KEPLIN_BUILD_DIR:-build}

counts="1000 5000"
flood_text=100000
flood_broadcast=20000
flood_rate=40000
while [ $# -gt 0 ]; do
  case "$1" in
    --counts) counts=$2; shift 2 ;;
    --flood-text) flood_text=$2; shift 2 ;;
    --flood-broadcast) flood_broadcast=$2; shift 2 ;;
    --flood-rate) flood_rate=$2; shift 2 ;;
    *) echo "lab_scale: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ "${KEPLIN_LAB:-}" != "1" ]; then
  exec tests/lab/with-lab.sh --cams 2 --pc-ifaces 2 -- "$0" --counts "$counts" --flood-text "$flood_text" \
    --flood-broadcast "$flood_broadcast" --flood-rate "$flood_rate"
fi

kit=$build/kit
cams_ns=${KEPLIN_LAB_CAM_NS%%,*}
flood_ns=${KEPLIN_LAB_CAM_NS##*,}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT

# Starts PROGRAM ARGS... in namespace NS with its output in FILE and waits
# until it prints "ready"; the pid is left in $started.
start_in() {
  local ns=$1 out=$2
  shift 2
  ip netns exec "$ns" "$@" >"$out" 2>&1 &
  started=$!
  for _ in $(seq 200); do
    grep -q ready "$out" && return 0
    sleep 0.05
  done
  echo "lab_scale: $1 did not start:" >&2
  cat "$out" >&2
  exit 1
}

start_cameras() {
  start_in "$cams_ns" "$work/camsim.out" "$kit/keplin-camsim" "$@"
  camsim=$started
}

stop_cameras() {
  kill "$camsim" 2>/dev/null || true
  wait "$camsim" 2>/dev/null || true
}

start_flood() {
  start_in "$flood_ns" "$work/flood.out" "$kit/keplin-flood" --text "$flood_text" \
    --broadcast "$flood_broadcast" --rate "$flood_rate"
  flood=$started
}

finish_flood() {
  wait "$flood" || echo "keplin-flood ended with status $?"
  grep -v ready "$work/flood.out"
}

udp_counter() {  # one counter of the PC namespace's "Udp:" lines
  awk -v name="$1" '/^Udp:/ { if (!n) { for (i = 2; i <= NF; i++) col[$i] = i; n = 1 } else print $col[name] }' \
    /proc/net/snmp
}

echo "PC interfaces: ${KEPLIN_LAB_PC_ADDRS}"
for n in $counts; do
  echo
  echo "== $n text-protocol and $n broadcast cameras answer one search =="
  start_cameras --count "$n" --camera "kind=text,mac=02:10:00:00:00:01" \
    --camera "kind=broadcast,mac=02:20:00:00:00:01,ip=10.214.0.1"
  "$build/bench/lab_search_bench" --text "$n" --broadcast "$n" --wait 2500 || true
  "$build/bench/lab_search_bench" --command 2500 $((2 * n)) -- "$kit/keplin" search --format json || true
  stop_cameras
done

echo
echo "== keplin search --wait 20000 under a flood: $flood_text hostile text datagrams and" \
  "$flood_broadcast random broadcast replies at $flood_rate/s; 20 + 20 genuine cameras answer after 5 s =="
start_cameras --count 20 --camera "kind=text,mac=02:10:00:00:00:01,reply_delay_ms=5000" \
  --camera "kind=broadcast,mac=02:20:00:00:00:01,ip=10.214.0.1,reply_delay_ms=5000"
start_flood
dropped_before=$(udp_counter RcvbufErrors)
KEPLIN_BENCH_OUTPUT=$work/search.json "$build/bench/lab_search_bench" --command 20000 40 -- \
  "$kit/keplin" search --format json --wait 20000 || true
dropped=$(($(udp_counter RcvbufErrors) - dropped_before))
finish_flood
text_entries=$(grep -c '"kind": "M"' "$work/search.json" || true)
broadcast_entries=$(grep -c '"kind": "L"' "$work/search.json" || true)
genuine=$(grep -oE '"mac": "02:[12]0:00:00:00:(0[1-9A-F]|1[0-4])"' "$work/search.json" | sort -u | wc -l)
echo "entries: $text_entries text, $broadcast_entries broadcast; genuine cameras listed: $genuine of 40;" \
  "datagrams the PC's kernel dropped (RcvbufErrors): $dropped"
stop_cameras

echo
echo "== the search window program for 20 s under the same flood; 20 + 20 genuine cameras answer after 2 s =="
tests/with-xvfb.sh "$build/bench/window_flood_bench" --bare --seconds 20
start_cameras --count 20 --camera "kind=text,mac=02:10:00:00:00:01,name=GENUINE01,reply_delay_ms=2000" \
  --camera "kind=broadcast,mac=02:20:00:00:00:01,ip=10.214.0.1,name=GENUINE21,reply_delay_ms=2000"
start_flood
dropped_before=$(udp_counter RcvbufErrors)
tests/with-xvfb.sh "$build/bench/window_flood_bench" --seconds 20 --genuine GENUINE || true
dropped=$(($(udp_counter RcvbufErrors) - dropped_before))
finish_flood
echo "datagrams the PC's kernel dropped (RcvbufErrors): $dropped"
stop_cameras
