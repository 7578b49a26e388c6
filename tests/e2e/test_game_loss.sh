#!/bin/sh
# A level lost end to end: the real executable under Xvfb, on a timeline
# of this test's own (e2e/flow/) whose first level is a worm hanging from
# a peg beside a thorn bush. The main menu starts it by itself. A
# scripted finger takes the worm's tail and leads it across the bush and
# back, three times, waiting out the two seconds after each hit in
# frames: each time the worm's front is dragged into the thorns. With the
# last life lost, "GameLevelFailed" comes up over the level; its
# "PlayAgain" starts the level afresh with every life back. Then the
# pause menu's Restart starts it once more, and its main menu button
# leaves it for the main menu (whose Play, pressed by itself here,
# resumes the level). Screenshots are kept in the folder given as the
# fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
GAME_PACE="${GAME_PACE:-1}"
pace() { echo $(($1 * GAME_PACE)); }
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA" "$HERE/flow/ui"
rm "$WORK/app/native/timeline.xml"
ln -s "$HERE/flow/loss-timeline.xml" "$WORK/app/native/timeline.xml"
ln -s "$HERE/flow/worlds" "$WORK/app/native/flow-worlds"

# The level fills the screen exactly, so the camera stays put: a world
# point (x, y) is at (511 + 30x, 420 + 30y) on the screen. The tail hangs
# at about (558, 335); the bush stands at (466, 315).
# lead T X0 Y0 X1 Y1: the finger from one point to the other in 20 steps
# over a third of a second from time T, as a hand moves it.
lead() {
  awk -v t="$1" -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" \
    'BEGIN { for (i = 1; i <= 20; i++) printf "%d touch_move %d %d\n", t + i * 17, x0 + (x1 - x0) * i / 20, y0 + (y1 - y0) * i / 20 }'
}
# Each step waits for the log line of the one before it; the frames the
# game must draw between them are counted, never timed.
t=$(pace 6000)
{
  e2e_wait "$((t - 1000))" 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "$((t - 100)) screenshot $SHOTS/1-start.png"
  echo "$t touch_down 558 335"
  x=558; y=335
  for round in 1 2 3 4; do
    # Across the bush to the lower left, then back to the right of it;
    # then the worm swings for about two seconds, counted in frames: a
    # hurt worm is spared for two seconds of play, and the game never
    # runs more than 60 frames a second.
    lead $((t + 20)) $x $y 361 390
    lead $((t + 700)) 361 390 601 315
    x=601; y=315
    echo "$((t + 1040)) frames 118"
    t=$((t + 1100))
  done
  echo "$t touch_up 601 315"
  e2e_wait $t 1 "Screen 'GameLevelFailed' fully in."
  echo "$t frames 30"
  echo "$((t + 100)) screenshot $SHOTS/2-failed.png"
  # "PlayAgain"; the level again, its lives back.
  echo "$((t + 200)) touch_down 563 415"
  echo "$((t + 300)) touch_up 563 415"
  e2e_wait $((t + 400)) 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "$((t + 400)) frames 90"
  echo "$((t + 500)) screenshot $SHOTS/3-again.png"
  # The pause menu's Restart.
  echo "$((t + 600)) touch_down 950 51"
  echo "$((t + 700)) touch_up 950 51"
  e2e_wait $((t + 800)) 1 "Screen 'GamePopMenu' fully in."
  echo "$((t + 800)) frames 30"
  echo "$((t + 900)) screenshot $SHOTS/4-paused.png"
  echo "$((t + 1000)) touch_down 512 367"
  echo "$((t + 1100)) touch_up 512 367"
  # The pause menu's main menu, whose Play this test's menu presses by
  # itself.
  e2e_wait $((t + 1200)) 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "$((t + 1200)) frames 60"
  echo "$((t + 1300)) touch_down 950 51"
  echo "$((t + 1400)) touch_up 950 51"
  e2e_wait $((t + 1500)) 1 "Screen 'GamePopMenu' fully in."
  echo "$((t + 1500)) frames 10"
  echo "$((t + 1600)) touch_down 512 440"
  echo "$((t + 1700)) touch_up 512 440"
  e2e_wait $((t + 1800)) 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "$((t + 1800)) frames 30"
  echo "$((t + 1900)) exit"
} >"$WORK/script.txt"
e2e_run_game 120
for n in 1-start 2-failed 3-again 4-paused; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done
# In this order: the level, its loss (once), the failed screen, the level
# again; the pause menu, the level again; the pause menu, the main menu
# and the level resumed from it.
started="Level 'flow-worlds/thorns.xml' started: "
e2e_log_in_order "$started" "PushScreen: 'GameLevelFailed'" "Level failed: 'E01_L02'" \
                 "Timeline starting event 'E01_L02'" "$started" "PushScreen: 'GamePopMenu'" "$started" \
                 "PushScreen: 'GamePopMenu'" "PushScreen: 'MainMenu'" "$started"
[ "$(grep -c -F "Level failed: " "$LOG")" = 1 ] || fail "the level was lost more than once"
! grep -q -F "Level completed: " "$LOG" || fail "a lost level was also won"

# The lives beside the clock: three worm heads (pink) at the start, none
# when the level is lost, three again once it is played again.
pink="225 255 100 185 130 205"
lives() { for x in 30 62 94; do "$PROBE" "$SHOTS/$1.png" count $x 98 $((x + 32)) 130 $pink; done | tr '\n' ' '; }
echo "lives' pixels: $(lives 1-start), lost: $(lives 2-failed), again: $(lives 3-again)"
for shot in 1-start 3-again; do
  for n in $(lives $shot); do [ "$n" -gt 100 ] || fail "a life is missing in $shot"; done
done
# The failed screen: its glass panel darkens the middle of the screen.
dark=$("$PROBE" "$SHOTS/2-failed.png" count 350 180 670 420 0 90 0 110 0 110)
echo "dark glass pixels on the failed screen: $dark"
[ "$dark" -gt 20000 ] || fail "GameLevelFailed was not shown"
echo "a level lost end to end: all shown; pictures in $SHOTS"
