#!/bin/sh
# The boss fight end to end: the real executable under Xvfb, its
# timeline laid over the bundled tree so that the main menu's Play starts
# the boss level (hazards/boss-timeline.xml), and the game's replay of a
# fixed input (hazards/boss-fight.txt) grabbing and flinging the worm's
# tail into the boss until it falls, following it from branch to branch
# as it flies its route across the arena (found by
# tests/tools/level-search.cpp).
# The log must show the level, the boss's
# hit points going down blow by blow to 0 and the level won; screenshots
# show the health bar over the boss, full before the first blow (every 24
# frames from the level's start) and at half later on (every 24 frames
# from the third blow, as the log tells of it, for 30 shots).
# The pictures are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
. "$HERE/hazards/replay-level.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
# Where the boss waits, its health bar (104 x 18 pixels at 30 pixels a
# unit, 1.9 units above it) covers no branch (a disc of at most 0.9
# units), and its four path points lie across the arena, far from where
# it starts.
awk -F'"' 'BEGIN { n = 0 } /actors\/(peg|platform)/ { px[n] = $4; py[n] = $6; n++ }
  /actors\/bug-boss.xml/ { for (i = 1; i < NF; i += 2) v[$i] = $(i + 1) }
  END {
    bx = v[" x="]; by = v[" y="] - 1.9
    for (i = 0; i < n; i++) {
      dx = px[i] - bx; dy = py[i] - by
      if (dx < 0) dx = -dx; if (dy < 0) dy = -dy
      if (dx < 1.74 + 0.9 && dy < 0.3 + 0.9) { print "the health bar covers the branch at " px[i] ", " py[i]; bad = 1 }
    }
    split("x2 y2 move_x2 move_y2 x3 y3 move_x3 move_y3", k, " ")
    for (i = 1; i <= 8; i += 2) {
      dx = v[" " k[i] "="] - v[" x="]; dy = v[" " k[i + 1] "="] - v[" y="]
      if (dx * dx + dy * dy < 64) { print "path point " (i + 1) / 2 " lies within 8 units of the start"; bad = 1 }
    }
    exit bad
  }' "$DATA/worlds/e02-l10.xml" || fail "the boss's start or route"
replay_level_tree "$HERE/hazards/boss-timeline.xml" "$HERE/hazards/boss-fight.txt"
# Equal times keep their order; the waits and frame counts space them.
# The lines come due with the tap on Play (a wait is looked for only once
# it is due), so that the shots count frames from the level's start.
t=$(pace 5000)
{
  e2e_wait "$t" 1 "Level 'worlds/e02-l10.xml' started"
  for n in 10 11 12 13 14 15 16 17; do
    echo "$t frames 24"
    echo "$t screenshot $SHOTS/shot-$n.png"
  done
  e2e_wait "$t" 1 "Boss hit: 6 hit points left"
  for n in 20 21 22 23 24 25 26 27 28 29 30 31 32 33 34 35 36 37 38 39 40 41 42 43 44 45 46 47 48 49; do
    echo "$t frames 24"
    echo "$t screenshot $SHOTS/shot-$n.png"
  done
} >>"$WORK/script.txt"
e2e_run_game 120
e2e_log_in_order "Timeline starting event 'E02_L10'" "Level 'worlds/e02-l10.xml' started: " "Boss hit: 0 hit points left" \
  "Level completed: 'E02_L10'" "Game replay: step "

# Each hit takes one hit point, from 9 down to 0.
hits=$(grep -o "Boss hit: [0-9]* hit points left" "$LOG" | awk '{print $3}' | tr '\n' ' ')
echo "the boss's hit points after each blow: $hits"
expect=8
for h in $hits; do
  [ "$h" = "$expect" ] || fail "the boss went to $h hit points, not $expect"
  expect=$((expect - 1))
done
[ "$expect" = -1 ] || fail "the boss was not beaten (hit points after the blows: $hits)"

if grep -q "Level failed" "$LOG"; then fail "the level was lost as well"; fi

# The health bar: its filled share in every screenshot that shows it.
# Full before the first blow (the bar's rounded ends leave a few percent
# unfilled), and at half (4 or 5 hit points of 9) later on.
for f in "$SHOTS"/shot-*.png; do
  echo "$(basename "$f") $("$PROBE" "$f" bar 0 60 1024 560)"
done > "$SHOTS/bars.txt"
full=$(awk '$2 >= 90 { print $1; exit }' "$SHOTS/bars.txt")
half=$(awk '$2 >= 38 && $2 <= 58 { print $1; exit }' "$SHOTS/bars.txt")
[ -n "$full" ] || fail "no screenshot shows the full health bar"
[ -n "$half" ] || fail "no screenshot shows the health bar at half"
cp "$SHOTS/$full" "$SHOTS/health-full.png"
cp "$SHOTS/$half" "$SHOTS/health-half.png"
echo "health bar: $(grep "^$full " "$SHOTS/bars.txt" | cut -d' ' -f2)% in $full, $(grep "^$half " "$SHOTS/bars.txt" | cut -d' ' -f2)% in $half"
echo "the boss fight end to end: all shown; pictures in $SHOTS"
