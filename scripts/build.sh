#!/usr/bin/env bash
# Configures and builds one build directory: build.sh DIR [extra cmake arguments...]
set -euo pipefail
dir=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/$dir" --parallel "$(nproc)"
