#!/bin/sh
# The asset generators are deterministic and complete.
#
#   test_gen_assets.sh GEN_ART BMS_BUILD GEN_SOUNDS_SH DATA_DIR
#
# Runs the picture generator (and the sequence builder) and the sound
# script twice into separate folders and insists on byte-identical
# results; then every picture ASSETS.md lists must exist, in the fresh
# output and in the committed data tree; every sequence must read back
# through the engine's reader with its four frames; and every picture,
# sound and music the game loads by name must be there.
set -eu
gen_art=$1 bms=$2 sounds=$3 data=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
fail=0
have_sound_tools=1
command -v sox >/dev/null 2>&1 && command -v lame >/dev/null 2>&1 || have_sound_tools=0

for run in 1 2; do
    "$gen_art" "$tmp/r$run/out" "$tmp/r$run/frames" >/dev/null
    SDL_AUDIODRIVER=dummy "$bms" build "$tmp/r$run/frames" "$tmp/r$run/out" >/dev/null
    [ $have_sound_tools = 1 ] && sh "$sounds" "$tmp/r$run/out"
done
if ! diff -r "$tmp/r1/out" "$tmp/r2/out" >"$tmp/diff" 2>&1; then
    echo "two runs differ:"
    cat "$tmp/diff"
    fail=1
fi
out=$tmp/r1/out

# Every file ASSETS.md lists exists, freshly made and committed.
listed=$(sed -n 's/^| `\([^`]*\)`.*/\1/p' "$out/ASSETS.md")
count=0
for p in $listed; do
    count=$((count + 1))
    [ -s "$out/$p" ] || { echo "listed but not made: $p"; fail=1; }
    [ -s "$data/$p" ] || { echo "listed but not in data/: $p"; fail=1; }
done
[ $count -gt 100 ] || { echo "ASSETS.md lists only $count files"; fail=1; }

# Every picture reads back through the engine's own readers with the size
# ASSETS.md gives it, and every sequence with its frame count.
specs=$(sed -n -E 's/^\| `([^`]*\.bms)` \| [0-9]+x[0-9]+ x ([0-9]+) \|.*/\1:\2/p; s/^\| `([^`]*\.(png|jpg))` \| ([0-9]+x[0-9]+) \|.*/\1:\3/p' "$out/ASSETS.md")
[ "$(echo "$specs" | wc -w)" = $count ] || { echo "ASSETS.md rows without a readable size"; fail=1; }
for dir in "$out" "$data"; do
    # shellcheck disable=SC2086
    SDL_AUDIODRIVER=dummy "$bms" check "$dir" $specs >/dev/null || { echo "pictures in $dir do not read back"; fail=1; }
done

# What the game loads by name.
w=actors/gfx/worm
a=actors/gfx
u=ui/gfx
need="$w/worm-body.png $w/worm-head-hurt.png $w/worm-head-level-end.png $w/worm-head-eyes-closed.png
$w/worm-head-grab-eyes-closed.png $w/worm-head-grab-stars.png $w/worm-head.png $w/worm-tail.png
$a/wormhole_arrow.png $a/arrow.png $a/rope.png $a/bug-wing-left.png $a/bug-wing-right.png
$a/end-bug-blink.png $a/end-bug-ouch.png $a/end-bug-shooting.png $a/end-bug-dead.png $a/end-bug-health.png
$a/end-bug-health-back.png $a/bug-flying-blink.png $a/bug-flying-happy.png $a/bug-flying-dead.png
$a/bug-flying-shooting-blink.png $a/bug-flying-shooting-happy.png $a/bug-flying-shooting-dead.png
$a/bug-homing-aggro-lines.png $a/bug-homing-blink.png $a/bug-homing-happy.png $a/bug-homing-dead.png
$a/fruit-1.png $a/egg.png $a/tutorial-circle-worm.png $a/tutorial-circle-other.png $a/bug-flying.png
$u/bug.png $u/bubble-spike.png $u/warning-triangle.png $u/fruit-silhuet.png $u/egg-silhuet.png
$u/clock-face.png $u/clock-fill.png $u/clock-fill-2.png $u/star.png $u/star-black.png $u/time-add.png
$u/worm-life-counter.png $u/tutorial-hand.png loader/windmill.png core/icon-not-localized.png core/icon-dummy.png"
for p in $need; do
    [ -s "$out/$p" ] || { echo "missing picture: $p"; fail=1; }
done
if [ $have_sound_tools = 1 ]; then
    for n in worm-head-grab worm-tail-grab worm-tail-grab-hard worm-collecting-fruit worm_damage_01 \
        worm_damage_02 worm_damage_03 hitting-bug fruits-collected greedy-bug worm-going-through-exit \
        worm-stretching worm-swung-fast rotating-peg hitting-greedy-bug egg-hit flying-end-bug \
        victory-fanfare shooting mine_explodes hitting-homing hitting-mine hitting-shooting hitting-ammo \
        hitting-boss dies-boss dies-worm homing-starts; do
        [ -s "$out/sfx/$n.wav" ] || { echo "missing sound: sfx/$n"; fail=1; }
        [ -s "$data/sfx/$n.wav" ] || { echo "sound not in data/: sfx/$n"; fail=1; }
    done
    for n in game-music menu-music; do
        [ -s "$out/music/$n.mp3" ] || { echo "missing music: music/$n"; fail=1; }
        [ -s "$data/music/$n.mp3" ] || { echo "music not in data/: music/$n"; fail=1; }
    done
fi
[ $fail = 0 ] && echo "assets: $count listed, all present and reproducible"
exit $fail
