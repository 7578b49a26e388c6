# Shared by the end-to-end tests, sourced with the executable and the data
# tree as $1 and $2: sets WORM, DATA, XVFB (the runner that gives the game
# a virtual display) and WORK (a fresh folder, removed at exit).
set -e
WORM="$1"
DATA="$2"
XVFB="$(cd "$(dirname "$0")" && pwd)/../../KODO/host/tests/with_xvfb.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A data tree in $1/app/native like the bundled one but without its
# prog.xml, which the test writes itself.
tree_without_prog_xml() {
  mkdir -p "$1/app/native"
  for f in "$DATA"/*; do
    [ "$(basename "$f")" = prog.xml ] || ln -s "$f" "$1/app/native/"
  done
}
