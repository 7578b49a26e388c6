#!/bin/sh
# A won level's records under SIGKILL: the real executable runs the kill
# timeline of e2e/flow/, one small level over and over, in developer mode:
# the developer's key 'C', pressed every tenth of a second, wins each
# level as soon as it is up (writing every record a win writes), and the
# result screen goes on by itself. Every win adds one to the level's
# "flawless_play" and saves the profile, which is large enough for the
# saves to take a while. Each run is killed with SIGKILL as one of its
# first four saves of the profile begins (the level's start, the win, the
# result screen's, the next level's start; chosen at random), after a
# random moment of up to 20 ms. Before the next run, the
# profile on disk must hold the level's whole record with the count of
# wins the killed run reported saved, or one more (a save that was whole
# before its report); a win on disk must be marked completed by the same
# save; an achievement the win earned (the result screen's save) must come
# after the win's record; and the next run must load it undamaged with the
# test's own value in it.
#
# LEVEL_KILLS kills (200 by default), in six lanes of their own data
# folder on one Xvfb server. The kills' logs and a summary go to the
# folder given as the fourth argument.
set -e
WORM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
DATA=$(cd "$2" && pwd)
SHOTS="$4"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../KODO/host/tests/with_xvfb.sh"
KILLS="${LEVEL_KILLS:-200}"
# Fewer kills than lanes take fewer lanes.
LANES=6
[ "$KILLS" -ge $LANES ] || [ "$KILLS" -lt 1 ] || LANES=$KILLS

if [ -z "$DISPLAY_READY" ]; then
  rm -rf "$SHOTS"
  mkdir -p "$SHOTS"
  DISPLAY_READY=1 exec sh "$XVFB" sh "$0" "$@"
fi

ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
E2E_FUNCTIONS_ONLY=1
. "$HERE/e2e-lib.sh"

# The level's record in a profile file: "flawless_play last_time
# best_time last_stars best_stars completed", a dash for each value
# missing; empty when there is no record.
record() {
  awk '/<node id="E01_L01"/ { on = 1 }
       on { for (i = 1; i <= NF; i++) if (split($i, kv, "=") == 2) { gsub(/"/, "", kv[2]); v[kv[1]] = kv[2] } }
       on && /\/>/ { on = 0; found = 1 }
       END { if (found) { n = split("flawless_play last_time best_time last_stars best_stars completed", k, " ");
                          for (i = 1; i <= n; i++) printf "%s ", (k[i] in v ? v[k[i]] : "-") } }' "$1" 2>/dev/null
}

lane() {
  id=$1
  runs=$2
  W="$ROOT/lane-$id"
  e2e_data_tree "$W" "$DATA" "$HERE/flow/ui"
  rm "$W/app/native/timeline.xml"
  ln -s "$HERE/flow/kill-timeline.xml" "$W/app/native/timeline.xml"
  ln -s "$HERE/flow/worlds" "$W/app/native/flow-worlds"
  ln -s "$HERE/flow/developer.xml" "$W/app/native/developer.xml"
  cd "$W"
  awk -v s="$id" -v n="$runs" 'BEGIN { srand(s * 7919); for (k = 0; k < n; k++) printf "%d %.3f\n", 1 + int(rand() * 4), rand() * 0.02 }' >pauses
  awk 'BEGIN { for (t = 1000; t < 30000; t += 100) printf "%d key C\n", t }' >keys
  e2e_paced keys
  profile="$W/data/Vantreo/Worm/profiles/1.xml"
  wins=0
  in_save=0
  saved_at_kill=0
  earned=0
  i=1
  while [ $i -le "$runs" ]; do
    log=$(printf "%s/data/Vantreo/Worm/logs/kodo-%04d.log" "$W" $i)
    KODO_HOST_PROGRESS="$W/progress" KODO_HOST_SCRIPT="$W/keys" SDL_AUDIODRIVER=dummy LP_NUM_THREADS=1 "$WORM" >"$W/out-$i.txt" 2>&1 &
    pid=$!
    nth=$(sed -n "${i}p" "$W/pauses" | cut -d' ' -f1)
    # Until the chosen save begins (given up after 60 s without a frame).
    t=0
    saves() { n=$(grep -c -F "Saving profile" "$log" 2>/dev/null || true); echo "${n:-0}"; }
    while [ "$(saves)" -lt "$nth" ] && kill -0 $pid 2>/dev/null; do
      if e2e_moved "$W/progress" "$log"; then t=0; else t=$((t + 1)); fi
      [ $t -lt 12000 ] || { echo "lane $id run $i: no save $nth, and no frame for 60 s" >>"$ROOT/failed"; kill -9 $pid; return 1; }
      sleep 0.005
    done
    if ! kill -0 $pid 2>/dev/null; then
      echo "lane $id run $i: the program ended before its save $nth" >>"$ROOT/failed"
      cp "$log" "$SHOTS/lane-$id-run-$i.log" 2>/dev/null || true
      return 1
    fi
    sleep "$(sed -n "${i}p" "$W/pauses" | cut -d' ' -f2)"
    kill -9 $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    if grep -q "ThreadSanitizer" "$W/out-$i.txt"; then
      echo "lane $id run $i: ThreadSanitizer report" >>"$ROOT/failed"
      cp "$W/out-$i.txt" "$SHOTS/lane-$id-run-$i.out"
      return 1
    fi
    # What the run found when it started: the profile the last kill left.
    if grep -q -i "damaged\|could not be loaded\|cannot be read\|not saved" "$log"; then
      echo "lane $id run $i: the profile did not load whole:" >>"$ROOT/failed"
      grep -i "damaged\|could not be loaded\|cannot be read\|not saved" "$log" >>"$ROOT/failed"
      cp "$log" "$SHOTS/lane-$id-run-$i.log"
      return 1
    fi
    reported=$(grep -c -F "Level completed: 'E01_L01'" "$log" || true)
    rec=$(record "$profile")
    now=$(echo "$rec" | cut -d' ' -f1)
    [ -n "$now" ] || now=0
    low=$((wins + reported))
    case "$rec" in *-*)
      echo "lane $id run $i: the level's record is not whole: $rec" >>"$ROOT/failed"
      cp "$profile" "$SHOTS/lane-$id-profile.xml"
      return 1 ;;
    esac
    if [ "$now" -lt "$low" ] || [ "$now" -gt $((low + 1)) ]; then
      echo "lane $id run $i: $now wins on disk; $wins before the run and $reported reported by it" >>"$ROOT/failed"
      cp "$log" "$SHOTS/lane-$id-run-$i.log"
      cp "$profile" "$SHOTS/lane-$id-profile.xml"
      return 1
    fi
    [ "$now" -gt "$low" ] && saved_at_kill=$((saved_at_kill + 1))
    if [ "$wins" -gt 0 ] || [ "$now" -gt 0 ]; then
      grep -q 'value="kept"' "$profile" || {
        echo "lane $id run $i: the profile lost the test's value" >>"$ROOT/failed"
        cp "$profile" "$SHOTS/lane-$id-profile.xml"
        return 1
      }
    fi
    # A win saved since the last run is saved whole, marked completed.
    if [ "$now" -gt "$wins" ] && ! grep -q '[[:space:]]completed="1"' "$profile"; then
      echo "lane $id run $i: a win is on disk without its completed mark: $rec" >>"$ROOT/failed"
      cp "$profile" "$SHOTS/lane-$id-profile.xml"
      return 1
    fi
    # The result screen's save, after the win's, holds the achievement
    # the win earned.
    if grep -q '<node id="FIRST_LEVEL"' "$profile" 2>/dev/null; then
      grep -q '[[:space:]]completed="1"' "$profile" || {
        echo "lane $id run $i: the achievement is on disk without the win's record" >>"$ROOT/failed"
        cp "$profile" "$SHOTS/lane-$id-profile.xml"
        return 1
      }
      earned=$((earned + 1))
    fi
    # Both taken back, for the next run's win and result screen to earn
    # them again.
    if [ -f "$profile" ]; then
      sed -i -e 's/\([[:space:]]\)completed="1"/\1completed="0"/' -e '/<node id="FIRST_LEVEL"/d' "$profile"
    fi
    # Killed inside a save of the profile: one begun after the last line
    # the save was followed by.
    begun=$(grep -n -F "Saving profile" "$log" | tail -1 | cut -d: -f1)
    after=$(grep -n -F "" "$log" | tail -1 | cut -d: -f1)
    [ -n "$begun" ] && [ "$begun" = "$after" ] && in_save=$((in_save + 1))
    wins=$now
    i=$((i + 1))
  done
  echo "lane $id: $runs kills, $in_save of them inside a save, $saved_at_kill between a win's save and its report," \
    "$earned after the result screen's save; $wins wins on disk"
}

e2e_run_lanes $LANES "$KILLS"
echo "level kill test: $((PER_LANE * LANES)) kills, every restart found the level's whole record as last saved"
