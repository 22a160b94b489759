#!/bin/sh
# Installs the Debian packages the build needs, when any is missing.
# Runs apt-get as root (through sudo when not root).
set -eu
PACKAGES="build-essential cmake libgtest-dev libgmock-dev libbenchmark-dev libzip-dev zip qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev fonts-dejavu-core xvfb xauth"
missing=""
for p in $PACKAGES; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missing
