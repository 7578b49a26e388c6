#!/bin/sh
# The news end to end: the real executable under Xvfb with scripted input,
# the bundled data with a prog.xml whose "news_url" names the test's own
# server on 127.0.0.1 (e2e_news_server, beside the probe), and a player
# who has played for more than 90 s.
#
# Run 1: the server's item may be shown before the first story event; the
# main menu's Play starts it, so the news screen comes first (a
# screenshot once the picture has settled); tapping the picture opens its
# link (the host's trace) and reports "NEWS_n1_TapYes" to the play log,
# and the story follows.
# Run 2, in the same folder: the same item is not shown again.
# Run 3: a damaged reply shows nothing and says so.
# Runs 4 and 5: a quit cancels a picture and a reply that never come.
# Screenshots are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
SERVER="$(dirname "$PROBE")/e2e_news_server"
rm -rf "$SHOTS"
mkdir -p "$SHOTS" "$WORK/srv"

"$SERVER" "$WORK/srv" &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null; rm -rf "$WORK"' EXIT
# Until the server has written its port, or has ended (however slowly it
# starts).
until [ -s "$WORK/srv/port" ] || ! kill -0 $SERVER_PID 2>/dev/null; do sleep 0.05; done
PORT=$(cat "$WORK/srv/port" 2>/dev/null) || true
[ -n "$PORT" ] || fail "the news server did not start"
BASE="http://127.0.0.1:$PORT"

tree_without_prog_xml "$WORK"
sed "s|program_id=\"worm\"|program_id=\"worm\" news_url=\"$BASE/news/?\"|" "$DATA/prog.xml" >"$WORK/app/native/prog.xml"
grep -q "features=.*NEWS" "$WORK/app/native/prog.xml" || fail "the bundled prog.xml does not enable NEWS"
USER_DIR="$WORK/data/Vantreo/Worm"
mkdir -p "$USER_DIR/profiles"
cat >"$USER_DIR/profiles/index.xml" <<END
<?xml version="1.0" encoding="iso-8859-1"?>
<root>
	<array id="!PROFILE_INDEX"><node id="1.xml" /></array>
	<array id="!STATE"><node id="ACTIVE_PROFILE" index="0" /></array>
</root>
END
cat >"$USER_DIR/profiles/1.xml" <<END
<?xml version="1.0" encoding="iso-8859-1"?>
<root>
	<array id="!INFO">
		<node id="name" value="Reader" />
		<node id="time_active" value="95000" />
	</array>
</root>
END
printf '{id="n1", image="%s/news.png", link="%s/more?from=news", allowed_events="Before_E01_STORY_1", skip_text="No thanks"}' \
  "$BASE" "$BASE" >"$WORK/srv/reply.txt"

run() {
  status=0
  (cd "$WORK" && KODO_HOST_SCRIPT="$1" KODO_HOST_TRACE="$WORK/trace.txt" SDL_AUDIODRIVER=dummy \
     e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1) || status=$?
  LOG=$(ls "$USER_DIR"/logs/kodo-000"$2".log 2>/dev/null | head -1)
  [ -n "$LOG" ] && cp "$LOG" "$SHOTS/log-$2.txt"
  [ "$status" = 0 ] || fail "run $2: exit status $status"
  [ -n "$LOG" ] || fail "run $2: no log file written"
}

# Each run: the menu and the fetched item, in either order, then Play
# (512, 315) and the story. (A wait reads its file on from where the last
# wait on that file matched; one on another file in between, which
# matches at once, has the item's line looked for from the log's start.)
script() {
  e2e_wait_menu 0 "$1"
  echo "0 wait app/native/prog.xml news_url"
  e2e_wait 0 "$1" "$2"
  echo "0 frames 30"
  e2e_tap 0 512 315
}

# Run 1. The news screen is up at once; once the picture has settled in
# the middle (512, 300), the log says so, and the close button fades in
# over a third of a second: 60 frames (8 ms of the program's time each
# at least) see it in.
{
  script 1 "Vantreo News: news 'n1' received."
  e2e_wait 0 1 "PushScreen: 'VantreoNews'"
  e2e_wait 0 1 "Vantreo News: 'n1' settled."
  echo "0 frames 60"
  echo "0 screenshot $SHOTS/1-news.png"
  e2e_tap 0 512 300
  e2e_wait 0 1 "PushScreen: 'Story'"
  echo "0 frames 30"
  echo "0 exit"
} >"$WORK/run1.txt"
run "$WORK/run1.txt" 1
e2e_log_in_order "Call '$BASE/news/?version=1.0.0&app=worm&platform=" "Vantreo News: news 'n1' received." \
  "Timeline starting event 'E01_STORY_1'" "PushScreen: 'VantreoNews'" "Removing 'VantreoNews' from Screen Stack" \
  "PushScreen: 'Story'"
[ -s "$SHOTS/1-news.png" ] || fail "no screenshot of the news"
magenta=$("$PROBE" "$SHOTS/1-news.png" count 152 84 872 516 220 255 0 40 220 255)
edge=$("$PROBE" "$SHOTS/1-news.png" count 0 0 140 600 220 255 0 40 220 255)
echo "the settled picture: $magenta magenta pixels in the middle, $edge at the left"
[ "$magenta" -gt 200000 ] && [ "$edge" -lt 10 ] || fail "the picture is not shown settled in the middle"
# The item's word for Close ("No thanks") at a readable size, left of the
# round button above the picture's largest place (the top tenth).
word=$("$PROBE" "$SHOTS/1-news.png" count 780 5 910 55 60 255 60 255 50 255)
echo "the close button's word: $word light pixels above the picture"
[ "$word" -gt 150 ] || fail "the close button's word is not readable above the picture ($word)"
grep -q -F "url $BASE/more?from=news" "$WORK/trace.txt" || fail "the link was not opened"
grep -q -F "url not opened: an input script runs" "$WORK/trace.txt" || fail "the host started a browser"
grep -q -F "NEWS_n1_Shown,event,Before_E01_STORY_1" "$USER_DIR"/logs/playlog-*.csv || fail "the showing is not in the play log"
grep -q -F "NEWS_n1_TapYes" "$USER_DIR"/logs/playlog-*.csv || fail "the tap is not in the play log"
[ "$(cat "$USER_DIR/vantreo-news.txt")" = "OLD_NEWS=n1" ] || fail "the seen file holds '$(cat "$USER_DIR/vantreo-news.txt")'"
grep -q "/news.png" "$WORK/srv/requests.txt" || fail "the picture was not asked for"

# Run 2: seen, so not shown.
{
  script 2 "Vantreo News: news 'n1' received."
  e2e_wait 0 2 "PushScreen: 'Story'"
  echo "0 frames 30"
  echo "0 exit"
} >"$WORK/run2.txt"
run "$WORK/run2.txt" 2
grep -q -F "PushScreen: 'VantreoNews'" "$LOG" && fail "run 2 showed the news again"

# Run 3: a damaged reply.
printf '{id="n2", image="%s/news.png"' "$BASE" >"$WORK/srv/reply.txt"
{
  script 3 "Failed {} check"
  e2e_wait 0 3 "PushScreen: 'Story'"
  echo "0 frames 30"
  echo "0 exit"
} >"$WORK/run3.txt"
run "$WORK/run3.txt" 3
grep -q -F "Failed {} check ('{id=\"n2\"" "$LOG" || fail "the damaged reply is not reported"
grep -q -F "PushScreen: 'VantreoNews'" "$LOG" && fail "run 3 showed news from a damaged reply"
# Runs 4 and 5: a reply, then a picture, that never comes; the program is
# told to quit as soon as the server has the request, and the request is
# cancelled at once, not left to run into its time-out (the quit would
# wait for it).
for n in 4 5; do
  if [ $n = 4 ]; then
    printf '{id="n3", image="%s/slow.png"}' "$BASE" >"$WORK/srv/reply.txt"
    target=/slow.png
  else
    printf 'STALL' >"$WORK/srv/reply.txt"
    target=/news/
  fi
  : >"$WORK/srv/requests.txt"
  {
    echo "0 wait srv/requests.txt $target"
    echo "0 frames 6"
    echo "0 exit"
  } >"$WORK/run$n.txt"
  run "$WORK/run$n.txt" $n
  grep -q "Timeout was reached" "$LOG" && fail "run $n: the request ran into its time-out"
  if [ $n = 4 ]; then
    e2e_log_in_order "KODO Shutdown." "Vantreo News: picture '$BASE/slow.png' could not be fetched."
  else
    e2e_log_in_order "KODO Shutdown." "Connection failure (http returns 0)"
  fi
done

echo "news end to end: shown once at its event, settled picture, link and report, not again, damaged reply; pictures in $SHOTS"
