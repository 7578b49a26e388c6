#!/bin/sh
# Where Play goes on after a restart: the real executable under Xvfb, in
# developer mode (its key 'C' wins a level at once), on a player who is at
# the first level. Each run leaves the game another way, the next run's
# Play must go on with the level after the last one won.
# Where a level is played a while (its worm's tail held), the profile's
# total time played counts its seconds however it is left: Replay,
# Restart, the main menu (run 4), Next and the window's close (run 6).
# The level's clock runs on a fixed step (the settings' "fixed_step").
# Run 1: Play, the first level won, the result screen's menu button, the
# main menu's Quit. Run 2: Play starts the second level; won, the window
# is closed on the result screen. Run 3: Play starts the third level; won,
# the result screen's Replay starts it again. Run 4: the level selection
# starts the first level; won, its Replay and the pause menu's Restart
# start that level again, and the pause menu's main menu and Quit leave
# it. Run 5: Play goes on with the fourth level all the same: replaying
# an earlier level never takes the player's place back. Runs 6 and 7: a
# later level from the selection, won, and the next after it, never take
# the place on either. Runs 8 and 9: for a new player, who has no place,
# neither is the place either: Play begins the story at its first event.
# The level's in-play screen of run 2, with the HUD's stopwatch and time
# at their place, is kept in the folder given as the fourth argument, with
# the log of each run.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA"
ln -s "$HERE/labs/developer.xml" "$WORK/app/native/developer.xml"
rm "$WORK/app/native/prog.xml"
sed 's|program_id="worm"|program_id="worm" fixed_step="1"|' "$DATA/prog.xml" >"$WORK/app/native/prog.xml"
P="$WORK/data/Vantreo/Worm/profiles"
mkdir -p "$P"
printf '<?xml version="1.0"?>\n<root>\n<array id="!PROFILE_INDEX">\n<node id="1.xml"/>\n</array>\n</root>\n' >"$P/index.xml"
printf '<?xml version="1.0"?>\n<root>\n<array id="!INFO">\n<node id="name" value="Anna"/>\n</array>\n<array id="INFO">\n<node id="STORY_START_SHOWN" tag="1"/>\n</array>\n<array id="!SAVE_STATE">\n<node id="timeline" value="timeline.xml"/>\n</array>\n<array id="!TIMELINES">\n<node id="timeline.xml" event="E01_L01" game="DeziDedi"/>\n</array>\n</root>\n' >"$P/1.xml"

# The main menu's Play (512, 315) and Quit (512, 540); the result
# screen's menu button (372, 461) and Replay (465, 461).
# play_and_win N WORLD: the lines of run N up to its level's result screen.
play_and_win() {
  e2e_wait_menu 0 "$1"
  echo "0 frames 10"
  e2e_tap 0 512 315
  e2e_wait 0 "$1" "Level '$2' started"
  e2e_wait 0 "$1" "Removing 'TimelineTransition' from Screen Stack"
  echo "0 frames 30"
  echo "0 key C"
  e2e_wait 0 "$1" "Screen 'GameLevelCompleted' fully in."
}
run() {
  cd "$WORK"
  status=0
  KODO_HOST_SCRIPT="$WORK/script-$1.txt" SDL_AUDIODRIVER=dummy e2e_timeout 120 sh "$XVFB" "$WORM" \
    >"$WORK/out.txt" 2>&1 || status=$?
  LOG=$(ls "$WORK"/data/*/*/logs/kodo-000$1.log 2>/dev/null | head -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/log-$1.txt"
  [ "$status" = 0 ] || fail "run $1: exit status $status"
  [ -n "$LOG" ] || fail "run $1: no log file written"
}
# hold X Y: lines that wait out the level's opening (the goal shown and
# the camera back at the worm), then hold the worm's tail at X Y for 130
# frames; with the 10 frames to what ends the level, 2.33 s on its clock.
hold() {
  echo "0 frames 300"
  echo "0 touch_down $1 $2"
  echo "0 frames 130"
  echo "0 touch_up $1 $2"
  echo "0 frames 10"
}
# played N SECONDS: after run N the profile counts SECONDS played in all.
played() {
  t=$(grep -o 'id="total_time_played" time="[0-9]*"' "$P/1.xml" | grep -o '[0-9]*"$' | tr -d '"')
  [ "${t:-0}" = "$2" ] || fail "run $1: $2 s played in all, the profile counts ${t:-none}"
}
# started N EVENT: run N's Play started EVENT, the first it started.
started() {
  first=$(grep -F "Timeline starting event" "$LOG" | head -1)
  case "$first" in *"'$2'"*) ;; *) fail "run $1: Play did not go on with $2: $first" ;; esac
  echo "run $1: Play started $2"
}

{
  play_and_win 1 worlds/e01-l01.xml
  echo "0 frames 10"
  e2e_tap 0 372 461
  e2e_wait 0 1 "Screen 'MainMenu' fully in."
  echo "0 frames 10"
  e2e_tap 0 512 540
} >"$WORK/script-1.txt"
run 1
started 1 E01_L01
grep -q -F "Level completed: 'E01_L01'" "$LOG" || fail "run 1: the first level was not won"

{
  play_and_win 2 worlds/e01-l02.xml
  echo "0 frames 10"
  echo "0 exit"
} >"$WORK/script-2.txt"
sed -i 's|^0 frames 30$|0 frames 30\n0 screenshot '"$SHOTS"'/level-2.png|' "$WORK/script-2.txt"
run 2
started 2 E01_L02
grep -q -F "Level completed: 'E01_L02'" "$LOG" || fail "run 2: the second level was not won"
# The HUD's stopwatch: its orange rim at the top left corner, the time
# (white) beside it, nothing of either further right.
count() { "$PROBE" "$SHOTS/level-2.png" count "$@"; }
rim=$(count 16 18 76 78 200 255 100 180 0 80) rim_off=$(count 100 18 160 78 200 255 100 180 0 80)
time=$(count 80 36 150 62 200 255 200 255 200 255) time_off=$(count 160 36 230 62 200 255 200 255 200 255)
echo "run 2: stopwatch rim $rim pixels ($rim_off beside it), time $time pixels ($time_off beside it)"
[ "$rim" -gt 150 ] && [ "$rim_off" -lt 20 ] && [ "$time" -gt 80 ] && [ "$time_off" -lt 20 ] ||
  fail "run 2: the stopwatch or the time is not in its place"

{
  play_and_win 3 worlds/e01-l03.xml
  echo "0 frames 10"
  e2e_tap 0 465 461
  e2e_wait 0 3 "Level 'worlds/e01-l03.xml' started"
  echo "0 frames 10"
  echo "0 exit"
} >"$WORK/script-3.txt"
run 3
started 3 E01_L03
# The result screen's Replay plays the won level again, not the next.
[ "$(grep -c -F "Timeline starting event 'E01_L03'" "$LOG")" = 2 ] || fail "run 3: Replay did not start the level again"
if grep -q -F "Timeline starting event 'E01_L04'" "$LOG"; then fail "run 3: Replay started the next level"; fi

# The main menu's Levels (512, 390), the selection's first tile (184, 240),
# the game's pause button (950, 51), the pause menu's Restart (512, 367)
# and main menu (512, 440).
{
  e2e_wait_menu 0 4
  echo "0 frames 10"
  e2e_tap 0 512 390
  e2e_wait 0 4 "Screen 'LevelSelect' fully in."
  echo "0 frames 10"
  e2e_tap 0 184 240
  e2e_wait 0 4 "Removing 'TimelineTransition' from Screen Stack"
  hold 217 364
  echo "0 key C"
  e2e_wait 0 4 "Screen 'GameLevelCompleted' fully in."
  echo "0 frames 10"
  e2e_tap 0 465 461
  e2e_wait 0 4 "Removing 'TimelineTransition' from Screen Stack"
  hold 217 364
  e2e_tap 0 950 51
  e2e_wait 0 4 "Screen 'GamePopMenu' fully in."
  echo "0 frames 10"
  e2e_tap 0 512 367
  e2e_wait 0 4 "Removing 'TimelineTransition' from Screen Stack"
  hold 217 364
  e2e_tap 0 950 51
  e2e_wait 0 4 "Screen 'GamePopMenu' fully in."
  echo "0 frames 10"
  e2e_tap 0 512 440
  e2e_wait 0 4 "Screen 'MainMenu' fully in."
  echo "0 frames 10"
  e2e_tap 0 512 540
} >"$WORK/script-4.txt"
run 4
started 4 E01_L01
# The first level three times (the selection, Replay, Restart), won once,
# and no other level.
[ "$(grep -c -F "Level 'worlds/e01-l01.xml' started" "$LOG")" = 3 ] || fail "run 4: the first level did not start three times"
grep -q -F "Level completed: 'E01_L01'" "$LOG" || fail "run 4: the first level was not won"
if grep "Timeline starting event" "$LOG" | grep -v -q -F "'E01_L01'"; then fail "run 4: another event started"; fi
played 4 6

{
  e2e_wait_menu 0 5
  echo "0 frames 10"
  e2e_tap 0 512 315
  e2e_wait 0 5 "Removing 'TimelineTransition' from Screen Stack"
  echo "0 frames 10"
  echo "0 exit"
} >"$WORK/script-5.txt"
run 5
started 5 E01_L04

# A later level from the selection (its sixth tile, 184, 420), won, and
# the result screen's Next (605, 461) to the seventh, the window closed
# there. Run 7: Play goes on with the fourth level all the same: a level
# begun from the selection never moves the player's place on.
{
  e2e_wait_menu 4000 6
  e2e_tap 4100 512 390
  e2e_wait 4300 6 "Screen 'LevelSelect' fully in."
  e2e_tap 4400 184 420
  e2e_wait 4600 6 "Removing 'TimelineTransition' from Screen Stack"
  hold 180 358 | sed 's/^0 /4700 /'
  echo "4800 key C"
  e2e_wait 4900 6 "Screen 'GameLevelCompleted' fully in."
  e2e_tap 5000 605 461
  e2e_wait 5200 6 "Level 'worlds/e01-l07.xml' started"
  e2e_wait 5200 6 "Removing 'TimelineTransition' from Screen Stack"
  hold 157 364 | sed 's/^0 /5250 /'
  echo "5300 exit"
} >"$WORK/script-6.txt"
run 6
started 6 E01_L06
grep -q -F "Level completed: 'E01_L06'" "$LOG" || fail "run 6: the sixth level was not won"
grep -q -F "Timeline keeps the position 'E01_L04': 'E01_L07'" "$LOG" || fail "run 6: the seventh level was saved as the place"
played 6 10
sed "s/kodo-0005/kodo-0007/" "$WORK/script-5.txt" >"$WORK/script-7.txt"
run 7
started 7 E01_L04

# Runs 8 and 9: run 6 and run 5 again, for a new player (no profile).
rm -r "$P"
sed "s/kodo-0006/kodo-0008/" "$WORK/script-6.txt" >"$WORK/script-8.txt"
run 8
grep -q -F "Level completed: 'E01_L06'" "$LOG" || fail "run 8: the sixth level was not won"
sed "s/kodo-0005/kodo-0009/" "$WORK/script-5.txt" >"$WORK/script-9.txt"
run 9
started 9 E01_STORY_1
echo "Play goes on after the last level won, left by the menu and by closing the window, and not after a later level begun from the selection; logs in $SHOTS"
