#!/bin/sh
# A homing bug killed by the worm's tail, end to end: the real executable
# under Xvfb, its timeline laid over the bundled tree so that the main
# menu's Play starts a small world of one homing bug below the worm
# (hazards/homing-world.xml), and the game's replay of a fixed input
# (hazards/homing-kill.txt) dropping the tail onto the bug as it comes
# up. The kill must be logged (the kill streak's "<clock> killed 1") and
# counted in the profile saved at the exit ("GAME"/"bugs_killed", none
# before), and the worm must live.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
. "$HERE/hazards/replay-level.sh"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
replay_level_tree "$HERE/hazards/homing-timeline.xml" "$HERE/hazards/homing-kill.txt" \
  "$HERE/hazards/homing-world.xml" e02-l09.xml
e2e_run_game 120
e2e_log_in_order "Timeline starting event 'E02_L09'" "Level 'worlds/e02-l09.xml' started: " "Game replay: step 400 "
if grep -q "Level failed" "$LOG"; then fail "the worm died"; fi
e2e_log_in_order "killed 1"

# The profile saved at the exit: a fresh one had no kill; now it has one.
PROFILE=$(ls "$WORK"/data/*/*/profiles/1.xml 2>/dev/null | head -1)
[ -n "$PROFILE" ] || fail "no profile saved"
cp "$PROFILE" "$SHOTS/profile.xml"
killed=$(grep -o '<node id="bugs_killed" amount="[0-9]*"' "$PROFILE" | grep -o '[0-9]*"$' | tr -d '"')
echo "bugs killed in the saved profile: ${killed:-none}"
[ "${killed:-0}" = 1 ] || fail "the kill was not counted in the profile (${killed:-none})"
echo "the homing bug killed end to end: all shown"
