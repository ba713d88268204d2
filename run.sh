#!/usr/bin/env bash
# Builds the kit and starts the main program, the device search window.
#
#   ./run.sh          a demo: simulated cameras on an isolated network of their own
#   ./run.sh --live   search the real network this computer is on
#   ./run.sh --lang en   the English window (Chinese by default)
#
# Without a display, the same search runs in the terminal (keplin search).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the search in the terminal instead of the window."
  exec scripts/demo.sh --cli "$@"
fi
exec scripts/demo.sh "$@"
