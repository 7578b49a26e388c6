#!/bin/sh
# Bundled levels won through the real executable under Xvfb (all of them,
# or those LEVEL_WINS_ONLY names besides the first and the tenth of the
# first episode). For each winning play
# kept in levels/<event>.txt (found by
# tests/tools/level-search.cpp) a run starts that level's timeline event
# from the main menu's Play, and the game replays the play step by step
# (the program settings' value "game_replay", progs/app/game/game-replay.h):
# real grabs, drags and flings of the worm. The level must be won: the log
# says "Level completed: '<event>'" before the play's last line ends the
# program. Each run is a fresh player.
#
# The first level is also looked at: the start (the prologue's panel over
# the level, every fruit still to take), a moment mid-way (some fruit
# taken) and the result screen ("GameLevelCompleted" with its three
# stars), and the profile keeps the level's record. So is the tenth, the
# episode's last, in play and at its result. Screenshots stay in the
# folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
GAME_PACE="${GAME_PACE:-1}"
pace() { echo $(($1 * GAME_PACE)); }
failed=""

# Runs the play of event $1; extra host script lines come on stdin.
run_level() {
  event=$1
  run="$WORK/$event"
  mkdir -p "$run/ui"
  # The main menu's Play starts this level's event.
  sed "s|CallOrTell (\"ResumeSavedTimelineEvent\");|CallOrTell (\"BeginTimelineEvent\", \"$event\");|" \
    "$DATA/ui/main-menu-events.lua" > "$run/ui/main-menu-events.lua"
  e2e_data_tree "$run" "$DATA" "$run/ui"
  rm "$run/app/native/prog.xml"
  # A replayed frame is one fixed step, whatever its length: the other
  # levels run as fast as the machine allows; the first keeps the
  # player's pace for its screenshots.
  fps=998
  [ "$event" = E01_L01 ] && fps=60
  sed -e 's|program_id="worm"|program_id="worm" game_replay="res://replay.txt"|' \
      -e "s|fps_limit=\"60\"|fps_limit=\"$fps\"|" "$DATA/prog.xml" > "$run/app/native/prog.xml"
  {
    e2e_press_play "$(pace 5000)"
    cat
  } > "$run/script.txt"
  status=0
  (cd "$run" && KODO_HOST_SCRIPT="$run/script.txt" SDL_AUDIODRIVER=dummy \
     e2e_timeout 120 sh "$XVFB" "$WORM" >"$run/out.txt" 2>&1) || status=$?
  LOG=$(ls "$run"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/$event.log"
  result="exit status $status"
  [ -n "$LOG" ] && result="$result; $(grep -o "Game replay: step .*" "$LOG" | head -1)"
  if [ "$status" = 0 ] && [ -n "$LOG" ] && grep -q "Level completed: '$event'" "$LOG"; then
    echo "$event: won ($result)"
    return 0
  fi
  [ -n "$LOG" ] && tail -15 "$LOG"
  echo "$event: NOT WON ($result)"
  failed="$failed $event"
  return 1
}

# LEVEL_WINS_ONLY names the other levels to play when not all of them
# (the test suite plays only the busiest and checks the rest headless;
# the ThreadSanitizer job, where every frame takes much longer, names
# none but the first).
for play in "$HERE"/levels/E*.txt; do
  event=$(basename "$play" .txt)
  case $event in E01_L01 | E01_L10) continue ;; esac
  [ -z "${LEVEL_WINS_ONLY:-}" ] || case " $LEVEL_WINS_ONLY " in *" $event "*) ;; *) continue ;; esac
  mkdir -p "$WORK/$event/app/native"
  cp "$play" "$WORK/$event/app/native/replay.txt"
  run_level "$event" < /dev/null || true
done

# The first and the last level of the first episode, each looked at in
# play and with the result screen held long enough to be seen: the play's
# last line comes 1500 steps later (more at a slower pace). A replayed
# level advances one step a frame, so the screenshots are paced by frames
# from the level's start; the result screen is taken 300 frames after it
# is pushed. Equal times keep their order, and every line has the time of
# the tap on Play: a wait is looked for only once it is due, and one due
# after the level had started would count the frames from later on.
# Host script lines given on stdin follow the result's screenshot, taken
# FRAMES frames after the push (300 unless given).
# Used as: shoot_level EVENT WORLD PREFIX "STEPS" [FRAMES] [< LINES]
shoot_level() {
  mkdir -p "$WORK/$1/app/native"
  awk -v pace="$GAME_PACE" '$2 == "end" { $1 += 1500 * pace + 1200 * (pace - 1) } { print }' "$HERE/levels/$1.txt" > "$WORK/$1/app/native/replay.txt"
  {
    t=$(pace 5000)
    e2e_wait "$t" 1 "Level '$2' started"
    at=0
    for s in $4; do
      echo "$t frames $((s - at))"
      echo "$t screenshot $SHOTS/$3-$s.png"
      at=$s
    done
    e2e_wait "$t" 1 "PushScreen: 'GameLevelCompleted'"
    echo "$t frames ${5:-300}"
    echo "$t screenshot $SHOTS/$3-result.png"
    cat
  } | run_level "$1" || { echo "FAILED: not won:$failed"; exit 1; }
}
# The first level: the prologue at step 120, mid-way at steps 480 to 720.
shots="120 480 540 600 660 720"
shoot_level E01_L01 worlds/e01-l01.xml l01 "$shots" </dev/null
shots10="100 400 600 800"
# The tenth's result is looked at with its stars in (1.5 s) and its
# achievement bars still up, and goes on (Next) to the episode's closing
# story, looked at once it is fully in.
t=$(pace 5000)
{
  e2e_tap "$t" 605 461
  e2e_wait "$t" 1 "Screen 'Story' fully in."
  echo "$t screenshot $SHOTS/l10-story.png"
  echo "$t exit"
} | shoot_level E01_L10 worlds/e01-l10.xml l10 "$shots10" 90

fail() { echo "FAILED: $*"; exit 1; }
for t in $shots result; do [ -s "$SHOTS/l01-$t.png" ] || fail "screenshot l01-$t missing"; done
count() { "$PROBE" "$SHOTS/l01-$1.png" count $2 $3 $4 $5 $6 $7 $8 $9 ${10} ${11}; }
# The HUD's fruit counter: a slate silhouette for each fruit still to take.
left() { for x in 465 497 529; do count $1 $x 25 $((x + 30)) 60 40 120 60 140 90 170; done | awk '$1 > 150 { n++ } END { print n + 0 }'; }
# The start: the prologue's panel (dark glass) over the level and the
# worm (pink) hanging at the left.
glass=$(count 120 100 450 900 560 20 70 50 90 40 80)
worm=$(count 120 100 150 400 450 225 255 100 185 130 205)
echo "start: prologue panel $glass pixels, worm $worm pixels"
[ "$glass" -gt 20000 ] || fail "the prologue is not shown at the start"
[ "$worm" -gt 500 ] || fail "the worm is not at its start"
# Mid-way: a shot with some fruit taken but not all.
mid=""
for t in 480 540 600 660 720; do
  n=$(left $t)
  [ "$n" -ge 1 ] && [ "$n" -le 2 ] && { mid=$t; break; }
done
echo "mid-way: $mid"
[ -n "$mid" ] || fail "no shot mid-way with some fruit taken"
cp "$SHOTS/l01-$mid.png" "$SHOTS/l01-mid.png"
# The result screen: its dark green panel, three gold stars, and every
# fruit taken (a red apple, dimmed under the result screen, in each slot of the
# counter).
panel=$(count result 300 100 720 500 10 40 40 70 25 55)
stars=$(for x in 365 480 600; do count result $x 170 $((x + 60)) 240 230 255 190 240 0 90; done | tr '\n' ' ')
apples=$(for x in 465 497 529; do count result $x 25 $((x + 30)) 60 100 255 0 100 0 100; done | tr '\n' ' ')
echo "result: panel $panel pixels, stars $stars, apples $apples"
[ "$panel" -gt 40000 ] || fail "the result screen is not shown"
for n in $stars; do [ "$n" -gt 300 ] || fail "a star is missing ($stars)"; done
for n in $apples; do [ "$n" -gt 100 ] || fail "fruit left at the end ($apples)"; done
grep -q "PushScreen: 'GameLevelCompleted'" "$SHOTS/E01_L01.log" || fail "GameLevelCompleted was not pushed"
# The profile's record of the level: completed, its time and three stars.
record=""
for f in "$WORK"/E01_L01/data/*/*/profiles/*.xml; do
  [ -f "$f" ] || continue
  record=$(awk '/<array id="LEVELS">/ { l = 1 } l && /<node id="E01_L01"/ { r = 1 }
                r { printf "%s ", $0 } r && /\/>/ { exit }' "$f" | tr -s ' \t' ' ')
  [ -n "$record" ] && break
done
echo "profile: $record"
[ -n "$record" ] || fail "no profile holds the level's record"
for v in 'completed="1"' 'best_stars="3"' 'last_stars="3"' 'best_time="[0-9][0-9]*"'; do
  echo "$record" | grep -q "$v" || fail "the record lacks $v"
done

# The last level of the episode in play. Its five fruit slots in the HUD
# (slate silhouettes, red apples once taken), the level-info bar (dark
# glass with the white "Level:  10 / 10", in the middle of the bottom
# edge) as it starts, the worm on
# screen all the way, and a result of two stars with every fruit taken:
# the kept play is slower than the level's ideal time. The shots are
# taken from when the host saw the level start in the log, a few frames
# late on a busy machine: mid-way is any shot with some fruit taken.
for t in $shots10 result; do [ -s "$SHOTS/l10-$t.png" ] || fail "screenshot l10-$t missing"; done
probe10() { "$PROBE" "$SHOTS/l10-$1.png" count $2 $3 $4 $5 $6 $7 $8 $9 ${10} ${11}; }
# slots10 SHOT RMIN RMAX GMIN GMAX BMIN BMAX: how many slots show that colour
# (the leaves of a branch may hide part of a slot).
slots10() {
  for x in 437 467 497 527 557; do probe10 $1 $x 25 $((x + 30)) 60 $2 $3 $4 $5 $6 $7; done | awk '$1 > 50 { n++ } END { print n + 0 }'
}
strip=$(probe10 100 280 522 744 580 40 110 40 110 40 120)
text=$(probe10 100 320 530 720 570 230 255 230 255 230 255)
echo "l10 start: level-info strip $strip pixels, text $text, $(slots10 100 40 120 60 140 90 170) fruit to take"
[ "$strip" -gt 12000 ] && [ "$text" -gt 200 ] || fail "the last level shows no level info at its start"
[ "$(slots10 100 40 120 60 140 90 170)" = 5 ] || fail "the last level does not start with five fruit to take"
[ "$(slots10 100 150 255 0 80 0 80)" = 0 ] || fail "fruit taken before the play"
taken=""
for t in $shots10; do
  w=$(probe10 $t 0 0 1024 600 225 255 100 185 130 205)
  [ "$w" -gt 1000 ] || fail "the worm is not on screen at step $t ($w pixels)"
  taken="$taken $(slots10 $t 150 255 0 80 0 80)"
done
echo "l10 fruit taken at steps $shots10:$taken"
case "$taken" in *" 1"* | *" 2"* | *" 3"* | *" 4"*) ;; *) fail "no shot of the last level mid-way" ;; esac
# Under the result screen the apples are dimmed.
[ "$(slots10 result 100 255 0 100 0 100)" = 5 ] || fail "fruit left at the end of the last level"
stars10=$(for x in 365 480 600; do probe10 result $x 170 $((x + 60)) 240 230 255 190 240 0 90; done | tr '\n' ' ')
echo "l10 result: stars $stars10"
set -- $stars10
[ "$1" -gt 300 ] && [ "$2" -gt 300 ] && [ "$3" -lt 100 ] || fail "the last level's result is not two stars ($stars10)"
# The result's achievement bars (white words along the bottom) stay where
# they were shown or end with their screen: none comes over the story's
# picture at the top (a bar is a dark glass 64 pixels high).
words=$(probe10 result 30 525 1000 580 235 255 235 255 235 255)
top=$(probe10 story 0 16 1024 80 0 120 0 130 0 140)
echo "l10 achievement bars: $words pixels of words on the result, $top dark pixels over the story's top"
[ "$words" -gt 300 ] || fail "no achievement bar on the last level's result"
[ "$top" -lt 8000 ] || fail "an achievement bar came over the story's picture ($top dark pixels)"

# --- Egg Hunter: earned by a level won with every egg of it -------------
# The tenth level has an egg, which its kept play takes: the win earns
# "ALL_EGGS" (the player's profile holds it among the achievements). The
# first has no egg and earns it not.
# eggs_earned EVENT: the achievement's node in that run's profiles.
eggs_earned() {
  cat "$WORK/$1"/data/*/*/profiles/*.xml 2>/dev/null |
    awk '/<array id="ACHIEVEMENTS">/ { a = 1 } a && /<\/array>/ { a = 0 } a && /<node id="ALL_EGGS"/ { n++ } END { print n + 0 }'
}
echo "Egg Hunter: earned $(eggs_earned E01_L10) by the tenth level, $(eggs_earned E01_L01) by the first"
[ "$(eggs_earned E01_L10)" = 1 ] || fail "the tenth level won with its egg did not earn Egg Hunter"
[ "$(eggs_earned E01_L01)" = 0 ] || fail "the first level, which has no egg, earned Egg Hunter"
# --- end of Egg Hunter ---------------------------------------------------

[ -z "$failed" ] || fail "not won:$failed"
echo "every level with a kept play is won"
