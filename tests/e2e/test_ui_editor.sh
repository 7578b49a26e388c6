#!/bin/sh
# The UI editor end to end: the real executable under Xvfb in developer
# mode, on the main menu. Ctrl+E turns edit mode on; the first Tab takes
# the first component, three more the Play button; the arrows move it,
# 'N' refuses an empty name and Levels' name, then renames it through a scripted reply to a name with quotes and a
# backslash; 'C' clones it, 'P' makes Levels the
# clone's parent (and refuses the clone as Levels' parent); the right
# button opens the menu; DELETE takes Levels, whose child stays in place;
# 'S' saves and 'L' reloads. After a restart the layout read from the user
# tree holds every change, and saving it again writes the same buttons;
# there a real keyboard's held F1 shows the help, F3 the bitmaps' names,
# and Alt turns the selection by its corner.
# A third run edits on a screen opened by a click, whose component stays
# selected: the editor neither deletes, renames, retexts nor moves it
# there, and the menu saved later is as it was. It reloads
# the object lab and the world lab (opened by a console line typed as a
# real keyboard's keys) in edit mode and leaves it, and deletes the world
# lab's shape strip from under its screen: both screens go on without
# the old components. A fourth and a fifth run browse the screens (below).
# Screenshots are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA"
# Developer mode without a console key: TAB is the editor's.
ln -s "$HERE/flow/developer.xml" "$WORK/app/native/developer.xml"
USER_TREE="$WORK/data/Vantreo/Worm"
NAME='Play \"big\" \\ one'
# Every line at time 0, placed by the log waits and the frames between
# (f N): keys a few frames apart, so that a late program takes each in a
# frame of its own. key K...: each key and 3 frames.
f() { echo "0 frames $1"; }
key() { for k in "$@"; do echo "0 key $k"; f 3; done; }
{
  e2e_wait 0 1 "Screen 'MainMenu' fully in."
  f 30
  echo "0 screenshot $SHOTS/0-menu.png"
  key ctrl+E
  e2e_wait 0 1 "Edit mode on."
  f 50
  key TAB TAB TAB TAB RIGHT RIGHT RIGHT DOWN DOWN
  echo '0 reply ""'
  key N
  echo '0 reply "Levels"'
  key N
  printf '0 reply "%s"\n' "$NAME"
  key N C
  echo "0 reply \"Levels\""
  key P shift+TAB shift+TAB shift+TAB shift+TAB
  printf '0 reply "%s_clone"\n' "$NAME"
  key P
  echo "0 right_click 620 400"
  e2e_wait 0 1 "Edit menu opened at ("
  f 20
  echo "0 screenshot $SHOTS/1-menu-open.png"
  key ESCAPE DELETE S
  e2e_wait 0 1 "Exporting UISet to"
  key TAB L
  e2e_wait 0 1 "Loading UI 'ui/main-menu.lua'.."
  key RIGHT
  f 12
  echo "0 screenshot $SHOTS/2-outlines.png"
  echo "0 exit"
} >"$WORK/script.txt"
# Edit mode asks for a 1230 x 768 window: the display is that size.
export KODO_XVFB_SCREEN=1400x900x24 KODO_DISPLAY_SIZE=1230x768
e2e_run_game 300
cp "$LOG" "$SHOTS/log-1.txt"
SAVED="$USER_TREE/ui/main-menu.lua"
[ -s "$SAVED" ] || fail "the layout was not saved to the user tree"
cp "$SAVED" "$SHOTS/main-menu-1.lua"
# The renamed button and its clone under names that survive the writer;
# Levels gone, and nothing names it as a parent.
grep -q -F 'CreateComp ("Button", "Play \"big\" \\ one");' "$SAVED" || fail "the renamed button is not in the layout"
grep -q -F 'CreateComp ("Button", "Play \"big\" \\ one_clone");' "$SAVED" || fail "the clone is not in the layout"
! grep -q -F '"Levels"' "$SAVED" || fail "the deleted button or a reference to it is still in the layout"
e2e_log_in_order "Component 'Logo'.." "front." "Component 'Play' keeps its name: a component needs a name." \
                 "Component 'Play' keeps its name: 'Levels' is already used in ui/main-menu.lua." \
                 "Cloning component 'Play \"big\" \\ one' -> 'Play \"big\" \\ one_clone'." \
                 "cannot be the parent of 'Levels'" "Deleting component 'Levels'.." "Exporting UISet to" \
                 "Loading UI 'ui/main-menu.lua'.."

# Run 2: the menu comes from the user tree's layout; saved again it is the
# same buttons. 'O' then opens the screen browser, at the display's full
# size as edit mode ends.
{
  e2e_wait 0 2 "Screen 'MainMenu' fully in."
  f 30
  echo "0 screenshot $SHOTS/3-restarted.png"
  key ctrl+E
  e2e_wait 0 2 "Edit mode on."
  f 50
  key S
  e2e_wait 0 2 "Exporting UISet to"
  # Held keys of a real keyboard: F1 shows the help, F3 the bitmaps'
  # names; with Alt a press on the selected Background's corner turns it.
  key TAB
  f 10
  echo "0 screenshot $SHOTS/3-edit.png"
  for k in F1 F3; do
    echo "0 xkeydown $k"
    f 10
    echo "0 screenshot $SHOTS/3-$k.png"
    echo "0 xkeyup $k"
  done
  echo "0 xkeydown Alt_L"
  f 3
  echo "0 touch_down 1024 600"
  f 3
  echo "0 touch_move 1020 640"
  f 3
  echo "0 touch_up 1020 640"
  f 3
  echo "0 xkeyup Alt_L"
  key S
  e2e_wait 0 2 "Exporting UISet to"
  key O
  e2e_wait 0 2 "PushScreen: 'ScreenBrowser'"
  f 30
  echo "0 screenshot $SHOTS/3-browser.png"
  echo "0 exit"
} >"$WORK/script.txt"
cp "$SAVED" "$WORK/main-menu-1.lua"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0002.log | head -1)
cp "$LOG" "$SHOTS/log-2.txt"
# The buttons' blocks (the logo, animated by its script until edit mode
# stops the screens, may differ).
buttons() { awk '/^CreateComp \("Button"/ { on = 1 } /^$/ { on = 0 } on' "$1"; }
[ "$(buttons "$WORK/main-menu-1.lua")" = "$(buttons "$SAVED")" ] ||
  fail "the buttons read back and saved again differ: $(buttons "$SAVED")"
# Turned by about 0.07 (radians), not scaled.
turn=$(awk '/^CreateComp \("Image", "Background"/ { on = 1 } /^$/ { on = 0 }
  on && /"angle"/ { gsub(/[^0-9.-]/, " "); print $1 }' "$SAVED")
echo "Background turned by ${turn:-nothing}"
awk -v a="${turn:-0}" 'BEGIN { exit !(a > 0.03 && a < 0.15) }' || fail "Alt with a corner did not turn the selection"

# Run 3: a click leaves its component selected on the screen it opens.
# The menu's Extras, selected on the Extras screen: the editor there
# refuses to rename it or to delete it, Tab starts at
# the Extras screen's own first component, and the menu goes on with it.
# Then a reload in edit mode replaces a screen's set while the screen
# keeps the game-pad cursor's default component. The console line that
# opens the world lab is typed as a real keyboard's keys. In the lab, Play
# and the game's pause button back leave the game's Pause selected:
# DELETE refuses it, and the lab plays again. Last, the world lab's strip
# of shapes is a component its screen draws from. The console opens on
# its default key, 167. The 1024x600 picture is scaled 1.2 times onto the
# display, with bars of 24 above and below.
console() { e2e_type_line "$@" | sed 's/ key TAB$/ key 167/'; }
scaled() { echo "$(($1 * 6 / 5)) $(($2 * 6 / 5 + 24))"; }
{
  e2e_wait_menu 0 3
  f 30
  e2e_click 0 $(scaled 512 464)
  e2e_wait 0 3 "Screen 'Extras' fully in."
  key ctrl+E
  e2e_wait 0 3 "Edit mode on."
  echo '0 reply "Quit"'
  key N DELETE
  echo '0 reply "HELLO"'
  key E RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT RIGHT TAB ctrl+E
  e2e_wait 0 3 "Edit mode off."
  key ESCAPE
  e2e_wait 0 3 "Removing 'Extras' from Screen Stack"
  key ctrl+E
  e2e_wait 0 3 "Edit mode on."
  key S
  e2e_wait 0 3 "Exporting UISet to"
  key ctrl+E
  e2e_wait 0 3 "Edit mode off."
  # Each lab opened by its console line and its layout reloaded in edit
  # mode: lab LINE FILE [x].
  lab() {
    f 30
    console 0 "$1" $3
    e2e_wait 0 3 "Screen '$(echo "$1" | cut -d'"' -f2)' fully in."
    key ctrl+E
    e2e_wait 0 3 "Edit mode on."
    key L
    e2e_wait 0 3 "Loading UI '$2'.."
    key ctrl+E
    e2e_wait 0 3 "Edit mode off."
    f 30
  }
  lab 'PushScreen("ObjectLab")' ui/labs/object-lab.lua
  echo "0 screenshot $SHOTS/4-object-lab-reloaded.png"
  lab 'PushScreen("WorldLab")' ui/labs/world-lab.lua x
  for play in 1 2; do
    f 10
    e2e_click 0 $(scaled 228 20)
    e2e_wait 0 3 "Screen 'GameDeziDedi' fully in."
    f 10
    e2e_click 0 $(scaled 950 51)
    e2e_wait 0 3 "Removing 'GameDeziDedi' from Screen Stack"
    [ $play = 2 ] && break
    f 10
    key ctrl+E
    e2e_wait 0 3 "Edit mode on."
    key DELETE TAB ctrl+E
    e2e_wait 0 3 "Edit mode off."
  done
  f 30
  # The strip: Tab takes the first component and the second, SHIFT+Tab
  # goes back to the first, the strip "TF".
  key SPACE
  e2e_wait 0 3 "Screen 'WorldLabObjectSelector' fully in."
  key ctrl+E
  e2e_wait 0 3 "Edit mode on."
  key TAB shift+TAB DELETE
  e2e_wait 0 3 "Deleting component 'TF'.."
  f 30
  key ctrl+E
  e2e_wait 0 3 "Edit mode off."
  f 30
  echo "0 screenshot $SHOTS/5-strip-deleted.png"
  echo "0 exit"
} >"$WORK/script.txt"
cp "$SAVED" "$WORK/main-menu-2.lua"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0003.log | head -1)
cp "$LOG" "$SHOTS/log-3.txt"
e2e_log_in_order "Screen 'Extras' fully in." \
                 "Component 'Extras' is not on the top screen (ui/extras.lua): not renamed." \
                 "Component 'Extras' is not on the top screen (ui/extras.lua): not deleted." \
                 "Component 'Extras' is not on the top screen (ui/extras.lua): not given a text." \
                 "Component 'Extras' is not on the top screen (ui/extras.lua): not moved." \
                 "Component 'Background'.." "Removing 'Extras' from Screen Stack" "Exporting UISet to"
[ "$(buttons "$WORK/main-menu-2.lua")" = "$(buttons "$SAVED")" ] ||
  fail "the menu's Extras was changed from the Extras screen: $(diff "$WORK/main-menu-2.lua" "$SAVED")"
e2e_log_in_order "Screen 'ObjectLab' fully in." "Loading UI 'ui/labs/object-lab.lua'.." "Edit mode off." \
                 "Entered 'PushScreen(\"WorldLab\")'" "Screen 'WorldLab' fully in." \
                 "Loading UI 'ui/labs/world-lab.lua'.." "Edit mode off." "Removing 'GameDeziDedi' from Screen Stack" \
                 "Component 'Pause' is not on the top screen (ui/labs/world-lab.lua): not deleted." \
                 "Component 'panel'.." "Level 'worlds/temp.xml' started" "Removing 'GameDeziDedi' from Screen Stack" \
                 "Screen 'WorldLabObjectSelector' fully in." "Deleting component 'TF'.." "Edit mode off." \
                 "KODO Shutdown."

# Run 4: the screen browser. Z and A step over its own place (from the
# transition to the news), Escape shows its list, whose third line and
# Edit show the level-completed screen without entering it (a save of the
# player's place, the score); the browser shows the menu and is closed
# from the console: none of the menu's pictures go. The menu reloaded,
# Quit moved down and saved, the browser opened and saved again writes
# its own list, not the menu's set from before the reload.
{
  e2e_wait 0 4 "Screen 'MainMenu' fully in."
  f 30
  key ctrl+E
  e2e_wait 0 4 "Edit mode on."
  key O
  e2e_wait 0 4 "Screen 'ScreenBrowser' fully in."
  key Z A ESCAPE
  e2e_tap 0 $(scaled 120 150)
  f 3
  e2e_tap 0 $(scaled 229 408)
  e2e_wait 0 4 "Screen browser shows 'GameLevelCompleted'"
  key ESCAPE Z Z Z Z
  e2e_wait 0 4 "Screen browser shows 'MainMenu'"
  console 0 'PopScreen("ScreenBrowser")'
  e2e_wait 0 4 "Removing 'ScreenBrowser' from Screen Stack"
  key ctrl+E
  e2e_wait 0 4 "Edit mode on."
  key L
  e2e_wait 0 4 "Loading UI 'ui/main-menu.lua'.."
  # Background, Fireflies, Logo, Play, Extras, Quit: Levels went in run 1.
  key TAB TAB TAB TAB TAB TAB
  for i in $(seq 20); do key DOWN; done
  key S
  e2e_wait 0 4 "Exporting UISet to"
  key O
  e2e_wait 0 4 "Screen 'ScreenBrowser' fully in."
  key ctrl+E
  e2e_wait 0 4 "Edit mode on."
  key S
  e2e_wait 0 4 "Exporting UISet to"
  echo "0 exit"
} >"$WORK/script.txt"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0004.log | head -1)
cp "$LOG" "$SHOTS/log-4.txt"
e2e_log_in_order "Screen browser shows 'ScreenBrowser'." "Screen browser shows 'Transition'." \
                 "Screen browser shows 'VantreoNews'." \
                 "Screen browser shows 'ScreenBrowser'." "Screen browser shows 'GameLevelCompleted'." \
                 "Screen browser shows 'MainMenu'." "Removing 'ScreenBrowser' from Screen Stack" \
                 "Component 'Extras'.." "Exporting UISet to 'user://ui/main-menu.lua'" \
                 "Exporting UISet to 'res://ui/fw/screen-browser.lua'"
! grep -q "Screen 'GameLevelCompleted' Enter Procedure" "$LOG" || fail "the browser entered the level-completed screen"
# The browser's own pictures (its list's and its button's) go with it.
left=$(sed -n "/Screen browser shows 'MainMenu'/,/Edit mode on/p" "$LOG" | grep "Hibernating bitmap" |
  grep -c -v "listbox-\|button-small" || true)
[ "$left" = 0 ] || fail "closing the browser let go of $left of the menu's pictures"
grep -q -F 'SetProperty ("position", 0.5, 0.933333);' "$SAVED" || fail "Quit's move after the reload is not saved: $(grep -A2 '"Quit"' "$SAVED")"

# Run 5: the browser's picture is a picture. Over a paused level and over
# a real result screen a designer presses A three times (the automated
# player's switch in a level), clicks the shown screens' Next, Play, Back
# and Ok and presses keys (the game's C, L, S, X, Return). Nothing runs:
# the player's folder is byte for byte as it was when the browser opened
# (logs aside), the place saved with it, and the level goes on: resumed,
# the developer's C wins it, on to the result screen (each step waits for
# its screen). The console line that closes the browser the second time
# is typed in edit mode. A watcher copies the folder at four points the
# script waits for (snapshot-N.txt).
rm -f "$SAVED"  # the bundled menu, whose Play starts the game
game_start_script "$WORK/script.txt"
sed -i 's/kodo-0001/kodo-0005/' "$WORK/script.txt"
e2e_paced "$WORK/script.txt"  # placed by frames: the lines below follow in order
# The screens shown by the list's third line (the level-completed screen)
# or reached from the browser's own place by Z (6: Extras, 7: Options) or
# A (2: the world lab), and a tap on a button of theirs: show LINE|KEY N
# SCREEN X Y.
show() {
  key ESCAPE
  if [ "$1" = line ]; then e2e_tap 0 120 150; f 3; e2e_tap 0 229 408; else for i in $(seq "$2"); do key "$1"; done; fi
  echo "0 wait frames=600 data/*/*/logs/kodo-0005.log Screen browser shows '$3'."
  f 10
  e2e_tap 0 "$4" "$5"
  f 10
}
browse() {
  key ctrl+E
  e2e_wait 0 5 "Edit mode on."
  key O
  e2e_wait 0 5 "Screen 'ScreenBrowser' fully in."
  key A A A
  show line 0 GameLevelCompleted 605 460
  key RETURN C L S X
  show Z 6 Extras 72 532
  if [ "$1" = paused ]; then
    show A 2 WorldLab 228 20
    show Z 7 Options 510 428
  fi
  # Long enough for a switched-on automated player to press a button.
  f 240
  # Over the result screen the console line closing the browser is typed
  # in edit mode, and runs there too (the browser fades out once the
  # screens move again).
  if [ "$1" = result ]; then key ctrl+E; e2e_wait 0 5 "Edit mode on."; fi
  console 0 'PopScreen("ScreenBrowser")'
  if [ "$1" = result ]; then e2e_wait 0 5 "Entered 'PopScreen"; key ctrl+E; fi
}
{
  e2e_wait 0 5 "Removing 'TimelineTransition' from Screen Stack"
  for i in 1 2 3 4 5 6; do f 24; e2e_tap 0 512 500; done
  f 60
  e2e_tap 0 950 51
  echo "0 wait snapshot-1.txt taken"
  browse paused
  echo "0 wait snapshot-2.txt taken"
  f 30
  echo "0 screenshot $SHOTS/6-paused-after.png"
  e2e_tap 0 512 207
  e2e_wait 0 5 "Removing 'GamePopMenu' from Screen Stack"
  f 30
  key C
  echo "0 wait snapshot-3.txt taken"
  browse result
  echo "0 wait snapshot-4.txt taken"
  f 30
  echo "0 screenshot $SHOTS/7-result-after.png"
  echo "0 exit"
} >>"$WORK/script.txt"
# The folder at each mark of the log, the Nth time it comes.
watch() {
  n=1
  for mark in "Screen 'GamePopMenu' fully in.|1" "Removing 'ScreenBrowser' from Screen Stack|1" \
              "Screen 'GameLevelCompleted' fully in.|1" "Removing 'ScreenBrowser' from Screen Stack|2"; do
    until [ "$(cat "$WORK"/data/*/*/logs/kodo-0005.log 2>/dev/null | grep -c -F "${mark%|*}")" -ge "${mark#*|}" ]; do
      [ -e "$WORK/run-over" ] || [ ! -d "$WORK" ] && return
      sleep 0.2
    done
    cp -a "$USER_TREE" "$WORK/snap-$n"
    echo taken >"$WORK/snapshot-$n.txt"
    n=$((n + 1))
  done
}
watch &
trap 'cp "$WORK"/data/*/*/logs/kodo-0005.log "$SHOTS/log-5.txt" 2>/dev/null; rm -rf "$WORK"' EXIT
# The game's own size: the coordinates are the picture's.
export KODO_DISPLAY_SIZE=1024x600
e2e_run_game 300
touch "$WORK/run-over"
wait
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0005.log | head -1)
diff -r -x logs "$WORK/snap-1" "$WORK/snap-2" || fail "browsing over the paused level changed the player's folder"
diff -r -x logs "$WORK/snap-3" "$WORK/snap-4" || fail "browsing over the result screen changed the player's folder"
grep -q 'event="E01_L01"' "$WORK/snap-2/profiles/1.xml" || fail "the place saved is not the paused level's"
# Saved after edit mode was on and off: the player's full screen.
grep -q 'id="WINDOWED" value="0"' "$WORK/snap-3/profiles/index.xml" || fail "edit mode's window was saved as the player's"
! grep -q -F "AI Player is now" "$LOG" || fail "the browser's A switched the automated player"
# Nor did the taps on the game's talk panel and pause button, nor the
# clicks on the browser's list.
! grep -q -F "Unable to call 'OnClick'" "$LOG" || fail "a click called a missing OnClick"

# Pictures: with the menu open, its dark box at the click and the
# selected Levels in a green frame; after the reload the outlines in grey
# green around the logo, which the restarted, unedited menu does not show;
# and Levels' wood gone after the restart. The 1024x600 layout is scaled
# once onto the display, 1.2 times with bars of 24 above and below; edit
# mode's window is the display's size, the layout at its top left as is.
probe() { "$PROBE" "$SHOTS/$1.png" count $2; }
menu=$(probe 1-menu-open "620 400 800 500 0 60 0 60 0 60")
# The menu's panel all but opaque and as large as its medium-sized text
# needs, with that text in grey on it; under the frame the size alone, in
# white, with no empty brackets after it; the browser's list of screens on
# its dark green frame, wholly on the screen, with the names in white.
panel=$(probe 1-menu-open "620 400 900 580 0 30 0 30 0 30")
menu_text=$(probe 1-menu-open "620 400 900 580 120 200 120 200 120 200")
size=$(probe 2-outlines "0 607 60 622 150 255 150 255 150 255")
brackets=$(probe 2-outlines "60 607 80 622 150 255 150 255 150 255")
list=$(probe 3-browser "45 75 415 365 0 60 0 90 0 60")
names=$(probe 3-browser "45 75 415 365 220 255 220 255 220 255")
echo "menu panel $panel, its text $menu_text; size label $size, brackets $brackets; browser's list $list, names $names"
[ "$panel" -gt 35000 ] && [ "$menu_text" -gt 2000 ] || fail "the right-click menu is not an opaque panel with text of the medium size"
[ "$size" -gt 60 ] && [ "$brackets" -lt 3 ] || fail "the size under the frame is not shown alone"
[ "$list" -gt 70000 ] && [ "$names" -gt 300 ] || fail "the screen browser's list is not on the screen with its names"
# The browser at the display's full size once 'O' has ended edit mode
# (the picture scaled 1.2 times, its squares out to the right edge), each
# name in the middle of its row: the first, under the frame's top, as
# whole as the second.
wide=$(probe 3-browser "1100 300 1200 400 150 255 150 255 150 255")
first=$(probe 3-browser "60 118 300 152 200 255 200 255 200 255")
second=$(probe 3-browser "60 152 300 187 200 255 200 255 200 255")
echo "browser: right edge $wide, first name $first, second $second"
[ "$wide" -gt 9000 ] || fail "the browser is not at the display's full size after 'O'"
[ $((2 * first)) -gt "$second" ] || fail "the browser's first name is cut or off the middle of its row"
selected=$(probe 1-menu-open "370 345 650 435 0 30 230 255 0 30")
outlines=$(probe 2-outlines "370 30 655 260 90 115 140 165 90 115")
no_outlines=$(probe 3-restarted "440 60 790 340 90 115 140 165 90 115")
wood_before=$(probe 0-menu "470 485 760 525 150 255 100 200 40 140")
wood_after=$(probe 3-restarted "470 485 760 525 150 255 100 200 40 140")
echo "menu $menu, selection frame $selected, outlines $outlines/$no_outlines, Levels' wood $wood_before -> $wood_after"
[ "$menu" -gt 3000 ] || fail "the right-click menu is not shown"
[ "$selected" -gt 400 ] || fail "the selection has no green frame"
[ "$wood_after" -lt $((wood_before / 4)) ] || fail "Levels is still on the restarted menu"
[ "$outlines" -gt 500 ] && [ "$no_outlines" -lt 100 ] || fail "the outlines are not drawn in edit mode only"
# F1 held: the help panel's dark box over the buttons; F3 held: the
# names' tool tips, white on dark, at the Background's and Play's places.
help=$(probe 3-F1 "300 380 780 520 0 40 0 40 0 40")
no_help=$(probe 3-edit "300 380 780 520 0 40 0 40 0 40")
names=$(probe 3-F3 "512 295 640 335 230 255 230 255 230 255")
no_names=$(probe 3-edit "512 295 640 335 230 255 230 255 230 255")
echo "help panel $help/$no_help, bitmap names $names/$no_names"
[ "$help" -gt 60000 ] && [ "$no_help" -lt 1000 ] || fail "F1 held does not show the help panel"
[ "$names" -gt 300 ] && [ "$no_names" -lt 100 ] || fail "F3 held does not show the bitmaps' names"
for n in 0-menu 1-menu-open 2-outlines 3-restarted 3-edit 3-F1 3-F3 3-browser 4-object-lab-reloaded 5-strip-deleted \
         6-paused-after 7-result-after; do [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"; done
echo "the UI editor end to end: all shown; pictures in $SHOTS"
