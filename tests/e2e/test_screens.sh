#!/bin/sh
# The screens end to end: the real executable under Xvfb with scripted
# input. The loading screen's worm grows between two screenshots; the main
# menu comes; a click on a button pushes a screen and a click on its Back
# pops it; a focus key moves the highlight between buttons and Escape goes back; a
# focus change over the game's screen pushes the pause menu. Screenshots
# are kept in the folder given as the fourth argument.
#
# The UI data is the small set in ui-test/ laid over the bundled tree's
# ui/ (UI_SET=test, the default), or the bundled menus as they are
# (UI_SET=bundled; its main menu needs buttons "Play" and "Options" at the
# same places, or the coordinates below changed with it).
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
UI_SET="${UI_SET:-test}"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# The data tree: the bundled one, with the test's UI files over its ui/.
if [ "$UI_SET" = bundled ]; then
  e2e_data_tree "$WORK" "$DATA"
else
  e2e_data_tree "$WORK" "$DATA" "$HERE/ui-test"
fi

# Times in ms from the host's start. Loading takes about three seconds
# (the test's slow screens); the main menu follows 0.8 s after it, behind
# a transition of two thirds of a second.
cat > "$WORK/script.txt" <<END
1500 screenshot $SHOTS/1-loading-early.png
2600 screenshot $SHOTS/2-loading-later.png
7000 screenshot $SHOTS/3-main-menu.png
7200 touch_down 512 372
7300 touch_up 512 372
8200 screenshot $SHOTS/4-options.png
8400 touch_down 512 408
8500 touch_up 512 408
9400 screenshot $SHOTS/5-back-to-menu.png
8700 touch_move 1000 580
9500 key DOWN
10200 screenshot $SHOTS/6-key-first.png
10400 key DOWN
11100 screenshot $SHOTS/7-key-second.png
11300 touch_down 512 372
11400 touch_up 512 372
12200 key ESCAPE
13100 screenshot $SHOTS/8-escape-back.png
13300 touch_down 512 270
13400 touch_up 512 270
14300 screenshot $SHOTS/9-game.png
14500 state thumbnail
14700 state fullscreen
15500 screenshot $SHOTS/10-paused.png
15700 exit
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
for n in 1-loading-early 2-loading-later 3-main-menu 4-options 5-back-to-menu 6-key-first 7-key-second \
         8-escape-back 9-game 10-paused; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done

# The log lines of the run, in order.
last=0
for line in "PushScreen: 'Loading'" "Spawned loading thread." "PushScreen: 'Transition'" \
            "Removing 'Loading' from Screen Stack" "PushScreen: 'MainMenu'" "PushScreen: 'Options'" \
            "Removing 'Options' from Screen Stack" "PushScreen: 'Options'" "Removing 'Options' from Screen Stack" \
            "PushScreen: 'GameDeziDedi'" "PushScreen: 'GamePopMenu'"; do
  n=$(tail -n +$((last + 1)) "$LOG" | grep -n -F "$line" | head -1 | cut -d: -f1)
  [ -n "$n" ] || fail "log line '$line' missing after line $last"
  last=$((last + n))
done
[ "$(grep -c -F "PushScreen: 'GamePopMenu'" "$LOG")" = 1 ] || fail "the pause menu was pushed more than once"

# The worm (pink) on the loading screen's bar row reaches further right in
# the later shot.
pink="225 255 100 185 130 205"
early=$("$PROBE" "$SHOTS/1-loading-early.png" span 420 140 835 $pink)
later=$("$PROBE" "$SHOTS/2-loading-later.png" span 420 140 835 $pink)
echo "worm ends at x=$early, then x=$later"
[ "$early" -gt 160 ] || fail "no worm on the early loading shot ($early)"
[ "$later" -gt $((early + 40)) ] || fail "the worm did not grow ($early, then $later)"

# Options: its cream panel covers the middle of the menu.
cream=$("$PROBE" "$SHOTS/4-options.png" count 300 200 724 300 200 255 180 255 120 230)
echo "cream panel pixels: $cream"
[ "$cream" -gt 10000 ] || fail "the options panel is not shown ($cream)"
# Back, and Escape, leave the menu as it was.
for shot in 5-back-to-menu 8-escape-back; do
  d=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/$shot.png" 300 150 724 450)
  echo "$shot differs from the menu by $d"
  awk "BEGIN { exit !($d < 4) }" || fail "$shot is not the main menu ($d)"
done
# A focus key lights the first button, then the second instead.
play1=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/6-key-first.png" 384 240 640 300)
opts1=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/6-key-first.png" 384 342 640 402)
play2=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/7-key-second.png" 384 240 640 300)
opts2=$("$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/7-key-second.png" 384 342 640 402)
echo "highlight: first shot play $play1 options $opts1; second shot play $play2 options $opts2"
awk "BEGIN { exit !($play1 > 3 && $opts1 < 2) }" || fail "the focus key did not light the first button"
awk "BEGIN { exit !($opts2 > 3 && $play2 < 2) }" || fail "a second focus key did not move the light"
# The game's stand-in, dimmed, then the pause menu over it.
g=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/9-game.png" 0 0 1024 600)
p=$("$PROBE" "$SHOTS/9-game.png" diff "$SHOTS/10-paused.png" 312 150 712 450)
echo "game differs from the menu by $g; the pause menu changes the middle by $p"
awk "BEGIN { exit !($g > 10 && $p > 10) }" || fail "the game or the pause menu is not shown"
echo "screens end to end: all shown; pictures in $SHOTS"
