#!/bin/sh
# Both episodes won by one player through the real executable under Xvfb:
# every kept winning play (levels/<event>.txt; the boss's is
# hazards/boss-fight.txt) is replayed in turn by the game, each run
# starting its timeline event from the main menu's Play, all runs on one
# data folder, so that the records pile up in one profile as a player's
# would. Each run must win its level and end on the very path the level
# search found for the play (the same step, head position and path hash
# as `level_search WORLD --check PLAY`, named by $LEVEL_SEARCH).
#
# Then the profile's episode totals must add up the levels' records:
# levels completed, stars, all levels completed, the sum of the best
# times. The runs print the table of levels (time, ideal time, stars).
#
# Screenshots, kept in the folder given as the fourth argument: the
# first level of episode 2 in play (the worm, the fruit counter), and the
# level-info popup at the start of levels 9 and 10 of episode 2, whose
# texts differ only in the level's number: "10 / 10" is wider than
# "9 / 10" by one digit, and everything left of the number is the same.
. "$(dirname "$0")/e2e-lib.sh"
. "$HERE/game-start.sh"
[ -x "${LEVEL_SEARCH:-}" ] || { echo "LEVEL_SEARCH names no level search"; exit 77; }
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# The main menu's events, laid over the bundled ones, are rewritten for
# each run.
mkdir -p "$WORK/ui"
cp "$DATA/ui/main-menu-events.lua" "$WORK/ui/"
e2e_data_tree "$WORK" "$DATA" "$WORK/ui"
rm "$WORK/app/native/prog.xml"
sed -e 's|program_id="worm"|program_id="worm" game_replay="res://replay.txt"|' \
    -e 's|fps_limit="60"|fps_limit="998"|' "$DATA/prog.xml" > "$WORK/app/native/prog.xml"

plays=$(ls "$HERE"/levels/E0*.txt; [ -f "$HERE/levels/E02_L10.txt" ] || echo "$HERE/hazards/boss-fight.txt")
# EPISODE_PLAYS names a few events to play rather than all twenty (CTest's
# run, to keep CI short); the totals then add up those. By hand:
#   sh tests/e2e/test_episodes.sh BUILD/progs/worm data BUILD/tests/e2e_png_probe SHOTS
# with LEVEL_SEARCH=BUILD/tests/level_search.
if [ -n "${EPISODE_PLAYS:-}" ]; then
  plays=$(for play in $plays; do
    event=$(basename "$play" .txt)
    [ "$event" = boss-fight ] && event=E02_L10
    case " $EPISODE_PLAYS " in *" $event "*) echo "$play" ;; esac
  done)
fi
run=0
for play in $plays; do
  event=$(basename "$play" .txt)
  [ "$event" = boss-fight ] && event=E02_L10
  world=worlds/$(echo "$event" | tr 'A-Z_' 'a-z-').xml
  run=$((run + 1))
  log=$(printf 'data/*/*/logs/kodo-%04d.log' $run)
  # The main menu's Play starts this level's event.
  sed "s|CallOrTell (\"ResumeSavedTimelineEvent\");|CallOrTell (\"BeginTimelineEvent\", \"$event\");|" \
    "$DATA/ui/main-menu-events.lua" > "$WORK/ui/main-menu-events.lua"
  cp "$play" "$WORK/app/native/replay.txt"
  {
    # One time for every line: the waits and frame counts space them, so
    # that the shots count frames from the level's start however soon it
    # comes after the tap (a wait is looked for only once it is due).
    t=$(pace 5000)
    echo "$t wait $log Removing 'Transition' from Screen Stack"
    echo "$t frames 30"
    e2e_tap "$t" 512 315
    case $event in
      E02_L01) echo "$t wait $log Level '$world' started"
               echo "$t frames 600"
               echo "$t screenshot $SHOTS/e02-l01-play.png" ;;
      E02_L09|E02_L10) echo "$t wait $log Level '$world' started"
               echo "$t frames 90"
               echo "$t screenshot $SHOTS/$event-info.png" ;;
    esac
  } > "$WORK/script.txt"
  status=0
  (cd "$WORK" && KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy \
     e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1) || status=$?
  LOG=$(ls $WORK/$log 2>/dev/null | head -1)
  [ -n "$LOG" ] || fail "$event: no log (exit status $status)"
  cp "$LOG" "$SHOTS/$event.log"
  [ "$status" = 0 ] || fail "$event: exit status $status"
  grep -q "Level completed: '$event'" "$LOG" || fail "$event: not won"
  path=$(grep -o "Game replay: step .*" "$LOG" | head -1 | sed 's/^Game replay: //')
  want=$("$LEVEL_SEARCH" "$world" --check "$play" 2>/dev/null | grep -o "step [0-9]* head .*")
  [ -n "$path" ] && [ "$path" = "$want" ] || fail "$event: the program's path ($path) is not the search's ($want)"
  echo "$event: won on the search's path ($path)"
done

# The profile's records: one line per level (event, best time, ideal time,
# best stars), then the totals of each episode.
profile=$(ls "$WORK"/data/*/*/profiles/*.xml | head -1)
[ -f "$profile" ] || fail "no profile written"
cp "$profile" "$SHOTS/profile.xml"
record() { # EVENT FIELD
  awk -v e="$1" -v f="$2" '/<array id="(LEVELS|GAME)">/ { l = 1 } l && $0 ~ "<node id=\"" e "\"" { r = 1 }
    r { for (i = 1; i <= NF; i++) if (index($i, f "=\"") == 1) { split($i, v, "\""); print v[2]; exit } }
    r && /\/>/ { exit }' "$profile"
}
echo "level   time  ideal  stars"
for ep in 1 2; do
  n=0 stars=0 total=0 all3=1
  for play in $plays; do
    event=$(basename "$play" .txt)
    [ "$event" = boss-fight ] && event=E02_L10
    case $event in E0${ep}_*) ;; *) continue ;; esac
    world=$(echo "$event" | tr 'A-Z_' 'a-z-').xml
    ideal=$(sed -n 's/.*id="ideal_time" value="\([0-9]*\)".*/\1/p' "$DATA/worlds/$world")
    t=$(record "$event" best_time)
    s=$(record "$event" best_stars)
    [ -n "$t" ] && [ -n "$s" ] || fail "$event: no record in the profile"
    # The stars as the records promise them against the world's ideal time.
    want=1
    [ "$t" -le $(((ideal * 3 + 1) / 2)) ] && want=2
    [ "$t" -le "$ideal" ] && want=3
    [ "$s" = "$want" ] || fail "$event: $s stars for $t s against an ideal of $ideal s"
    printf '%s %5s %6s %6s\n' "$event" "$t" "$ideal" "$s"
    n=$((n + 1)) stars=$((stars + s)) total=$((total + t))
    [ "$s" = 3 ] || all3=0
  done
  [ "$n" -gt 0 ] || continue
  all=0
  [ "$n" = 10 ] && all=1
  [ "$all" = 1 ] || all3=0
  got="$(record episode_$ep levels_completed) $(record episode_$ep stars_collected) $(record episode_$ep best_total_time)"
  got="$got $(record episode_$ep all_levels_completed) $(record episode_$ep all_stars_collected)"
  echo "episode $ep: levels, stars, time, all levels, all stars: $got"
  [ "$got" = "$n $stars $total $all $all3" ] || fail "episode $ep totals are not '$n $stars $total $all $all3'"
done

# The first level of episode 2 in play: the worm (pink) and the HUD's
# fruit counter (a slate silhouette for each fruit still to take).
shot="$SHOTS/e02-l01-play.png"
if [ -f "$shot" ]; then
  worm=$("$PROBE" "$shot" count 0 60 1024 600 225 255 100 185 130 205)
  slate=$("$PROBE" "$shot" count 400 20 700 70 40 120 60 140 90 170)
  echo "E02_L01 in play: worm $worm pixels, fruit counter $slate pixels"
  [ "$worm" -gt 500 ] || fail "no worm in E02_L01"
  [ "$slate" -gt 150 ] || fail "no fruit counter in E02_L01"
fi
# The level-info popups, on their dark bar at the bottom edge: the same
# text up to the number, then "10" where the other has "9", one digit
# wider. A text's ends are found by halving: the first column from the
# left (and from the right) where a white pixel of the band's text rows
# lies.
white() { "$PROBE" "$1" count $2 540 $3 562 200 255 200 255 200 255; }
text_width() {
  lo=250 hi=780
  while [ $((hi - lo)) -gt 1 ]; do
    mid=$(((lo + hi) / 2))
    if [ "$(white "$1" 250 $mid)" -gt 0 ]; then hi=$mid; else lo=$mid; fi
  done
  left=$lo lo=250 hi=780
  while [ $((hi - lo)) -gt 1 ]; do
    mid=$(((lo + hi) / 2))
    if [ "$(white "$1" $mid 780)" -gt 0 ]; then lo=$mid; else hi=$mid; fi
  done
  echo $((lo - left))
}
a="$SHOTS/E02_L09-info.png"
b="$SHOTS/E02_L10-info.png"
if [ -f "$a" ] && [ -f "$b" ]; then
  w9=$(text_width "$a")
  w10=$(text_width "$b")
  echo "level-info popups: text $w9 px wide in level 9, $w10 px in level 10"
  [ "$w9" -gt 200 ] || fail "no level-info text in level 9"
  [ $((w10 - w9)) -ge 6 ] && [ $((w10 - w9)) -le 20 ] || fail "level 10's popup is not one digit wider than level 9's"
fi
echo "both episodes won by one player; totals checked; pictures in $SHOTS"
