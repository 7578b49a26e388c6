#!/bin/sh
# The player's folder at start-up, with the real executable:
# - a second copy started on the same data while the first is at its main
#   menu exits with status 1 and one line on stderr before it opens a
#   window (it runs with no display at all), and writes no log; the first
#   goes on and ends well;
# - a player folder that cannot be written (a regular file in its place;
#   a read-only folder, as "nobody" since root writes anywhere) is named
#   once on stderr, the log goes to a file in $TMPDIR named in the one
#   other line there, the saves that fail into it are logged once, and the
#   main menu, once up, shows "PopupOk" with the message once.
. "$(dirname "$0")/e2e-lib.sh"
chmod 755 "$WORK"
e2e_data_tree "$WORK" "$DATA"
cd "$WORK"

# 1. Two copies.
{ e2e_wait_menu 0; echo "0 wait second.txt done"; echo "0 frames 6"; echo "0 exit"; } >script.txt
status=0
KODO_HOST_PROGRESS="$WORK/progress" KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy sh "$XVFB" "$WORM" >out.txt 2>&1 &
first=$!
t=0
until grep -q -F "Removing 'Transition' from Screen Stack" data/Vantreo/Worm/logs/kodo-0001.log 2>/dev/null; do
  kill -0 $first 2>/dev/null || { wait $first || true; fail "the first copy ended before its main menu"; }
  if e2e_moved progress data/Vantreo/Worm/logs/kodo-0001.log; then t=0; else t=$((t + 1)); fi
  [ $t -lt 600 ] || { kill $first; fail "no main menu, and no frame for 60 s"; }
  sleep 0.1
done
(env -u DISPLAY SDL_AUDIODRIVER=dummy timeout 60 "$WORM" >out2.txt 2>err2.txt) || status=$?
echo done >second.txt
[ "$status" = 1 ] || fail "the second copy ended with $status"
[ "$(wc -l <err2.txt)" = 1 ] && grep -q "^Another copy of the program is running on the player's data in '$WORK/data'" err2.txt ||
  { cat err2.txt; fail "the second copy did not say why it ended, in one line"; }
[ ! -e data/Vantreo/Worm/logs/kodo-0002.log ] || fail "the second copy wrote a log"
wait $first || fail "the first copy ended with $?"
echo "second copy: $(cat err2.txt)"

# 2. A player folder that takes no file.
as_player() { "$@"; }
for case in file read-only; do
  rm -rf data
  mkdir -p data/Vantreo
  if [ $case = file ]; then
    echo "not a folder" >data/Vantreo/Worm
  else
    [ "$(id -u)" = 0 ] || { echo "read-only case needs root to drop to nobody; skipped"; continue; }
    command -v setpriv >/dev/null || { echo "setpriv not found: the test cannot drop root"; exit 77; }
    mkdir data/Vantreo/Worm
    chown -R 65534:65534 "$WORK"
    chmod 555 data/Vantreo/Worm
    as_player() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$WORK" "$@"; }
    # The checkout may sit in a folder only its owner can enter.
    as_player test -x "$WORM" -a -r "$XVFB" -a -r "$DATA/prog.xml" || {
      echo "read-only case: user nobody cannot reach the checkout; skipped"
      as_player() { "$@"; }
      continue
    }
  fi
  # The log goes to the temporary folder, so the script waits there.
  rm -rf tmp
  mkdir tmp
  [ $case = file ] || chown 65534:65534 tmp
  { echo "0 wait tmp/kodo-log-*.log Removing 'Transition' from Screen Stack";
    echo "0 wait tmp/kodo-log-*.log PushScreen: 'PopupOk'"; echo "0 frames 90"; echo "0 exit"; } >script.txt
  chmod 644 script.txt
  status=0
  as_player env TMPDIR="$WORK/tmp" KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy timeout 120 sh "$XVFB" \
    "$WORM" >out.txt 2>err.txt || status=$?
  LOG=$(echo "$WORK"/tmp/kodo-log-*.log)
  [ "$status" = 0 ] || fail "$case: exit status $status"
  n=$(grep -c "^The player's data folder '$WORK/data/Vantreo/Worm/' cannot be written" err.txt || true)
  [ "$n" = 1 ] || fail "$case: the folder named $n times on stderr"
  [ "$(sed -n 2p err.txt)" = "The log file 'user://logs/kodo-0001.log' cannot be opened; the log goes to '$LOG'." ] ||
    fail "$case: the log's own line is missing"
  [ "$(wc -l <err.txt)" = 2 ] || { head -20 err.txt; fail "$case: stderr holds $(wc -l <err.txt) lines, not 2"; }
  n=$(grep -c "Saving '.*' failed" "$LOG" || true)
  [ "$n" = 1 ] || fail "$case: $n failed saves logged, not 1"
  e2e_log_in_order "Removing 'Transition' from Screen Stack" "PushScreen: 'PopupOk'"
  n=$(grep -c "PushScreen: 'PopupOk'" "$LOG" || true)
  [ "$n" = 1 ] || fail "$case: the popup came $n times"
  echo "$case: $(grep "cannot be written" err.txt)"
  as_player() { "$@"; }
  chmod -R u+w data
done
echo "player folder: one copy at a time; a folder that takes no file is told on stderr and on the screen"
