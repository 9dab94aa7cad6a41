#!/bin/sh
# Installs the package on a clean Debian 12 root, by the steps of the
# Containerfile, and runs its programs there:
#   packaging/clean_root_check.sh build/package/reelcap_VERSION_ARCH.deb
# (run by `tools/package.sh --check`). mmdebstrap makes a minimal root (the
# base of debian:12-slim); the Containerfile's COPY, RUN, USER, WORKDIR and
# ENTRYPOINT are carried out in it, so apt must pull every dependency of the
# package from the Debian archive with no other step. Then, as the image's
# user, packaging/clean_root_programs.sh makes a sheet and WebVTT sprites of a
# small movie and shows the window program under xvfb-run. Needs network
# access to deb.debian.org; leaves nothing behind.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: $0 PACKAGE.deb" >&2; exit 2; }
deb="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"

. "$root/tools/need-packages.sh"
need mmdebstrap uidmap ffmpeg

work=$(mktemp -d "${TMPDIR:-/var/tmp}/reelcap-clean-root.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 0755 "$work"

# The Containerfile as steps: one instruction a line, continuations joined.
copy_to="" user="root" workdir="/" entry="" steps="$work/container-steps.sh"
echo "set -eux" > "$steps"
awk '/^[ \t]*#/ || /^[ \t]*$/ { next }
     { if (sub(/\\[ \t]*$/, "")) { line = line $0; next } print line $0; line = "" }' "$root/Containerfile" > "$work/instructions"
while read -r instruction rest; do
  case "$instruction" in
    FROM)
      case "$rest" in
        *debian:12-slim*|*debian:bookworm-slim*) ;;
        *) echo "$0: the Containerfile starts from $rest, not Debian 12 slim" >&2; exit 1 ;;
      esac ;;
    COPY)
      set -- $rest
      case "$(basename "$deb")" in
        $1) copy_to="$2" ;;
        *) echo "$0: the Containerfile copies $1, which is not the package" >&2; exit 1 ;;
      esac ;;
    RUN) printf '%s\n' "$rest" >> "$steps" ;;
    USER) user="$rest" ;;
    WORKDIR) workdir="$rest" ;;
    ENTRYPOINT) entry=$(printf '%s' "$rest" | sed 's/^\[ *"\([^"]*\)" *\]$/\1/') ;;
    *) echo "$0: the check does not know the Containerfile's $instruction" >&2; exit 1 ;;
  esac
done < "$work/instructions"
[ -n "$copy_to" ] && [ "$entry" = "reelcap-sheet" ] && [ "$user" != root ] ||
  { echo "$0: the Containerfile must COPY the package, run as a user of its own and start reelcap-sheet" >&2; exit 1; }

# A small movie with sound, five seconds.
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=5 -f lavfi -i sine=frequency=440:duration=5 \
  -c:v libx264 -pix_fmt yuv420p -g 25 -c:a aac -shortest "$work/clip.mp4"
cp "$here/clean_root_programs.sh" "$work/"
chmod 0644 "$work/"*

mmdebstrap --variant=minbase --mode=unshare --format=null \
  --customize-hook="copy-in $deb $copy_to" \
  --customize-hook="copy-in $steps /root" \
  --customize-hook='chroot "$1" sh /root/container-steps.sh' \
  --customize-hook="copy-in $work/clip.mp4 $work/clean_root_programs.sh /root" \
  --customize-hook="chroot \"\$1\" sh /root/clean_root_programs.sh $user $workdir /root/clip.mp4" \
  bookworm /dev/null \
  "deb http://deb.debian.org/debian bookworm main" \
  "deb http://deb.debian.org/debian bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main"
echo "clean-root check: passed"
