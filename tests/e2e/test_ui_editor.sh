#!/bin/sh
# The UI editor end to end: the real executable under Xvfb in developer
# mode, on the main menu. Ctrl+E turns edit mode on; Tab selects the Play
# button, the arrows move it, 'N' refuses an empty name and Levels' name,
# then renames it through a scripted reply to a name with quotes and a
# backslash; 'C' clones it, 'P' makes Levels the
# clone's parent (and refuses the clone as Levels' parent); the right
# button opens the menu; DELETE takes Levels, whose child stays in place;
# 'S' saves and 'L' reloads. After a restart the layout read from the user
# tree holds every change, and saving it again writes the same buttons.
# A third run reloads the object lab and the world lab in edit mode and
# leaves it, and deletes the world lab's shape strip from under its
# screen: both screens go on without the old components. Screenshots are
# kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
e2e_data_tree "$WORK" "$DATA"
# Developer mode without a console key: TAB is the editor's.
ln -s "$HERE/flow/developer.xml" "$WORK/app/native/developer.xml"
USER_TREE="$WORK/data/Vantreo/Worm"
NAME='Play \"big\" \\ one'
{
  e2e_wait 0 1 "Screen 'MainMenu' fully in."
  echo "500 screenshot $SHOTS/0-menu.png"
  echo "600 key ctrl+E"
  e2e_wait 700 1 "Edit mode on."
  echo "1500 key TAB"
  echo "1550 key TAB"
  echo "1600 key TAB"
  for k in RIGHT RIGHT RIGHT DOWN DOWN; do echo "1700 key $k"; done
  echo '1710 reply ""'
  echo "1720 key N"
  echo '1730 reply "Levels"'
  echo "1740 key N"
  printf '1800 reply "%s"\n' "$NAME"
  echo "1850 key N"
  echo "1900 key C"
  echo "2000 reply \"Levels\""
  echo "2050 key P"
  for i in 1 2 3 4; do echo "2100 key shift+TAB"; done
  printf '2200 reply "%s_clone"\n' "$NAME"
  echo "2250 key P"
  echo "2400 right_click 620 400"
  e2e_wait 2450 1 "Edit menu opened at ("
  echo "2700 screenshot $SHOTS/1-menu-open.png"
  echo "2800 key ESCAPE"
  echo "2900 key DELETE"
  echo "3000 key S"
  e2e_wait 3050 1 "Exporting UISet to"
  echo "3200 key TAB"
  echo "3300 key L"
  echo "3400 key RIGHT"
  echo "3600 screenshot $SHOTS/2-outlines.png"
  echo "3800 exit"
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
# same buttons.
{
  e2e_wait 0 2 "Screen 'MainMenu' fully in."
  echo "500 screenshot $SHOTS/3-restarted.png"
  echo "600 key ctrl+E"
  e2e_wait 700 2 "Edit mode on."
  echo "1500 key S"
  e2e_wait 1550 2 "Exporting UISet to"
  echo "1800 exit"
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

# Run 3: a reload in edit mode replaces a screen's set while the screen
# keeps the game-pad cursor's default component; the world lab's strip of
# shapes is a component its screen draws from. The console opens on its
# default key, 167.
console() { e2e_type_line "$1" "$2" | sed 's/ key TAB$/ key 167/'; }
{
  e2e_wait_menu 0 3
  console 300 'PushScreen("ObjectLab")'
  e2e_wait 1200 3 "Screen 'ObjectLab' fully in."
  echo "1300 key ctrl+E"
  e2e_wait 1350 3 "Edit mode on."
  echo "1400 key L"
  e2e_wait 1450 3 "Loading UI 'ui/labs/object-lab.lua'.."
  echo "1500 key ctrl+E"
  e2e_wait 1550 3 "Edit mode off."
  echo "1600 frames 30"
  echo "1700 screenshot $SHOTS/4-object-lab-reloaded.png"
  console 1800 'PushScreen("WorldLab")'
  e2e_wait 2700 3 "Screen 'WorldLab' fully in."
  echo "2800 key ctrl+E"
  e2e_wait 2850 3 "Edit mode on."
  echo "2900 key L"
  e2e_wait 2950 3 "Loading UI 'ui/labs/world-lab.lua'.."
  echo "3000 key ctrl+E"
  e2e_wait 3050 3 "Edit mode off."
  echo "3100 frames 30"
  # The strip: Tab takes the first component and the second, SHIFT+Tab
  # goes back to the first, the strip "TF".
  echo "3200 key SPACE"
  e2e_wait 3250 3 "Screen 'WorldLabObjectSelector' fully in."
  echo "3300 key ctrl+E"
  e2e_wait 3350 3 "Edit mode on."
  echo "3400 key TAB"
  echo "3450 key shift+TAB"
  echo "3500 key DELETE"
  e2e_wait 3550 3 "Deleting component 'TF'.."
  echo "3600 frames 30"
  echo "3700 key ctrl+E"
  e2e_wait 3750 3 "Edit mode off."
  echo "3800 frames 30"
  echo "3900 screenshot $SHOTS/5-strip-deleted.png"
  echo "4000 exit"
} >"$WORK/script.txt"
e2e_run_game 300
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0003.log | head -1)
cp "$LOG" "$SHOTS/log-3.txt"
e2e_log_in_order "Screen 'ObjectLab' fully in." "Loading UI 'ui/labs/object-lab.lua'.." "Edit mode off." \
                 "Screen 'WorldLab' fully in." "Loading UI 'ui/labs/world-lab.lua'.." "Edit mode off." \
                 "Screen 'WorldLabObjectSelector' fully in." "Deleting component 'TF'.." "Edit mode off." \
                 "KODO Shutdown."

# Pictures: with the menu open, its dark box at the click and the
# selected Levels in a green frame; after the reload the outlines in grey
# green around the logo, which the restarted, unedited menu does not show;
# and Levels' wood gone after the restart. The 1024x600 layout is scaled
# once onto the display, 1.2 times with bars of 24 above and below; edit
# mode's window is the display's size, the layout at its top left as is.
probe() { "$PROBE" "$SHOTS/$1.png" count $2; }
menu=$(probe 1-menu-open "620 400 800 500 0 60 0 60 0 60")
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
for n in 0-menu 1-menu-open 2-outlines 3-restarted 4-object-lab-reloaded 5-strip-deleted; do [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"; done
echo "the UI editor end to end: all shown; pictures in $SHOTS"
