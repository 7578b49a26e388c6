#!/bin/sh
# Starts the real executable headless, lets it run frames, sends the exit
# request through the scripted input and checks the exit status and the
# order of the start-up and shutdown lines in the log file. It runs with
# the machine's own sound: without a sound card, stderr has the host's
# one notice and none of the sound library's own error lines. It runs in
# developer mode, where every fault found in data is shown: the bundled
# data, loaded whole (every screen preloaded, the menu up), shows none.
. "$(dirname "$0")/e2e-lib.sh"
e2e_data_tree "$WORK" "$DATA"
ln -s "$HERE/labs/developer.xml" "$WORK/app/native/developer.xml"
cat > "$WORK/script.txt" <<END
# let it run frames, then ask the program to quit
0 frames 40
0 state thumbnail
0 frames 6
0 state fullscreen
$(e2e_wait_menu 0)
0 frames 6
0 exit
END
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" \
  e2e_timeout 120 env -u SDL_AUDIODRIVER sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
if [ "$status" != 0 ]; then
  echo "exit status $status"; cat "$WORK/out.txt"; exit 1
fi
if grep -q "^ALSA lib" "$WORK/out.txt"; then
  echo "the sound library printed its own errors:"; cat "$WORK/out.txt"; exit 1
fi
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
if [ -z "$LOG" ]; then
  echo "no log file written"; find "$WORK" | head -40; cat "$WORK/out.txt"; exit 1
fi
last=0
for line in "KODO Core PreInitialized." "Endianness: 1234." "Initializing RendImp." "Program initialized." \
            "KODO Shutdown." "Waiting for threads to exit" "Program shut down." "Releasing sounds." \
            "Releasing fonts." "Kodo RendImp Shutdown."; do
  n=$(grep -n -F "$line" "$LOG" | head -1 | cut -d: -f1)
  if [ -z "$n" ] || [ "$n" -le "$last" ]; then
    echo "line '$line' missing or out of order"; cat "$LOG"; exit 1
  fi
  last=$n
done
# A fault of the bundled data, or of the program's use of it.
if grep -i -E "error|warning|unable|deprecat|non-main thread|attempt to|not registered|missing" "$LOG" |
   grep -v -F "warning-triangle"; then
  echo "the bundled data's start in developer mode logs the lines above"; exit 1
fi
grep -q "^script 0 exit$" "$WORK/trace.txt" || { echo "exit line not run"; cat "$WORK/trace.txt"; exit 1; }

# A wait whose text never comes fails the run at its frame deadline: the
# program is told to quit, shuts down in order and ends with status 1,
# and stderr names the wait; the line after it is not run.
never="0 wait frames=30 data/*/*/logs/kodo-0002.log a line no run writes"
printf '%s\n0 state thumbnail\n' "$never" >"$WORK/script.txt"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace-2.txt" \
  e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
[ "$status" = 1 ] || { echo "a wait past its deadline: exit status $status"; cat "$WORK/out.txt"; exit 1; }
grep -q -F "script line '$never' failed: the text did not come within 30 frames" "$WORK/out.txt" ||
  { echo "the failed wait is not named"; cat "$WORK/out.txt"; exit 1; }
grep -q -F "KODO Shutdown." "$WORK"/data/*/*/logs/kodo-0002.log || { echo "no shutdown after the failed wait"; exit 1; }
! grep -q "state thumbnail" "$WORK/trace-2.txt" || { echo "a line after the failed wait ran"; exit 1; }
echo "start-up and shutdown in order; a wait past its deadline fails the run"
