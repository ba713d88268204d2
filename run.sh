#!/usr/bin/env bash
# Builds the kit and starts the main program.
#
#   ./run.sh          a demo: simulated cameras on an isolated network of their own
#   ./run.sh --live   search the real network this computer is on
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

if [ "${1:-}" = "--live" ]; then
  shift
  exec build/kit/keplin search "$@"
fi
echo "Demo: searching a simulated LAN of four cameras (use --live for your real network)."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
exec $sudo env KEPLIN_KIT_DIR="$PWD/build/kit" scripts/demo-lan.sh -- build/kit/keplin search "$@"
