#!/bin/sh
# Runs clang-tidy with the repository's .clang-tidy over the product's
# sources (src/, tools/, suite/, demo/; with --tests also tests/), using the
# compile database of a build folder, prints every finding and the number of
# findings per check, and fails on any finding or on a file clang-tidy could
# not check.  Usage: scripts/tidy.sh [--tests] [BUILD_DIR]
# The build folder (default build-tidy) is configured here with
# CMAKE_EXPORT_COMPILE_COMMANDS; nothing needs to be built.  Two files are
# checked at a time (VARDELON_TIDY_JOBS changes that).
set -eu
cd "$(dirname "$0")/.."
DIRS="src tools suite demo"
if [ "${1:-}" = "--tests" ]; then
    DIRS="$DIRS tests"
    shift
fi
BUILD_DIR=${1:-build-tidy}
JOBS=${VARDELON_TIDY_JOBS:-2}
CLANG_TIDY=${CLANG_TIDY:-clang-tidy}
command -v "$CLANG_TIDY" >/dev/null || { echo "tidy: $CLANG_TIDY not found" >&2; exit 2; }
cmake -S . -B "$BUILD_DIR" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
ROOT=$(pwd)
OUT_DIR="$BUILD_DIR/tidy"
rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR"

# The checked files: the compile database's sources below the chosen folders.
pattern=$(printf '%s\n' $DIRS | sed "s|^|^$ROOT/|; s|\$|/|" | paste -sd '|' -)
sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$BUILD_DIR/compile_commands.json" | grep -E "$pattern" \
    | sort -u >"$OUT_DIR/files.txt"
total=$(wc -l <"$OUT_DIR/files.txt")
[ "$total" -gt 0 ] || { echo "tidy: no source files in $BUILD_DIR/compile_commands.json" >&2; exit 2; }

# One log per file (so that parallel runs do not interleave), and a marker
# file for each file clang-tidy failed on.  Colour codes are turned off, and
# any left are stripped below, so that findings are always counted.
start=$(date +%s)
export CLANG_TIDY BUILD_DIR OUT_DIR
tr '\n' '\0' <"$OUT_DIR/files.txt" | xargs -0 -n 1 -P "$JOBS" sh -c '
    log="$OUT_DIR/$(printf %s "$1" | tr "/" "_").log"
    "$CLANG_TIDY" --use-color=false --quiet -p "$BUILD_DIR" "$1" >"$log" 2>&1 || printf "%s\\n" "$1" >"$log.failed"
' tidy
end=$(date +%s)

cat "$OUT_DIR"/*.log | sed 's/\x1b\[[0-9;]*m//g' >"$OUT_DIR/tidy.txt"
# A finding in a header is reported once per file including it: counted once.
grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): ' "$OUT_DIR/tidy.txt" | sort -u >"$OUT_DIR/findings.txt" || true
n=$(wc -l <"$OUT_DIR/findings.txt")
failed=$(find "$OUT_DIR" -name '*.failed' | wc -l)
if [ "$n" -gt 0 ]; then
    sed "s|^$ROOT/||" "$OUT_DIR/findings.txt"
    echo "tidy: findings per check:"
    sed -E 's/.*\[([^]]+)\]$/\1/' "$OUT_DIR/findings.txt" | sort | uniq -c | sort -rn
fi
if [ "$failed" -gt 0 ]; then
    echo "tidy: clang-tidy failed on $failed files:"
    cat "$OUT_DIR"/*.failed | sed "s|^$ROOT/||"
fi
echo "tidy: $n findings in $total files, $((end - start)) s with $JOBS jobs (details in $OUT_DIR/tidy.txt)"
[ "$n" -eq 0 ] && [ "$failed" -eq 0 ]
