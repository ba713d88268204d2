#!/usr/bin/env bash
# An installer's day in the lab: N text-protocol and N broadcast cameras fresh
# from the factory, all on one address, re-addressed from one plan by
# `keplin plan apply` and each verified at its new address. Makes its own lab;
# not run by the tests. Prints figures; asserts nothing.
#
#   bench/plan_lab.sh [--counts "50 500"] [--restart-ms 45000] [--parallel 50]
#
# The simulated cameras take --restart-ms to restart after a change (45 s, a
# real camera's time), during which they answer no search.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
build=${KEPLIN_BUILD_DIR:-build}

counts="50 500"
restart_ms=45000
parallel=50
while [ $# -gt 0 ]; do
  case "$1" in
    --counts) counts=$2; shift 2 ;;
    --restart-ms) restart_ms=$2; shift 2 ;;
    --parallel) parallel=$2; shift 2 ;;
    *) echo "plan_lab: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ "${KEPLIN_LAB:-}" != "1" ]; then
  exec tests/lab/with-lab.sh --cams 1 -- "$0" --counts "$counts" --restart-ms "$restart_ms" --parallel "$parallel"
fi

kit=$build/kit
cams_ns=${KEPLIN_LAB_CAM_NS%%,*}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"' EXIT

for n in $counts; do
  echo "== $n text-protocol and $n broadcast cameras on 192.168.1.64, restart $restart_ms ms, --parallel $parallel =="
  ip netns exec "$cams_ns" "$kit/keplin-camsim" --count "$n" --restart-delay-ms "$restart_ms" \
    --camera kind=text,ip=192.168.1.64,ip_step=0 --camera kind=broadcast,ip=192.168.1.64,ip_step=0 \
    >"$work/camsim.out" 2>&1 &
  camsim=$!
  for _ in $(seq 200); do grep -q ready "$work/camsim.out" && break; sleep 0.05; done

  "$kit/keplin" plan template >"$work/template.csv" 2>"$work/template.err"
  found=$(($(wc -l <"$work/template.csv") - 1))
  # New addresses 10.214.x.y/16, gateway 10.214.0.1; one row per camera found.
  awk -F, 'BEGIN { OFS = "," }
    NR == 1 { print; next }
    { i = NR - 2; $9 = "10.214." int(i / 250) "." (i % 250 + 2); $10 = "255.255.0.0"; $11 = "10.214.0.1"; print }' \
    "$work/template.csv" >"$work/plan.csv"

  start=$(date +%s.%N)
  status=0
  KEPLIN_PASSWORD=admin "$kit/keplin" plan apply "$work/plan.csv" --user admin --parallel "$parallel" \
    --restart-wait "$restart_ms" --verify-timeout 120000 --report "$work/report.csv" \
    >"$work/apply.out" 2>"$work/apply.err" || status=$?
  end=$(date +%s.%N)
  verified=$(grep -c ',verified,' "$work/report.csv" || true)
  text_ok=$(grep -c '^[0-9]*,text,.*,verified,' "$work/report.csv" || true)
  broadcast_ok=$(grep -c '^[0-9]*,broadcast,.*,verified,' "$work/report.csv" || true)
  echo "template: $found of $((2 * n)) cameras listed"
  echo "apply: exit $status, $verified of $found verified ($text_ok text, $broadcast_ok broadcast)," \
    "$(echo "$end - $start" | bc) s wall"
  tail -1 "$work/apply.out"
  grep -v ',verified,' "$work/report.csv" | head -5
  kill "$camsim" 2>/dev/null || true
  wait "$camsim" 2>/dev/null || true
done
