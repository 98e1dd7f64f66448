#!/usr/bin/env bash
# The program's main job, from a fresh machine: installs what is missing, builds, and converts a
# built-in generated sample (a 10-second test picture with a tone) with tidewell-convert.
#   ./run.sh                 -> writes out/sample.mp4
#   ./run.sh OUTPUT [OPTS]   -> writes OUTPUT (its extension picks the container), passing OPTS on
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh build -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >/dev/null

output=${1:-out/sample.mp4}
shift || true
sample="testsrc2=size=640x360:rate=25:duration=10[out0];sine=frequency=440:sample_rate=48000:duration=10[out1]"

build/src/cli/tidewell-convert --set InputFormat=lavfi "$@" "$sample" "$output"
echo "Converted the built-in sample into $(realpath "$output")"
