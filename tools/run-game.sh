#!/bin/sh
# Builds the game and starts it in a window on the bundled data tree.
# The player's data lives in ~/.local/share/kodo-worm/data and survives
# rebuilds; the bundled data tree is that folder's app/native.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
# Two starts at once would build in one tree and break each other's
# link: the second waits for the first's build, which leaves it nothing
# to do. The lock is on the folder itself, which a reader can take too.
mkdir -p "$ROOT/build-game"
(
  flock 9
  cmake -S "$ROOT" -B "$ROOT/build-game" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKODO_TESTS=OFF >/dev/null
  cmake --build "$ROOT/build-game" --target worm
) 9<"$ROOT/build-game"
WORK="${KODO_HOME:-$HOME/.local/share/kodo-worm}"
unwritable() {
  echo "run-game.sh: the game's folder '$WORK' cannot be written; set KODO_HOME to a folder that can be." >&2
  exit 1
}
# Made or re-linked only when not already so: a home that is read-only
# (a kiosk, a shared account) runs a game that is in place.
[ -d "$WORK/app" ] && [ -d "$WORK/data" ] || mkdir -p "$WORK/app" "$WORK/data" 2>/dev/null || unwritable
[ "$(readlink "$WORK/app/native")" = "$ROOT/data" ] || ln -sfn "$ROOT/data" "$WORK/app/native" 2>/dev/null || unwritable
cd "$WORK"
exec "$ROOT/build-game/progs/worm" "$@"
