#!/bin/sh
# Installs what building, running and testing need on Debian 12 (skips what is there).
set -eu
PKGS="build-essential cmake pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev
 libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
 libavfilter-dev fonts-wqy-microhei
 libjpeg62-turbo-dev libjpeg-turbo-progs fonts-liberation2 fontconfig ffmpeg libgtest-dev libbenchmark-dev
 xvfb xauth valgrind parallel chromium
 bubblewrap gir1.2-gnomedesktop-3.0 python3-gi
 clang libclang-rt-dev llvm ccache"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update
# Through env: sudo drops the caller's environment, and a question from a
# package's configuration would stop an unattended set-up.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
