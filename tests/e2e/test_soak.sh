#!/bin/sh
# The unattended soak: the real executable plays the bundled game with its
# automated player switched on (the product feature AUTO_TESTING_MODE in a
# prog.xml of the run's own, developer mode off), run after run on the
# same player data. Each run starts at the main menu (whose Play resumes
# the saved event), loses the window's focus for less than a second every
# 20-40 s of play (the first run also once inside its first level, so
# that the pause menu comes however quickly levels are won), and ends by
# the host script's exit once it has completed SOAK_RUN_LEVELS levels: a
# normal quit, so that shutdown and the leak check run. The second run presses
# Levels once (the player's own policy never opens the level selection);
# the first plays from the start, through the story.
#
# The soak stops once SOAK_LEVELS levels are completed and the required
# screens were reached, or when SOAK_FRAMES frames are spent; SOAK_SECONDS
# is only an outer limit. It fails on a sanitizer report (leaks
# included), a run that makes no frame for 30 s, an exit that is not
# clean, fewer than 3 levels completed, a required screen never reached
# (MainMenu, Story or StoryDialog, GameDeziDedi, GameLevelCompleted,
# GamePopMenu, LevelSelect, and those of SOAK_REQUIRE), player data that
# does not load or whose level records differ from the levels the logs
# show completed. SOAK_SEED seeds the player's choices (logged by the
# program); frame times still make two runs of one seed differ.
#
# The summary (screens with counts, levels, clicks, frames, peak RSS at
# each minute) goes to summary.txt beside the shots. SOAK_RSS_GROWTH_KB,
# when set, bounds the growth of a run's peak RSS after its first minute.
. "$(dirname "$0")/e2e-lib.sh"
# Every check below fails the soak by name; a watcher's look-up that finds
# nothing (a process gone between two looks) must not end it unnoticed.
set +e
PROBE="$3"
SHOTS="$4"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

SEED=${SOAK_SEED:-1}
FRAMES=${SOAK_FRAMES:-30000}
LIMIT=${SOAK_SECONDS:-1500}
TARGET=${SOAK_LEVELS:-3}
PER_RUN=${SOAK_RUN_LEVELS:-2}
REQUIRED="MainMenu GameDeziDedi GameLevelCompleted GamePopMenu LevelSelect ${SOAK_REQUIRE:-}"
SUMMARY="$SHOTS/summary.txt"

e2e_data_tree "$WORK" "$DATA"
rm "$WORK/app/native/prog.xml"
sed -e 's/features="AUTOSCALE,MULTITOUCH"/features="AUTOSCALE,MULTITOUCH,AUTO_TESTING_MODE"/' \
  -e 's/developer_mode="[0-9]*"/developer_mode="0"/' "$DATA/prog.xml" >"$WORK/app/native/prog.xml"
grep -q AUTO_TESTING_MODE "$WORK/app/native/prog.xml" || fail "the soak's prog.xml lacks the feature"

# A number from the seed's own sequence: rnd N MIN MAX.
rnd() { awk -v s="$SEED" -v n="$1" -v a="$2" -v b="$3" 'BEGIN { srand(s * 7919 + n); print int(a + rand() * (b - a + 1)) }'; }

# The host script of run $1, with $2 frames to spend: the main menu, Levels
# (second run), then play in stretches of 20-40 s (at 60 frames a second)
# each ended by a focus loss of 0.4 s, until the frames are spent. A run
# ends long before 20 s of play now and then, so the first stretch is
# what the last run left of its own ($CARRY frames): the losses keep
# their pace across the runs. The stretches' ends go to $WORK/ends.
script() {
  log="data/*/*/logs/kodo-000$1.log"
  [ "$1" -ge 10 ] && log="data/*/*/logs/kodo-00$1.log"
  echo "0 exit_after $PER_RUN $log Level completed:"
  echo "0 wait $log Removing 'Transition' from Screen Stack"
  t=100
  if [ "$1" = 1 ]; then
    # The player's cross, over what it pressed first.
    echo "$t wait $log AI clicked"
    echo "$t frames 3"
    echo "$t screenshot $SHOTS/cross.png"
    # And in the first level: the worm's particles must not hide it.
    echo "$t wait $log started:"
    echo "$t frames 30"
    echo "$t screenshot $SHOTS/level-cross.png"
    # A focus loss inside that level, once its transition is over: the
    # pause menu comes however quickly the player wins its levels.
    echo "$t wait $log Removing 'TimelineTransition' from Screen Stack"
    echo "$t frames 60"
    echo "$t state thumbnail"
    echo "$t frames 24"
    echo "$t state fullscreen"
    t=$((t + 100))
  fi
  if [ "$1" = 2 ]; then
    echo "$t frames 20"
    e2e_click $t 512 390
    t=$((t + 100))
  fi
  # At most the frames the outer limit leaves room for, at 60 a second.
  awk -v s="$SEED" -v r="$1" -v left="$2" -v f="$CARRY" -v t="$t" -v shots="$SHOTS" -v ends="$WORK/ends" \
    -v most=$(((LIMIT - ($(date +%s) - START)) * 60)) 'BEGIN {
    if (left > most) left = most
    srand(s * 7919 + r)
    for (k = 1; left > 0; k++) {
      if (k > 1) f = int(1200 + rand() * 1201)
      if (f > left) f = left
      left -= f
      used += f
      print used > ends
      printf "%d frames %d\n%d screenshot %s/run%d-%d.png\n", t, f, t, shots, r, k
      printf "%d state thumbnail\n%d state fullscreen\n", t + 10, t + 410
      t += 500
    }
    printf "%d exit\n", t
  }'
}

# Whether run $1 is quitting already: its script's exit has run (the
# last line, or the watch for its levels fired), or its log shows the
# shutdown begun. Such a run is neither asked to quit (a signal after its
# handlers are gone would end it with 143) nor held to making frames.
quitting() {
  grep -q -E "^script [0-9]+ (exit|exit_after .*: seen [0-9]+ times)$" "$WORK/trace-$1.txt" 2>/dev/null ||
    grep -q -F "KODO Shutdown." $(ls "$WORK"/data/*/*/logs/kodo-*$1.log 2>/dev/null | tail -1) /dev/null
}

# Runs the program (run $1) and watches it: stopped when it makes no frame
# for 30 s (a hang; 300 s once it is quitting, which makes none) or when
# the soak's outer limit passes (then asked to quit: the host takes a
# signal as the platform's exit). Samples the peak RSS each minute.
run() {
  progress="$WORK/progress"
  echo 0 >"$progress"
  chmod 666 "$progress"
  LD_PRELOAD="${SOAK_PRELOAD:-}" KODO_HOST_PROGRESS="$progress" KODO_HOST_TRACE="$WORK/trace-$1.txt" KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy \
    SOAK_SEED=$((SEED + $1 - 1)) setsid sh "$XVFB" "$WORM" >"$WORK/out-$1.txt" 2>&1 &
  pid=$!
  seen=""
  still=0
  second=0
  hwm=""
  first_hwm=""
  hung=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    second=$((second + 1))
    now=$(cat "$progress" 2>/dev/null)
    if [ "$now" != "$seen" ]; then seen=$now; still=0; else still=$((still + 1)); fi
    game=$(ps -s "$pid" -o pid=,comm= | awk -v n="$(basename "$WORM" | cut -c1-15)" '$2 == n { print $1 }')
    now_hwm=$(awk '/VmHWM/ { print $2 }' "/proc/$game/status" 2>/dev/null || true)
    [ -n "$now_hwm" ] && hwm=$now_hwm
    [ "$second" = 60 ] && first_hwm=${hwm:-}
    if [ "$(date +%s)" -ge "$NEXT_SAMPLE" ]; then
      NEXT_SAMPLE=$((NEXT_SAMPLE + 60))
      echo "minute $(((NEXT_SAMPLE - START) / 60 - 1)) (run $1, its second $second): peak RSS ${hwm:-?} kB, frames ${seen:-0}" >>"$WORK/rss.txt"
    fi
    idle=30
    quitting $1 && idle=300
    if [ "$(($(date +%s) - START))" -ge "$LIMIT" ] && [ -z "${stopping:-}" ]; then
      stopping=1
      if [ "$idle" = 300 ]; then
        echo "run $1: the outer limit of $LIMIT s passed while it was quitting" >>"$WORK/notes.txt"
      else
        echo "run $1: the outer limit of $LIMIT s passed; the program is asked to quit" >>"$WORK/notes.txt"
        [ -n "$game" ] && kill -TERM "$game" 2>/dev/null
      fi
    fi
    [ "$still" -lt "$idle" ] && continue
    echo "run $1: no frame for $idle s (frames run: ${seen:-none}); stopped" >>"$WORK/notes.txt"
    hung=1
    kill -KILL -- "-$pid" 2>/dev/null
    break
  done
  status=0
  wait "$pid" || status=$?
  FRAMES_RUN=${seen:-0}
  # The peak's growth after the first minute (RSS says nothing of leaks
  # under the sanitizers; in an optimised build it does).
  if [ -n "$first_hwm" ] && [ -n "$hwm" ]; then
    echo "run $1 end after $second s: peak RSS $hwm kB, grown $((hwm - first_hwm)) kB since minute 1" >>"$WORK/rss.txt"
    [ -z "${SOAK_RSS_GROWTH_KB:-}" ] || [ $((hwm - first_hwm)) -le "$SOAK_RSS_GROWTH_KB" ] ||
      echo "run $1: the peak RSS grew by $((hwm - first_hwm)) kB after minute 1" >>"$WORK/failed.txt"
  fi
  cp "$WORK/out-$1.txt" "$WORK/trace-$1.txt" "$SHOTS/" 2>/dev/null || true
  cp "$WORK/out-$1.txt" "$WORK/out.txt" 2>/dev/null || true
  LOG=$(ls "$WORK"/data/*/*/logs/kodo-*$1.log 2>/dev/null | tail -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/run$1.log"
  [ "$hung" = 0 ] || fail "run $1 hung"
  [ "$status" = 0 ] || fail "run $1: exit status $status"
}

# The player's data after a run: the index and the test profile are
# whole XML files, the profile named dev_AIPlayer, and its completed
# levels are those the logs show completed.
check_player_data() {
  dir=$(ls -d "$WORK"/data/*/*/profiles 2>/dev/null | head -1)
  [ -n "$dir" ] || fail "no player data after run $1"
  rm -rf "$SHOTS/profiles"
  cp -r "$dir" "$SHOTS/profiles"
  profile=$(grep -l 'value="dev_AIPlayer"' "$dir"/*.xml | head -1)
  [ -n "$profile" ] || fail "run $1: no profile named dev_AIPlayer"
  for f in "$dir/index.xml" "$profile"; do
    if command -v xmllint >/dev/null; then
      xmllint --noout "$f" 2>>"$WORK/notes.txt" || fail "run $1: $f does not load"
    else
      tail -1 "$f" | grep -q '</root>' || fail "run $1: $f is cut short"
    fi
  done
  records=$(awk '/<array id="LEVELS">/ { l = 1; next } l && /<\/array>/ { l = 0 }
                 l && match($0, /<node id="[^"]*"/) { id = substr($0, RSTART + 10, RLENGTH - 11) }
                 l && /completed="1"/ { print id }' \
    "$profile" | sort -u | tr '\n' ' ')
  logged=$(cat "$WORK"/data/*/*/logs/kodo-*.log | sed -n "s/.*Level completed: '\([^']*\)'.*/\1/p" | sort -u | tr '\n' ' ')
  [ "$records" = "$logged" ] || fail "run $1: the profile's completed levels ($records) are not the logged ones ($logged)"
}

cd "$WORK"
START=$(date +%s)
NEXT_SAMPLE=$((START + 60))
: >"$WORK/notes.txt"
: >"$WORK/rss.txt"
spent=0
r=0
CARRY=$(rnd 0 1200 2400)
while [ "$spent" -lt "$FRAMES" ] && [ "$(($(date +%s) - START))" -lt "$LIMIT" ]; do
  r=$((r + 1))
  script $r $((FRAMES - spent)) >"$WORK/script.txt"
  e2e_paced "$WORK/script.txt"
  run $r
  CARRY=$(awk -v n="$FRAMES_RUN" '$1 > n { print $1 - n; exit }' "$WORK/ends")
  [ "${CARRY:-0}" -ge 60 ] || CARRY=60
  spent=$((spent + FRAMES_RUN))
  [ -n "$LOG" ] || fail "run $r wrote no log"
  grep -q "AI Player seed $((SEED + r - 1))" "$LOG" || fail "run $r: the seed is not logged"
  if grep -E -q "ERROR: (Address|Leak|Thread)Sanitizer|runtime error:" "$WORK/out-$r.txt"; then
    fail "run $r: a sanitizer report (out-$r.txt)"
  fi
  check_player_data $r
  levels=$(cat "$SHOTS"/run*.log | grep -c "Level completed:" || true)
  missing=""
  for s in $REQUIRED; do grep -q -F "PushScreen: '$s'" "$SHOTS"/run*.log || missing="$missing $s"; done
  grep -q -E "PushScreen: '(Story|StoryDialog)'" "$SHOTS"/run*.log || missing="$missing Story/StoryDialog"
  echo "run $r: $(grep -c "Level completed:" "$LOG" || true) levels, $FRAMES_RUN frames; missing:${missing:- none}"
  [ "$levels" -ge "$TARGET" ] && [ -z "$missing" ] && break
done

{
  echo "soak: seed $SEED, $r runs, $spent frames, $(($(date +%s) - START)) s"
  echo "(frame times differ from run to run, so one seed need not repeat a soak exactly)"
  echo "levels completed: $levels ($(cat "$SHOTS"/run*.log | sed -n "s/.*Level completed: '\([^']*\)'.*/\1/p" | tr '\n' ' '))"
  echo "clicks: $(cat "$SHOTS"/run*.log | grep -c "AI clicked" || true)"
  echo "screens:"
  cat "$SHOTS"/run*.log | sed -n "s/.*PushScreen: '\([^']*\)'.*/\1/p" | sort | uniq -c | sort -rn
  echo "peak RSS of the running program each minute of the soak:"
  cat "$WORK/rss.txt"
  cat "$WORK/notes.txt"
} >"$SUMMARY"
cat "$SUMMARY"
[ ! -s "$WORK/failed.txt" ] || fail "$(cat "$WORK/failed.txt")"
[ "$levels" -ge 3 ] || fail "only $levels levels completed"
[ -z "$missing" ] || fail "screens never reached:$missing"
# The automated player's cross (pure magenta, 20 x 20) over the first
# button it pressed, and in the first level; the other shots are counted
# for the summary.
crosses=0
for f in "$SHOTS"/run*-*.png; do
  [ -f "$f" ] || continue
  n=$("$PROBE" "$f" count 0 0 1024 600 235 255 0 30 235 255)
  [ "$n" -ge 40 ] && crosses=$((crosses + 1))
done
echo "shots of play with the cross: $crosses" | tee -a "$SUMMARY"
for shot in cross level-cross; do
  n=$("$PROBE" "$SHOTS/$shot.png" count 0 0 1024 600 235 255 0 30 235 255)
  echo "$shot.png: $n pixels of the cross" | tee -a "$SUMMARY"
  [ "$n" -ge 80 ] && [ "$n" -le 200 ] || fail "$shot.png shows no cross of the player's ($n pixels)"
done
echo "soak passed"
