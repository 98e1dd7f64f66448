#!/usr/bin/env bash
# The program's main job, from a fresh machine: installs what is missing, builds, and starts the
# desktop program. Without a display it says so and converts a built-in generated sample (a
# 10-second test picture with a tone) with tidewell-convert and the "IPod 320x240 Video" device
# profile instead.
#   ./run.sh                 -> the desktop program (no display: writes out/sample.mp4)
#   ./run.sh OUTPUT [OPTS]   -> converts the sample into OUTPUT with the command line, passing OPTS
#                               on (e.g. --profile "MP3 Audio")
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [ $# -eq 0 ]; then
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
        cmake --build build --parallel "$(nproc)" --target tidewell-video-converter >/dev/null
        exec build/src/ui/tidewell-video-converter
    fi
    echo "No display available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop" \
         "program cannot open; converting the built-in sample with the command line instead."
fi

cmake --build build --parallel "$(nproc)" --target tidewell-convert >/dev/null
output=${1:-out/sample.mp4}
shift || true
sample="testsrc2=size=640x360:rate=25:duration=10[out0];sine=frequency=440:sample_rate=48000:duration=10[out1]"

profile=(--profile "IPod 320x240 Video")
for arg in "$@"; do
    [ "$arg" = "--profile" ] && profile=()
done
build/src/cli/tidewell-convert --set InputFormat=lavfi "${profile[@]}" "$@" "$sample" "$output"
echo "Converted the built-in sample into $(realpath "$output")"
