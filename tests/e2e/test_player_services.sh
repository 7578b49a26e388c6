#!/bin/sh
# The player services end to end: the real executable under Xvfb with
# scripted input, the bundled data and screens, and a stand-in main menu
# (services-test/) with buttons to the shop, an achievement and the
# achievements screen.
#
# The store stands in as able to sell (KODO_HOST_STORE=open).
# Run 1: the shop's Buy starts a purchase of BIG_BALL; the progress screen
# shows; the store's success (a "service" line of the input script) closes
# it and the shop, and shows the success popup; OK closes that. Unlock
# shows the achievement bar. The record and the profile are on disk.
# Run 2, in the same folder: the purchase and the achievement are still
# there, and the shop shows BIG_BALL as bought.
# Screenshots are kept in the folder given as the fourth argument.
. "$(dirname "$0")/e2e-lib.sh"
PROBE="$3"
SHOTS="$4"
for s in Unlocks PurchaseInProgress IAPPopup Achievements; do
  grep -q "CreateScreen (\"$s\"" "$DATA/ui/autoexec.lua" || { echo "FAILED: ui/autoexec.lua does not create '$s'"; exit 1; }
done
rm -rf "$SHOTS"
mkdir -p "$SHOTS"

# The bundled tree with the stand-in main menu over its own.
e2e_data_tree "$WORK" "$DATA" "$HERE/services-test"

fail() {
  echo "FAILED: $*"
  for l in "$WORK"/data/*/*/logs/kodo-000*.log; do [ -f "$l" ] && tail -40 "$l"; done
  tail -20 "$WORK/out.txt"
  exit 1
}
run() {
  status=0
  (cd "$WORK" && KODO_HOST_SCRIPT="$1" KODO_HOST_TRACE="$WORK/trace.txt" KODO_HOST_STORE=${STORE:-open} SDL_AUDIODRIVER=dummy \
     e2e_timeout 120 sh "$XVFB" "$WORM" >"$WORK/out.txt" 2>&1) || status=$?
  [ "$status" = 0 ] || fail "exit status $status"
}

# The menu is up about three seconds after the start (the scripts hold
# until it is, and each screenshot until the log shows what it shows). Its buttons: Shop
# (512, 180), Unlock (512, 270); the shop's Buy for BIG_BALL is at
# (788, 200); the popup's OK at (512, 375). Each screen's shot waits for
# the log to tell of the screen, then for the time its entrance takes
# (the screens' clock is the host's) and at least two frames more.
w() { e2e_wait "$1" 1 "$2"; }
cat > "$WORK/run1.txt" <<END
$(e2e_wait_menu 4000)
4800 screenshot $SHOTS/1-menu.png
5000 touch_down 512 180
5100 touch_up 512 180
$(w 5100 "PushScreen: 'Unlocks'")
6000 frames 2
6000 screenshot $SHOTS/2-shop.png
6200 touch_down 788 200
6300 touch_up 788 200
$(w 6300 "PushScreen: 'PurchaseInProgress'")
7200 frames 2
7200 screenshot $SHOTS/3-progress.png
7400 service 34 x="BIG_BALL" y=1
$(w 7400 "PushScreen: 'IAPPopup'")
8400 frames 2
8400 screenshot $SHOTS/4-success.png
8600 touch_down 512 375
8700 touch_up 512 375
$(w 8700 "Removing 'IAPPopup' from Screen Stack")
9600 frames 2
9600 screenshot $SHOTS/5-menu-again.png
9800 touch_down 512 270
9900 touch_up 512 270
$(w 9900 "KDI_LoadBitmapToHardware 'achievements/gfx/achievement-1.png'")
10900 frames 2
10900 screenshot $SHOTS/6-bar.png
11500 exit
END
run "$WORK/run1.txt"
LOG=$(ls "$WORK"/data/*/*/logs/kodo-0001.log 2>/dev/null | head -1)
[ -n "$LOG" ] || fail "no log file written"
cp "$LOG" "$SHOTS/log-1.txt"
for n in 1-menu 2-shop 3-progress 4-success 5-menu-again 6-bar; do
  [ -s "$SHOTS/$n.png" ] || fail "screenshot $n missing"
done
# In this order; the shop and the progress screen leave together, each
# when its own animation ends, so either may be the first.
after() {
  n=$(tail -n +$(($1 + 1)) "$LOG" | grep -n -F "$2" | head -1 | cut -d: -f1)
  [ -n "$n" ] || { echo "FAILED: log line '$2' missing after line $1" >&2; tail -40 "$LOG" >&2; exit 1; }
  echo $(($1 + n))
}
last=0
for line in "services-test: BIG_BALL bought=false" "PushScreen: 'Unlocks'" \
            "InAppPurchasesManager::PurchaseItem ('BIG_BALL')" "PushScreen: 'PurchaseInProgress'" \
            "PushScreen: 'IAPPopup'"; do
  last=$(after $last "$line")
done
shop=$(after $last "Removing 'Unlocks' from Screen Stack")
progress=$(after $last "Removing 'PurchaseInProgress' from Screen Stack")
[ "$shop" -gt "$progress" ] && last=$shop || last=$progress
after $last "Removing 'IAPPopup' from Screen Stack" >/dev/null
USER_DIR=$(dirname "$(dirname "$LOG")")
grep -q 'id="BIG_BALL" store_ack="1"' "$USER_DIR/local-in-app-purchases.xml" || fail "the purchase is not recorded"
grep -q 'id="FIRST_LEVEL" game_center_ack="0"' "$USER_DIR"/profiles/*.xml || fail "the unlock is not in the profile"

# The progress screen over the shop, then the cream popup over the menu.
p=$("$PROBE" "$SHOTS/2-shop.png" diff "$SHOTS/3-progress.png" 300 200 724 400)
cream=$("$PROBE" "$SHOTS/4-success.png" count 300 200 724 400 200 255 180 255 120 230)
echo "progress screen changes the shop's middle by $p; popup cream pixels: $cream"
awk "BEGIN { exit !($p > 10) }" || fail "the progress screen is not shown ($p)"
[ "$cream" -gt 30000 ] || fail "the success popup is not shown ($cream)"
# OK leaves the menu as it was before the shop (above the button the
# touch on OK left lit).
d=$("$PROBE" "$SHOTS/1-menu.png" diff "$SHOTS/5-menu-again.png" 300 120 724 310)
echo "menu after the popup differs from the first by $d"
awk "BEGIN { exit !($d < 1) }" || fail "the menu is not back ($d)"
# The bar darkens the bottom, with the gold trophy in it.
b=$("$PROBE" "$SHOTS/5-menu-again.png" diff "$SHOTS/6-bar.png" 0 510 1024 570)
gold=$("$PROBE" "$SHOTS/6-bar.png" count 340 510 400 570 200 255 150 230 0 90)
echo "the bar changes the bottom by $b; trophy pixels: $gold"
awk "BEGIN { exit !($b > 20) }" || fail "no achievement bar ($b)"
[ "$gold" -gt 200 ] || fail "no trophy on the bar ($gold)"

# Run 2: everything is still there after a restart.
cat > "$WORK/run2.txt" <<END
$(e2e_wait_menu 4000 2)
5000 touch_down 512 180
5100 touch_up 512 180
$(e2e_wait 5100 2 "PushScreen: 'Unlocks'")
6000 frames 2
6000 screenshot $SHOTS/7-shop-after-restart.png
6400 exit
END
run "$WORK/run2.txt"
LOG2=$(ls "$WORK"/data/*/*/logs/kodo-0002.log 2>/dev/null | head -1)
[ -n "$LOG2" ] || fail "no log file of the second run"
cp "$LOG2" "$SHOTS/log-2.txt"
grep -q -F "services-test: BIG_BALL bought=true" "$LOG2" || fail "the purchase did not survive the restart"
grep -q -F "services-test: FIRST_LEVEL unlocked=true" "$LOG2" || fail "the unlock did not survive the restart"
# BIG_BALL's price button now reads "Bought", greyed; EXTRA_LIFE's is as it was.
big=$("$PROBE" "$SHOTS/2-shop.png" diff "$SHOTS/7-shop-after-restart.png" 712 178 866 224)
extra=$("$PROBE" "$SHOTS/2-shop.png" diff "$SHOTS/7-shop-after-restart.png" 712 348 866 394)
echo "after the restart the BIG_BALL button changed by $big, the EXTRA_LIFE button by $extra"
awk "BEGIN { exit !($big > 10 && $extra < 3) }" || fail "the shop does not show BIG_BALL as bought"

# Restore. Run 3, the store open: Restore (789, 488) shows the progress
# screen, which ESCAPE closes (the store never answers here). Run 4, the
# store closed: Restore answers at once, as Buy does, with the popup and
# no progress screen.
cat > "$WORK/run3.txt" <<END
$(e2e_wait_menu 4000 3)
5000 touch_down 512 180
5100 touch_up 512 180
$(e2e_wait 5100 3 "Screen 'Unlocks' fully in.")
5200 touch_down 789 488
5300 touch_up 789 488
$(e2e_wait 5300 3 "Screen 'PurchaseInProgress' fully in.")
5400 key ESCAPE
$(e2e_wait 5400 3 "Removing 'PurchaseInProgress' from Screen Stack")
5500 exit
END
run "$WORK/run3.txt"
LOG3=$(ls "$WORK"/data/*/*/logs/kodo-0003.log 2>/dev/null | head -1)
[ -n "$LOG3" ] || fail "no log file of the third run"
cp "$LOG3" "$SHOTS/log-3.txt"
closed=$(grep -n -F "Removing 'PurchaseInProgress' from Screen Stack" "$LOG3" | head -1 | cut -d: -f1)
down=$(grep -n -F "KODO Shutdown." "$LOG3" | head -1 | cut -d: -f1)
[ -n "$closed" ] && [ "$closed" -lt "${down:-999999}" ] || fail "ESCAPE did not close the progress screen"
cat > "$WORK/run4.txt" <<END
$(e2e_wait_menu 4000 4)
5000 touch_down 512 180
5100 touch_up 512 180
$(e2e_wait 5100 4 "Screen 'Unlocks' fully in.")
5200 touch_down 789 488
5300 touch_up 789 488
$(e2e_wait 5300 4 "Screen 'IAPPopup' fully in.")
5400 frames 2
5400 screenshot $SHOTS/8-restore-closed-store.png
5500 exit
END
STORE=closed run "$WORK/run4.txt"
LOG4=$(ls "$WORK"/data/*/*/logs/kodo-0004.log 2>/dev/null | head -1)
[ -n "$LOG4" ] || fail "no log file of the fourth run"
cp "$LOG4" "$SHOTS/log-4.txt"
grep -q -F "the store cannot answer now; no restore was asked for." "$LOG4" || fail "the restore was not refused"
if grep -q -F "PushScreen: 'PurchaseInProgress'" "$LOG4"; then fail "the closed store's restore shows the progress screen"; fi
cream=$("$PROBE" "$SHOTS/8-restore-closed-store.png" count 300 200 724 400 200 255 180 255 120 230)
echo "restore on a closed store: popup cream pixels $cream"
[ "$cream" -gt 30000 ] || fail "the restore's popup is not shown ($cream)"
echo "player services end to end: purchase, popup, record, bar, restart, restore; pictures in $SHOTS"
