#!/usr/bin/env bash
# Builds the benchmark programs and runs them: conversion throughput against the reference
# pipeline, concurrency, thread counts, memory, conversions in worker processes against
# conversions in the program and long conversions in segments against one piece
# (bench/conversions), then the main window's responsiveness and peak
# memory with four tasks converting, in workers and in the program (bench/gui_latency), and its
# resident memory idle, with ten tasks converting and after they were all deleted
# (bench/gui_memory). Needs a quiet machine: the load average is printed before and after. Extra
# arguments go to bench/conversions, e.g.
#   scripts/bench.sh --reps 3 --jobs ipod,mp3 --sections ratio,memory
# Sources are made once into the cache folder ($TIDEWELL_BENCH_CACHE, default
# ~/.cache/tidewell-bench).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TW_BENCH_BUILD:-build}
if [ ! -f "$root/$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTW_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$root/$dir" --parallel "$(nproc)" \
    --target conversions gui_latency gui_memory tidewell-convert
echo "== load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$root/$dir/bench/conversions" "$@"
for runs in workers in-process; do
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$root/$dir/bench/gui_latency" 4 ipod 60 "$runs"
done
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$root/$dir/bench/gui_memory" 10 ipod 60
echo "== load after: $(cut -d' ' -f1-3 /proc/loadavg)"
