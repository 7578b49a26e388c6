#!/bin/sh
# The timeline end to end: worm_standin (the real program with a stand-in
# game linked in) under Xvfb with scripted input, on the timeline and UI
# of this folder over the bundled data tree.
#
# First run: the menu's Play starts the first event, a story (FADE_BLACK);
# its Continue starts a dialogue over it (DYNAMIC: no shot across it holds
# black); its Next starts a level of the stand-in game, whose screen the
# loader thread preloads for three seconds while the transition holds
# black (a shot there is at least 90 % black); then the scripted exit.
# Second run: Play resumes that level with its save game; RETURN leads
# through a jump back to the menu, whose Play goes on to the first event.
# Third run, on a profile saved at that menu: one Play starts the first
# event. The menus and the story screens are the bundled ones, the main menu's
# script with this folder's additions (ui/main-menu-events.lua); the
# level's page is the screens' test page (ui-test/test-game.lua) with
# events of this folder's own. Screenshots are kept in the folder given
# as the fourth argument.
#
# The host takes due script lines one after another, and a screenshot
# takes a few hundred milliseconds: shots are spaced wider than that. The
# DYNAMIC transition's shots are spaced by frames ("frames"); the black
# middle of the fade is looked for in three shots from the moment the log
# says the old screens leave (the fade is black then, and the loader
# preloads the level behind it for three seconds).
set -e
WORM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
DATA=$(cd "$2" && pwd)
PROBE=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
SHOTS="$4"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../../KODO/host/tests/with_xvfb.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

E2E_FUNCTIONS_ONLY=1
. "$HERE/../e2e-lib.sh"
e2e_data_tree "$WORK" "$DATA" "$HERE/ui"
ln -s "$HERE/../ui-test/test-game.lua" "$WORK/app/native/ui/"
rm "$WORK/app/native/timeline.xml"
ln -s "$HERE/flow-timeline.xml" "$WORK/app/native/timeline.xml"

fail() {
  echo "FAILED: $*"
  for l in "$WORK"/data/*/*/logs/kodo-*.log; do [ -f "$l" ] && { echo "== $l"; tail -40 "$l"; }; done
  for o in "$WORK"/out-*.txt; do [ -f "$o" ] && { echo "== $o"; tail -20 "$o"; }; done
  exit 1
}

run() {
  cd "$WORK"
  status=0
  KODO_HOST_SCRIPT="$WORK/script-$1.txt" KODO_HOST_TRACE="$SHOTS/trace-$1.txt" SDL_AUDIODRIVER=dummy \
    e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out-$1.txt" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "run $1: exit status $status"
  if grep -q "ThreadSanitizer" "$WORK/out-$1.txt"; then fail "run $1: ThreadSanitizer report"; fi
  LOG=$(ls "$WORK"/data/*/*/logs/kodo-000$1.log 2>/dev/null | head -1)
  [ -n "$LOG" ] || fail "run $1: no log file written"
  cp "$LOG" "$SHOTS/log-$1.txt"
}

# The log lines of a run, in this order.
in_order() {
  log=$1
  shift
  last=0
  for line in "$@"; do
    n=$(tail -n +$((last + 1)) "$log" | grep -n -F "$line" | head -1 | cut -d: -f1)
    [ -n "$n" ] || fail "log line '$line' missing after line $last of $(basename "$log")"
    last=$((last + n))
  done
}

black() { "$PROBE" "$1" count 0 0 1024 600 0 24 0 24 0 24; }
# Mean difference from a picture, over the whole window.
differs() { "$PROBE" "$1" diff "$2" 0 0 1024 600; }

# Times in ms from the host's start, three seconds or more a step: the
# menu is up well before 6 s. The scripts hold until each screen they
# click on or take a shot of is up.
cat >"$WORK/script-1.txt" <<END
$(e2e_wait_menu 5000)
6000 screenshot $SHOTS/1-menu.png
6200 touch_down 512 315
6280 touch_up 512 315
$(e2e_wait 8000 1 "Removing 'TimelineTransition' from Screen Stack")
9500 screenshot $SHOTS/2-story.png
9700 touch_down 880 558
9780 touch_up 880 558
9800 frames 2
9850 screenshot $SHOTS/dynamic-1.png
9900 frames 20
10200 screenshot $SHOTS/dynamic-2.png
10250 frames 20
10550 screenshot $SHOTS/dynamic-3.png
10600 frames 20
10900 screenshot $SHOTS/dynamic-4.png
10950 frames 20
11250 screenshot $SHOTS/dynamic-5.png
$(e2e_wait 12000 1 "Removing 'TimelineTransition' from Screen Stack")
12500 screenshot $SHOTS/3-dialog.png
12700 touch_down 880 558
12780 touch_up 880 558
$(e2e_wait 12800 1 "DoTransitionPhasePop: removing 'StoryDialog'")
12800 screenshot $SHOTS/4-black-1.png
12800 frames 2
12800 screenshot $SHOTS/4-black-2.png
12800 frames 4
12800 screenshot $SHOTS/4-black-3.png
$(e2e_wait 17000 1 "Removing 'TimelineTransition' from Screen Stack")
18500 screenshot $SHOTS/5-level.png
18700 exit
END
run 1
in_order "$LOG" "Timeline starting event 'S1' after transition" "SetTransitionType 0 (FADE_BLACK)" \
  "PushScreen: 'TimelineTransition'" "DoTransitionPhasePop: removing 'MainMenu'" "Timeline position 'S1' saved." \
  "[TimelineLoader]> Loading thread spent" "DoTransitionPhasePush: pushing 'Story'" \
  "Timeline ending event 'S1'" "Timeline starting event 'S2' after transition" "SetTransitionType 1 (DYNAMIC)" \
  "DoTransitionPhasePush: pushing 'StoryDialog'" "DoTransitionPhasePush: screen 'Story' is already in stack" \
  "Timeline starting event 'E01_L01' after transition" "SetTransitionType 0 (FADE_BLACK)" \
  "DoTransitionPhasePop: removing 'Story'" "DoTransitionPhasePop: removing 'StoryDialog'" \
  "StandIn starts level 'worlds/e01-l01.xml'." "Timeline position 'E01_L01' saved." \
  "[TimelineLoader]> ..Preloading Screen 'Level'.." "DoTransitionPhasePush: pushing 'Level'"
PROFILE=$(ls "$WORK"/data/*/*/profiles/1.xml)
grep -q 'event="E01_L01"' "$PROFILE" || fail "the profile does not hold the position E01_L01"

total=614400
# DYNAMIC: no shot across it holds black. The first is taken two frames
# after the click, before the dialogue comes (a third of a second of
# fading in at least), and the shots follow every 20 frames.
for n in 1 2 3 4 5; do
  b=$(black "$SHOTS/dynamic-$n.png")
  echo "dynamic-$n: $b of $total pixels black"
  [ $((b * 100)) -lt $total ] || fail "the DYNAMIC transition drew black (dynamic-$n: $b pixels)"
done
d1=$(differs "$SHOTS/2-story.png" "$SHOTS/dynamic-1.png")
d2=$(differs "$SHOTS/2-story.png" "$SHOTS/3-dialog.png")
echo "dynamic: the first shot differs from the story by $d1, the dialogue by $d2"
awk "BEGIN { exit !($d1 < 3 && $d2 > 3) }" || fail "the DYNAMIC shots do not start before the dialogue's arrival"
# FADE_BLACK: the dialogue, black in the middle, then the level.
b=0
for n in 1 2 3; do
  bn=$(black "$SHOTS/4-black-$n.png")
  [ "$bn" -gt "$b" ] && { b=$bn; cp "$SHOTS/4-black-$n.png" "$SHOTS/4-black.png"; }
done
echo "the middle of the fade: $b of $total pixels black"
[ $((b * 10)) -ge $((total * 9)) ] || fail "the middle of the transition is not 90 % black ($b)"
for n in 3-dialog 5-level; do
  b=$(black "$SHOTS/$n.png")
  [ $((b * 100)) -lt $total ] || fail "$n is black ($b)"
done
d=$(differs "$SHOTS/3-dialog.png" "$SHOTS/5-level.png")
awk "BEGIN { exit !($d > 10) }" || fail "the level is not shown ($d)"

# Second run: resumed at the level, then through the jump to the menu and
# on to the first event.
cat >"$WORK/script-2.txt" <<END
$(e2e_wait_menu 5000 2)
6000 screenshot $SHOTS/6-menu-again.png
6200 touch_down 512 315
6280 touch_up 512 315
$(e2e_wait 9000 2 "Removing 'TimelineTransition' from Screen Stack")
11000 screenshot $SHOTS/7-level-resumed.png
11200 key RETURN
$(e2e_wait 13000 2 "Removing 'TimelineTransition' from Screen Stack")
14000 screenshot $SHOTS/8-back-at-menu.png
14200 touch_down 512 315
14280 touch_up 512 315
$(e2e_wait 16500 2 "Removing 'TimelineTransition' from Screen Stack")
17500 screenshot $SHOTS/9-story-again.png
17700 exit
END
run 2
first=$(grep -F "Timeline starting event" "$LOG" | head -1)
case "$first" in
  *"'E01_L01'"*) ;;
  *) fail "the second run did not resume at E01_L01: $first" ;;
esac
in_order "$LOG" "Timeline starting event 'E01_L01' after transition" "StandIn starts level 'worlds/e01-l01.xml'." \
  "StandIn resumes level 'worlds/e01-l01.xml'." "Timeline ending event 'E01_L01'" \
  "Timeline starting event 'MENU' after transition" "Timeline position 'MENU' saved." \
  "DoTransitionPhasePush: pushing 'MainMenu'" "Timeline ending event 'MENU'" "Timeline starting event 'S1' after transition" \
  "DoTransitionPhasePush: pushing 'Story'"
for pair in "5-level 7-level-resumed" "1-menu 8-back-at-menu" "2-story 9-story-again"; do
  set -- $pair
  d=$(differs "$SHOTS/$1.png" "$SHOTS/$2.png")
  echo "$2 differs from $1 by $d"
  awk "BEGIN { exit !($d < 3) }" || fail "$2 is not what $1 shows ($d)"
done

# Third run: a profile saved at the menu the timeline's end leads to (a
# run that ended there): the first Play starts the first event.
profile=$(ls "$WORK"/data/*/*/profiles/1.xml)
sed -i 's|<node id="timeline.xml" event="[^"]*"|<node id="timeline.xml" event="MENU"|' "$profile"
grep -q 'event="MENU"' "$profile" || fail "the profile names no saved event to set: $(grep -F '!TIMELINES' -A1 "$profile")"
cat >"$WORK/script-3.txt" <<END
$(e2e_wait_menu 5000 3)
6200 touch_down 512 315
6280 touch_up 512 315
$(e2e_wait 9000 3 "Removing 'TimelineTransition' from Screen Stack")
9500 exit
END
run 3
first=$(grep -F "Timeline starting event" "$LOG" | head -1)
case "$first" in
  *"'S1'"*) ;;
  *) fail "the first Play after a run that ended at the menu did not start the story: $first" ;;
esac
in_order "$LOG" "Timeline starting event 'S1' after transition" "DoTransitionPhasePush: pushing 'Story'"
echo "timeline end to end: menu, story, dialogue, level, resumed, jump, menu, and the story after a restart there; pictures in $SHOTS"
