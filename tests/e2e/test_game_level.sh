#!/bin/sh
# The game end to end: the real executable under Xvfb goes from the main
# menu's Play through the timeline's story screens into the first level,
# the level's prologue is clicked through, then a scripted finger takes
# the worm's free end, drags it 200 pixels up and to the right and lets
# go. Screenshots before, during and after the drag show the worm
# hanging, stretched towards the finger, then flung, and the camera
# following it. Screenshots are kept in the folder given as the fourth
# argument.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
# The level runs on a fixed step per frame (the settings' "fixed_step"),
# so that the script, paced by frames from the level's start in the log,
# plays the same level on any machine: a busy one takes longer, it does
# not move the finger further between two frames. The level starts with
# the prologue, six lines clicked through on its panel; the worm's tail
# then hangs at about (243, 358), swinging a little; the finger takes it
# there, moves in 50 ms steps (3 frames) to (384, 217), holds it, moves
# once more and lets go while the tail still follows it.
tree_without_prog_xml "$WORK"
sed 's|program_id="worm"|program_id="worm" fixed_step="1"|' "$DATA/prog.xml" >"$WORK/app/native/prog.xml"
game_start_script "$WORK/script.txt"
t=$(pace 22000)
at() { echo "$t $*"; }
{
  e2e_wait "$t" 1 "Removing 'TimelineTransition' from Screen Stack"
  at frames 30
  at screenshot "$SHOTS/1-prologue.png"
  for i in 1 2 3 4 5 6; do
    at frames 24
    at touch_down 512 500
    at frames 3
    at touch_up 512 500
  done
  at frames 60
  at screenshot "$SHOTS/2-rest.png"
  at frames 24
  at screenshot "$SHOTS/3-before.png"
  at touch_down 243 358
  for xy in "271 330" "299 302" "328 273" "356 245" "384 217"; do
    at frames 3
    at touch_move $xy
  done
  at frames 27
  at screenshot "$SHOTS/4-during.png"
  at frames 3
  at touch_move 420 190
  at frames 3
  at touch_up 420 190
  at frames 9
  at screenshot "$SHOTS/5-after.png"
  at frames 27
  at screenshot "$SHOTS/6-later.png"
  at frames 54
  at screenshot "$SHOTS/7-later.png"
  at frames 102
  at screenshot "$SHOTS/8-later.png"
  at frames 90
  at exit
} >>"$WORK/script.txt"
e2e_run_game 120
for n in 1-prologue 2-rest 3-before 4-during 5-after 6-later 7-later 8-later; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done
grep -q "Game frames: a fixed step" "$LOG" || fail "the level did not run on a fixed step"
e2e_log_in_order "PushScreen: 'MainMenu'" "Timeline starting event 'E01_STORY_1'" "Timeline starting event 'E01_STORY_4'" \
                 "Timeline starting event 'E01_L01'" "Level 'worlds/e01-l01.xml' started: " "PushScreen: 'GameDeziDedi'"

# The HUD during the level: the stopwatch (orange rim) with its time
# (cream), the fruit counter (a slate silhouette per fruit still to take,
# three in this level) and the lives (a pink worm head each, three).
hud() { "$PROBE" "$SHOTS/3-before.png" count "$@"; }
clock=$(hud 15 15 75 80 200 255 100 190 0 90)
time=$(hud 85 35 145 62 240 255 235 255 200 240)
fruit=$(for x in 465 497 529; do hud $x 25 $((x + 30)) 60 40 120 60 140 90 170; done | tr '\n' ' ')
lives=$(for x in 30 62 94; do hud $x 98 $((x + 32)) 130 225 255 100 185 130 205; done | tr '\n' ' ')
echo "HUD pixels: clock $clock, time $time, fruit slots $fruit, lives $lives"
[ "$clock" -gt 150 ] && [ "$time" -gt 60 ] || fail "the clock is not shown"
for n in $fruit; do [ "$n" -gt 150 ] || fail "a fruit slot is missing ($fruit)"; done
for n in $lives; do [ "$n" -gt 100 ] || fail "a life is missing ($lives)"; done
[ "$(hud 560 25 600 60 40 120 60 140 90 170)" -lt 10 ] || fail "more fruit slots than fruit"
# The game gives its pictures and sounds back when the program ends.
grep -q -F "Unloading Game 'DeziDedi'" "$LOG" || fail "the game was not unloaded at exit"

# The prologue's panel (dark glass) covers the bottom, then is gone.
glass="20 70 50 90 40 80"
p1=$("$PROBE" "$SHOTS/1-prologue.png" count 100 450 900 560 $glass)
p2=$("$PROBE" "$SHOTS/3-before.png" count 100 450 900 560 $glass)
echo "prologue panel pixels: $p1, then $p2"
[ "$p1" -gt 20000 ] && [ "$p2" -lt 2000 ] || fail "the prologue panel was not shown and clicked away ($p1, $p2)"

# The worm (pink): where the tail hangs and where the finger goes.
pink="225 255 100 185 130 205"
pink_at() { "$PROBE" "$SHOTS/$1.png" count $2 $3 $4 $5 $pink; }
hang_before=$(pink_at 3-before 188 318 298 398)
finger_before=$(pink_at 3-before 334 167 434 267)
hang_during=$(pink_at 4-during 188 318 298 398)
finger_during=$(pink_at 4-during 334 167 434 267)
finger_later=$(for n in 6-later 7-later 8-later; do pink_at $n 334 167 434 267; done | sort -n | head -1)
all_before=$(pink_at 3-before 0 0 1024 600)
all_during=$(pink_at 4-during 0 0 1024 600)
echo "worm at the tail's place: $hang_before, then $hang_during; at the finger: $finger_before, $finger_during, then $finger_later"
echo "worm pixels: $all_before at rest, $all_during held"
[ "$hang_before" -gt 200 ] && [ "$finger_before" -lt 20 ] || fail "the worm does not hang where it should"
[ "$hang_during" -lt 50 ] && [ "$finger_during" -gt 300 ] || fail "the tail did not follow the finger"
awk "BEGIN { exit !($all_during > 1.1 * $all_before) }" || fail "the held worm is not stretched"
[ "$finger_later" -lt 50 ] || fail "the worm stayed where it was let go ($finger_later)"
swing=$(for n in 6-later 7-later 8-later; do "$PROBE" "$SHOTS/5-after.png" diff "$SHOTS/$n.png" 120 150 460 420; done |
  sort -g | tail -1)
echo "the worm's region changes by up to $swing after the release"
awk "BEGIN { exit !($swing > 5) }" || fail "the worm was not flung ($swing)"

# The camera: a peg (brown rings, still in the world) seen from it. At
# rest it barely drifts; after the swing it has moved.
peg_top() {
  for y in $(seq 150 2 440); do
    n=$("$PROBE" "$SHOTS/$1.png" count 610 $y 650 $((y + 2)) 60 140 30 100 10 70)
    [ "$n" -gt 6 ] && { echo $y; return; }
  done
  echo -1
}
rest=$(peg_top 2-rest)
before=$(peg_top 3-before)
[ "$rest" -ge 0 ] && [ "$before" -ge 0 ] || fail "the peg was not found at rest"
d_rest=$((before - rest)); d_rest=${d_rest#-}
d_swing=0
for n in 4-during 5-after 6-later 7-later 8-later; do
  at=$(peg_top $n)
  [ "$at" -ge 0 ] || fail "the peg was not found in $n"
  d=$((at - before)); d=${d#-}
  if [ "$d" -gt "$d_swing" ]; then d_swing=$d; fi
done
echo "a peg's top edge on the screen: $rest, then $before at rest; up to $d_swing px away during the swing"
[ "$d_rest" -lt 12 ] || fail "the camera moved at rest ($d_rest px)"
[ "$d_swing" -gt 30 ] || fail "the camera did not follow the swing ($d_swing px)"
echo "the game end to end: all shown; pictures in $SHOTS"
