#!/bin/sh
# Installs the Debian packages the build, the game and the tests need.
# Runs apt-get only when something is missing.
set -e
PACKAGES="cmake ninja-build g++ clang pkg-config libgtest-dev
  liblua5.1-0-dev libbox2d-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev
  libsdl2-dev libx11-dev libmpg123-dev libegl-dev libgles-dev libgl1-mesa-dri
  xvfb xauth sox lame libfreetype-dev fonts-dejavu-core libcairo2-dev
  libcurl4-openssl-dev clang-format"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
