#!/bin/sh
# Makes the Debian package of the built tree and checks it with lintian:
#   tools/package.sh           build/package/reelcap_VERSION_ARCH.deb (after tools/build.sh)
#   tools/package.sh --check   the same, then installs it on a clean Debian 12
#                              root and runs its programs there (packaging/clean_root_check.sh)
# The package holds what `cmake --install` lays out under /usr (programs
# stripped, manual pages compressed), the copyright file and the changelog.
# Depends is computed by dpkg-shlibdeps from the programs' shared libraries,
# plus the fonts the sheets are drawn with (Arial is matched to Liberation
# Sans; CJK movie names need a CJK font).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: tools/package.sh [--check]" >&2; exit 2 ;;
esac
FONT_DEPENDS="fonts-liberation2, fonts-wqy-microhei"

. "$root/tools/need-packages.sh"
need dpkg-dev binutils lintian

cd "$root"
if [ ! -f build/CMakeCache.txt ]; then
  echo "tools/package.sh: no build in build/; run tools/build.sh first" >&2
  exit 1
fi
# Brings what is packaged up to date (nothing to do right after tools/build.sh).
cmake --build build -j2 --target reelcap reelcap-sheet reelcap-thumbnailer reelcap_icon_pngs > /dev/null

version=$(sed -n 's/^project(Reelcap VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
changelog_version=$(sed -n '1s/^reelcap (\([^)]*\)).*/\1/p' packaging/changelog)
if [ -z "$version" ] || [ "$version" != "$changelog_version" ]; then
  echo "tools/package.sh: the project is version '$version' but packaging/changelog starts with" \
       "'$changelog_version'; add a changelog entry" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
out="$root/build/package"
# Laid out as a source tree's debian/PACKAGE, where dpkg-shlibdeps expects it.
stage="$out/debian/reelcap"
rm -rf "$out"
mkdir -p "$stage"

DESTDIR="$stage" cmake --install build --prefix /usr > /dev/null
for program in "$stage/usr/bin/"*; do
  # As dh_strip does: no symbols, no build notes.
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$program"
done
gzip -9n "$stage/usr/share/man/man1/"*.1
doc="$stage/usr/share/doc/reelcap"
mkdir -p "$doc"
cp packaging/copyright "$doc/copyright"
gzip -9n < packaging/changelog > "$doc/changelog.gz"
# Installed files are root's, readable by all; programs executable.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/usr/bin/"*

# dpkg-shlibdeps reads the package names from the tree's debian/control and
# knows the package's root by its DEBIAN folder.
mkdir -p "$stage/DEBIAN"
printf 'Source: reelcap\n\nPackage: reelcap\nArchitecture: any\n' > "$out/debian/control"
depends=$(cd "$out" && dpkg-shlibdeps -O debian/reelcap/usr/bin/* |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "tools/package.sh: dpkg-shlibdeps found no libraries" >&2; exit 1; }

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
installed_size=$(du -sk --apparent-size --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@INSTALLED_SIZE@/$installed_size/" \
    -e "s/@DEPENDS@/$depends, $FONT_DEPENDS/" packaging/control.in > "$stage/DEBIAN/control"
chmod 0644 "$stage/DEBIAN/"*

deb="$out/reelcap_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" > /dev/null
echo "tools/package.sh: $deb ($(( $(stat -c %s "$deb") / 1024 )) KiB, installed $installed_size KiB)"

# Errors fail the run; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"
echo "tools/package.sh: lintian found no error"

if [ "$check" -eq 1 ]; then
  packaging/clean_root_check.sh "$deb"
fi
