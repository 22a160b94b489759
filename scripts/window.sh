#!/bin/sh
# Opens the main window on the "growth" demonstration application in
# ./vardelon-demo (set up when missing), with Keep and Temporary Directories
# of its own so the user's settings are left alone.
# Usage: sh scripts/window.sh [build-dir]
set -eu
BUILD_DIR=${1:-build}
BIN="$BUILD_DIR/bin"
DEMO="$(pwd)/vardelon-demo"

if [ ! -f "$DEMO/growth.ds1" ]; then
    rm -rf "$DEMO"
    "$BIN/vardelon-demo" "$DEMO"
fi
# The Keep Directory the program chooses below SVKEEP.
KEEP="$DEMO/.keep/SVKEEP/VDLNkeep"
mkdir -p "$KEEP" "$DEMO/.temp"
# The first start opens the demo's simulation details: its settings become
# the program's settings and its record the current application.
if [ ! -f "$KEEP/Vardelon.ini" ]; then
    cp "$DEMO/growth.ds1" "$KEEP/Vardelon.ini"
    printf '[MRUFiles]\r\nFile1=%s\r\n' "$DEMO/growth.ds1" >> "$KEEP/Vardelon.ini"
    cp "$DEMO/growth.ds2" "$KEEP/VdlnSim.txt"
fi
export SVKEEP="$DEMO/.keep" SVTEMP="$DEMO/.temp"
exec "$BIN/vardelon"
