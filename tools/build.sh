#!/bin/sh
# Configures and builds into build/ (two jobs: the machines have two cores).
set -eu
cd "$(dirname "$0")/.."
launcher=""
command -v ccache > /dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher
cmake --build build -j2
