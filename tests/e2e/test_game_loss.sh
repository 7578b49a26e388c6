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
# resumes the level). The level runs on a fixed step per frame (the
# settings' "fixed_step"), and the script is paced by frames and the log:
# a machine that is slow, busy or stopped now and then plays the same
# level, only longer. Screenshots are kept in the folder given as the
# fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
GAME_PACE="${GAME_PACE:-1}"
pace() { echo $(($1 * GAME_PACE)); }
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA" "$HERE/flow/ui"
rm "$WORK/app/native/timeline.xml" "$WORK/app/native/prog.xml"
ln -s "$HERE/flow/loss-timeline.xml" "$WORK/app/native/timeline.xml"
ln -s "$HERE/flow/worlds" "$WORK/app/native/flow-worlds"
sed 's|program_id="worm"|program_id="worm" fixed_step="1"|' "$DATA/prog.xml" >"$WORK/app/native/prog.xml"

# The level fills the screen exactly, so the camera stays put: a world
# point (x, y) is at (511 + 30x, 420 + 30y) on the screen. The tail hangs
# at about (558, 335); the bush stands at (466, 315).
# Every line comes at the same time, after the wait before it; the frames
# between them space them (a frame is a sixtieth of a second of the level).
t=$(pace 6000)
at() { echo "$t $*"; }
# lead X0 Y0 X1 Y1: the finger from one point to the other in 20 steps,
# a frame apart, as a hand moves it in a third of a second.
lead() {
  awk -v t="$t" -v x0="$1" -v y0="$2" -v x1="$3" -v y1="$4" \
    'BEGIN { for (i = 1; i <= 20; i++) printf "%d frames 1\n%d touch_move %d %d\n", t, t, x0 + (x1 - x0) * i / 20, y0 + (y1 - y0) * i / 20 }'
}
{
  e2e_wait "$t" 1 "Removing 'TimelineTransition' from Screen Stack"
  at frames 54
  at screenshot "$SHOTS/1-start.png"
  at frames 6
  at touch_down 558 335
  x=558; y=335
  for round in 1 2 3 4; do
    # Across the bush to the lower left, then back to the right of it;
    # then the worm swings for about two seconds: a hurt worm is spared
    # for two seconds of play.
    at frames 1
    lead $x $y 361 390
    at frames 20
    lead 361 390 601 315
    x=601; y=315
    at frames 118
  done
  at touch_up 601 315
  e2e_wait $t 1 "Screen 'GameLevelFailed' fully in."
  at frames 30
  at screenshot "$SHOTS/2-failed.png"
  # "PlayAgain"; the level again, its lives back.
  e2e_tap $t 563 415
  e2e_wait $t 1 "Removing 'TimelineTransition' from Screen Stack"
  at frames 90
  at screenshot "$SHOTS/3-again.png"
  # The pause menu's Restart.
  e2e_tap $t 950 51
  e2e_wait $t 1 "Screen 'GamePopMenu' fully in."
  at frames 30
  at screenshot "$SHOTS/4-paused.png"
  e2e_tap $t 512 367
  # The pause menu's main menu, whose Play this test's menu presses by
  # itself.
  e2e_wait $t 1 "Removing 'TimelineTransition' from Screen Stack"
  at frames 60
  e2e_tap $t 950 51
  e2e_wait $t 1 "Screen 'GamePopMenu' fully in."
  at frames 10
  e2e_tap $t 512 440
  e2e_wait $t 1 "Removing 'TimelineTransition' from Screen Stack"
  at frames 30
  at exit
} >"$WORK/script.txt"
e2e_run_game 120
grep -q "Game frames: a fixed step" "$LOG" || fail "the level did not run on a fixed step"
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
