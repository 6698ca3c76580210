#!/bin/sh
# Installs what is missing, then builds and runs every test:
#   1. everything under AddressSanitizer + UBSan (core and GUI tests, GUI offscreen);
#   2. the core tests again under ThreadSanitizer;
#   3. each libFuzzer target for a fixed time (clang).
set -e
cd "$(dirname "$0")/.."
sh scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
JOBS="$(nproc)"

cmake --preset asan
cmake --build --preset asan -j "$JOBS"
ctest --preset asan -j "$JOBS"

cmake --preset tsan
cmake --build --preset tsan -j "$JOBS"
ctest --preset tsan -j "$JOBS"

cmake --preset fuzz
cmake --build --preset fuzz -j "$JOBS"
ctest --preset fuzz -j "$JOBS"

# Bench programs with a short mode run once under the sanitizers, so they keep working.
build/asan/bench/capture_bench --smoke
build/asan/bench/find_bench --smoke
