#!/usr/bin/env bash
# demo.sh [--wizard [--install-system]] [--live] [--lang cn|tw|en|FILE] [--cli]
#
# The search window (with --wizard: the setup wizard TavrinSetup, whose last
# page holds the same search; with --cli: a `keplin search` in the terminal
# instead). The wizard's installation page installs into a demo system
# directory and registry store under build/demo/, never into the real ones;
# only --install-system installs into the real system. By default on a demo LAN of simulated cameras of both
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
lang=
cli=0
wizard=0
install_system=0
while [ $# -gt 0 ]; do
  case "$1" in
    --live) live=1; shift ;;
    --lang) lang=${2:?--lang needs a value}; shift 2 ;;
    --cli) cli=1; shift ;;
    --wizard) wizard=1; shift ;;
    --install-system) install_system=1; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ "$cli" -eq 1 ]; then
  program=("$kit/keplin" search)
else
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || { echo "demo.sh: no display to show the window on (try --cli)" >&2; exit 1; }
  if [ "$wizard" -eq 1 ]; then
    program=("$kit/TavrinSetup")
    [ -z "$lang" ] || program+=(--lang "$lang")
  else
    program=("$kit/searchhost" --lang "${lang:-cn}")
  fi
fi
if [ "$wizard" -eq 1 ] && [ "$install_system" -eq 0 ]; then
  # The installation page writes here instead of the real system directory
  # and registry store; a stand-in answers for the firewall command.
  demo_root=${KEPLIN_DEMO_DIR:-$here/build/demo}
  mkdir -p "$demo_root/system32" "$demo_root/bin"
  printf '#!/bin/sh\necho "demo: no firewall change ($*)" >&2\n' >"$demo_root/bin/netsh"
  chmod 755 "$demo_root/bin/netsh"
  export KEPLIN_SYSTEM_DIR="$demo_root/system32" KEPLIN_REGISTRY="$demo_root/registry.db"
  export PATH="$demo_root/bin:$PATH"
  echo "Installation page: into $demo_root (use --install-system for the real system)."
elif [ "$wizard" -eq 1 ]; then
  echo "Installation page: into the real system directory and registry store."
fi
[ -x "${program[0]}" ] || { echo "demo.sh: ${program[0]} is not built (cmake --build build)" >&2; exit 1; }

if [ "$live" -eq 1 ]; then
  echo "Searching the real network this computer is on."
  exec "${program[@]}"
fi

echo "Demo: a simulated LAN of four cameras (use --live for your real network)."
[ "$cli" -eq 1 ] || echo "The search does not start by itself: press Search (F3) to list the cameras."
demo=("$here/scripts/demo-lan.sh" -- "${program[@]}")
export KEPLIN_KIT_DIR="$kit"
if [ "$(id -u)" -eq 0 ]; then
  exec "${demo[@]}"
fi
if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
  exec sudo --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,KEPLIN_KIT_DIR,KEPLIN_SYSTEM_DIR,KEPLIN_REGISTRY,PATH "${demo[@]}"
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
