#!/bin/sh
# Starts the real executable on damaged or hostile settings files:
# - prog.xml without its last "</array>": one line on stderr and in the log
#   names the file and the line, and the values read before it are used (the
#   log file exists, in the developer's and title's folder);
# - prog.xml empty, garbage, missing or unreadable: the built-in settings
#   (no log), and one line on stderr naming prog.xml and the folder the
#   player's data goes to instead;
# - a developer name that climbs out of the user folder stays inside it.
# Root reads every file, so the unreadable case runs as "nobody".
. "$(dirname "$0")/e2e-lib.sh"
chmod 755 "$WORK"

make_tree() { rm -rf "$WORK/run" && tree_without_prog_xml "$WORK/run"; }
# The command that runs the game as the player: empty, or a drop from root.
AS_PLAYER=""
run() {
  printf '300 exit\n' > "$WORK/script.txt"
  e2e_paced "$WORK/script.txt"
  chmod 644 "$WORK/script.txt"
  status=0
  (cd "$WORK/run" && e2e_timeout 120 $AS_PLAYER env KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy \
     sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>"$WORK/err.txt") || status=$?
  [ "$status" = 0 ] || { echo "exit status $status"; cat "$WORK/out.txt" "$WORK/err.txt"; exit 1; }
}
# stderr_names TEXT FOLDER: stderr holds exactly one line with TEXT, and
# that line names prog.xml and the folder the player's data goes to.
stderr_names() {
  n=$(grep -c -F "$1" "$WORK/err.txt" || true)
  [ "$n" = 1 ] || { echo "stderr holds '$1' $n times"; cat "$WORK/err.txt"; exit 1; }
  line=$(grep -F "$1" "$WORK/err.txt")
  case "$line" in *prog.xml*"the player's data goes to '$WORK/run/data/Vantreo/$2/'"*) ;;
    *) echo "the line does not name prog.xml and data/Vantreo/$2/: $line"; exit 1 ;; esac
  n=$(grep -c "prog.xml" "$WORK/err.txt" || true)
  [ "$n" = 1 ] || { echo "stderr names prog.xml $n times"; cat "$WORK/err.txt"; exit 1; }
  echo "$3 prog.xml: $line"
}

make_tree
# Drop the last "</array>" (the end of VARIANTS).
awk '{ lines[NR] = $0 } /<\/array>/ { last = NR } END { for (i = 1; i <= NR; i++) if (i != last) print lines[i] }' \
  "$DATA/prog.xml" > "$WORK/run/app/native/prog.xml"
run
expected="KD_XML 'res://prog.xml' is damaged at line"
stderr_names "$expected" Worm truncated
LOG="$WORK/run/data/Vantreo/Worm/logs/kodo-0001.log"
[ -f "$LOG" ] || { echo "no log in the developer's folder"; find "$WORK/run/data"; exit 1; }
n=$(grep -c -F "$expected" "$LOG" || true)
[ "$n" = 1 ] || { echo "the log names the damage $n times"; cat "$LOG"; exit 1; }
grep -q "Selected resolution" "$LOG" || { echo "the variant read before the damage was not used"; cat "$LOG"; exit 1; }

# The built-in settings: no log, the title "unknown".
for case in empty garbage missing unreadable; do
  make_tree
  case $case in
    empty) : > "$WORK/run/app/native/prog.xml"; expected="prog.xml is empty" ;;
    garbage) head -c 3000 "$WORM" > "$WORK/run/app/native/prog.xml"; expected="prog.xml holds no settings" ;;
    missing) expected="prog.xml is missing" ;;
    unreadable)
      if [ "$(id -u)" = 0 ]; then
        command -v setpriv >/dev/null || { echo "setpriv not found: the test cannot drop root"; exit 77; }
        AS_PLAYER="setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=$WORK"
        # The checkout may sit in a folder only its owner can enter.
        $AS_PLAYER test -x "$WORM" -a -r "$DATA/prog.xml" || {
          echo "unreadable prog.xml: user nobody cannot reach the checkout; case skipped"
          AS_PLAYER=""
          continue
        }
      fi
      cp "$DATA/prog.xml" "$WORK/run/app/native/prog.xml"
      chmod 000 "$WORK/run/app/native/prog.xml"
      [ "$(id -u)" = 0 ] && chown -R 65534:65534 "$WORK/run"
      expected="prog.xml cannot be read" ;;
  esac
  run
  AS_PLAYER=""
  stderr_names "$expected" unknown $case
  [ -z "$(find "$WORK/run/data" -name '*.log')" ] || { echo "$case: a log was written"; exit 1; }
done

make_tree
sed 's|developer="Vantreo"|developer="../../X"|' "$DATA/prog.xml" > "$WORK/run/app/native/prog.xml"
run
[ ! -e "$WORK/X" ] && [ ! -e "$WORK/run/X" ] || { echo "the developer name left the user folder"; exit 1; }
ls "$WORK"/run/data/______X/Worm/logs/kodo-0001.log >/dev/null || { echo "no log in data/______X"; find "$WORK/run/data"; exit 1; }
echo "settings files: damage named, values before it used, developer folder kept inside"
