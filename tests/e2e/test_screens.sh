#!/bin/sh
# The screens end to end: the real executable under Xvfb with scripted
# input, on the bundled menus. The loading screen's worm grows between two
# screenshots; the main menu comes; a click on Levels pushes the level
# selection and a click on its Back pops it; a focus key moves the
# highlight between the menu's buttons; Escape leaves the extras; Play
# starts the game, and a focus change over the game's screen pushes the
# pause menu. Screenshots are kept in the folder given as the fourth
# argument.
#
# What the program does not have yet comes from ui-test/ (see its
# README): the timeline's BeginTimelineEvent, which pushes the game's
# screen with no level started, and slow screens that keep the loading
# screen up long enough to be seen twice.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# The bundled tree, its ui/ a folder of links with the test's additions.
e2e_data_tree "$WORK" "$DATA"
ui="$WORK/app/native/ui"
rm "$ui"
mkdir "$ui"
for f in "$DATA"/ui/*; do
  case "$(basename "$f")" in
    autoexec.lua|menu-common.lua) ;;
    *) ln -s "$f" "$ui/" ;;
  esac
done
cat "$DATA/ui/autoexec.lua" "$HERE/ui-test/autoexec.lua" >"$ui/autoexec.lua"
cat "$DATA/ui/menu-common.lua" "$HERE/ui-test/timeline-stand-in.lua" >"$ui/menu-common.lua"
for f in "$HERE"/ui-test/test-*.lua "$HERE/ui-test/events"; do ln -s "$f" "$ui/"; done

# Times in ms from the host's start. Loading takes about three seconds
# (the slow screens); the main menu follows 0.8 s after it, behind a
# transition of two thirds of a second. The main menu's buttons: Play at
# y 315, Levels 390, Extras 465, Quit 540; the back buttons at (72, 534).
cat > "$WORK/script.txt" <<END
1500 screenshot $SHOTS/1-loading-early.png
2600 screenshot $SHOTS/2-loading-later.png
7000 screenshot $SHOTS/3-main-menu.png
7200 touch_down 512 390
7300 touch_up 512 390
8400 screenshot $SHOTS/4-level-select.png
8500 touch_down 72 534
8600 touch_up 72 534
8700 touch_move 1010 250
9600 screenshot $SHOTS/5-back-to-menu.png
9700 key DOWN
10400 screenshot $SHOTS/6-key-first.png
10500 key DOWN
11200 screenshot $SHOTS/7-key-second.png
11300 touch_down 512 465
11400 touch_up 512 465
11500 touch_move 1010 250
12400 screenshot $SHOTS/8-extras.png
12500 key ESCAPE
13400 screenshot $SHOTS/9-escape-back.png
13500 touch_down 512 315
13600 touch_up 512 315
14600 screenshot $SHOTS/10-game.png
14700 state thumbnail
14900 state fullscreen
15800 screenshot $SHOTS/11-paused.png
16000 exit
END
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" SDL_AUDIODRIVER=dummy \
  timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
fail() {
  echo "FAILED: $*"
  [ -n "$LOG" ] && tail -60 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$LOG" ] || fail "no log file written"
for n in 1-loading-early 2-loading-later 3-main-menu 4-level-select 5-back-to-menu 6-key-first 7-key-second \
         8-extras 9-escape-back 10-game 11-paused; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done

# The log lines of the run, in order.
last=0
for line in "PushScreen: 'Loading'" "Spawned loading thread." "PushScreen: 'Transition'" \
            "Removing 'Loading' from Screen Stack" "PushScreen: 'MainMenu'" "PushScreen: 'LevelSelect'" \
            "Removing 'LevelSelect' from Screen Stack" "PushScreen: 'Extras'" "Removing 'Extras' from Screen Stack" \
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
awk "BEGIN { exit !($next2 > 3 && $play2 < 2) }" || fail "a second focus key did not move the light"
# The game's screen (no level started: grey under its HUD), then the pause
# menu over it.
g=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/10-game.png" 0 0 1024 600)
p=$("$PROBE" "$SHOTS/10-game.png" diff "$SHOTS/11-paused.png" 312 150 712 450)
echo "game differs from the menu by $g; the pause menu changes the middle by $p"
awk "BEGIN { exit !($g > 10 && $p > 10) }" || fail "the game or the pause menu is not shown"
echo "screens end to end: all shown; pictures in $SHOTS"
