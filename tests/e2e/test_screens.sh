#!/bin/sh
# The screens end to end: the real executable under Xvfb with scripted
# input, on the bundled menus and timeline. The loading screen's worm
# grows between two screenshots; the main menu comes; a click on Levels
# pushes the level selection and a click on its Back pops it; a focus key
# moves the highlight between the menu's buttons; the extras lead to the
# achievements and the shop, and Escape leaves each of them; Play starts
# the timeline's first event, the story, whose Continue and Next lead
# through its pictures and the bug's line to the first level; a focus
# change over the game's screen pushes the pause menu. Screenshots are
# kept in the folder given as the fourth argument.
#
# ui-test/ (see its README) adds slow screens that keep the loading
# screen up long enough to be seen twice.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

e2e_data_tree "$WORK" "$DATA" "$HERE/ui-test"

# Times in ms from the host's start. Loading takes about three seconds
# (the slow screens, preloaded from Slow24 down to Slow1, twelve of them
# between the two shots of the loading screen); the main menu follows 0.8 s after it, behind a
# transition of two thirds of a second. The main menu's buttons: Play at
# y 315, Levels 390, Extras 465, Quit 540; the back buttons at (72, 534);
# on the extras, Achievements at (442, 458) and Unlocks at (582, 458); the
# story's Continue and the dialogue's Next at (880, 558). A timeline event
# is on the screen in about a second; the story's steps are two apart.
# Each step waits for the log line of the one before, so that a slow run
# takes longer rather than clicking on the wrong screen; the focus key's
# shots wait for frames ("frames"), so that the highlight has had its
# time to come.
w() { e2e_wait "$1" 1 "$2"; }
{
cat <<END
$(w 1000 "Preloading Screen 'Slow20'")
1000 screenshot $SHOTS/1-loading-early.png
$(w 2000 "Preloading Screen 'Slow8'")
2000 screenshot $SHOTS/2-loading-later.png
$(e2e_wait_menu 6000)
7000 screenshot $SHOTS/3-main-menu.png
7200 touch_down 512 390
7300 touch_up 512 390
$(w 7300 "PushScreen: 'LevelSelect'")
8400 screenshot $SHOTS/4-level-select.png
8500 touch_down 72 534
8600 touch_up 72 534
$(w 8600 "Removing 'LevelSelect' from Screen Stack")
8700 touch_move 1010 250
9550 frames 40
9600 screenshot $SHOTS/5-back-to-menu.png
9700 key DOWN
10350 frames 40
10400 screenshot $SHOTS/6-key-first.png
10500 key DOWN
11150 frames 40
11200 screenshot $SHOTS/7-key-second.png
11300 touch_down 512 465
11400 touch_up 512 465
$(w 11400 "PushScreen: 'Extras'")
11500 touch_move 1010 250
12400 screenshot $SHOTS/8-extras.png
12500 touch_down 442 458
12600 touch_up 442 458
$(w 12600 "PushScreen: 'Achievements'")
13500 key ESCAPE
$(w 13500 "Removing 'Achievements' from Screen Stack")
14400 touch_down 582 458
14500 touch_up 582 458
$(w 14500 "PushScreen: 'Unlocks'")
15400 key ESCAPE
$(w 15400 "Removing 'Unlocks' from Screen Stack")
16300 key ESCAPE
$(w 16300 "Removing 'Extras' from Screen Stack")
17200 screenshot $SHOTS/9-escape-back.png
17300 touch_down 512 315
17400 touch_up 512 315
$(w 17400 "PushScreen: 'Story'")
$(w 17400 "Removing 'TimelineTransition' from Screen Stack")
19200 screenshot $SHOTS/10-story.png
END
# Continue, Next and Continue: each leads to the next event once its
# transition is over.
t=19400
for event in E01_STORY_2 E01_STORY_3 E01_STORY_4; do
  echo "$t touch_down 880 558"
  echo "$((t + 100)) touch_up 880 558"
  w $((t + 100)) "Timeline starting event '$event'"
  w $((t + 100)) "Removing 'TimelineTransition' from Screen Stack"
  [ $event = E01_STORY_3 ] && echo "23200 screenshot $SHOTS/11-dialog.png"
  t=$((t + 2000))
done
cat <<END
25400 touch_down 880 558
25500 touch_up 880 558
$(w 25500 "PushScreen: 'GameDeziDedi'")
27400 screenshot $SHOTS/12-game.png
27500 state thumbnail
27700 state fullscreen
$(w 27700 "PushScreen: 'GamePopMenu'")
28600 frames 2
28600 screenshot $SHOTS/13-paused.png
28800 exit
END
} > "$WORK/script.txt"
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" SDL_AUDIODRIVER=dummy \
  e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
cp "$WORK/trace.txt" "$SHOTS/trace.txt" 2>/dev/null
fail() {
  echo "FAILED: $*"
  [ -n "$LOG" ] && tail -60 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$LOG" ] || fail "no log file written"
for n in 1-loading-early 2-loading-later 3-main-menu 4-level-select 5-back-to-menu 6-key-first 7-key-second \
         8-extras 9-escape-back 10-story 11-dialog 12-game 13-paused; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done

# The log lines of the run, in order.
last=0
for line in "PushScreen: 'Loading'" "Spawned loading thread." "PushScreen: 'Transition'" \
            "Removing 'Loading' from Screen Stack" "PushScreen: 'MainMenu'" "PushScreen: 'LevelSelect'" \
            "Removing 'LevelSelect' from Screen Stack" "PushScreen: 'Extras'" "PushScreen: 'Achievements'" \
            "Removing 'Achievements' from Screen Stack" "PushScreen: 'Unlocks'" "Removing 'Unlocks' from Screen Stack" \
            "Removing 'Extras' from Screen Stack" "Timeline starting event 'E01_STORY_1'" "PushScreen: 'Story'" \
            "Timeline starting event 'E01_STORY_2'" "Timeline starting event 'E01_STORY_3'" \
            "PushScreen: 'StoryDialog'" "Timeline starting event 'E01_STORY_4'" "Timeline starting event 'E01_L01'" \
            "PushScreen: 'GameDeziDedi'" "PushScreen: 'GamePopMenu'"; do
  n=$(tail -n +$((last + 1)) "$LOG" | grep -n -F "$line" | head -1 | cut -d: -f1)
  [ -n "$n" ] || fail "log line '$line' missing after line $last"
  last=$((last + n))
done
[ "$(grep -c -F "PushScreen: 'GamePopMenu'" "$LOG")" = 1 ] || fail "the pause menu was pushed more than once"
! grep -q -F "is not available yet" "$LOG" || fail "a menu called a function the program does not have"

# The worm (pink) on the loading screen's bar row reaches further right in
# the later shot.
pink="225 255 100 185 130 205"
early=$("$PROBE" "$SHOTS/1-loading-early.png" span 420 140 835 $pink)
later=$("$PROBE" "$SHOTS/2-loading-later.png" span 420 140 835 $pink)
echo "worm ends at x=$early, then x=$later"
[ "$early" -gt 160 ] || fail "no worm on the early loading shot ($early)"
[ "$later" -gt $((early + 40)) ] || fail "the worm did not grow ($early, then $later)"

# The level selection: wooden level tiles where the menu shows the garden
# (the first and the last tile of the page).
wood="170 240 120 190 60 130"
tile1=$("$PROBE" "$SHOTS/4-level-select.png" count 224 188 330 290 $wood)
tile6=$("$PROBE" "$SHOTS/4-level-select.png" count 694 368 800 470 $wood)
menu1=$("$PROBE" "$SHOTS/3-main-menu.png" count 224 188 330 290 $wood)
echo "level tile pixels: $tile1 and $tile6 (the menu: $menu1)"
[ "$tile1" -gt 3000 ] && [ "$tile6" -gt 3000 ] && [ "$menu1" -lt 500 ] || fail "the level tiles are not shown"
# The extras: the dark glass sheet down the left of the middle.
glass=$("$PROBE" "$SHOTS/8-extras.png" count 345 100 385 500 30 65 70 100 40 90)
echo "glass sheet pixels: $glass"
[ "$glass" -gt 10000 ] || fail "the extras are not shown ($glass)"
# Back, and Escape, leave the menu as it was (its Play and Levels).
for shot in 5-back-to-menu 9-escape-back; do
  d=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/$shot.png" 384 280 640 422)
  echo "$shot differs from the menu by $d"
  awk "BEGIN { exit !($d < 4) }" || fail "$shot is not the main menu ($d)"
done
# A focus key lights the first button, then the second instead.
play1=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/6-key-first.png" 384 283 640 347)
next1=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/6-key-first.png" 384 358 640 422)
play2=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/7-key-second.png" 384 283 640 347)
next2=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/7-key-second.png" 384 358 640 422)
echo "highlight: first shot play $play1 levels $next1; second shot play $play2 levels $next2"
awk "BEGIN { exit !($play1 > 3 && $next1 < 2) }" || fail "the focus key did not light the first button"
# The first button's light fades out over half a second, which a slow
# run may still catch the end of.
awk "BEGIN { exit !($next2 > 3 && $play2 < $play1 / 2) }" || fail "a second focus key did not move the light"
# The story: its picture where the menu's emblem and buttons are, then
# the bug's line in its bubble over the next picture.
st=$("$PROBE" "$SHOTS/9-escape-back.png" diff "$SHOTS/10-story.png" 200 50 830 430)
dl=$("$PROBE" "$SHOTS/10-story.png" diff "$SHOTS/11-dialog.png" 200 310 830 440)
echo "the story differs from the menu by $st; the dialogue changes the bubble's place by $dl"
awk "BEGIN { exit !($st > 10 && $dl > 10) }" || fail "the story or its dialogue is not shown"
# The game's screen, then the pause menu over it.
g=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/12-game.png" 0 0 1024 600)
p=$("$PROBE" "$SHOTS/12-game.png" diff "$SHOTS/13-paused.png" 312 150 712 450)
echo "game differs from the menu by $g; the pause menu changes the middle by $p"
awk "BEGIN { exit !($g > 10 && $p > 10) }" || fail "the game or the pause menu is not shown"
echo "screens end to end: all shown; pictures in $SHOTS"
