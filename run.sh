#!/usr/bin/env bash
# The program's main job, from a fresh machine: installs what is missing, builds, and converts a
# built-in generated sample (a 10-second test picture with a tone) with tidewell-convert and the
# "IPod 320x240 Video" device profile.
#   ./run.sh                 -> writes out/sample.mp4
#   ./run.sh OUTPUT [OPTS]   -> writes OUTPUT, passing OPTS on (e.g. --profile "MP3 Audio")
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
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
