#!/bin/sh
# tools/setup.sh while another apt holds its locks, with stand-ins for
# dpkg-query (every package missing) and apt-get (its first update finds
# the package lists locked): the update is tried again, and the install
# asks apt to wait for dpkg's lock.
#
#   test_setup.sh SOURCE_DIR
set -eu
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
mkdir "$tmp/bin"
printf '#!/bin/sh\nexit 1\n' >"$tmp/bin/dpkg-query"
printf '#!/bin/sh\necho 0\n' >"$tmp/bin/id"
{
  echo '#!/bin/sh'
  echo "echo \"\$*\" >>'$tmp/calls'"
  echo 'case "$*" in *update*) ;; *) exit 0 ;; esac'
  echo "[ -e '$tmp/updated-once' ] && exit 0"
  echo "touch '$tmp/updated-once'"
  echo 'echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1 (apt-get)" >&2'
  echo 'exit 100'
} >"$tmp/bin/apt-get"
chmod 755 "$tmp/bin/dpkg-query" "$tmp/bin/id" "$tmp/bin/apt-get"
out=$(PATH="$tmp/bin:$PATH" sh "$src/tools/setup.sh" 2>&1) || { echo "$out"; echo "setup.sh failed on a held lock"; exit 1; }
[ "$(grep -c update "$tmp/calls")" = 2 ] || { cat "$tmp/calls"; echo "the update was not tried again"; exit 1; }
grep -q -- "-o DPkg::Lock::Timeout=600 install" "$tmp/calls" ||
  { cat "$tmp/calls"; echo "the install does not wait for dpkg's lock"; exit 1; }
echo "setup.sh: waits for the package lists' lock and asks apt to wait for dpkg's"
