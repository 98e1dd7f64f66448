#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) in
# build-fuzz and runs each for a while from its seed corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 5 seconds each, every target
#
# Inputs the fuzzer finds interesting are kept in build-fuzz/corpus/TARGET between runs. A
# failing input is written to build-fuzz/findings/TARGET/; copy it into
# tests/fuzz/regressions/TARGET/ when the fault is fixed, so the test suite replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-5}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(settings_xml configuration profiles_ini filter_chain stream_url legacy_options
             media_input)
fi

CC=clang CXX=clang++ scripts/build.sh build-fuzz -DTW_WERROR=ON -DTW_FUZZ=ON

build=$root/build-fuzz
"$build/tests/fuzz/tw_fuzz_media_seeds" "$build/corpus/media_input" >/dev/null 2>&1

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    findings=$build/findings/$target
    mkdir -p "$corpus" "$findings"
    seeds=()
    for dir in "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target"; do
        [ -d "$dir" ] && seeds+=("$dir")
    done
    echo "== fuzzing $target for ${seconds}s"
    # One worker: the machine is shared. Memory and time per input are bounded so that a slow
    # or greedy input is reported rather than stalling the run.
    if ! "$build/tests/fuzz/tw_fuzz_$target" "$corpus" "${seeds[@]}" \
            -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
            -artifact_prefix="$findings/" -print_final_stats=1 \
            >"$build/findings/$target.log" 2>&1; then
        failed+=("$target")
        tail -n 60 "$build/findings/$target.log"
    else
        grep -E "^stat::number_of_executed_units|^stat::new_units_added" \
            "$build/findings/$target.log" | tr '\n' ' '
        echo
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in build-fuzz/findings/)"
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no faults"
