#!/bin/sh
# The boss fight end to end: the real executable under Xvfb, its timeline
# laid over the bundled tree so that the main menu's Play starts the boss
# level (tests/e2e/boss/timeline.xml), and the game's replay of a fixed
# input (tests/e2e/boss/fight.txt) grabbing and flinging the worm's tail
# into the boss nine times. The log must show the level and the boss's
# hit points going down blow by blow to 0; screenshots every quarter
# second show the health bar over the boss, full before the first blow
# and at half later on. The pictures are kept in the folder given as the
# fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA"
rm "$WORK/app/native/prog.xml" "$WORK/app/native/timeline.xml"
cp "$HERE/boss/timeline.xml" "$WORK/app/native/timeline.xml"
sed 's|program_id="worm"|program_id="worm" game_replay="res://replay.txt"|' "$DATA/prog.xml" \
  > "$WORK/app/native/prog.xml"
cp "$HERE/boss/fight.txt" "$WORK/app/native/replay.txt"

# Play on the main menu; the replay ends the program at its "end" line,
# the last line below only if it never comes.
{
  echo "$(pace 6000) touch_down 512 315"
  echo "$(pace 6100) touch_up 512 315"
  t=$(pace 7000)
  end=$(pace 50000)
  while [ "$t" -lt "$end" ]; do
    echo "$t screenshot $SHOTS/shot-$t.png"
    t=$((t + 250))
  done
  echo "$(pace 90000) exit"
} > "$WORK/script.txt"
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy timeout 300 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
fail() {
  echo "FAILED: $*"
  [ -n "$LOG" ] && tail -40 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$LOG" ] || fail "no log file written"
grep -q "Level 'worlds/e02-l04.xml' started: " "$LOG" || fail "the boss level did not start"
grep -q "Game replay: step .* hash " "$LOG" || fail "the replay did not run to its end"

# Each blow takes one hit point, from 9 down to 0.
hits=$(grep -o "Boss hit: [0-9]* hit points left" "$LOG" | awk '{print $3}' | tr '\n' ' ')
echo "the boss's hit points after each blow: $hits"
expect=8
for h in $hits; do
  [ "$h" = "$expect" ] || fail "the boss went to $h hit points, not $expect"
  expect=$((expect - 1))
done
[ "$expect" = -1 ] || fail "the boss was not beaten (hit points after the blows: $hits)"

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
