#!/usr/bin/env bash
# Configures and builds one build directory: build.sh DIR [extra cmake arguments...]
set -euo pipefail
dir=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
if command -v ccache >/dev/null; then
    # Objects are cached by content with paths relative to the tree, so a fresh clone of the
    # same sources (as CI makes) reuses what an earlier build compiled.
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$root/$dir" --parallel "$(nproc)"
