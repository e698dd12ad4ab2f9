#!/usr/bin/env bash
# Redraws every skin picture into res/ with the generator (nb-skingen).
# Extra arguments go to the generator, for example:
#   tools/skingen/regenerate.sh --sheet /tmp/skin-sheet.png --mockups /tmp/skin-mockups
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${NB_BUILD_DIR:-$root/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build"
fi
cmake --build "$build" --target nb-skingen -j2
# The generator only needs fonts and an image surface, never a display.
QT_QPA_PLATFORM=offscreen "$build/nb-skingen" "$root/res" "$@"
