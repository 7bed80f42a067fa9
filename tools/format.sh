#!/usr/bin/env bash
# Formats every C++ source with the repository's .clang-format.
#   tools/format.sh          format in place
#   tools/format.sh --check  only list the files that are not formatted; fail if any
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
            echo "not formatted: $f"
            bad=1
        fi
    done
    exit "$bad"
fi
clang-format -i "${files[@]}"
