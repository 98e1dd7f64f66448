#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: once in a normal
# build and once under AddressSanitizer + UndefinedBehaviorSanitizer; then the concurrency tests
# under ThreadSanitizer, and every fuzz target for a few seconds. Any failure or sanitizer
# report fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"

scripts/setup.sh

jobs=$(nproc)
phase() { echo "== $1 (at ${SECONDS} s)"; }

phase "build (release with debug info)"
scripts/build.sh build -DTW_WERROR=ON -DTW_BUILD_TESTS=ON -DTW_BUILD_BENCH=ON
phase "tests"
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 600

phase "build (address + undefined behaviour sanitizers)"
# Set for the build too: it lists each test program's tests by running it.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/robustness/lsan.supp:print_suppressions=0"
scripts/build.sh build-asan -DTW_WERROR=ON -DTW_SANITIZE=ON -DTW_BUILD_TESTS=ON -DTW_BUILD_BENCH=OFF
phase "tests under sanitizers"
ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --timeout 900

phase "build (thread sanitizer: the core and its concurrency tests)"
scripts/build.sh build-tsan -DTW_WERROR=ON -DTW_TSAN=ON
phase "concurrency tests under the thread sanitizer"
ctest --test-dir build-tsan --output-on-failure --parallel "$jobs" --timeout 900

phase "fuzzing (a few seconds per target)"
scripts/fuzz.sh "${TW_FUZZ_SECONDS:-5}"
phase "done"
