#!/bin/sh
# The screens end to end: the real executable under Xvfb with scripted
# input, on the bundled menus and timeline. The loading screen's worm
# grows between two screenshots; the main menu comes; a click on Levels
# pushes the level selection and a click on its Back pops it; an arrow
# key lights no button, a held Tab moves the highlight between the
# menu's buttons; the extras lead to the
# achievements and the shop, and Escape leaves each of them; Play starts
# the timeline's first event, the story, whose Continue and Next lead
# through its pictures and the bug's line to the first level; a focus
# change over the game's screen pushes the pause menu. On a 1280x800 and
# an 800x600 display the main menu is whole, and its Quit ends the game.
# Screenshots are kept in the folder given as the fourth argument.
#
# ui-test/ (see its README) adds slow screens that keep the loading
# screen up long enough to be seen twice.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

e2e_data_tree "$WORK" "$DATA" "$HERE/ui-test"

# Loading takes about three seconds (the slow screens, preloaded from
# Slow24 down to Slow1, twelve of them between the two shots of the
# loading screen, the first a third of the way, when the worm has faded
# in; each shot two frames after its screen began: a slow screen keeps
# the worm from moving longer than the loading thread allows, 50 ms, so
# a frame follows each); the main menu follows behind a transition of two
# thirds of a second. The main menu's buttons: Play at y 315, Levels 390, Extras 465,
# Quit 540; the back buttons at (72, 534); on the extras, Achievements at
# (442, 458) and Unlocks at (582, 458); the story's Continue and the
# dialogue's Next at (880, 558). Every line is at time 0, placed by the
# log line of the step before and frames after it (a frame is 1/60 s of
# the program's time at least, 0.2 s at most), so that a slow or now and
# then stopped run takes longer rather than clicking on the wrong screen:
# a screen takes input once it is fully in; a held Tab is let go the frame
# after the program has seen it down, before its repeat (0.4 s) comes.
w() { e2e_wait 0 1 "$1"; }
f() { echo "0 frames $1"; }
tap() { f 10; e2e_tap 0 "$1" "$2"; }
{
cat <<END
$(w "Preloading Screen 'Slow16'")
$(f 2)
0 screenshot $SHOTS/1-loading-early.png
$(w "Preloading Screen 'Slow4'")
$(f 2)
0 screenshot $SHOTS/2-loading-later.png
$(e2e_wait_menu 0)
$(f 60)
0 screenshot $SHOTS/3-main-menu.png
$(tap 512 390)
$(w "Screen 'LevelSelect' fully in.")
$(f 30)
0 screenshot $SHOTS/4-level-select.png
$(tap 973 330)
$(f 120)
0 screenshot $SHOTS/4-level-select-2.png
$(tap 72 534)
$(w "Removing 'LevelSelect' from Screen Stack")
$(f 6)
0 touch_move 1010 250
$(f 50)
0 screenshot $SHOTS/5-back-to-menu.png
0 key DOWN
$(f 40)
0 screenshot $SHOTS/6-arrow.png
0 keydown TAB
0 keyup TAB
$(f 40)
0 screenshot $SHOTS/6-key-first.png
0 keydown TAB
0 keyup TAB
$(f 40)
0 screenshot $SHOTS/7-key-second.png
$(tap 512 465)
$(w "Screen 'Extras' fully in.")
$(f 6)
0 touch_move 1010 250
$(f 50)
0 screenshot $SHOTS/8-extras.png
$(tap 442 458)
$(w "Screen 'Achievements' fully in.")
$(f 10)
0 key ESCAPE
$(w "Removing 'Achievements' from Screen Stack")
$(tap 582 458)
$(w "Screen 'Unlocks' fully in.")
$(f 10)
0 key ESCAPE
$(w "Removing 'Unlocks' from Screen Stack")
$(f 10)
0 key ESCAPE
$(w "Removing 'Extras' from Screen Stack")
$(f 50)
0 screenshot $SHOTS/9-escape-back.png
$(tap 512 315)
$(w "PushScreen: 'Story'")
$(w "Removing 'TimelineTransition' from Screen Stack")
$(f 100)
0 screenshot $SHOTS/10-story.png
END
# Continue, Next and Continue: each leads to the next event once its
# transition is over; the story's step shows for two seconds first.
for event in E01_STORY_2 E01_STORY_3 E01_STORY_4; do
  f 10
  e2e_tap 0 880 558
  w "Timeline starting event '$event'"
  w "Removing 'TimelineTransition' from Screen Stack"
  [ $event = E01_STORY_3 ] && { f 100; echo "0 screenshot $SHOTS/11-dialog.png"; }
  f 120
done
cat <<END
$(e2e_tap 0 880 558)
$(w "PushScreen: 'GameDeziDedi'")
$(w "Removing 'TimelineTransition' from Screen Stack")
$(f 100)
0 screenshot $SHOTS/12-game.png
0 state thumbnail
$(f 12)
0 state fullscreen
$(w "Screen 'GamePopMenu' fully in.")
$(f 2)
0 screenshot $SHOTS/13-paused.png
$(f 10)
0 exit
END
} > "$WORK/script.txt"
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" SDL_AUDIODRIVER=dummy \
  e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
cp "$WORK/trace.txt" "$SHOTS/trace.txt" 2>/dev/null
fail() {
  echo "FAILED: $*"
  [ -n "$LOG" ] && tail -60 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}
[ "$status" = 0 ] || fail "exit status $status"
[ -n "$LOG" ] || fail "no log file written"
for n in 1-loading-early 2-loading-later 3-main-menu 4-level-select 4-level-select-2 5-back-to-menu 6-arrow 6-key-first 7-key-second \
         8-extras 9-escape-back 10-story 11-dialog 12-game 13-paused; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done

# The log lines of the run, in order.
last=0
for line in "PushScreen: 'Loading'" "Spawned loading thread." "PushScreen: 'Transition'" \
            "Removing 'Loading' from Screen Stack" "PushScreen: 'MainMenu'" "PushScreen: 'LevelSelect'" \
            "Removing 'LevelSelect' from Screen Stack" "PushScreen: 'Extras'" "PushScreen: 'Achievements'" \
            "Removing 'Achievements' from Screen Stack" "PushScreen: 'Unlocks'" "Removing 'Unlocks' from Screen Stack" \
            "Removing 'Extras' from Screen Stack" "Timeline starting event 'E01_STORY_1'" "PushScreen: 'Story'" \
            "Timeline starting event 'E01_STORY_2'" "Timeline starting event 'E01_STORY_3'" \
            "PushScreen: 'StoryDialog'" "Timeline starting event 'E01_STORY_4'" "Timeline starting event 'E01_L01'" \
            "PushScreen: 'GameDeziDedi'" "PushScreen: 'GamePopMenu'"; do
  n=$(tail -n +$((last + 1)) "$LOG" | grep -n -F "$line" | head -1 | cut -d: -f1)
  [ -n "$n" ] || fail "log line '$line' missing after line $last"
  last=$((last + n))
done
[ "$(grep -c -F "PushScreen: 'GamePopMenu'" "$LOG")" = 1 ] || fail "the pause menu was pushed more than once"
! grep -q -F "is not available yet" "$LOG" || fail "a menu called a function the program does not have"

# The worm (pink) on the loading screen's bar row reaches further right in
# the later shot; it starts on the meadow, clear of the backdrop's tree.
pink="225 255 100 185 130 205"
early=$("$PROBE" "$SHOTS/1-loading-early.png" span 444 330 835 $pink)
later=$("$PROBE" "$SHOTS/2-loading-later.png" span 444 330 835 $pink)
echo "worm ends at x=$early, then x=$later"
[ "$early" -gt 360 ] || fail "no worm on the early loading shot ($early)"
[ "$later" -gt $((early + 40)) ] || fail "the worm did not grow ($early, then $later)"

# The level selection: wooden level tiles where the menu shows the garden,
# one for each level of the timeline, two rows of five on each episode's
# page; the chevron turns to the second episode's page.
wood="170 240 120 190 60 130"
tile() { "$PROBE" "$SHOTS/$1.png" count $(($2 - 50)) $3 $(($2 + 50)) $(($3 + 102)) $wood; }
tiles() { for y in 188 368; do for x in 184 348 512 676 840; do tile $1 $x $y; done; done | tr '\n' ' '; }
page1=$(tiles 4-level-select)
page2=$(tiles 4-level-select-2)
menu1=$(tile 3-main-menu 184 188)
echo "level tile pixels: first page $page1, second page $page2 (the menu: $menu1)"
full() { for n in $1; do [ "$n" -gt 3000 ] || return 1; done; }
full "$page1" && [ "$menu1" -lt 500 ] || fail "the first episode's ten tiles are not shown"
full "$page2" || fail "the second page does not show ten tiles"
# The extras: the dark glass sheet down the left of the middle.
glass=$("$PROBE" "$SHOTS/8-extras.png" count 345 100 385 500 30 65 70 100 40 90)
echo "glass sheet pixels: $glass"
[ "$glass" -gt 10000 ] || fail "the extras are not shown ($glass)"
# Back, and Escape, leave the menu as it was (its Play and Levels).
for shot in 5-back-to-menu 9-escape-back; do
  d=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/$shot.png" 384 280 640 422)
  echo "$shot differs from the menu by $d"
  awk "BEGIN { exit !($d < 4) }" || fail "$shot is not the main menu ($d)"
done
# An arrow key lights nothing (the arrows are the screens' own); a held
# Tab steps the light down from Play, the menu's first, and a second held
# Tab steps it further. A Tab held across a slow frame may step twice
# (one step each 0.4 s held), so the light is looked for on every button:
# Play, Levels, Extras, Quit.
lit() { "$PROBE" "$SHOTS/5-back-to-menu.png" diff "$SHOTS/$1.png" 384 $2 640 $(($2 + 64)); }
# The index of the button lit most (0 for Play), or -1 when none is.
brightest() {
  for y in 283 358 433 508; do lit $1 $y; done | awk '{ if ($1 > best) { best = $1; at = NR - 1 } }
    END { print (best > 3 ? at : -1) }'
}
# The second shot may come while one light fades out and the next fades
# in: the light has moved on when the first one's button dims and a
# button below it lights.
rows="283 358 433 508"
arrow=$(for y in $rows; do lit 6-arrow $y; done | awk '{ s += $1 } END { print s + 0 }')
first=$(brightest 6-key-first)
echo "highlight: arrow $arrow; the first held Tab lights button $first"
awk "BEGIN { exit !($arrow < 2) }" || fail "an arrow key moved the highlight"
[ "$first" -ge 1 ] && [ "$first" -le 2 ] || fail "a held Tab did not move the light from Play ($first)"
y1=$(echo $rows | cut -d' ' -f$((first + 1)))
was=$(lit 6-key-first $y1)
now=$(lit 7-key-second $y1)
below=$(for y in $rows; do [ $y -gt $y1 ] && lit 7-key-second $y; done | sort -n | tail -1)
echo "after the second held Tab: button $first lit $now (was $was), the brightest below it $below"
awk "BEGIN { exit !($now < $was && $below > 3) }" || fail "a second held Tab did not move the light on"
# The story: its picture where the menu's emblem and buttons are, then
# the bug's line in its bubble over the next picture.
st=$("$PROBE" "$SHOTS/9-escape-back.png" diff "$SHOTS/10-story.png" 200 50 830 430)
dl=$("$PROBE" "$SHOTS/10-story.png" diff "$SHOTS/11-dialog.png" 200 310 830 440)
echo "the story differs from the menu by $st; the dialogue changes the bubble's place by $dl"
awk "BEGIN { exit !($st > 10 && $dl > 10) }" || fail "the story or its dialogue is not shown"
# The bubble (pale) ends above the rows where a caption of two lines
# begins, so that it hides no line of the caption under it.
pale=$("$PROBE" "$SHOTS/11-dialog.png" count 300 425 860 452 225 255 235 255 200 245)
echo "the bubble reaches $pale pixels into the caption's rows"
[ "$pale" -lt 500 ] || fail "the speech bubble covers the caption's first line"
# Its caption: cream letters on a dark glass strip under the picture (not
# dark letters over the garden), in two even lines, not one line and a
# lone word.
cream="235 255 225 255 190 240"
strip=$("$PROBE" "$SHOTS/10-story.png" count 150 440 870 520 20 75 50 105 30 95)
top=$("$PROBE" "$SHOTS/10-story.png" count 150 440 870 475 $cream)
low=$("$PROBE" "$SHOTS/10-story.png" count 150 475 870 520 $cream)
echo "the caption: $strip glass pixels behind it, $top and $low letter pixels in its halves"
[ "$strip" -gt 20000 ] && [ "$top" -gt 600 ] && [ $((2 * low)) -gt "$top" ] || fail "the caption does not read clearly"
# The game's screen, then the pause menu over it.
g=$("$PROBE" "$SHOTS/3-main-menu.png" diff "$SHOTS/12-game.png" 0 0 1024 600)
p=$("$PROBE" "$SHOTS/12-game.png" diff "$SHOTS/13-paused.png" 312 150 712 450)
echo "game differs from the menu by $g; the pause menu changes the middle by $p"
awk "BEGIN { exit !($g > 10 && $p > 10) }" || fail "the game or the pause menu is not shown"

# Other displays: the 1024x600 menu is scaled once onto the whole display,
# its aspect kept, black bars where the shapes differ (top and bottom
# here); Quit is on the screen, and a click on it ends the game. 1280x800
# is asked for; an 800x600 screen is smaller than the default display,
# which then fits the screen. Quit's middle half (448..576, 524..556) lies
# at 560..720, 680..720 (scale 1.25, bars of 25) and at 350..450, 474..499
# (scale 0.78, bars of 65); the click goes to its middle.
display_run() {  # SCREEN ASKED-SIZE BAR-HEIGHT QUIT-BOX(X0 Y0 X1 Y1)
  d="$WORK/display-$1"
  e2e_data_tree "$d" "$DATA"
  { e2e_wait 0 1 "Removing 'Transition' from Screen Stack"
    echo "0 frames 40"; echo "0 screenshot $SHOTS/menu-$1.png"
    e2e_click 0 $((($4 + $6) / 2)) $((($5 + $7) / 2))
    echo "0 frames 300"; echo "0 exit"; } >"$d/script.txt"
  status=0
  (cd "$d" && KODO_HOST_SCRIPT="$d/script.txt" KODO_HOST_TRACE="$d/trace.txt" KODO_XVFB_SCREEN="${1}x24" \
    SDL_AUDIODRIVER=dummy e2e_timeout 120 env ${2:+KODO_DISPLAY_SIZE=$2} sh "$XVFB" "$WORM" >"$d/out.txt" 2>&1) ||
    status=$?
  LOG=$(ls "$d"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
  [ "$status" = 0 ] || fail "exit status $status on the $1 display"
  ! grep -q "^script 0 exit$" "$d/trace.txt" || fail "a click on Quit did not end the game on the $1 display"
  w=${1%x*}
  bars=$("$PROBE" "$SHOTS/menu-$1.png" count 0 0 "$w" "$3" 0 10 0 10 0 10)
  quit=$("$PROBE" "$SHOTS/menu-$1.png" count $4 $5 $6 $7 $wood)
  echo "$1: black bar pixels $bars of $((w * $3)); wood in Quit's middle $quit of $((($6 - $4) * ($7 - $5)))"
  [ "$bars" = $((w * $3)) ] || fail "no black bar above the menu on the $1 display"
  [ "$quit" -gt $((($6 - $4) * ($7 - $5) * 2 / 5)) ] || fail "Quit is not where it belongs on the $1 display"
}
display_run 1280x800 1280x800 25 560 680 720 720
display_run 800x600 "" 65 350 474 450 499

echo "screens end to end: all shown; pictures in $SHOTS"
