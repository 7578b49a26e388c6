#!/bin/sh
# The leaderboards end to end: the real executable under Xvfb with
# scripted input, the bundled data, in developer mode.
#
# Run 1: the main menu's Play starts the first level, and the developer's
# key 'C' wins it; the result screen submits the level's score to the
# table of episode 1.
# Run 2, in the same folder: Extras, then the round leaderboards button;
# the table of episode 1 shows that score in its first row. The arrows
# step to the last category, the developer's test table (the left arrow
# shown, the right one faded); "Submit50" fills more rows than the view
# holds, drawn clipped to the view; a drag scrolls them (a step every
# three frames: a busy host folds moves spaced by its clock into one frame).
# Runs 3 and 4: a new player "Bob" is made beside the unnamed one, who
# keeps what it won after a restart. Run 5: a new player the disk does not
# take is not made, and a message says so.
# Screenshots are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

mkdir -p "$WORK/ui"
sed 's|CallOrTell ("ResumeSavedTimelineEvent");|CallOrTell ("BeginTimelineEvent", "E01_L01");|' \
  "$DATA/ui/main-menu-events.lua" >"$WORK/ui/main-menu-events.lua"
e2e_data_tree "$WORK" "$DATA" "$WORK/ui"
ln -s "$HERE/flow/developer.xml" "$WORK/app/native/developer.xml"
# The player has a long name, longer than the name field allows.
LONG_NAME="WILHELMINA WORTHINGTON-WORMSB"
mkdir -p "$WORK/data/Vantreo/Worm/profiles"
cat >"$WORK/data/Vantreo/Worm/profiles/index.xml" <<END
<?xml version="1.0" encoding="iso-8859-1"?>
<root>
	<array id="!PROFILE_INDEX"><node id="1.xml" /></array>
	<array id="!STATE"><node id="ACTIVE_PROFILE" index="0" /></array>
</root>
END
cat >"$WORK/data/Vantreo/Worm/profiles/1.xml" <<END
<?xml version="1.0" encoding="iso-8859-1"?>
<root>
	<array id="!INFO"><node id="name" value="$LONG_NAME" /></array>
</root>
END

run() {
  status=0
  (cd "$WORK" && KODO_HOST_SCRIPT="$1" SDL_AUDIODRIVER=dummy e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1) ||
    status=$?
  LOG=$(ls "$WORK"/data/*/*/logs/kodo-000"$2".log 2>/dev/null | head -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/log-$2.txt"
  [ "$status" = 0 ] || fail "run $2: exit status $status"
  [ -n "$LOG" ] || fail "run $2: no log file written"
}

# Run 1: Play (512, 315), then 'C' once the level is up (one press: on
# the result screen the developer's 'C' would end the event), until the
# result screen has submitted.
{
  e2e_wait_menu 0
  echo "0 frames 10"
  e2e_tap 0 512 315
  e2e_wait 0 1 "PushScreen: 'GameDeziDedi'"
  e2e_wait 0 1 "Removing 'TimelineTransition' from Screen Stack"
  echo "0 frames 10"
  echo "0 key C"
  e2e_wait 0 1 "Submit #1 - "
  echo "0 frames 10"
  echo "0 exit"
} >"$WORK/run1.txt"
run "$WORK/run1.txt" 1
e2e_log_in_order "Submit #1 - " "Level completed: 'E01_L01'"
points=$(grep -o "Submit #1 - [0-9]* by" "$LOG" | head -1 | sed 's/Submit #1 - \([0-9]*\) by/\1/')
[ "${points:-0}" -ge 5000 ] || fail "the level's score is $points"
USER_DIR=$(dirname "$(dirname "$LOG")")
grep -q "<array id=\"EPISODE_1\">" "$USER_DIR/leaderboards-db.xml" || fail "no episode 1 table in the database"
grep -q "points=\"$points\"" "$USER_DIR/leaderboards-db.xml" || fail "the score $points is not in the database"

# Run 2. Extras (512, 465), its leaderboards button (952, 534); the
# category arrows at (222, 103) and (802, 103); Submit50 at (644, 503);
# the view is 580 x 300 from (226, 180).
w() { e2e_wait "$1" 2 "$2"; }
cat >"$WORK/run2.txt" <<END
$(e2e_wait_menu 0 2)
0 frames 10
$(e2e_tap 0 512 465)
$(w 0 "Screen 'Extras' fully in.")
0 frames 10
$(e2e_tap 0 952 534)
$(w 0 "Setting Leaderboards Category 'EPISODE_1'")
$(w 0 "Screen 'Leaderboards' fully in.")
0 frames 10
0 touch_move 1010 10
0 frames 30
0 screenshot $SHOTS/1-episode-1.png
0 frames 10
$(e2e_tap 0 802 103)
$(w 0 "Setting Leaderboards Category 'EPISODE_2'")
0 frames 30
0 screenshot $SHOTS/1-episode-2.png
0 frames 10
$(e2e_tap 0 802 103)
$(w 0 "Setting Leaderboards Category 'TEST_CATEGORY'")
0 frames 10
$(e2e_tap 0 644 503)
$(w 0 "Submit #")
0 frames 10
0 touch_move 1010 10
0 frames 60
0 screenshot $SHOTS/2-test-scores.png
0 frames 10
$(e2e_tap 0 802 103)
0 frames 10
0 touch_down 512 440
0 frames 3
0 touch_move 512 400
0 frames 3
0 touch_move 512 340
0 frames 3
0 touch_move 512 280
0 frames 3
0 touch_move 512 220
0 frames 3
0 touch_up 512 220
0 frames 60
0 screenshot $SHOTS/3-scrolled.png
0 frames 10
0 exit
END
run "$WORK/run2.txt" 2
e2e_log_in_order "PushScreen: 'Leaderboards'" "Setting Leaderboards Category 'EPISODE_1'" \
  "Setting Leaderboards Category 'TEST_CATEGORY'" "Submit #"
n=$(grep -c "Submit #" "$LOG")
[ "$n" = 50 ] || fail "Submit50 submitted $n scores"
# The last category: the tap on the faded right arrow asked for nothing.
[ "$(grep -c "Setting Leaderboards Category" "$LOG")" = 4 ] || fail "a category was set after the last"

grep -q "Submit #1 - [0-9]* by '$LONG_NAME'" "$SHOTS/log-1.txt" || fail "the score was not submitted under the long name"
for s in 1-episode-1 1-episode-2 2-test-scores 3-scrolled; do [ -s "$SHOTS/$s.png" ] || fail "screenshot $s missing"; done
# Text pixels (cream-white rows on the dark glass): the won level's row,
# and nothing below it in episode 1's table.
cream="200 255 200 255 180 255"
first=$("$PROBE" "$SHOTS/1-episode-1.png" count 226 180 806 210 $cream)
second=$("$PROBE" "$SHOTS/1-episode-1.png" count 226 215 806 480 $cream)
echo "episode 1: first row $first text pixels, below it $second"
[ "$first" -gt 100 ] && [ "$second" -lt 20 ] || fail "episode 1's table does not show the one score"
# The long name ends before the points: a clear gap left of the widest
# points' column (five digits end at the view's right, 786).
gap=$("$PROBE" "$SHOTS/1-episode-1.png" count 700 180 716 210 $cream)
echo "episode 1: $gap text pixels between the name and the points"
[ "$gap" -lt 3 ] || fail "the long name runs into the points ($gap)"
# Episode 2 has no score yet, and says so in its view.
empty=$("$PROBE" "$SHOTS/1-episode-2.png" count 226 180 806 480 $cream)
echo "episode 2: $empty text pixels in the empty view"
[ "$empty" -gt 150 ] || fail "the empty table does not say that it is empty ($empty)"
# Fifty rows: the view is full, and nothing is drawn between its bottom
# and the buttons.
full=$("$PROBE" "$SHOTS/2-test-scores.png" count 226 420 806 480 $cream)
under=$("$PROBE" "$SHOTS/2-test-scores.png" count 226 482 806 488 $cream)
echo "test scores: $full text pixels at the view's foot, $under under it"
[ "$full" -gt 100 ] || fail "the rows do not fill the view ($full)"
[ "$under" -lt 5 ] || fail "rows are drawn outside the view ($under)"
# The arrows on the last category: the right one faded, the left one not.
d=$("$PROBE" "$SHOTS/1-episode-1.png" diff "$SHOTS/2-test-scores.png" 780 80 824 126)
dl=$("$PROBE" "$SHOTS/1-episode-1.png" diff "$SHOTS/2-test-scores.png" 200 80 244 126)
echo "right arrow changed by $d, left arrow by $dl"
awk "BEGIN { exit !($d > 10 && $dl > 10) }" || fail "the arrows do not fade at the ends ($dl, $d)"
# The drag moved the rows up.
moved=$("$PROBE" "$SHOTS/2-test-scores.png" diff "$SHOTS/3-scrolled.png" 226 180 806 480)
echo "the drag changed the view by $moved"
awk "BEGIN { exit !($moved > 5) }" || fail "the drag did not scroll the rows ($moved)"
# Run 3: the unnamed player, who won a level and holds a score, makes a
# new player: Extras, Players (512, 222), New (347, 490), "Bob" and Enter.
# The unnamed player is kept beside Bob, with what it won.
# The long-named player of runs 1 and 2 becomes the unnamed one first.
sed -i 's|<node id="name" value="[^"]*"|<node id="name" value=""|' "$USER_DIR/profiles/1.xml"
grep -q '<node id="name" value=""' "$USER_DIR/profiles/1.xml" || fail "the first player's name could not be cleared"
cat >"$WORK/run3.txt" <<END
$(e2e_wait_menu 0 3)
0 frames 10
$(e2e_tap 0 512 465)
$(e2e_wait 0 3 "Screen 'Extras' fully in.")
0 frames 10
$(e2e_tap 0 512 222)
$(e2e_wait 0 3 "Screen 'Profiles' fully in.")
0 frames 10
$(e2e_tap 0 347 490)
$(e2e_wait 0 3 "Screen 'NewProfile' fully in.")
0 frames 10
0 key B
0 frames 10
0 key o
0 frames 10
0 key b
0 frames 10
0 key RETURN
$(e2e_wait 0 3 "Removing 'NewProfile' from Screen Stack")
0 frames 10
0 exit
END
run "$WORK/run3.txt" 3
e2e_log_in_order "The unnamed profile at index #0 holds progress; it is kept." "Saving profile 'Bob'"
grep -q "Detecting temporary profile" "$LOG" && fail "the unnamed player was taken for a temporary one"

# Run 4, a restart: both players are listed, the unnamed one still holds
# its won level, and Bob plays.
cat >"$WORK/run4.txt" <<END
$(e2e_wait_menu 0 4)
0 frames 10
$(e2e_tap 0 512 465)
$(e2e_wait 0 4 "Screen 'Extras' fully in.")
0 frames 10
$(e2e_tap 0 512 222)
$(e2e_wait 0 4 "Screen 'Profiles' fully in.")
0 frames 10
0 touch_move 1010 10
0 frames 30
0 screenshot $SHOTS/4-players.png
0 frames 10
0 exit
END
run "$WORK/run4.txt" 4
PROFILES="$USER_DIR/profiles"
grep -q 'completed="1"' "$PROFILES/1.xml" || fail "the unnamed player's won level is gone"
grep -q 'value="Bob"' "$PROFILES/2.xml" || fail "Bob's profile is missing"
grep -q '<node id="1.xml"' "$PROFILES/index.xml" || fail "the index lost the unnamed player"
# The list's second row (under "Bob playing") holds the unnamed player.
row=$("$PROBE" "$SHOTS/4-players.png" count 330 172 700 200 $cream)
echo "players: $row text pixels in the second row"
[ "$row" -gt 50 ] || fail "the list does not show a second player"

# Run 5: a disk that takes no new file (a folder where the new player's
# temporary file goes): "Carl" is not made, the players screen stays under
# a message saying so, and the files name the players of before only.
mkdir "$PROFILES/3.xml.tmp"
cat >"$WORK/run5.txt" <<END
$(e2e_wait_menu 5000 5)
6000 touch_down 512 465
6100 touch_up 512 465
$(e2e_wait 6100 5 "PushScreen: 'Extras'")
7000 touch_down 512 222
7100 touch_up 512 222
$(e2e_wait 7100 5 "PushScreen: 'Profiles'")
8000 touch_down 347 490
8100 touch_up 347 490
$(e2e_wait 8100 5 "PushScreen: 'NewProfile'")
9000 key C
9050 key a
9100 key r
9150 key l
9200 key RETURN
$(e2e_wait 9200 5 "PushScreen: 'PopupOk'")
9300 exit
END
run "$WORK/run5.txt" 5
e2e_log_in_order "Saving 'user://profiles/3.xml' failed" "PushScreen: 'PopupOk'"
grep -q "Removing 'NewProfile' from Screen Stack" "$LOG" && fail "the new player's screen closed as if Carl was made"
[ ! -e "$PROFILES/3.xml" ] || fail "Carl's profile was written"
grep -q 'value="Carl"' "$PROFILES"/*.xml && fail "a file names Carl"

echo "leaderboards end to end: a won level's score, stepping, fifty test scores, clipping, scrolling, a new player beside the unnamed one that won, one the disk does not take; pictures in $SHOTS"
