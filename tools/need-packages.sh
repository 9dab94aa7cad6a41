# Sourced by the scripts that need Debian packages beyond set-up's:
#   need PACKAGE...   installs those of them that are missing (with sudo
#                     when not run as root), and nothing when all are there.
need() {
  missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  # Through env: sudo drops the caller's environment, and a question from a
  # package's configuration would stop an unattended run.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
}
