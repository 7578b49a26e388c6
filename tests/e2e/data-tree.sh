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
