#!/bin/sh
# Inside the clean root, after the package is installed (see clean_root_check.sh):
#   clean_root_programs.sh USER WORKDIR MOVIE
# checks that no build tool came with it, then as USER in WORKDIR runs
# reelcap-sheet (version, a sheet, WebVTT sprites), reelcap-thumbnailer and
# the installed completion, and shows the window program under xvfb-run until
# its window is on screen.
set -eu
say() { echo "clean-root: $*"; }

# --window MOVIE, on a display: starts reelcap on MOVIE and waits (at most a
# minute) until one of its windows is mapped, then ends it.
if [ "$1" = --window ]; then
  reelcap "$2" > reelcap.log 2>&1 &
  pid=$!
  shown=0 tries=0
  while [ $shown -eq 0 ] && [ $tries -lt 120 ] && kill -0 $pid 2> /dev/null; do
    sleep 0.5
    tries=$((tries + 1))
    for id in $(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "[^"]*Reelcap.*/\1/p'); do
      xwininfo -id "$id" | grep -q "Map State: IsViewable" && shown=1
    done
  done
  xwininfo -root -tree | grep Reelcap || true
  kill $pid 2> /dev/null || true
  wait $pid || true
  cat reelcap.log
  [ $shown -eq 1 ]
  exit
fi

user="$1" workdir="$2" movie="$3"

for tool in gcc g++ cpp make cmake dpkg-dev build-essential; do
  if dpkg-query -W -f='${Status}' "$tool" 2> /dev/null | grep -q "install ok installed"; then
    say "$tool is installed: the package pulled a build tool"; exit 1
  fi
done
dpkg-query -W -f='reelcap ${Version}, ${Installed-Size} KiB installed\n' reelcap
for file in /usr/share/man/man1/reelcap.1.gz /usr/share/man/man1/reelcap-sheet.1.gz \
    /usr/share/applications/reelcap.desktop /usr/share/icons/hicolor/48x48/apps/reelcap.png \
    /usr/share/man/man1/reelcap-thumbnailer.1.gz /usr/share/thumbnailers/reelcap.thumbnailer \
    /usr/share/doc/reelcap/copyright; do
  [ -f "$file" ] || { say "missing $file"; exit 1; }
done

cp "$movie" "$workdir/clip.mp4"
chown "$user" "$workdir/clip.mp4"
as_user() { runuser -u "$user" -- env HOME="$workdir" sh -euc "cd '$workdir' && $1"; }

as_user 'reelcap-sheet --version | grep "^Reelcap "'
as_user 'reelcap-sheet --quiet -n 6 -c 3 clip.mp4'
# A JPEG starts with the bytes FF D8.
as_user '[ "$(od -An -tx1 -N2 clip.mp4.jpg | tr -d " ")" = ffd8 ]'
say "sheet: $(wc -c < "$workdir/clip.mp4.jpg") bytes"
as_user 'reelcap-sheet --quiet --vtt --interval 1 --thumb-width 160 clip.mp4'
as_user 'head -1 clip.mp4.vtt | grep -q "^WEBVTT" && grep -q "clip.mp4-1.jpg#xywh=" clip.mp4.vtt'
as_user '[ "$(od -An -tx1 -N2 clip.mp4-1.jpg | tr -d " ")" = ffd8 ]'
say "sprites: $(grep -c -- "-->" "$workdir/clip.mp4.vtt") cues"
as_user 'reelcap-thumbnailer -s 128 clip.mp4 thumb.png'
# A PNG starts with the bytes 89 "PNG".
as_user '[ "$(od -An -tx1 -N4 thumb.png | tr -d " ")" = 89504e47 ]'
say "thumbnail: $(wc -c < "$workdir/thumb.png") bytes"
# The installed completion offers the installed program's flags.
runuser -u "$user" -- bash -c 'source /usr/share/bash-completion/completions/reelcap-sheet
  COMP_WORDS=(reelcap-sheet --vt); COMP_CWORD=1; _reelcap_sheet; [ "${COMPREPLY[*]}" = --vtt ]'

# The window: a display of its own, the tools to see the window on it.
apt-get update -q > /dev/null
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xvfb xauth x11-utils > /dev/null
cp "$0" /tmp/clean_root_programs.sh
chmod 0755 /tmp/clean_root_programs.sh
as_user 'xvfb-run -a /tmp/clean_root_programs.sh --window clip.mp4'
say "the window was shown"
