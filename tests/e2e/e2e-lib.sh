# Shared by the end-to-end tests, sourced with the executable and the data
# tree as $1 and $2: sets WORM, DATA, HERE (this folder), XVFB (the runner
# that gives the game a virtual display) and WORK (a fresh folder, removed
# at exit). A script with a set-up of its own (the timeline's, one folder
# down, which runs lanes of its own) takes only the functions: it sets
# E2E_FUNCTIONS_ONLY=1 before sourcing.

# Lays out the bundled data tree for a run of the real executable in
# $1/app/native: a folder of links to the entries of the data tree $2, so
# that whatever the program writes under "res://" stays in the run's own
# folder. With a third argument, the entries of that folder are laid over
# the tree's ui/, each replacing the bundled one of its name; a bundled
# file it replaces stays reachable as ui/bundled/<name>, for a
# replacement that runs the bundled script and adds to it (LuaInclude).
# Used as: e2e_data_tree WORK DATA [UI_FOLDER]
e2e_data_tree() {
  mkdir -p "$1/app/native"
  for f in "$2"/*; do
    [ -n "$3" ] && [ "$(basename "$f")" = ui ] && continue
    ln -s "$f" "$1/app/native/"
  done
  [ -n "$3" ] || return 0
  mkdir -p "$1/app/native/ui/bundled"
  for f in "$2"/ui/*; do
    if [ -e "$3/$(basename "$f")" ]; then
      ln -s "$f" "$1/app/native/ui/bundled/"
    else
      ln -s "$f" "$1/app/native/ui/"
    fi
  done
  for f in "$3"/*; do ln -s "$f" "$1/app/native/ui/"; done
}

# A data tree in $1/app/native like the bundled one but without its
# prog.xml, which the test writes itself.
tree_without_prog_xml() {
  e2e_data_tree "$1" "$DATA"
  rm "$1/app/native/prog.xml"
}

[ -z "${E2E_FUNCTIONS_ONLY:-}" ] || return 0
set -e
WORM="$1"
DATA="$2"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../KODO/host/tests/with_xvfb.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
