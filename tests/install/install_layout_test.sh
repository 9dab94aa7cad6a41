#!/bin/sh
# What `cmake --install` lays out, as the package and a source install rely on:
#   install_layout_test.sh BUILD-FOLDER PROJECT-VERSION
# the three programs, the desktop entry, the thumbnailer's entry, the icon as
# SVG and at every hicolor size (PNG files of that size), the manual pages
# carrying the version, and
# the completion file where bash-completion looks for it.
set -eu
build="$1" version="$2"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr > /dev/null
fail=0
for file in bin/reelcap bin/reelcap-sheet bin/reelcap-thumbnailer share/thumbnailers/reelcap.thumbnailer \
    share/man/man1/reelcap-thumbnailer.1 share/applications/reelcap.desktop \
    share/icons/hicolor/scalable/apps/reelcap.svg share/man/man1/reelcap.1 share/man/man1/reelcap-sheet.1 \
    share/bash-completion/completions/reelcap-sheet; do
  [ -f "$stage/usr/$file" ] || { echo "missing: /usr/$file"; fail=1; }
done
for size in 16 22 24 32 48 64 128 256; do
  png="$stage/usr/share/icons/hicolor/${size}x${size}/apps/reelcap.png"
  # The PNG header's width and height (big-endian, bytes 17-24).
  got=$(od -An -tu1 -j16 -N8 "$png" 2> /dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$got" = "${size}x${size}" ] || { echo "$png: ${got:-missing}, want ${size}x${size}"; fail=1; }
done
for page in reelcap reelcap-sheet reelcap-thumbnailer; do
  grep -q "^\.TH .*\"Reelcap $version\"" "$stage/usr/share/man/man1/$page.1" ||
    { echo "$page.1 does not carry version $version"; fail=1; }
done
grep -q '^Exec=reelcap %f$' "$stage/usr/share/applications/reelcap.desktop" || { echo "desktop entry: Exec"; fail=1; }
exit $fail
