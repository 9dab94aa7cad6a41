#!/bin/sh
# Runs every test headless.
set -eu
cd "$(dirname "$0")/../build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
