#!/usr/bin/env bash
# Renders the desktop program's windows into docs/screenshots/*.png (1280x800), headless on Qt's
# offscreen platform: the main window with converting, paused, failed and converted tasks, every
# dialog and the completion alert.
#   scripts/screenshots.sh                 -> every scene
#   scripts/screenshots.sh SCENE...        -> only these (scripts/screenshots.sh --list names them)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_TESTS=ON >/dev/null
cmake --build build --parallel "$(nproc)" --target tw_screenshots >/dev/null

export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--list" ]; then
    exec build/tests/ui/tw_screenshots --list
fi
# The converters' own messages are not part of the pictures.
build/tests/ui/tw_screenshots docs/screenshots "$@" 2> >(grep -v -e '^\[' -e 'propagateSizeHints' >&2)
