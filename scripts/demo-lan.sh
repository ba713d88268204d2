#!/usr/bin/env bash
# demo-lan.sh -- PROGRAM [ARGS...]
#
# Makes a small demo LAN in isolated network namespaces (tests/lab/with-lab.sh):
# three camera hosts running the camera simulator with cameras of both
# protocols, and runs PROGRAM on the PC of that LAN. Nothing reaches the
# machine's real network; the LAN is removed when PROGRAM ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kit=${KEPLIN_KIT_DIR:-$here/build/kit}
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { echo "usage: demo-lan.sh -- PROGRAM [ARGS...]" >&2; exit 2; }

if [ "${KEPLIN_LAB:-}" != "1" ]; then
  exec "$here/tests/lab/with-lab.sh" --cams 3 -- "$0" -- "$@"
fi

IFS=, read -r -a cams <<<"$KEPLIN_LAB_CAM_NS"
IFS=, read -r -a addrs <<<"$KEPLIN_LAB_CAM_ADDRS"
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT

# camera DEFs per host: the text protocol on the first two, the broadcast
# protocol on the last two (one host speaks both, like a mixed installation).
definitions=(
  "kind=text,id=KP3A00000000000000000000000A0001,mac=00:1A:2B:3C:4D:01,ip=${addrs[0]},name=Front door,model=IPC-210,sw=3.2.1,web=1.8.0,user=admin,password=admin"
  "kind=text,id=KP3A00000000000000000000000A0002,mac=00:1A:2B:3C:4D:02,ip=${addrs[1]},name=Garage,model=IPC-310,sw=3.2.4,web=1.8.2,dhcp=1,user=admin,password=admin"
  "kind=broadcast,mac=00:1A:2B:3C:4D:03,ip=${addrs[1]},name=Garden,sw=2.0.7,web=2.0.1,user=admin,password=admin"
  "kind=broadcast,mac=00:1A:2B:3C:4D:04,ip=${addrs[2]},name=Warehouse,sw=2.1.0,web=2.0.3,user=admin,password=admin"
)
hosts=(0 1 1 2)
for i in "${!definitions[@]}"; do
  h=${hosts[$i]}
  ip netns exec "${cams[$h]}" "$kit/keplin-camsim" --restart-delay-ms 3000 \
      --camera "${definitions[$i]}" --log "$logdir/cam$i.log" >"$logdir/cam$i.out" 2>&1 &
done
# Wait until every simulator has bound its sockets.
for i in "${!definitions[@]}"; do
  for _ in $(seq 50); do grep -q ready "$logdir/cam$i.out" 2>/dev/null && break; sleep 0.1; done
done
"$@"
