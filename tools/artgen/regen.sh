#!/usr/bin/env bash
# Redraws the setup wizard's bitmaps and the programs' icons into wizard/res/ (commit the
# result). A second run writes the same bytes: `git status` stays clean.
#   tools/artgen/regen.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target artgen -j 2
"$build/tools/artgen/artgen" wizard/res
