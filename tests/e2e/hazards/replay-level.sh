# Sourced by the hazards' end-to-end runs, after e2e-lib.sh.
# replay_level_tree TIMELINE REPLAY [WORLD NAME]: lays the bundled tree out
# in $WORK with the timeline TIMELINE in place of the bundled one, so that
# the main menu's Play starts its first event, and the program settings
# naming REPLAY as the game's replay; WORLD is added to the worlds as NAME.
# Then writes the host script: Play on the main menu once it is up; the
# replay's "end" line ends the program (a run that stops making frames
# is ended by e2e_timeout).
replay_level_tree() {
  e2e_data_tree "$WORK" "$DATA"
  rm "$WORK/app/native/prog.xml" "$WORK/app/native/timeline.xml"
  cp "$1" "$WORK/app/native/timeline.xml"
  sed 's|program_id="worm"|program_id="worm" game_replay="res://replay.txt"|' "$DATA/prog.xml" \
    >"$WORK/app/native/prog.xml"
  cp "$2" "$WORK/app/native/replay.txt"
  if [ -n "${3:-}" ]; then
    rm "$WORK/app/native/worlds"
    mkdir "$WORK/app/native/worlds"
    ln -s "$DATA"/worlds/* "$WORK/app/native/worlds/"
    # A bundled world of that name is a link into the checkout: the copy
    # replaces the link, never writes through it.
    rm -f "$WORK/app/native/worlds/$4"
    cp "$3" "$WORK/app/native/worlds/$4"
  fi
  e2e_press_play "$(pace 5000)" >"$WORK/script.txt"
}
