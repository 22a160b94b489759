#!/bin/sh
# Fails when a source file discards the result of a call with a bare
# "(void)" cast.  A Status or Result is handled, reported, or passed to
# bestEffort() (base/besteffort.h) with the reason it may fail harmlessly.
# "(void)name;" on an unused variable is fine.  The fuzz targets are left
# out: they call readers only to find crashes and ignore every outcome.
#
# Usage: scripts/check-discards.sh [source-root]
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
found=$(grep -rnE '\(void\)[[:space:]]*:?:?[A-Za-z_][A-Za-z0-9_:.>-]*[[:space:]]*\(' \
    --include='*.cpp' --include='*.h' src tools suite demo bench 2>/dev/null)
if [ -n "$found" ]; then
    echo "Bare discards of a call's result (handle it, or use bestEffort with a reason):"
    echo "$found"
    exit 1
fi
echo "No bare discards."
exit 0
