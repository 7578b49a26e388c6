#!/bin/sh
# Installs the Debian packages the build, the game and the tests need.
# Runs apt-get only when something is missing. Another apt or dpkg at
# work (an upgrade, a second set-up) is waited for, up to
# APT_LOCK_WAIT seconds (10 minutes by default).
set -e
PACKAGES="cmake ninja-build g++ clang pkg-config libgtest-dev
  liblua5.1-0-dev libbox2d-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libsdl2-dev libx11-dev libmpg123-dev libegl-dev libgles-dev libgl1-mesa-dri
  xvfb xauth sox lame libfreetype-dev fonts-dejavu-core libcairo2-dev
  libcurl4-openssl-dev clang-format libbenchmark-dev lua5.1"
WAIT=${APT_LOCK_WAIT:-600}
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" = 0 ] || SUDO=sudo
# apt waits for dpkg's lock itself (DPkg::Lock::Timeout); the package
# lists' lock, which update takes, is not covered by it, so update is
# tried again while another holds that one.
waited=0
while ! out=$($SUDO apt-get -o DPkg::Lock::Timeout="$WAIT" update -qq 2>&1); do
  case $out in *"Could not get lock"*) ;; *) printf '%s\n' "$out" >&2; exit 1 ;; esac
  [ "$waited" -lt "$WAIT" ] || { printf '%s\n' "$out" >&2; exit 1; }
  [ "$waited" -gt 0 ] || echo "Another apt is updating the package lists; waiting (up to $WAIT s)."
  sleep 5
  waited=$((waited + 5))
done
DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout="$WAIT" install -y -qq --no-install-recommends \
  $missing
