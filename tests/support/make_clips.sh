#!/bin/sh
# Generates the small test movies once per build tree with the ffmpeg CLI.
set -eu
out="$1"
mkdir -p "$out"
cd "$out"
[ -f .done ] && exit 0
# Clip recipes are added by the player tests' author below.
touch .done
