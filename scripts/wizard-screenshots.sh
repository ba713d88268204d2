#!/usr/bin/env bash
# wizard-screenshots.sh [OUTDIR]
#
# Takes the setup wizard's pictures of docs/wizard.md: its six pages in the
# three languages, a document viewer and the about box. Each language runs on
# a virtual display of its own inside the demo LAN (isolated network
# namespaces, scripts/demo-lan.sh), so that the last page's search lists the
# simulated cameras and nothing reaches the real network. The installation
# page is shown but not run. Needs root (for the demo LAN) and Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(cd "${1:-$here/docs}" && pwd)
export KEPLIN_KIT_DIR=${KEPLIN_KIT_DIR:-$here/build/kit}
shots=$KEPLIN_KIT_DIR/wizardshots
[ -x "$shots" ] || { echo "wizard-screenshots.sh: $shots is not built (cmake --build build --target wizardshots)" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "wizard-screenshots.sh: Xvfb is missing" >&2; exit 1; }

for lang in 0 1 2; do
  extra=()
  [ "$lang" -ne 2 ] || extra=(--viewer --about)
  "$here/scripts/demo-lan.sh" -- "$here/tests/with-xvfb.sh" "$shots" --out "$out" --lang "$lang" --search "${extra[@]}"
done
echo "screenshots in $out"
