#!/bin/sh
# Starts the real executable on damaged or hostile settings files:
# - prog.xml without its last "</array>": one line on stderr and in the log
#   names the file and the line, and the values read before it are used (the
#   log file exists, in the developer's and title's folder);
# - a developer name that climbs out of the user folder stays inside it.
. "$(dirname "$0")/e2e-lib.sh"

make_tree() { rm -rf "$WORK/run" && tree_without_prog_xml "$WORK/run"; }
run() {
  printf '300 exit\n' > "$WORK/script.txt"
  status=0
  (cd "$WORK/run" && KODO_HOST_SCRIPT="$WORK/script.txt" SDL_AUDIODRIVER=dummy \
     e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>"$WORK/err.txt") || status=$?
  [ "$status" = 0 ] || { echo "exit status $status"; cat "$WORK/out.txt" "$WORK/err.txt"; exit 1; }
}

make_tree
# Drop the last "</array>" (the end of VARIANTS).
awk '{ lines[NR] = $0 } /<\/array>/ { last = NR } END { for (i = 1; i <= NR; i++) if (i != last) print lines[i] }' \
  "$DATA/prog.xml" > "$WORK/run/app/native/prog.xml"
run
expected="KD_XML 'res://prog.xml' is damaged at line"
n=$(grep -c -F "$expected" "$WORK/err.txt" || true)
[ "$n" = 1 ] || { echo "stderr names the damage $n times"; cat "$WORK/err.txt"; exit 1; }
LOG="$WORK/run/data/Vantreo/Worm/logs/kodo-0001.log"
[ -f "$LOG" ] || { echo "no log in the developer's folder"; find "$WORK/run/data"; exit 1; }
n=$(grep -c -F "$expected" "$LOG" || true)
[ "$n" = 1 ] || { echo "the log names the damage $n times"; cat "$LOG"; exit 1; }
grep -q "Selected resolution" "$LOG" || { echo "the variant read before the damage was not used"; cat "$LOG"; exit 1; }
echo "damaged prog.xml: $(grep -F "$expected" "$WORK/err.txt")"

make_tree
sed 's|developer="Vantreo"|developer="../../X"|' "$DATA/prog.xml" > "$WORK/run/app/native/prog.xml"
run
[ ! -e "$WORK/X" ] && [ ! -e "$WORK/run/X" ] || { echo "the developer name left the user folder"; exit 1; }
ls "$WORK"/run/data/______X/Worm/logs/kodo-0001.log >/dev/null || { echo "no log in data/______X"; find "$WORK/run/data"; exit 1; }
echo "settings files: damage named, values before it used, developer folder kept inside"
