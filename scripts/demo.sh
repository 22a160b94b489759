#!/bin/sh
# Sets up the "growth" demonstration application in ./vardelon-demo (a fresh
# folder each time), runs all three runs over all years in batch mode, and
# shows where the cumulative results and the policy deviations are.
# Usage: sh scripts/demo.sh [build-dir]
set -eu
BUILD_DIR=${1:-build}
BIN="$BUILD_DIR/bin"
DEMO="$(pwd)/vardelon-demo"

rm -rf "$DEMO"
"$BIN/vardelon-demo" "$DEMO"

# Keep and Temporary Directories of their own, so the demo leaves the
# user's settings alone.
mkdir -p "$DEMO/.keep" "$DEMO/.temp"
export SVKEEP="$DEMO/.keep" SVTEMP="$DEMO/.temp"
"$BIN/vardelon" all all "$DEMO/growth.ds1"

last_column() {
    # Prints "name=value" for the x rows of a CSV file, last year only.
    awk -F, 'NR==1 { year=$NF; next } /^x\(/ { printf "  %s in %s: %s\n", $1, year, $NF }' "$1"
}
CUM="$DEMO/BS1B-BR1R-PL1P-ssc.csv"
DEV="$DEMO/BS1B-BR1R-PL1P-devc.csv"
echo
echo "Cumulative results of the Policy run: $CUM"
last_column "$CUM"
echo "Policy deviations from the Base rerun: $DEV"
last_column "$DEV"
echo "Batch jobs log: $(find "$DEMO/.keep" -name BatchJobs.log | head -n 1)"
