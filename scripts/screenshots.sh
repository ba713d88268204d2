#!/usr/bin/env bash
# screenshots.sh [OUTDIR]
#
# Takes the search window screenshots of docs/ on the demo LAN: both layouts
# with the simulated cameras listed, and an update in progress (the restart
# wait). Needs root (for the demo LAN), Xvfb, xdotool and ImageMagick. The
# window runs on a virtual display; the cameras and the search stay inside
# the demo LAN's namespaces.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-$here/docs}" && pwd)
export KEPLIN_KIT_DIR=${KEPLIN_KIT_DIR:-$here/build/kit}
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 1; }
done

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
demo=""
cleanup() {
  [ -z "$demo" ] || kill "$demo" 2>/dev/null || true
  [ -z "$demo" ] || wait "$demo" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# shot LANG NAME: the window listing the demo cameras, the first one selected;
# for English also the restart wait after changing a broadcast camera.
shot() {
  local lang=$1 name=$2 wid
  "$here/scripts/demo.sh" --lang "$lang" >/dev/null 2>&1 &
  demo=$!
  wid=$(xdotool search --sync --onlyvisible --classname searchhost | head -1)
  sleep 1
  xdotool windowfocus --sync "$wid" key F3
  sleep 3.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  # The list's first row: in the layouts the list starts at dialog units
  # (14, 122) of a 487..488 x 302..320 dialog.
  row() { xdotool mousemove --window "$wid" $((WIDTH * 40 / 488)) $((HEIGHT * 122 / ${2} + ${3} + $1 * ${4})) click 1; }
  local units=$([ "$lang" = en ] && echo 302 || echo 320)
  local header=$([ "$lang" = en ] && echo 34 || echo 36)
  local rowh=$([ "$lang" = en ] && echo 20 || echo 22)
  row 0 "$units" "$header" "$rowh"
  sleep 0.5
  import -window "$wid" "$out/$name.png"
  if [ "$lang" = en ]; then
    # A new HTTP port for the selected camera: the camera restarts with it.
    xdotool mousemove --window "$wid" $((WIDTH * 355 / 488)) $((HEIGHT * 109 / 302)) click --repeat 3 1
    xdotool type --delay 50 8081
    xdotool key F5; sleep 1
    xdotool key Return; sleep 2             # Yes: send; the camera accepts
    xdotool key Return; sleep 8             # the success box
    import -window "$wid" "$out/searchui-restart-wait.png"
  fi
  kill "$demo"; wait "$demo" 2>/dev/null || true
  demo=""
}

shot en searchui-english
shot cn searchui-chinese
echo "screenshots in $out"
