#!/bin/sh
# Runs a command on a private Xvfb server (1024x600x24, or the size in
# KODO_XVFB_SCREEN, for a program that opens a larger window).
# KODO_XVFB_ARGS adds to the server's arguments ("-extension MIT-SHM"
# takes shared memory away, for the renderer's EGL path).
#
# The server picks a free display itself (-displayfd), so parallel test runs
# never race for the same display number as `xvfb-run -a` can. -noreset:
# a program that closes its last connection and opens a new one (a test
# that re-creates the screen context) must not meet a resetting server.
set -u
tmp=$(mktemp -d /tmp/kodo_xvfb.XXXXXX) || exit 1
# Two servers started at the same moment can still both pick the same free
# number; the loser ends with "already active", so it simply tries again.
start_server() {
    : >"$tmp/display"
    Xvfb -displayfd 3 -screen 0 "${KODO_XVFB_SCREEN:-1024x600x24}" -nolisten tcp -noreset ${KODO_XVFB_ARGS:-} \
      3>"$tmp/display" 2>"$tmp/log" &
    server=$!
    i=0
    while [ ! -s "$tmp/display" ]; do
        kill -0 "$server" 2>/dev/null || return 1
        [ $i -lt 1200 ] || return 1
        i=$((i + 1))
        sleep 0.05
    done
}
tries=0
until start_server; do
    tries=$((tries + 1))
    if [ $tries -ge 5 ] || ! grep -q "already" "$tmp/log"; then
        echo "with_xvfb.sh: Xvfb did not start:" >&2
        cat "$tmp/log" >&2
        kill "$server" 2>/dev/null
        rm -rf "$tmp"
        exit 1
    fi
done
DISPLAY=:$(head -n 1 "$tmp/display")
export DISPLAY
"$@"
rc=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$tmp"
exit $rc
