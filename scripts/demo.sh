#!/usr/bin/env bash
# demo.sh [--live] [--lang cn|en|FILE] [--cli]
#
# The search window (with --cli: a `keplin search` in the terminal instead). By default on a demo LAN of simulated cameras of both
# protocols, made of isolated network namespaces (scripts/demo-lan.sh), so
# that a search finds cameras and nothing reaches the real network: press
# Search (F3), change a camera, press Update (F5) and watch it come back after
# the restart wait. --live searches the network this computer is really on
# instead.
#
# The demo LAN needs root, or unprivileged user namespaces; without either it
# says so and stops.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kit=${KEPLIN_KIT_DIR:-$here/build/kit}
live=0
lang=cn
cli=0
while [ $# -gt 0 ]; do
  case "$1" in
    --live) live=1; shift ;;
    --lang) lang=${2:?--lang needs a value}; shift 2 ;;
    --cli) cli=1; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ "$cli" -eq 1 ]; then
  program=("$kit/keplin" search)
else
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || { echo "demo.sh: no display to show the window on (try --cli)" >&2; exit 1; }
  program=("$kit/searchhost" --lang "$lang")
fi
[ -x "${program[0]}" ] || { echo "demo.sh: ${program[0]} is not built (cmake --build build)" >&2; exit 1; }

if [ "$live" -eq 1 ]; then
  echo "Searching the real network this computer is on."
  exec "${program[@]}"
fi

echo "Demo: a simulated LAN of four cameras (use --live for your real network)."
[ "$cli" -eq 1 ] || echo "The window does not search by itself: press Search (F3) to list the cameras."
demo=("$here/scripts/demo-lan.sh" -- "${program[@]}")
export KEPLIN_KIT_DIR="$kit"
if [ "$(id -u)" -eq 0 ]; then
  exec "${demo[@]}"
fi
if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  exec sudo --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,KEPLIN_KIT_DIR "${demo[@]}"
fi
# An unprivileged user namespace with mount and network namespaces of its
# own: a private /run lets `ip netns` keep the lab's namespaces there, and the
# new network namespace is one that `ip netns` may switch back to.
if unshare -rmn true 2>/dev/null; then
  exec unshare -rmn --propagation private -- sh -c \
    'mount -t tmpfs keplin-demo /run && exec "$@"' sh "${demo[@]}"
fi
cat >&2 <<'MSG'
demo.sh: the demo LAN needs root or unprivileged user namespaces, and this
system allows neither to this user. Run it as root (sudo scripts/demo.sh), or
search your real network with: scripts/demo.sh --live
MSG
exit 1
