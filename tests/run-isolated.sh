#!/usr/bin/env bash
# run-isolated.sh [--lab "WITH-LAB ARGS"] [--xvfb] -- COMMAND [ARGS...]
#
# Runs one test program where it cannot reach the machine's real network:
#   --lab   inside the PC namespace of a fresh lab network (tests/lab/with-lab.sh),
#           removed again afterwards;
#   else    inside an empty network namespace (only a loopback device).
# --xvfb gives the program a virtual X display of its own.
#
# Exit 77 (reported by CTest as skipped) when no isolation can be had; with
# CI=true that is a failure instead, so that CI never passes without the tests.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

lab=""
xvfb=0
while [ $# -gt 0 ]; do
  case "$1" in
    --lab) lab=$2; shift 2 ;;
    --xvfb) xvfb=1; shift ;;
    --) shift; break ;;
    *) echo "run-isolated: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "run-isolated: no command" >&2; exit 2; }

cannot_isolate() {
  if [ "${CI:-}" = "true" ]; then
    echo "run-isolated: $1 (fatal under CI)" >&2
    exit 1
  fi
  echo "run-isolated: $1; test skipped" >&2
  exit 77
}

cmd=("$@")
if [ "$xvfb" -eq 1 ]; then
  command -v Xvfb >/dev/null || cannot_isolate "Xvfb is not installed"
  cmd=("$here/with-xvfb.sh" "${cmd[@]}")
fi

if [ -n "$lab" ]; then
  # shellcheck disable=SC2086  # the lab arguments are words on purpose
  exec "$here/lab/with-lab.sh" $lab -- "${cmd[@]}"
fi

# An empty network namespace: as root directly, else in a user namespace.
if unshare -n true 2>/dev/null; then
  exec unshare -n -- sh -c 'ip link set lo up 2>/dev/null; exec "$@"' sh "${cmd[@]}"
elif unshare -rn true 2>/dev/null; then
  exec unshare -rn -- sh -c 'ip link set lo up 2>/dev/null; exec "$@"' sh "${cmd[@]}"
fi
cannot_isolate "no empty network namespace can be made (needs root or user namespaces)"
