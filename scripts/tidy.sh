#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy over the core's sources
# (src/core), using the compile database of a build folder, and prints the
# number of findings per check.  Usage: scripts/tidy.sh [BUILD_DIR]
# The build folder is configured here with CMAKE_EXPORT_COMPILE_COMMANDS.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build-tidy}
JOBS=$(nproc 2>/dev/null || echo 2)
command -v run-clang-tidy >/dev/null || { echo "tidy: run-clang-tidy not found" >&2; exit 2; }
cmake -S . -B "$BUILD_DIR" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DVARDELON_GUI=OFF >/dev/null
OUT="$BUILD_DIR/tidy.txt"
start=$(date +%s)
run-clang-tidy -quiet -j "$JOBS" -p "$BUILD_DIR" "$(pwd)/src/core/" >"$OUT" 2>/dev/null || true
end=$(date +%s)
echo "tidy: $((end - start)) s; findings per check (unique file:line):"
grep -E '^/.*: (warning|error): .*\[[a-z0-9.,-]+\]$' "$OUT" | sort -u \
    | sed -E 's/.*\[([a-z0-9.,-]+)\]$/\1/' | sort | uniq -c | sort -rn
n=$(grep -E '^/.*: (warning|error): .*\[[a-z0-9.,-]+\]$' "$OUT" | sort -u | wc -l)
echo "tidy: $n findings (details in $OUT)"
[ "$n" -eq 0 ]
