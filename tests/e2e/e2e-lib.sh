# Shared by the end-to-end tests, sourced with the executable and the data
# tree as $1 and $2: sets WORM, DATA, HERE (this folder), XVFB (the runner
# that gives the game a virtual display) and WORK (a fresh folder, removed
# at exit).
set -e
WORM="$1"
DATA="$2"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../KODO/host/tests/with_xvfb.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Lays out the bundled data tree for a run of the real executable in
# $1/app/native: a folder of links to the entries of the data tree $2, so
# that whatever the program writes under "res://" stays in the run's own
# folder. With a third argument, the UI files of that folder are laid over
# the tree's ui/ (whose other entries, fw/ and gfx/, stay).
# Sourced by the end-to-end scripts: e2e_data_tree WORK DATA [UI_FOLDER]
e2e_data_tree() {
  mkdir -p "$1/app/native"
  for f in "$2"/*; do
    [ -n "$3" ] && [ "$(basename "$f")" = ui ] && continue
    ln -s "$f" "$1/app/native/"
  done
  [ -n "$3" ] || return 0
  mkdir -p "$1/app/native/ui"
  for f in "$2"/ui/*; do
    case "$(basename "$f")" in
      autoexec.lua|templates.lua|events) ;;
      *) ln -s "$f" "$1/app/native/ui/" ;;
    esac
  done
  for f in "$3"/*; do ln -s "$f" "$1/app/native/ui/"; done
}

# A data tree in $1/app/native like the bundled one but without its
# prog.xml, which the test writes itself.
tree_without_prog_xml() {
  e2e_data_tree "$1" "$DATA"
  rm "$1/app/native/prog.xml"
}
