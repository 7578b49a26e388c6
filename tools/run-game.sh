#!/bin/sh
# Builds the game and starts it in a window on the bundled data tree.
# The player's data lives in ~/.local/share/kodo-worm/data and survives
# rebuilds; the bundled data tree is that folder's app/native.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
cmake -S "$ROOT" -B "$ROOT/build-game" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKODO_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-game" --target worm
WORK="${KODO_HOME:-$HOME/.local/share/kodo-worm}"
# Made or re-linked only when not already so: a home that is read-only
# (a kiosk, a shared account) runs a game that is in place.
[ -d "$WORK/app" ] && [ -d "$WORK/data" ] || mkdir -p "$WORK/app" "$WORK/data"
[ "$(readlink "$WORK/app/native")" = "$ROOT/data" ] || ln -sfn "$ROOT/data" "$WORK/app/native"
cd "$WORK"
exec "$ROOT/build-game/progs/worm" "$@"
