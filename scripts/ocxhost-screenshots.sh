#!/usr/bin/env bash
# ocxhost-screenshots.sh [OUTDIR]
#
# Takes the screenshots of docs/ that show ocxhost hosting each search
# control, with the demo LAN's cameras listed. Needs root (for the demo LAN),
# Xvfb, xwininfo (x11-utils) and ImageMagick's import (imagemagick). The
# controls are registered in a store of the script's own; the window runs on
# a virtual display and the search stays inside the demo LAN's namespaces.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-$here/docs}" && pwd)
export KEPLIN_KIT_DIR=${KEPLIN_KIT_DIR:-$here/build/kit}
for tool in Xvfb xwininfo import; do
  command -v "$tool" >/dev/null || { echo "ocxhost-screenshots.sh: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
export KEPLIN_REGISTRY=$work/registry.db
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
host=""
cleanup() {
  [ -z "$host" ] || kill "$host" 2>/dev/null || true
  [ -z "$host" ] || wait "$host" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

for module in KeplinOcx_cn.ocx KeplinOcx_en.ocx; do
  "$KEPLIN_KIT_DIR/regsvr32" -s "$KEPLIN_KIT_DIR/Installocx/$module"
done

# shot PROGID LANGFILE NAME: ocxhost with the control, search pressed, the
# list filled.
shot() {
  local progid=$1 lang=$2 name=$3 wid=""
  "$here/scripts/demo-lan.sh" -- "$KEPLIN_KIT_DIR/ocxhost" "$progid" --call "SetLang=$lang" --search \
      >/dev/null 2>&1 &
  host=$!
  for _ in $(seq 100); do
    wid=$(xwininfo -name "ocxhost - $progid" 2>/dev/null | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p' || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "ocxhost-screenshots.sh: no window for $progid" >&2; exit 1; }
  sleep 4  # the list fills 2.5 s after the search
  import -window "$wid" "$out/$name.png"
  kill "$host"; wait "$host" 2>/dev/null || true
  host=""
}

shot KEPLINACTIVEX.KeplinActiveXCtrl.1 lang_cn.ini ocxhost-chinese
shot KEPLINACTIVEXEN.KeplinActiveXenCtrl.1 lang_en.ini ocxhost-english
echo "screenshots in $out"
