#!/usr/bin/env bash
# Builds the kit and starts the main program, the setup wizard TavrinSetup.
#
#   ./run.sh             a demo: simulated cameras on an isolated network of their
#                        own; the installation page installs into build/demo/
#   ./run.sh --live      its search page searches the real network this computer is on
#   ./run.sh --lang en   English (cn, tw or en; as if chosen in the language box)
#   ./run.sh --install-system   the installation page installs into the real system
#   ./run.sh --search    the device search window alone, without the wizard
#
# Without a display, the same search runs in the terminal (keplin search).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the search in the terminal instead of the window."
  args=()
  for arg in "$@"; do
    case "$arg" in --search|--install-system) ;; *) args+=("$arg") ;; esac
  done
  exec scripts/demo.sh --cli "${args[@]}"
fi
args=()
wizard=1
for arg in "$@"; do
  if [ "$arg" = "--search" ]; then wizard=0; else args+=("$arg"); fi
done
[ "$wizard" -eq 0 ] || args=(--wizard "${args[@]}")
exec scripts/demo.sh "${args[@]}"
