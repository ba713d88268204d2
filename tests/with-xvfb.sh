#!/usr/bin/env bash
# with-xvfb.sh COMMAND [ARGS...]
#
# Runs COMMAND on a virtual X display of its own. The server picks a free
# display number itself (-displayfd), so that tests running side by side never
# race for the same one. -noreset: the server does not start over when its last
# client leaves, so that a test running programs one after another never
# connects to a server in the middle of its reset.
set -euo pipefail
dir=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
pid=$!
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "with-xvfb: the virtual display did not start:" >&2
  cat "$dir/log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$dir/display")"
"$@"
