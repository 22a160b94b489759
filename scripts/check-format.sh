#!/bin/sh
# Checks that every C++ file of the tree is formatted as .clang-format says
# (clang-format --dry-run -Werror); prints each file that differs and exits
# non-zero when there is one.  Usage: scripts/check-format.sh [clang-format]
set -eu
cd "$(dirname "$0")/.."
CLANG_FORMAT=${1:-${CLANG_FORMAT:-clang-format}}
command -v "$CLANG_FORMAT" >/dev/null || { echo "check-format: $CLANG_FORMAT not found" >&2; exit 2; }
differ=0
total=0
for f in $(git ls-files '*.cpp' '*.h'); do
    total=$((total + 1))
    if ! "$CLANG_FORMAT" --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then
        echo "$f"
        differ=$((differ + 1))
    fi
done
echo "check-format: $differ of $total files differ from .clang-format"
[ "$differ" -eq 0 ]
