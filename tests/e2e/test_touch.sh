#!/bin/sh
# The touch field and the touch grid end to end: the real executable under
# Xvfb, dragged and flung by scripted touches, with the values the scripts
# read printed to the log by a key press after each step (ui-touch/). The
# field: half the drag past its top (the rubber band), back to 0 when let
# go, a fling that carries on after the finger lifts, a fling against the
# bottom that ends exactly on the limit. The grid: a tap on a button of its
# page clicks; a press on that button that drags the page does not click,
# even when the finger comes back and lifts over the button; the pages move
# by whole steps and never past the last one. Screenshots are kept in the
# folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

e2e_data_tree "$WORK" "$DATA" "$HERE/ui-touch"

# The script is paced by the program, never by the clock: every line
# comes after the menu is up (a wait in the log), each finger movement in
# a frame of its own ("frames 1", so the widgets update between them), a
# lift in the same frame as the last movement where the speed it leaves
# counts (a fling), and a value that takes time to settle is read only
# once the screen has logged it at rest ("KINDS still ..."). The field's
# view is (128, 120) to (428, 420), the grid's first page (640, 120) to
# (940, 420), its button centred on (790, 270).
LOG_GLOB="data/*/*/logs/kodo-0001.log"
still() { echo "4000 wait $LOG_GLOB KINDS still $*"; }
{
  e2e_wait_menu 4000
  cat <<END
4000 frames 30
4000 screenshot $SHOTS/1-menu.png
4000 key 49
4000 touch_down 278 200
4000 frames 1
4000 touch_move 278 240
4000 frames 1
4000 touch_move 278 280
4000 frames 1
4000 key 50
4000 touch_up 278 280
$(still field 0 grid 0 0)
4000 key 51
4000 touch_down 278 400
4000 frames 1
4000 touch_move 278 308
4000 frames 1
4000 touch_move 278 300
4000 touch_up 278 300
$(still field)
4000 key 52
4000 touch_down 278 400
4000 frames 1
4000 touch_move 278 330
4000 frames 1
4000 touch_move 278 260
4000 frames 1
4000 touch_move 278 190
4000 frames 1
4000 touch_move 278 120
4000 touch_up 278 120
$(still field 700 grid 0 0)
4000 key 53
4000 touch_down 790 270
4000 frames 1
4000 touch_up 790 270
4000 frames 1
4000 touch_down 790 270
4000 frames 1
4000 touch_move 760 270
4000 frames 1
4000 touch_move 730 270
4000 frames 1
4000 touch_move 790 270
4000 touch_up 790 270
4000 frames 1
4000 key 54
$(still field 700 grid 1 300)
4000 key 55
4000 screenshot $SHOTS/2-second-page.png
4000 touch_down 850 300
4000 frames 1
4000 touch_move 765 300
4000 frames 1
4000 touch_move 680 300
4000 frames 1
4000 touch_move 595 300
4000 frames 1
4000 touch_move 510 300
4000 touch_up 510 300
$(still field 700 grid 2 600)
4000 key 56
4000 touch_down 850 300
4000 frames 1
4000 touch_move 700 300
4000 frames 1
4000 touch_up 700 300
4000 frames 60
4000 key 57
4000 exit
END
} >"$WORK/script.txt"
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" SDL_AUDIODRIVER=dummy \
  e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
fail() {
  echo "FAILED: $*"
  [ -n "$LOG" ] && grep KINDS "$LOG"
  [ -n "$LOG" ] && tail -30 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$LOG" ] || fail "no log file written"

# "field <value> grid <selected> <offset>" printed for key $1.
values() { grep -o "KINDS $1 field .*" "$LOG" | head -1 | sed "s/KINDS $1 field //; s/ grid / /"; }
expect() {
  got=$(values "$1")
  [ "$got" = "$2" ] || fail "after step $1 the scripts read '$got', not '$2' ($3)"
  echo "step $1: $got ($3)"
}
expect 1 "0 0 0" "at rest"
expect 2 "-40 0 0" "dragged 80 past the top: half of it shows"
expect 3 "0 0 0" "let go: springs back to the limit"
fling=$(values 4 | cut -d' ' -f1)
echo "step 4: a fling of 100 units ends at $fling"
awk "BEGIN { exit !($fling >= 150 && $fling <= 700 && $fling == int($fling)) }" ||
  fail "the fling did not carry on past where the finger lifted, or not to a whole number ($fling)"
expect 5 "700 0 0" "flung against the bottom: ends on the limit"
clicks=$(grep -c "KINDS click GridButton" "$LOG" || true)
[ "$clicks" = 1 ] || fail "$clicks clicks on the grid's button; only the tap may click"
step6=$(values 6)
moving=$(echo "$step6" | cut -d' ' -f3)
echo "step 6: $step6 (the page on its way)"
[ "$(echo "$step6" | cut -d' ' -f2)" = 1 ] || fail "dragging 60 did not move one page ($step6)"
awk "BEGIN { exit !($moving > 0 && $moving < 300) }" || fail "the page was not between two steps ($step6)"
expect 7 "700 1 300" "settled on the second page"
expect 8 "700 2 600" "a drag of 340 moves one page, not more"
expect 9 "700 2 600" "no page past the last"

# The button moves with its page: 300 pixels to the left on the second.
wood="150 255 90 200 30 130"
for n in 1-menu 2-second-page; do [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"; done
first=$("$PROBE" "$SHOTS/1-menu.png" count 680 245 900 295 $wood)
moved=$("$PROBE" "$SHOTS/2-second-page.png" count 380 245 600 295 $wood)
left=$("$PROBE" "$SHOTS/2-second-page.png" count 680 245 900 295 $wood)
echo "button pixels: first page $first; on the second, moved $moved, left behind $left"
[ "$first" -gt 3000 ] && [ "$moved" -gt 3000 ] && [ "$left" -lt 100 ] || fail "the button did not move with its page"
echo "touch field and touch grid end to end: all read as expected; pictures in $SHOTS"
