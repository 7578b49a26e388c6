#!/bin/sh
# tools/run-game.sh on a home that is already set up: it starts the game
# without writing there (a read-only home, as "nobody" since root writes
# anywhere), and mends a link that points elsewhere; a read-only home that
# is not set up is told in one line; two starts never build at once.
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
# The stand-in build of the last case below holds until it is let go.
cat >"$tmp/bin/cmake" <<EOF
#!/bin/sh
[ "\$1" = --build ] && [ -e "$tmp/hold" ] || exit 0
touch "$tmp/building"
while [ ! -e "$tmp/go" ]; do sleep 0.1; done
EOF
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

# A read-only home with nothing set up: one line that names the folder
# and KODO_HOME, no mkdir's own complaints.
bare="$tmp/bare"
mkdir -p "$bare"
chmod 555 "$bare"
out=$(as_player env -u KODO_HOME PATH="$tmp/bin:$PATH" HOME="$bare" sh "$root/tools/run-game.sh" 2>&1) &&
  { echo "read-only bare home started: $out"; exit 1; }
[ "$out" = "run-game.sh: the game's folder '$bare/.local/share/kodo-worm' cannot be written; set KODO_HOME to a folder that can be." ] ||
  { echo "read-only bare home: $out"; exit 1; }

# A start whose build is under way holds the build folder's lock, which a
# second start waits for.
touch "$tmp/hold"
KODO_HOME="$home" PATH="$tmp/bin:$PATH" sh "$root/tools/run-game.sh" >/dev/null &
first=$!
n=0
until [ -e "$tmp/building" ]; do
  n=$((n + 1))
  [ $n -lt 600 ] || { echo "the stand-in build never started"; exit 1; }
  sleep 0.1
done
if flock -n "$root/build-game" true; then
  touch "$tmp/go"
  echo "the build ran without the build folder's lock"
  exit 1
fi
touch "$tmp/go"
wait $first
echo "run-game.sh: a wrong link mended, a read-only home that is set up runs, one that is not is told in one line," \
  "the build runs under its folder's lock"
