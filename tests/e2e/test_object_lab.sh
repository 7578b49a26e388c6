#!/bin/sh
# The object lab end to end: the real executable under Xvfb in developer
# mode; the console (TAB) opens it with PushScreen("ObjectLab"). On the
# egg, a shape with values of its own (no material) and eight vertices: a
# vertex is dragged, a ninth cannot be added, BACKSPACE takes the last and
# a click adds one in its place; the "HitPoints" slider at 0.37 shows
# "Hit Points: 37"; Save writes the file, which holds the new vertices,
# the values and the effect of the shape. A second run finds the saved
# shape in the lab again, and refuses to save a shape whose outline the
# reader refused, a listed file that does not exist and the timeline.
# Screenshots are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA"
ln -s "$HERE/labs/developer.xml" "$WORK/app/native/developer.xml"
rm "$WORK/app/native/actors.xml"
ln -s "$HERE/labs/actors.xml" "$WORK/app/native/actors.xml"
ln -s "$HERE/labs/outline-refused.xml" "$WORK/app/native/outline-refused.xml"
USER_TREE="$WORK/data/Vantreo/Worm"

# A list takes the line under a pressed pointer as it moves: a press, a
# move on the spot and a release pick the line even when all three reach
# the program within one frame.
pick_line() { echo "$1 touch_down $2 $3"; echo "$(($1 + 20)) touch_move $2 $3"; echo "$(($1 + 40)) touch_up $2 $3"; }
# The egg's picture is 32 x 40: the grid shows 12.8 screen pixels per
# shape pixel around (736, 300). A shape point (x, y) is on the screen at:
at() { awk -v x="$1" -v y="$2" 'BEGIN { printf "%d %d", 736 + 12.8 * x + 0.5, 300 + 12.8 * y + 0.5 }'; }
# The lines of "Objects", as tests/e2e/labs/actors.xml lists them.
PEG_LINE="200 57"; EGG_LINE="200 73"; REFUSED_LINE="200 89"; MISSING_LINE="200 105"; TIMELINE_LINE="200 121"
SAVE="227 20"
{
  e2e_wait_menu 0
  e2e_type_line 300 'PushScreen("ObjectLab")'
  e2e_wait 1200 1 "Screen 'ObjectLab' fully in."
  echo "1500 screenshot $SHOTS/1-peg.png"
  pick_line 1600 $EGG_LINE
  e2e_wait 1700 1 "Selecting line with id REFERENCE"
  # The vertex at (13, 0) dragged to (15, 0).
  echo "2000 touch_down $(at 13 0)"
  echo "2050 touch_move $(at 14 0)"
  echo "2100 touch_move $(at 15 0)"
  echo "2150 touch_up $(at 15 0)"
  # A ninth vertex is refused; BACKSPACE takes the eighth, (-9, -12), and
  # a click adds one at (-8, -14), rounded as the lab rounds: (-7, -13).
  e2e_click 2300 $(at 0 0)
  echo "2400 key BACKSPACE"
  e2e_click 2500 $(at -8 -14)
  # The slider's track is 300 pixels from x = 18: 111 pixels in is 0.37.
  pick_line 2700 129 432
  echo "3000 screenshot $SHOTS/2-grid.png"
  e2e_click 3100 $SAVE
  e2e_wait 3200 1 "Object lab: saved 'actors/egg.xml'"
  echo "3500 exit"
} >"$WORK/script.txt"
e2e_run_game 300
cp "$LOG" "$SHOTS/log-1.txt"
EGG="$USER_TREE/actors/egg.xml"
[ -s "$EGG" ] || fail "the egg was not saved"
cp "$EGG" "$SHOTS/egg.xml"
grep -q 'id="hit_points" value="37"' "$EGG" || fail "the slider's 37 hit points were not saved: $(grep hit_points "$EGG")"
grep -q 'id="fx_hit" value="fxs/egg-shell.lua"' "$EGG" || fail "the egg's effect was not saved"
grep -q 'id="damage" value="0"' "$EGG" || fail "the egg's own damage was not saved"
! grep -q 'material' "$EGG" || fail "the egg was saved with a material"
vertices=$(grep -o '<node x="[^"]*" y="[^"]*"' "$EGG" | sed 's/<node x="\([^"]*\)" y="\([^"]*\)"/\1,\2/' | tr '\n' ' ')
echo "saved vertices: $vertices"
[ "$vertices" = "0,-17 9,-12 15,0 10,11 0,17 -10,11 -13,0 -7,-13 " ] || fail "the polygon is not as edited: $vertices"

# Run 2: the saved egg comes back as it was written (Save again gives the
# same file); the peg names a material: its circle dragged smaller, its
# Save says the values were not written, and writes the material and the
# new radius.
cp "$EGG" "$WORK/egg-1.xml"
{
  e2e_wait_menu 0 2
  e2e_type_line 300 'PushScreen("ObjectLab")'
  e2e_wait 1200 2 "Screen 'ObjectLab' fully in."
  pick_line 1500 $EGG_LINE
  e2e_wait 1600 2 "Selecting line with id REFERENCE"
  echo "1900 screenshot $SHOTS/3-reloaded.png"
  e2e_click 2000 $SAVE
  e2e_wait 2100 2 "Object lab: saved 'actors/egg.xml'"
  pick_line 2400 $PEG_LINE
  e2e_wait 2500 2 "Selecting line with id bark"
  # The peg's circle (its picture 44 x 44: 560 / 49 screen pixels per
  # shape pixel) dragged from inside to 12.5 shape pixels below the
  # centre: the radius is the whole pixels of the distance, 12.
  echo "2600 touch_down 736 380"
  echo "2650 touch_move 736 420"
  echo "2700 touch_move 736 443"
  echo "2750 touch_up 736 443"
  e2e_click 2800 $SAVE
  e2e_wait 2900 2 "Object lab: saved 'actors/peg.xml'"
  # Saves refused with a line: a nine-vertex polygon that the reader
  # refused, a listed file that does not exist, the timeline.
  pick_line 3000 $REFUSED_LINE
  e2e_wait 3050 2 "Selecting line with id REFERENCE"
  e2e_click 3100 $SAVE
  e2e_wait 3150 2 "Object lab: 'outline-refused.xml' was not saved: its outline was refused when it was read"
  pick_line 3200 $MISSING_LINE
  e2e_wait 3250 2 "Selecting line with id REFERENCE"
  e2e_click 3300 $SAVE
  e2e_wait 3350 2 "Object lab: 'actors/not-there.xml' was not saved: it could not be read, so there is nothing to write."
  pick_line 3400 $TIMELINE_LINE
  e2e_wait 3450 2 "Selecting line with id REFERENCE"
  e2e_click 3500 $SAVE
  e2e_wait 3550 2 "Object lab: shape 'timeline.xml' names a data file the game reads as something else; not saved."
  echo "3600 screenshot $SHOTS/4-refused.png"
  echo "3700 exit"
} >"$WORK/script.txt"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0002.log | head -1)
cp "$LOG" "$SHOTS/log-2.txt"
cmp -s "$WORK/egg-1.xml" "$EGG" || fail "the egg read back and saved again differs: $(diff "$WORK/egg-1.xml" "$EGG")"
grep -q "takes its values from the material 'bark'" "$LOG" || fail "saving the peg did not say its values belong to its material"
grep -q 'id="material" value="bark"' "$USER_TREE/actors/peg.xml" || fail "the peg lost its material"
grep -q 'id="radius" value="12"' "$USER_TREE/actors/peg.xml" || fail "the dragged radius was not saved: $(grep radius "$USER_TREE/actors/peg.xml")"
for f in outline-refused.xml actors/not-there.xml timeline.xml; do
  [ ! -e "$USER_TREE/$f" ] || fail "the refused save of $f wrote it"
done

# ---- Run 3: a shape of 400 hit points keeps its knob at the slider's
# end; the first level, listed as an actor, is not written over: the
# refusal is said once, and the file line under the tool bar names the
# last file saved and the refused Save.
mkdir -p "$USER_TREE/actors"
sed 's/id="hit_points" value="[^"]*"/id="hit_points" value="400"/' "$EGG" >"$USER_TREE/actors/strong.xml"
STRONG_LINE="200 137"; LEVEL_LINE="200 153"
{
  e2e_wait_menu 0 3
  e2e_type_line 300 'PushScreen("ObjectLab")'
  e2e_wait 1200 3 "Screen 'ObjectLab' fully in."
  pick_line 1500 $STRONG_LINE
  e2e_wait 1600 3 "Loading Shape 'actors/strong.xml'"
  e2e_click 1700 $SAVE
  e2e_wait 1800 3 "Object lab: saved 'actors/strong.xml'"
  echo "1810 frames 3"
  echo "1900 screenshot $SHOTS/5-strong.png"
  pick_line 2000 $LEVEL_LINE
  e2e_wait 2100 3 "Loading Shape 'worlds/e01-l01.xml'"
  e2e_click 2200 $SAVE
  e2e_wait 2300 3 "Object lab: shape 'worlds/e01-l01.xml' names a world; not saved."
  echo "2310 frames 3"
  echo "2400 screenshot $SHOTS/6-level-refused.png"
  echo "2500 exit"
} >"$WORK/script.txt"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0003.log | head -1)
cp "$LOG" "$SHOTS/log-3.txt"
[ ! -e "$USER_TREE/worlds/e01-l01.xml" ] || fail "an actor was saved over the first level"
# A popup is the console's line and its "KD:" line.
said=$(grep "e01-l01.xml.*saved" "$LOG" | grep -c -v "KD: " || true)
[ "$said" = 1 ] || fail "the refused save of the level was reported $said times, not once"
grep -q 'id="hit_points" value="400"' "$USER_TREE/actors/strong.xml" || fail "the 400 hit points were not kept"
# The knob's wooden rim at the end of the "HitPoints" track.
knob=$("$PROBE" "$SHOTS/5-strong.png" count 300 414 336 446 190 255 130 210 50 150)
# The file line's end: its last white pixel along the top of the edit area.
line_end() {
  for y in $(seq 14 30); do "$PROBE" "$SHOTS/$1.png" span $y 450 1010 235 255 235 255 235 255; done | sort -n | tail -1
}
saved=$(line_end 5-strong)
refused=$(line_end 6-level-refused)
echo "knob pixels at the track's end: $knob; the file line ends at $saved after the save, $refused after the refusal"
[ "$knob" -gt 200 ] || fail "400 hit points put the slider's knob out of sight"
[ "$saved" -gt 500 ] && [ "$refused" -gt $((saved + 100)) ] || fail "the file line does not say the Save was refused"
# ---- end of run 3

# The grid: the edited outline's handles and lines in white over the
# picture; the added vertex's handle at (-7, -13).
handle=$("$PROBE" "$SHOTS/2-grid.png" count $(at -7 -13 | awk '{ print $1 - 4, $2 - 4, $1 + 4, $2 + 4 }') 230 255 230 255 230 255)
moved=$("$PROBE" "$SHOTS/3-reloaded.png" count $(at 15 0 | awk '{ print $1 - 4, $2 - 4, $1 + 4, $2 + 4 }') 230 255 230 255 230 255)
echo "white pixels at the added vertex: $handle; at the moved one after the restart: $moved"
[ "$handle" -gt 10 ] || fail "no handle at the added vertex"
[ "$moved" -gt 10 ] || fail "the reloaded egg has no vertex at (15, 0)"
for n in 1-peg 2-grid 3-reloaded 4-refused 5-strong 6-level-refused; do [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"; done
echo "the object lab end to end: all shown; pictures in $SHOTS"
