#!/bin/sh
# A profile and a profile index that exist but cannot be read by the user
# who runs the game are the player's files all the same: the real
# executable, run in the automated-testing mode (which makes and deletes
# profiles), reports each with one line and leaves both untouched, the
# index still listing the unreadable profile; a profile made read-only is
# not replaced by a save. Root reads every file, so as
# root the game runs as "nobody", from copies in the run's own folder of
# everything it needs (the executable, the display runner and the data
# tree): the checkout may sit in a folder only its owner can enter.
. "$(dirname "$0")/e2e-lib.sh"
chmod 755 "$WORK"

if [ "$(id -u)" = 0 ]; then
  mkdir "$WORK/bin" "$WORK/bundle"
  cp "$WORM" "$XVFB" "$WORK/bin/"
  WORM="$WORK/bin/$(basename "$WORM")"
  XVFB="$WORK/bin/$(basename "$XVFB")"
  cp -RL "$DATA"/. "$WORK/bundle/"
  DATA="$WORK/bundle"
fi
tree_without_prog_xml "$WORK"
sed 's|features="AUTOSCALE,MULTITOUCH"|features="AUTOSCALE,MULTITOUCH,AUTO_TESTING_MODE"|' "$DATA/prog.xml" \
  > "$WORK/app/native/prog.xml"
grep -q AUTO_TESTING_MODE "$WORK/app/native/prog.xml" || { echo "prog.xml features not found"; exit 1; }
P="$WORK/data/Vantreo/Worm/profiles"
mkdir -p "$P"
index() {
  printf '<?xml version="1.0"?>\n<root>\n<array id="!PROFILE_INDEX">\n'
  for f in "$@"; do printf '<node id="%s"/>\n' "$f"; done
  printf '</array>\n</root>\n'
}
profile() {
  printf '<?xml version="1.0"?>\n<root>\n<array id="!INFO">\n<node id="name" value="%s"/>\n</array>\n</root>\n' "$1"
}
profile Anna > "$P/1.xml"
index 1.xml > "$P/index.xml"

as_player() { "$@"; }
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null || { echo "setpriv not found: the test cannot drop root"; exit 77; }
  chown -R 65534:65534 "$WORK"
  as_player() { setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$WORK" "$@"; }
  # The folder above the run's may still be closed to that user.
  as_player test -x "$WORM" -a -r "$DATA/prog.xml" || {
    echo "user nobody cannot reach $WORK (the temporary folder is closed to it): test skipped"
    exit 77
  }
fi

# Each run quits once its main menu is up (RUNS counts the runs, as the
# logs do).
RUNS=0
run() {
  RUNS=$((RUNS + 1))
  { e2e_wait_menu 0 $RUNS; echo "0 frames 10"; echo "0 exit"; } >"$WORK/script.txt"
  chmod 644 "$WORK/script.txt"
  status=0
  (cd "$WORK" && as_player env KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy \
     timeout 300 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1) || status=$?
  [ "$status" = 0 ] || { echo "exit status $status"; cat "$WORK/out.txt"; exit 1; }
}
log() { cat "$WORK"/data/Vantreo/Worm/logs/kodo-000"$1".log; }

# 1. The profile 1.xml cannot be read: first as the only profile, then
#    with a second one beside it.
for round in 1 2; do
  if [ $round = 2 ]; then
    rm -f "$P"/[2-9].xml && profile Bert > "$P/2.xml" && index 1.xml 2.xml > "$P/index.xml"
    if [ "$(id -u)" = 0 ]; then chown 65534:65534 "$P"/*; fi
  fi
  chmod 000 "$P/1.xml"
  run
  chmod 644 "$P/1.xml"
  profile Anna | cmp -s - "$P/1.xml" || { echo "round $round: 1.xml changed or gone"; log $round; exit 1; }
  grep -q '<node id="1.xml"' "$P/index.xml" || { echo "round $round: 1.xml dropped from the index"; cat "$P/index.xml"; exit 1; }
  n=$(log $round | grep -c "Profile file 'user://profiles/1.xml' exists but cannot be read" || true)
  [ "$n" = 1 ] || { echo "round $round: unreadable profile reported $n times"; log $round; exit 1; }
  if log $round | grep -q "Deleting file 'user://profiles/1.xml'"; then echo "1.xml deleted"; log $round; exit 1; fi
  log $round | grep "exists but cannot be read"
done

# 2. A profile the player made read-only is not replaced by a save.
chmod 444 "$P/2.xml"
cp "$P/2.xml" "$WORK/2.before"
run
chmod 644 "$P/2.xml"
cmp -s "$P/2.xml" "$WORK/2.before" || { echo "read-only 2.xml replaced"; log 3; exit 1; }
log 3 | grep -q "Saving 'user://profiles/2.xml' failed: the file is read-only" || { echo "not reported"; log 3; exit 1; }

# 3. The index cannot be read.
cp "$P/index.xml" "$WORK/index.before"
chmod 000 "$P/index.xml"
run
chmod 644 "$P/index.xml"
cmp -s "$P/index.xml" "$WORK/index.before" || { echo "index.xml written over"; log 4; exit 1; }
[ ! -e "$P/index.xml.damaged" ] || { echo "a readable-later index was set aside"; exit 1; }
n=$(log 4 | grep -c "Player data file 'user://profiles/index.xml' exists but cannot be read" || true)
[ "$n" = 1 ] || { echo "unreadable index reported $n times"; log 4; exit 1; }
log 4 | grep "exists but cannot be read"
echo "unreadable profile and index left alone"
