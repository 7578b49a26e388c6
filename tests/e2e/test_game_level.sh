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
e2e_data_tree "$WORK" "$DATA"

# Times in ms from the host's start (scaled by GAME_PACE). The level
# starts with the prologue, six lines clicked through on its panel; the
# worm's tail then hangs at about (243, 358), swinging a little. The
# level runs on its own clock, which a slow build lets fall behind the
# host's: the level's start waits for its transition, the prologue's
# clicks for frames ("frames", about 60 a second), and what follows the
# release is judged on the best of three later shots.
game_start_script "$WORK/script.txt"
{
  e2e_wait "$(pace 22000)" 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "$(pace 22500) frames 30"
  echo "$(pace 23000) screenshot $SHOTS/1-prologue.png"
  t=$(pace 23500)
  for i in 1 2 3 4 5 6; do
    echo "$t frames 24"
    echo "$t touch_down 512 500"
    echo "$((t + 50)) touch_up 512 500"
    t=$((t + $(pace 400)))
  done
} >>"$WORK/script.txt"
# The level's clock is the frames' real lengths (up to 200 ms each), so
# the drag and the shots after it keep the host's clock, each shot after
# at least two frames more than the lines before it (a busy machine may
# draw none in a while); the shots before it wait for frames.
d=$(pace 27000)
cat >> "$WORK/script.txt" <<END
$(pace 26000) frames 60
$(pace 26500) screenshot $SHOTS/2-rest.png
$((d - 200)) frames 24
$((d - 100)) screenshot $SHOTS/3-before.png
$d touch_down 243 358
$((d + 50)) touch_move 271 330
$((d + 100)) touch_move 299 302
$((d + 150)) touch_move 328 273
$((d + 200)) touch_move 356 245
$((d + 250)) touch_move 384 217
$((d + 700)) frames 2
$((d + 700)) screenshot $SHOTS/4-during.png
$((d + 750)) touch_move 420 190
$((d + 800)) touch_up 420 190
$((d + 950)) frames 2
$((d + 950)) screenshot $SHOTS/5-after.png
$((d + 1400)) frames 2
$((d + 1400)) screenshot $SHOTS/6-later.png
$((d + 2300)) frames 2
$((d + 2300)) screenshot $SHOTS/7-later.png
$((d + 4000)) frames 2
$((d + 4000)) screenshot $SHOTS/8-later.png
$((d + 5500)) exit
END
e2e_run_game 120
for n in 1-prologue 2-rest 3-before 4-during 5-after 6-later 7-later 8-later; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done
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
