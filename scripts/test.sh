#!/bin/sh
# Installs what is missing, then builds and runs every test:
#   1. everything under AddressSanitizer + UBSan (core and GUI tests, GUI offscreen);
#   2. the core tests and the threaded GUI tests (sending, auto send) under ThreadSanitizer;
#   3. each libFuzzer target for a fixed time (clang);
#   4. an optimised build of the program, the install and package checks, the examples and a
#      short run of every bench program (--smoke; figures are printed, no time is asserted). The
#      unit tests run under the sanitizers (1 and 2) only, so they are not built a third time.
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

cmake --preset ci-release
cmake --build --preset ci-release -j "$JOBS"
ctest --preset ci-release -j "$JOBS" -LE bench
ctest --preset ci-release -L bench
