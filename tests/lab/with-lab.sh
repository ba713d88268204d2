#!/usr/bin/env bash
# with-lab.sh [--cams K] [--pc-ifaces N] [--separate-lans] -- COMMAND [ARGS...]
#
# Builds a private LAN out of network namespaces, runs COMMAND inside its PC
# namespace and removes the LAN again, whatever happens:
#
#   <prefix>sw   a switch: bridge br0 (multicast snooping off, so multicast is
#                flooded to every port like on a plain hub)
#   <prefix>pc   the PC: interfaces lan0..lan<N-1>, 10.213.0.1, .2, ...
#   <prefix>c1.. the cameras: one interface lan0 each, 10.213.0.11, .12, ...
#
# With --separate-lans every PC interface has a LAN of its own: lan<i> is
# 10.213.<i>.1 on bridge br<i>, the PC's default route goes through lan0, and
# camera j sits on LAN (j-1) mod N as 10.213.<LAN>.<10+j>.
#
# Nothing is created in, or connected to, the machine's own namespace: the veth
# pairs are made inside the switch namespace with their far end moved straight
# into the PC or camera namespace. Every namespace has lo up and a default
# route out of its first interface without a gateway, so that datagrams to
# 239.255.255.250 and 255.255.255.255 leave through the lab and nowhere else.
#
# COMMAND sees KEPLIN_LAB=1, KEPLIN_LAB_PREFIX, KEPLIN_LAB_PC_NS,
# KEPLIN_LAB_PC_ADDRS, KEPLIN_LAB_PC_IFACES, KEPLIN_LAB_CAM_NS,
# KEPLIN_LAB_CAM_ADDRS, KEPLIN_LAB_CAM_LANS (each camera's LAN, the index of
# the PC interface on it; lists comma-separated), KEPLIN_LAB_SEPARATE_LANS (0
# or 1) and KEPLIN_LAB_NETMASK.
# The script exits with COMMAND's status; 77 when no lab can be made (1 when
# CI=true, so that CI never passes without its network tests).
set -uo pipefail

cams=1
pc_ifaces=1
separate=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cams) cams=$2; shift 2 ;;
    --pc-ifaces) pc_ifaces=$2; shift 2 ;;
    --separate-lans) separate=1; shift ;;
    --) shift; break ;;
    -h|--help) sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "with-lab: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "with-lab: no command given" >&2; exit 2; }
case "$cams$pc_ifaces" in
  *[!0-9]*) echo "with-lab: --cams and --pc-ifaces take numbers" >&2; exit 2 ;;
esac
if [ "$pc_ifaces" -lt 1 ] || [ "$pc_ifaces" -gt 9 ] || [ "$cams" -gt 200 ]; then
  echo "with-lab: need 1..9 PC interfaces and at most 200 camera namespaces" >&2
  exit 2
fi

cannot_make_lab() {
  if [ "${CI:-}" = "true" ]; then
    echo "with-lab: cannot make the isolated lab network: $1 (fatal under CI)" >&2
    exit 1
  fi
  echo "with-lab: cannot make the isolated lab network: $1; skipped" >&2
  exit 77
}

[ "$(id -u)" -eq 0 ] || cannot_make_lab "needs root"
command -v ip >/dev/null || cannot_make_lab "the ip command (iproute2) is missing"

netmask=255.255.255.0
# Namespace names: kl<owner pid>r<random>sw|pc|c<i>. The owner pid lets a later
# run recognise (and sweep) the leftovers of a run that was killed with -9.
prefix="kl$$r$(printf '%04x' $((RANDOM % 65536)))"
name_re='^kl([0-9]+)r[0-9a-f]+(sw|pc|c[0-9]+)$'

# kill_ns_processes NS: nothing may keep a namespace alive once it is deleted.
kill_ns_processes() {
  local ns=$1 pids
  pids=$(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')
  [ -n "${pids// /}" ] || return 0
  # shellcheck disable=SC2086
  kill -TERM $pids 2>/dev/null
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    pids=$(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')
    [ -n "${pids// /}" ] || return 0
    sleep 0.1
  done
  # shellcheck disable=SC2086
  kill -KILL $pids 2>/dev/null
}

remove_ns() {
  kill_ns_processes "$1"
  ip netns del "$1" 2>/dev/null || true
}

sweep_stale_labs() {
  local ns
  for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
    if [[ $ns =~ $name_re ]] && ! kill -0 "${BASH_REMATCH[1]}" 2>/dev/null; then
      echo "with-lab: removing stale namespace $ns" >&2
      remove_ns "$ns"
    fi
  done
}

made=()
cleaned=0
cleanup() {
  [ "$cleaned" -eq 0 ] || return 0
  cleaned=1
  local ns i
  # Cameras and PC first, so that no process sits on a port while the
  # switch disappears under it.
  for ((i = ${#made[@]} - 1; i >= 0; i--)); do
    ns=${made[$i]}
    remove_ns "$ns"
  done
}

child=""
on_signal() {
  local sig=$1 code=$2
  trap - INT TERM HUP
  if [ -n "$child" ]; then kill "-$sig" "$child" 2>/dev/null; fi
  cleanup
  exit "$code"
}
trap cleanup EXIT
trap 'on_signal INT 130' INT
trap 'on_signal TERM 143' TERM
trap 'on_signal HUP 129' HUP

sweep_stale_labs

add_ns() {
  ip netns add "$1" 2>/dev/null || return 1
  made+=("$1")
  ip -n "$1" link set lo up
  # The machine's rp_filter setting may be inherited; two PC interfaces on one
  # subnet need loose source checks, or replies on the second would be dropped.
  ip netns exec "$1" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
}

fail_setup() {
  echo "with-lab: setting up the lab failed: $1" >&2
  cleanup
  if [ "${CI:-}" = "true" ]; then exit 1; fi
  exit 77
}

sw="${prefix}sw"
pc="${prefix}pc"
add_ns "$sw" || cannot_make_lab "ip netns add does not work here"
lans=1
[ "$separate" -eq 0 ] || lans=$pc_ifaces
for ((l = 0; l < lans; l++)); do
  ip -n "$sw" link add "br$l" type bridge mcast_snooping 0 stp_state 0 || fail_setup "no bridge"
  ip -n "$sw" link set "br$l" up || fail_setup "bridge up"
done

# attach NS IFACE PORT ADDR LAN: a veth from port PORT of bridge br<LAN> to
# IFACE in NS.
attach() {
  local ns=$1 iface=$2 port=$3 addr=$4 lan=$5
  ip -n "$sw" link add "$port" type veth peer name "$iface" netns "$ns" || return 1
  ip -n "$sw" link set "$port" master "br$lan" up || return 1
  ip -n "$ns" addr add "$addr/24" dev "$iface" || return 1
  ip -n "$ns" link set "$iface" up || return 1
}

add_ns "$pc" || fail_setup "ip netns add $pc"
pc_addrs=()
pc_names=()
for ((i = 0; i < pc_ifaces; i++)); do
  if [ "$separate" -eq 1 ]; then addr="10.213.$i.1"; lan=$i; else addr="10.213.0.$((i + 1))"; lan=0; fi
  attach "$pc" "lan$i" "pc$i" "$addr" "$lan" || fail_setup "PC interface lan$i"
  pc_addrs+=("$addr")
  pc_names+=("lan$i")
done
ip -n "$pc" route add default dev lan0 || fail_setup "PC default route"

cam_ns=()
cam_addrs=()
cam_lans=()
for ((i = 1; i <= cams; i++)); do
  ns="${prefix}c$i"
  lan=$(((i - 1) % lans))
  addr="10.213.$lan.$((10 + i))"
  add_ns "$ns" || fail_setup "ip netns add $ns"
  attach "$ns" lan0 "cam$i" "$addr" "$lan" || fail_setup "camera interface $i"
  ip -n "$ns" route add default dev lan0 || fail_setup "camera default route $i"
  cam_ns+=("$ns")
  cam_addrs+=("$addr")
  cam_lans+=("$lan")
done

# Bridge ports without STP forward as soon as both veth ends are up; wait for
# it so that the first datagram of the command is not lost.
for _ in $(seq 1 50); do
  if ! ip -n "$sw" link show type veth | grep -q 'state DOWN\|LOWERLAYERDOWN'; then break; fi
  sleep 0.1
done

join() { local IFS=,; echo "$*"; }
export KEPLIN_LAB=1
export KEPLIN_LAB_PREFIX="$prefix"
export KEPLIN_LAB_PC_NS="$pc"
export KEPLIN_LAB_PC_ADDRS="$(join "${pc_addrs[@]}")"
export KEPLIN_LAB_PC_IFACES="$(join "${pc_names[@]}")"
export KEPLIN_LAB_CAM_NS="$(join "${cam_ns[@]+"${cam_ns[@]}"}")"
export KEPLIN_LAB_CAM_ADDRS="$(join "${cam_addrs[@]+"${cam_addrs[@]}"}")"
export KEPLIN_LAB_CAM_LANS="$(join "${cam_lans[@]+"${cam_lans[@]}"}")"
export KEPLIN_LAB_SEPARATE_LANS="$separate"
export KEPLIN_LAB_NETMASK="$netmask"

# The command runs as a background job so that the signal traps fire at once;
# its standard input is passed on explicitly.
ip netns exec "$pc" "$@" <&0 &
child=$!
wait "$child"
status=$?
child=""
exit "$status"
