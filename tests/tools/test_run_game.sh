#!/bin/sh
# tools/run-game.sh on a home that is already set up: it starts the game
# without writing there (a read-only home, as "nobody" since root writes
# anywhere), and mends a link that points elsewhere.
#
#   test_run_game.sh SOURCE_DIR
#
# The script runs from a copy of the tools folder whose set-up, build and
# game are stand-ins: the game says where it started and with what data.
set -eu
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
chmod 755 "$tmp"
root="$tmp/root"
mkdir -p "$root/tools" "$root/data" "$root/build-game/progs" "$tmp/bin"
cp "$src/tools/run-game.sh" "$root/tools/"
printf '#!/bin/sh\nexit 0\n' >"$root/tools/setup.sh"
printf '#!/bin/sh\nexit 0\n' >"$tmp/bin/cmake"
printf '#!/bin/sh\necho "started in $(pwd) on $(readlink app/native)"\n' >"$root/build-game/progs/worm"
chmod 755 "$root/tools/"*.sh "$tmp/bin/cmake" "$root/build-game/progs/worm"
home="$tmp/home"
expected="started in $home on $root/data"

# A link that points elsewhere is mended.
mkdir -p "$home/app" "$home/data"
ln -s /nonexistent "$home/app/native"
out=$(PATH="$tmp/bin:$PATH" KODO_HOME="$home" sh "$root/tools/run-game.sh")
[ "$out" = "$expected" ] || { echo "wrong link not mended: $out"; exit 1; }

# Everything in place, nothing writable.
as_player() { "$@"; }
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || { echo "setpriv not found: the test cannot drop root"; exit 77; }
  as_player() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$home" "$@"; }
fi
chmod -R a-w "$home"
out=$(as_player env PATH="$tmp/bin:$PATH" KODO_HOME="$home" sh "$root/tools/run-game.sh" 2>&1) ||
  { echo "read-only home: $out"; exit 1; }
[ "$out" = "$expected" ] || { echo "read-only home: $out"; exit 1; }
chmod -R u+w "$home"
echo "run-game.sh: a wrong link mended, a read-only home that is set up runs"
