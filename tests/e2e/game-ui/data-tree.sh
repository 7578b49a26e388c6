# Sourced by the game's end-to-end runs: game_data_tree WORK DATA lays the
# bundled tree out in WORK/app/native (links, as e2e_data_tree does) with
# the menus' helpers extended by this folder's timeline stand-in.
game_data_tree() {
  e2e_data_tree "$1" "$2"
  ui="$1/app/native/ui"
  rm "$ui"
  mkdir "$ui"
  for f in "$2"/ui/*; do
    [ "$(basename "$f")" = menu-common.lua ] || ln -s "$f" "$ui/"
  done
  cat "$2/ui/menu-common.lua" "$(dirname "$0")/game-ui/timeline-stand-in.lua" >"$ui/menu-common.lua"
}
