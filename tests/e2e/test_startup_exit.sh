#!/bin/sh
# Starts the real executable headless, lets it run frames, sends the exit
# request through the scripted input and checks the exit status and the
# order of the start-up and shutdown lines in the log file. It runs with
# the machine's own sound: without a sound card, stderr has the host's
# one notice and none of the sound library's own error lines.
. "$(dirname "$0")/e2e-lib.sh"
e2e_data_tree "$WORK" "$DATA"
cat > "$WORK/script.txt" <<'END'
# let it run frames, then ask the program to quit
600 state thumbnail
700 state fullscreen
900 exit
END
cd "$WORK"
status=0
KODO_HOST_SCRIPT="$WORK/script.txt" KODO_HOST_TRACE="$WORK/trace.txt" \
  timeout 60 env -u SDL_AUDIODRIVER sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1 || status=$?
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
grep -q "900 exit" "$WORK/trace.txt" || { echo "exit line not run"; cat "$WORK/trace.txt"; exit 1; }
echo "start-up and shutdown in order"
