#!/bin/sh
# The timeline's saves under SIGKILL: worm_standin (the real program with
# a stand-in game linked in) runs the kill timeline of this folder, whose
# levels end themselves and save the player's position every frame while
# a transition runs. Each start resumes the saved event at once; a random
# moment later the program is killed with SIGKILL. Each next start must
# resume at the last position the killed run reported saved, or at the
# one after it (its save may have been whole before the report), with the
# stand-in game's save state of that same level, and the profile must
# load with the value the test keeps in it.
#
# TIMELINE_KILLS kills (200 by default), in four lanes of their own data
# folder on one Xvfb server. The kills' logs and a summary go to the
# folder given as the fourth argument.
set -e
WORM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
DATA=$(cd "$2" && pwd)
SHOTS="$4"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../../KODO/host/tests/with_xvfb.sh"
KILLS="${TIMELINE_KILLS:-200}"
# Fewer kills than lanes take fewer lanes.
LANES=4
[ "$KILLS" -ge $LANES ] || [ "$KILLS" -lt 1 ] || LANES=$KILLS

if [ -z "$DISPLAY_READY" ]; then
  rm -rf "$SHOTS"
  mkdir -p "$SHOTS"
  DISPLAY_READY=1 exec sh "$XVFB" sh "$0" "$@"
fi

ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
E2E_FUNCTIONS_ONLY=1
. "$HERE/../e2e-lib.sh"

# The event after each one, the jump AGAIN leading back to K1.
next_of() {
  case "$1" in K1) echo K2 ;; K2) echo K3 ;; K3) echo K1 ;; *) echo "?" ;; esac
}
level_of() { echo "$1" | tr K k; }

# One lane: `runs` starts and kills in a data folder of its own. Writes
# "lane N: ..." lines, and the failure to $ROOT/failed; a lane that
# finishes leaves $ROOT/done-N, so that one cut short by the shell (a
# set-up that failed) fails the test too.
lane() {
  id=$1
  runs=$2
  W="$ROOT/lane-$id"
  e2e_data_tree "$W" "$DATA" "$HERE/ui"
  ln -s "$HERE/../ui-test/test-game.lua" "$W/app/native/ui/"
  rm "$W/app/native/timeline.xml"
  ln -s "$HERE/kill-timeline.xml" "$W/app/native/timeline.xml"
  cd "$W"
  awk -v s="$id" -v n="$runs" 'BEGIN { srand(s * 7919); for (k = 0; k < n; k++) printf "%.3f\n", rand() * 2.5 }' >pauses
  prev_resumed=K1
  prev_saved=
  ever_saved=0
  in_save=0
  nexts=0
  seen=
  i=1
  while [ $i -le "$runs" ]; do
    log=$(printf "%s/data/Vantreo/Worm/logs/kodo-%04d.log" "$W" $i)
    KODO_HOST_PROGRESS="$W/progress" SDL_AUDIODRIVER=dummy LP_NUM_THREADS=1 "$WORM" >"$W/out-$i.txt" 2>&1 &
    pid=$!
    # Until the run has resumed (its first start of an event).
    t=0
    while ! grep -q -F "Timeline starting event" "$log" 2>/dev/null; do
      if ! kill -0 $pid 2>/dev/null; then
        echo "lane $id run $i: the program ended before the timeline started" >>"$ROOT/failed"
        cp "$log" "$SHOTS/lane-$id-run-$i.log" 2>/dev/null || true
        return 1
      fi
      if e2e_moved "$W/progress" "$log"; then t=0; else t=$((t + 1)); fi
      [ $t -lt 1200 ] || { echo "lane $id run $i: no timeline event, and no frame for 60 s" >>"$ROOT/failed"; kill -9 $pid; return 1; }
      sleep 0.05
    done
    resumed=$(grep -F "Timeline starting event" "$log" | head -1 | sed "s/.*event '\([^']*\)'.*/\1/")
    if [ -n "$prev_saved" ]; then
      allowed="$prev_saved $(next_of "$prev_saved")"
    else
      allowed=$prev_resumed
    fi
    case " $allowed " in
      *" $resumed "*) ;;
      *)
        echo "lane $id run $i: resumed at $resumed, expected one of: $allowed" >>"$ROOT/failed"
        cp "$log" "$SHOTS/lane-$id-run-$i.log"
        cp "$(printf "%s/data/Vantreo/Worm/logs/kodo-%04d.log" "$W" $((i - 1)))" "$SHOTS/lane-$id-run-$((i - 1)).log"
        kill -9 $pid
        return 1
        ;;
    esac
    [ -n "$prev_saved" ] && [ "$resumed" != "$prev_saved" ] && nexts=$((nexts + 1))
    # A random moment, up to 2.5 s (two events or so), then the kill.
    sleep "$(sed -n "${i}p" "$W/pauses")"
    kill -9 $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    if grep -q "ThreadSanitizer" "$W/out-$i.txt"; then
      echo "lane $id run $i: ThreadSanitizer report" >>"$ROOT/failed"
      cp "$W/out-$i.txt" "$SHOTS/lane-$id-run-$i.out"
      return 1
    fi
    if grep -q -i "damaged\|could not be loaded" "$log"; then
      echo "lane $id run $i: a file did not load:" >>"$ROOT/failed"
      grep -i "damaged\|could not be loaded" "$log" >>"$ROOT/failed"
      return 1
    fi
    # The stand-in game's state came back with the level of the event,
    # whenever a save existed and the run got as far as delivering it.
    if [ "$ever_saved" = 1 ] && grep -q -F "Timeline position '$resumed' saved." "$log"; then
      grep -q -F "StandIn resumes level '$(level_of "$resumed")'." "$log" || {
        echo "lane $id run $i: resumed $resumed without its save state" >>"$ROOT/failed"
        cp "$log" "$SHOTS/lane-$id-run-$i.log"
        return 1
      }
    fi
    prev_resumed=$resumed
    last=$(grep -F "Timeline position '" "$log" | tail -1 | sed "s/.*position '\([^']*\)'.*/\1/")
    if [ -n "$last" ]; then
      prev_saved=$last
      ever_saved=1
    fi
    # Killed inside a save: one begun after the last one reported.
    begun=$(grep -n -F "Saving current game" "$log" | tail -1 | cut -d: -f1)
    done_at=$(grep -n -F "Timeline position '" "$log" | tail -1 | cut -d: -f1)
    [ -n "$begun" ] && [ "$begun" -gt "${done_at:-0}" ] && in_save=$((in_save + 1))
    seen="$seen $resumed"
    if [ "$ever_saved" = 1 ]; then
      profile="$W/data/Vantreo/Worm/profiles/1.xml"
      grep -q 'value="kept"' "$profile" || {
        echo "lane $id run $i: the profile lost the test's value" >>"$ROOT/failed"
        cp "$profile" "$SHOTS/lane-$id-profile.xml"
        return 1
      }
    fi
    i=$((i + 1))
  done
  echo "lane $id: $runs kills, $in_save of them inside a save; resumed at K1 $(echo "$seen" | grep -o K1 | wc -l)," \
    "K2 $(echo "$seen" | grep -o K2 | wc -l), K3 $(echo "$seen" | grep -o K3 | wc -l) times;" \
    "$nexts times at the position after the last one reported"
}

e2e_run_lanes $LANES "$KILLS"
echo "timeline kill test: $((PER_LANE * LANES)) kills, every restart resumed where the profile said"
