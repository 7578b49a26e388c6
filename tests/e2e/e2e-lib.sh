# Shared by the end-to-end tests, sourced with the executable and the data
# tree as $1 and $2: sets WORM, DATA, HERE (this folder), XVFB (the runner
# that gives the game a virtual display) and WORK (a fresh folder, removed
# at exit). A script with a set-up of its own (the timeline's, one folder
# down, which runs lanes of its own) takes only the functions: it sets
# E2E_FUNCTIONS_ONLY=1 before sourcing.

# Lays out the bundled data tree for a run of the real executable in
# $1/app/native: a folder of links to the entries of the data tree $2, so
# that whatever the program writes under "res://" stays in the run's own
# folder. With a third argument, the entries of that folder are laid over
# the tree's ui/, each replacing the bundled one of its name; a bundled
# file it replaces stays reachable as ui/bundled/<name>, for a
# replacement that runs the bundled script and adds to it (LuaInclude).
# Used as: e2e_data_tree WORK DATA [UI_FOLDER]
e2e_data_tree() {
  mkdir -p "$1/app/native"
  for f in "$2"/*; do
    [ -n "$3" ] && [ "$(basename "$f")" = ui ] && continue
    ln -s "$f" "$1/app/native/"
  done
  [ -n "$3" ] || return 0
  mkdir -p "$1/app/native/ui/bundled"
  for f in "$2"/ui/*; do
    if [ -e "$3/$(basename "$f")" ]; then
      ln -s "$f" "$1/app/native/ui/bundled/"
    else
      ln -s "$f" "$1/app/native/ui/"
    fi
  done
  for f in "$3"/*; do ln -s "$f" "$1/app/native/ui/"; done
}

# A data tree in $1/app/native like the bundled one but without its
# prog.xml, which the test writes itself.
tree_without_prog_xml() {
  e2e_data_tree "$1" "$DATA"
  rm "$1/app/native/prog.xml"
}

# For the kill tests, whose lanes share one Xvfb server: e2e_run_lanes
# LANES KILLS runs the script's function `lane ID RUNS` in LANES lanes at
# once, KILLS runs in all, in the folder $ROOT. A lane writes its lines,
# and its failures to $ROOT/failed; one that finishes leaves
# $ROOT/done-ID, so that a lane cut short by the shell (a set-up that
# failed) fails the test too. The lanes' lines go to $SHOTS/summary.txt;
# the test fails when any lane did. PER_LANE: the runs of each lane.
e2e_run_lanes() {
  PER_LANE=$((($2 + $1 - 1) / $1))
  k=1
  while [ $k -le "$1" ]; do
    ( (lane $k $PER_LANE && touch "$ROOT/done-$k") || echo "lane $k failed" >>"$ROOT/failed") >"$ROOT/lane-$k.txt" 2>&1 &
    k=$((k + 1))
  done
  wait
  k=1
  while [ $k -le "$1" ]; do
    [ -f "$ROOT/done-$k" ] || echo "lane $k did not finish" >>"$ROOT/failed"
    k=$((k + 1))
  done
  cat "$ROOT"/lane-*.txt | tee "$SHOTS/summary.txt"
  if [ -s "$ROOT/failed" ]; then
    echo "FAILED:"
    cat "$ROOT/failed"
    exit 1
  fi
}

# e2e_wait MS N TEXT...: a host script line at MS that holds the lines
# after it until the program's log of its Nth run (started from $WORK)
# holds the text, after what the last wait found; the later lines then run
# as much later as it held. A click timed by the clock alone misses its
# screen on a machine slow enough to make the program late.
e2e_wait() {
  echo "$1 wait data/*/*/logs/kodo-000$2.log $(shift 2; echo "$*")"
}

# e2e_wait_menu MS [N]: a wait at MS for the main menu of run N (1 by
# default): the transition from the loading screen has left the stack.
e2e_wait_menu() {
  e2e_wait "$1" "${2:-1}" "Removing 'Transition' from Screen Stack"
}

# e2e_tap MS X Y: a press at MS and its release 6 frames later.
e2e_tap() { echo "$1 touch_down $2 $3"; echo "$1 frames 6"; echo "$1 touch_up $2 $3"; }

# e2e_press_play MS: lines at MS that wait for the main menu of the first
# run and, 30 frames later, tap its Play.
e2e_press_play() {
  e2e_wait_menu "$1"
  echo "$1 frames 30"
  e2e_tap "$1" 512 315
}

# e2e_moved PROGRESS LOG: true when the run has made a frame (the host's
# count in PROGRESS, its KODO_HOST_PROGRESS) or written to LOG since the
# last call; loops that wait for a line give up on a stuck run this way,
# never on a slow one.
e2e_moved() {
  mark="$(cat "$1" 2>/dev/null) $(wc -c 2>/dev/null <"$2")"
  [ "$mark" = "${e2e_mark:-}" ] && return 1
  e2e_mark=$mark
}

# e2e_paced FILE: rewrites the host script FILE so that each of its lines
# is placed by frames after the line before it, never by the host's clock
# (under a busy or now and then stopped host the clock would fold a
# press and its release, or a key and a click, into one frame): the lines
# in the order the host runs them (by time, equal times as written), each
# at time 0, with a gap of d ms between two lines made "frames"
# ceil(d / 16), the game's frame at 60 a second (1/60 s of its time at
# least). A script placed so already is left as it is; comments go.
e2e_paced() {
  awk '!/^[[:space:]]*(#|$)/ { printf "%d\t%d\t%s\n", ($1 ~ /^[0-9]+$/) ? $1 : 0, NR, $0 }' "$1" |
    sort -n -k1,1 -k2,2 |
    awk '{ d = $1 - last; last = $1; if (d > 0) printf "0 frames %d\n", int((d + 15) / 16)
           sub(/^[0-9]+\t[0-9]+\t/, ""); sub(/^[0-9]+ /, "0 "); print }' >"$1.paced"
  mv "$1.paced" "$1"
}

# e2e_timeout IDLE CMD...: runs CMD (the program under its Xvfb runner)
# and ends it when it has run no frame for IDLE seconds (the host's frame
# count in KODO_HOST_PROGRESS): a slow or busy machine makes a run
# longer, only a stuck one is stopped. Answers CMD's status, or 124 when
# it was stopped. CTest's time-out stays as the last guard. The host
# script named by KODO_HOST_SCRIPT, if any, is placed by frames first
# (e2e_paced).
e2e_timeout() {
  idle=$1
  shift
  [ -z "${KODO_HOST_SCRIPT:-}" ] || [ ! -f "$KODO_HOST_SCRIPT" ] || e2e_paced "$KODO_HOST_SCRIPT"
  progress=$(mktemp "$WORK/progress.XXXXXX")
  chmod 666 "$progress"
  KODO_HOST_PROGRESS="$progress" setsid "$@" &
  pid=$!
  seen=""
  still=0
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    now=$(cat "$progress" 2>/dev/null)
    if [ "$now" != "$seen" ]; then
      seen=$now
      still=0
    else
      still=$((still + 1))
    fi
    [ "$still" -lt "$idle" ] && continue
    echo "e2e_timeout: no frame for $idle s (frames run: ${seen:-none}); the run is stopped" >&2
    kill -TERM -- "-$pid" 2>/dev/null
    sleep 5
    kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 124
  done
  wait "$pid"
}

# For the runs of one program with a host script: the test fails with a
# message, the end of the program's log and of its output.
fail() {
  echo "FAILED: $*"
  [ -n "${LOG:-}" ] && tail -40 "$LOG"
  tail -20 "$WORK/out.txt"
  exit 1
}

# e2e_run_game SECONDS: runs the program under Xvfb from $WORK on the host
# script $WORK/script.txt until it ends, or has run no frame for SECONDS
# (e2e_timeout); its log is kept as
# $SHOTS/log.txt and named by LOG. The test fails when the program does
# not end well or writes no log.
e2e_run_game() {
  cd "$WORK"
  status=0
  KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy e2e_timeout "$1" sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 ||
    status=$?
  LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/log.txt"
  [ "$status" = 0 ] || fail "exit status $status"
  [ -n "$LOG" ] || fail "no log file written"
}

# e2e_log_in_order LINE...: the log holds each line, in this order (each
# found after the one before it).
e2e_log_in_order() {
  last=0
  for line in "$@"; do
    n=$(tail -n +$((last + 1)) "$LOG" | grep -n -F "$line" | head -1 | cut -d: -f1)
    [ -n "$n" ] || fail "log line '$line' missing after line $last"
    last=$((last + n))
  done
}

# e2e_type_line MS TEXT [x]: host script lines at MS that open the console
# (its key TAB, as tests/e2e/labs/developer.xml sets it), type the text,
# enter it and close the console, each key 2 frames after the one before
# (the console's keys 6 frames), so that a late program takes them one at
# a time. With x, the text and its RETURN are typed as a real keyboard's
# keys (xkey, a US keyboard's: Shift with 9 for '(', with the quote key
# for '"').
e2e_type_line() {
  awk -v t="$1" -v s="$2" -v x="$3" 'BEGIN {
    split("space minus equal bracketleft bracketright semicolon apostrophe grave backslash comma period slash", name)
    plain = " -=[];\047`\\,./"; shifted = " _+{}:\"~|<>?"; digits = ")!@#$%^&*("
    printf "%d key TAB\n%d frames 6\n", t, t
    for (i = 1; i <= length(s); i++) {
      c = substr(s, i, 1)
      if (x == "") k = "key " (c == " " ? "SPACE" : c)
      else if (c ~ /[a-z0-9]/) k = "xkey " c
      else if (c ~ /[A-Z]/) k = "xkey shift+" tolower(c)
      else if (index(digits, c)) k = "xkey shift+" (index(digits, c) - 1)
      else if (index(plain, c)) k = "xkey " name[index(plain, c)]
      else k = "xkey shift+" name[index(shifted, c)]
      printf "%d %s\n%d frames 2\n", t, k, t
    }
    printf "%d %s\n%d frames 6\n%d key TAB\n", t, x == "" ? "key RETURN" : "xkey Return", t, t
  }'
}

# e2e_click MS X Y: as e2e_tap (a press and its release frames later); the
# lab and editor runs' name for it.
e2e_click() { e2e_tap "$@"; }

[ -z "${E2E_FUNCTIONS_ONLY:-}" ] || return 0
set -e
WORM="$1"
DATA="$2"
HERE=$(cd "$(dirname "$0")" && pwd)
XVFB="$HERE/../../KODO/host/tests/with_xvfb.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
