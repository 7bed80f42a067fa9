#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 and runs each for a while. Fails
# on the first crash or sanitizer report.
#   tools/fuzz.sh [SECONDS] [FILTER]         every target (or those whose name
#                                            contains FILTER), SECONDS each (60)
#   tools/fuzz.sh --long [SECONDS] [FILTER]  a long campaign: 600 s each unless
#                                            given; the corpus grows in
#                                            build/fuzz/corpus/ across runs
# A crashing input is kept as build/fuzz/<target>-crash-<hash>.
set -euo pipefail
cd "$(dirname "$0")/.."
default=60
if [ "${1:-}" = "--long" ]; then
    default=600
    shift
fi
seconds="${1:-$default}"
filter="${2:-}"

werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi

CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZOR_FUZZ=ON -DZOR_WERROR="$werror" >/dev/null
cmake --build build/fuzz -j "$(nproc)"

shopt -s nullglob
targets=()
for t in build/fuzz/bin/fuzz_*; do
    if [[ "$(basename "$t")" == *"$filter"* ]]; then targets+=("$t"); fi
done
if ((${#targets[@]} == 0)); then
    echo "no fuzz targets${filter:+ matching $filter}"
    exit 0
fi
passed=0
for t in "${targets[@]}"; do
    name=$(basename "$t")
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/${name#fuzz_}"
    args=("$corpus")
    if [ -d "$seeds" ]; then args+=("$seeds"); fi
    echo "== $name for ${seconds}s"
    "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/$name-" \
        "${args[@]}" 2>"build/fuzz/$name.log" || { tail -n 60 "build/fuzz/$name.log"; exit 1; }
    grep -E '^stat::number_of_executed_units' "build/fuzz/$name.log" || true
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
