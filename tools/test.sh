#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, runs
# every test, builds and tests the Debian packages (tools/package-test.sh),
# then builds the fuzz targets with clang and runs each for a while.
#   tools/test.sh            all of it
#   FUZZ_SECONDS=5 tools/test.sh   shorter fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
tools/format.sh --check

werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DZOR_SANITIZE=ON -DZOR_WERROR="$werror" >/dev/null
cmake --build build/test -j "$jobs"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir build/test --output-on-failure -j "$jobs"

tools/package-test.sh

tools/fuzz.sh "${FUZZ_SECONDS:-60}"
