#!/bin/sh
# Runs a command while the programs named NAME that it starts are stopped
# now and then, as a host that runs them in time slices (a CPU quota,
# steal time) does: STOP_MS stopped (SIGSTOP), then RUN_MS running
# (SIGCONT), until the command ends. Answers the command's status. For
# trying an end-to-end run by hand; a run paced by frames and the log
# passes under it, one paced by the clock may not.
#
#   tools/stop-go.sh NAME STOP_MS RUN_MS COMMAND...
#   tools/stop-go.sh worm 300 150 ctest --test-dir build-test -R e2e_test_game_loss
name=$1
stop=$(awk -v ms="$2" 'BEGIN { print ms / 1000 }')
run=$(awk -v ms="$3" 'BEGIN { print ms / 1000 }')
shift 3
"$@" &
cmd=$!
# The command's descendants named NAME (the game under its Xvfb runner).
named() {
  for c in $(pgrep -P "$1"); do
    [ "$(cat "/proc/$c/comm" 2>/dev/null)" = "$name" ] && echo "$c"
    named "$c"
  done
}
stopped=""
trap '[ -z "$stopped" ] || kill -CONT $stopped 2>/dev/null' EXIT
while kill -0 "$cmd" 2>/dev/null; do
  stopped=$(named "$cmd")
  [ -z "$stopped" ] || kill -STOP $stopped 2>/dev/null
  sleep "$stop"
  [ -z "$stopped" ] || kill -CONT $stopped 2>/dev/null
  stopped=""
  sleep "$run"
done
wait "$cmd"
