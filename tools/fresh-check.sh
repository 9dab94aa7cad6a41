#!/bin/sh
# Runs the README's set-up, build and test commands on a clean Debian 12 root,
# so a package that only this machine happens to have shows as a failure:
#   tools/fresh-check.sh
# It makes a minimal root with mmdebstrap (installed first when missing),
# copies the working tree into it (the files git tracks or would track, so
# uncommitted changes are checked too, without build folders), and runs
#   tools/setup.sh && tools/build.sh && tools/test.sh
# there as root. The root lives in a temporary folder that is removed at the
# end; it takes about 6 GB while it runs. Needs root (uses sudo otherwise) and
# Debian's mirror (FRESH_MIRROR, the usual one unless set).
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "$(id -u)" -ne 0 ]; then
  exec sudo env FRESH_MIRROR="${FRESH_MIRROR:-}" "$0" "$@"
fi
mirror="${FRESH_MIRROR:-http://deb.debian.org}"
start=$(date +%s)

. "$root/tools/need-packages.sh"
need mmdebstrap

work="$(mktemp -d "${TMPDIR:-/var/tmp}/reelcap-fresh.XXXXXX")"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
# Tracked and new files as they are now; deleted ones are left out. Build
# folders are ignored by git and so never copied.
git -C "$root" ls-files -z --cached --others --exclude-standard |
  (cd "$root" && tar --null --ignore-failed-read --warning=no-failed-read -T - -cf "$work/tree.tar")

# The commands run from a clean environment, as on a machine just set up;
# each step prints its time.
inside='
set -eu
cd /src
step() { s=$(date +%s); "$@"; echo "fresh-check: $* took $(( $(date +%s) - s )) s"; }
step tools/setup.sh
step tools/build.sh
step tools/test.sh'

# The unshare mode keeps the root's mounts in a namespace of their own, so
# nothing stays mounted on this machine whatever happens inside.
status=0
TMPDIR="$work" mmdebstrap --mode=unshare --variant=minbase --format=null \
  --customize-hook='mkdir "$1/src"' \
  --customize-hook="tar-in $work/tree.tar /src" \
  --customize-hook="chroot \"\$1\" env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin sh -c '$inside'" \
  bookworm /dev/null \
  "deb $mirror/debian bookworm main" \
  "deb $mirror/debian bookworm-updates main" \
  "deb $mirror/debian-security bookworm-security main" || status=$?

elapsed=$(( $(date +%s) - start ))
if [ "$status" -eq 0 ]; then
  echo "fresh-check: passed on a clean Debian 12 root in $elapsed s"
else
  echo "fresh-check: FAILED (status $status) on a clean Debian 12 root after $elapsed s" >&2
fi
exit "$status"
