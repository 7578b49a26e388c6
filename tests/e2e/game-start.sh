# Sourced by the game's end-to-end runs. game_start_script FILE writes the
# host script lines that take the real program from the main menu into
# the first level through the timeline: Play on the bundled main menu,
# then the four story screens of the first events (Continue, the
# dialogue's Next, Continue, Continue, all at the same place), each once
# its transition is over (the script holds until it is). Times are scaled by GAME_PACE (2 under the
# ThreadSanitizer job, where every frame takes longer); `pace MS` scales
# a time the same way. The level is up by `pace 21500`.
GAME_PACE="${GAME_PACE:-1}"
pace() { echo $(($1 * GAME_PACE)); }
game_start_script() {
  {
    e2e_wait_menu "$(pace 5000)"
    echo "$(pace 6000) touch_down 512 315"
    echo "$(pace 6100) touch_up 512 315"
    for t in 9000 12000 15000 18000; do
      e2e_wait "$(pace $((t - 1000)))" 1 "Removing 'TimelineTransition' from Screen Stack"
      echo "$(pace $t) touch_down 880 558"
      echo "$(pace $((t + 100))) touch_up 880 558"
    done
  } >"$1"
}
