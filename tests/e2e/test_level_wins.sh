#!/bin/sh
# Bundled levels won through the real executable under Xvfb (all of them,
# or those LEVEL_WINS_ONLY names besides the first). For each winning play
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
# stars), and the profile keeps the level's record. Screenshots stay in
# the folder given as the fourth argument.
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
    e2e_wait_menu "$(pace 5000)"
    echo "$(pace 6000) touch_down 512 315"
    echo "$(pace 6100) touch_up 512 315"
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
  [ "$event" = E01_L01 ] && continue
  [ -z "${LEVEL_WINS_ONLY:-}" ] || case " $LEVEL_WINS_ONLY " in *" $event "*) ;; *) continue ;; esac
  mkdir -p "$WORK/$event/app/native"
  cp "$play" "$WORK/$event/app/native/replay.txt"
  run_level "$event" < /dev/null || true
done

# The first level, with the result screen held long enough to be seen:
# the play's last line comes 1500 steps later (more at a slower pace).
# A replayed level advances one step a frame, so the screenshots are
# paced by frames from the level's start: the prologue at step 120,
# mid-way at steps 480 to 720, the result screen 300 frames after it is
# pushed. Equal times keep their order.
mkdir -p "$WORK/E01_L01/app/native"
awk -v pace="$GAME_PACE" '$2 == "end" { $1 += 1500 * pace + 1200 * (pace - 1) } { print }' "$HERE/levels/E01_L01.txt" > "$WORK/E01_L01/app/native/replay.txt"
shots="120 480 540 600 660 720"
{
  t=$(pace 6200)
  e2e_wait "$t" 1 "Level 'worlds/e01-l01.xml' started"
  at=0
  for s in $shots; do
    echo "$t frames $((s - at))"
    echo "$t screenshot $SHOTS/l01-$s.png"
    at=$s
  done
  e2e_wait "$t" 1 "PushScreen: 'GameLevelCompleted'"
  echo "$t frames 300"
  echo "$t screenshot $SHOTS/l01-result.png"
} | run_level E01_L01 || { echo "FAILED: not won:$failed"; exit 1; }

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

[ -z "$failed" ] || fail "not won:$failed"
echo "every level with a kept play is won"
