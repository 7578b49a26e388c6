#!/bin/sh
# Synthesises the bundled sound effects (WAV, 22050 Hz mono, 16-bit) and
# the music loops (MP3, 22050 Hz stereo) into OUTDIR/sfx and OUTDIR/music.
# Needs sox and lame. Every random source is sox's repeatable one (-R), so
# the same tools give the same bytes on every run.
set -eu
out=${1:?usage: gen-sounds.sh OUTDIR}
mkdir -p "$out/sfx" "$out/music"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

SOX="sox -V1 -D -R"
fx() { $SOX -n -r 22050 -c 1 -b 16 -e signed-integer "$@"; }
# mix OUT IN... : sums mono parts into one effect.
mix() { o=$1; shift; $SOX -m "$@" -b 16 "$o"; }
# cat OUT IN... : plays parts one after the other.
cat_() { o=$1; shift; $SOX "$@" -b 16 "$o"; }
# MIDI note number to frequency.
hz() { awk -v n="$1" 'BEGIN { printf "%.2f", 440 * 2 ^ ((n - 69) / 12) }'; }

# A short bright tick.
fx "$out/sfx/click.wav" synth 0.035 sine 2200 fade q 0.002 0.035 0.03 vol 0.7
# A falling blip.
fx "$out/sfx/pop.wav" synth 0.12 sine 900-220 fade q 0.005 0.12 0.08 vol 0.8
# Two bell-like partials that ring out.
fx "$out/sfx/chime.wav" synth 0.7 sine 1320 sine 1760 remix 1-2 fade q 0.005 0.7 0.65 vol 0.6

# ---------------------------------------------------------------- worm
s=$out/sfx
# Grabs: a wet squelch, the pitch falling while a fast wobble makes it
# sound like suction.
fx "$work/g1.wav" synth 0.17 sine 420-150 sine amod 38 lowpass 1800 fade q 0.004 0.17 0.1 vol 0.9
fx "$work/g2.wav" synth 0.09 brownnoise lowpass 900 fade q 0.002 0.09 0.07 vol 0.5
mix "$s/worm-head-grab.wav" "$work/g1.wav" "$work/g2.wav"
fx "$s/worm-tail-grab.wav" synth 0.13 sine 560-240 sine amod 30 lowpass 2200 fade q 0.003 0.13 0.09 vol 0.85
fx "$work/t1.wav" synth 0.22 sine 190-55 fade q 0.002 0.22 0.18 vol 0.95
fx "$work/t2.wav" synth 0.05 pinknoise lowpass 2500 fade q 0.001 0.05 0.045 vol 0.6
fx "$work/t3.wav" synth 0.15 sine 520-220 sine amod 34 lowpass 1800 fade q 0.003 0.15 0.1 vol 0.6
mix "$s/worm-tail-grab-hard.wav" "$work/t1.wav" "$work/t2.wav" "$work/t3.wav"
# Collecting: a rising two-note pluck.
fx "$work/c1.wav" synth 0.07 pluck "$(hz 84)" fade q 0.002 0.07 0.01 vol 0.8
fx "$work/c2.wav" synth 0.3 pluck "$(hz 91)" fade q 0.002 0.3 0.25 vol 0.8
cat_ "$s/worm-collecting-fruit.wav" "$work/c1.wav" "$work/c2.wav"
# All collected: a quick major arpeggio with a ringing top note.
i=0
for n in 72 76 79 84; do
    len=0.08
    [ $n = 84 ] && len=0.55
    fx "$work/a$i.wav" synth $len pluck "$(hz $n)" pluck "$(hz $((n + 12)))" remix 1,2 fade q 0.002 $len 0.02 vol 0.6
    i=$((i + 1))
done
cat_ "$work/arp.wav" "$work/a0.wav" "$work/a1.wav" "$work/a2.wav" "$work/a3.wav"
fx "$work/sparkle.wav" synth 0.87 sine 2637 sine amod 12 fade q 0.3 0.87 0.5 vol 0.15
mix "$s/fruits-collected.wav" "$work/arp.wav" "$work/sparkle.wav"
# Hurt: three different bonks, each a falling boing with a thud.
k=1
for p in 520 440 600; do
    fx "$work/d1.wav" synth 0.3 square $p-$((p * 2 / 5)) lowpass 1600 fade q 0.003 0.3 0.2 vol 0.45
    fx "$work/d2.wav" synth 0.12 sine 150-60 fade q 0.002 0.12 0.1 vol 0.9
    mix "$s/worm_damage_0$k.wav" "$work/d1.wav" "$work/d2.wav"
    k=$((k + 1))
done
# Stretching: a rubbery creak, rising.
fx "$s/worm-stretching.wav" synth 0.45 sawtooth 110-240 lowpass 900 tremolo 26 60 fade q 0.04 0.45 0.15 vol 0.7
# Swung fast: an airy whoosh that swells and fades.
fx "$s/worm-swung-fast.wav" synth 0.38 pinknoise highpass 500 lowpass 2600 fade q 0.15 0.38 0.2 vol 0.8
# Through the exit: a rising whoosh with a glitter on top.
fx "$work/x1.wav" synth 0.9 pinknoise highpass 400 lowpass 3000 fade q 0.35 0.9 0.45 vol 0.6
fx "$work/x2.wav" synth 0.9 sine 220-1320 sine amod 9 fade q 0.2 0.9 0.4 vol 0.35
fx "$work/x3.wav" synth 0.9 pluck "$(hz 96)" fade q 0.001 0.9 0.8 pad 0.35 trim 0 0.9 vol 0.3
mix "$s/worm-going-through-exit.wav" "$work/x1.wav" "$work/x2.wav" "$work/x3.wav"
# Losing the last life: a sad slide down over three notes.
i=0
for n in 64 63 62; do
    fx "$work/w$i.wav" synth 0.32 triangle "$(hz $n)" triangle "$(hz $((n + 12)))" remix 1,2 lowpass 1800 fade q 0.02 0.32 0.06 vol 0.5
    i=$((i + 1))
done
fx "$work/w3.wav" synth 0.8 triangle "$(hz 61)-$(hz 57)" triangle "$(hz 73)-$(hz 69)" remix 1,2 lowpass 1800 tremolo 6 40 fade q 0.02 0.8 0.5 vol 0.5
cat_ "$s/dies-worm.wav" "$work/w0.wav" "$work/w1.wav" "$work/w2.wav" "$work/w3.wav"

# ---------------------------------------------------------------- world
# A peg creaks: a short woody tick.
fx "$work/r1.wav" synth 0.07 sine 900-520 fade q 0.001 0.07 0.06 vol 0.6
fx "$work/r2.wav" synth 0.04 pinknoise bandpass 1800 600 fade q 0.001 0.04 0.035 vol 0.7
mix "$s/rotating-peg.wav" "$work/r1.wav" "$work/r2.wav"
# An egg cracks and chimes.
fx "$work/e1.wav" synth 0.05 whitenoise highpass 1500 fade q 0.001 0.05 0.04 vol 0.5
fx "$work/e2.wav" synth 0.45 sine "$(hz 93)" sine "$(hz 100)" remix 1,2 fade q 0.003 0.45 0.4 pad 0.03 trim 0 0.45 vol 0.45
mix "$s/egg-hit.wav" "$work/e1.wav" "$work/e2.wav"
# The victory fanfare: brassy notes climbing to a held chord.
i=0
for step in 67:0.14 72:0.14 76:0.14 79:0.34 76:0.14; do
    n=${step%%:*}
    len=${step##*:}
    fx "$work/f$i.wav" synth $len sawtooth "$(hz $n)" sawtooth "$(hz $n)" remix 1,2 lowpass 2200 fade q 0.01 $len 0.03 vol 0.35
    i=$((i + 1))
done
fx "$work/fc1.wav" synth 1.1 sawtooth "$(hz 72)" sawtooth "$(hz 76)" remix 1,2 lowpass 2000 fade q 0.02 1.1 0.6 vol 0.3
fx "$work/fc2.wav" synth 1.1 sawtooth "$(hz 79)" sawtooth "$(hz 84)" remix 1,2 lowpass 2400 tremolo 5.5 20 fade q 0.02 1.1 0.6 vol 0.3
mix "$work/fchord.wav" "$work/fc1.wav" "$work/fc2.wav"
cat_ "$work/fan.wav" "$work/f0.wav" "$work/f1.wav" "$work/f2.wav" "$work/f3.wav" "$work/f4.wav" "$work/fchord.wav"
fx "$work/fsp.wav" synth 1.9 pluck "$(hz 96)" fade q 0.001 1.9 1.2 pad 0.8 trim 0 1.9 vol 0.25
mix "$s/victory-fanfare.wav" "$work/fan.wav" "$work/fsp.wav"
# The level is lost: a sad trombone sliding down.
i=0
for n in 55 54 53; do
    fx "$work/l$i.wav" synth 0.42 sawtooth "$(hz $n)" lowpass 900 fade q 0.03 0.42 0.08 vol 0.55
    i=$((i + 1))
done
fx "$work/l3.wav" synth 1.1 sawtooth "$(hz 52)" lowpass 900 tremolo 5 50 fade q 0.03 1.1 0.5 vol 0.55
cat_ "$s/level-failed.wav" "$work/l0.wav" "$work/l1.wav" "$work/l2.wav" "$work/l3.wav"

# ----------------------------------------------------------------- bugs
# Hitting a bug: a pop with a splat.
fx "$work/h1.wav" synth 0.14 sine 950-260 fade q 0.002 0.14 0.1 vol 0.8
fx "$work/h2.wav" synth 0.09 pinknoise lowpass 3000 fade q 0.001 0.09 0.08 vol 0.55
mix "$s/hitting-bug.wav" "$work/h1.wav" "$work/h2.wav"
fx "$work/h3.wav" synth 0.16 sine 700-180 fade q 0.002 0.16 0.12 vol 0.8
fx "$work/h4.wav" synth 0.12 brownnoise lowpass 2000 fade q 0.001 0.12 0.1 vol 0.8
mix "$s/hitting-homing.wav" "$work/h3.wav" "$work/h4.wav"
fx "$work/h5.wav" synth 0.3 sine 1250 sine 1870 remix 1,2 fade q 0.001 0.3 0.28 vol 0.4
fx "$work/h6.wav" synth 0.12 sine 160-60 fade q 0.002 0.12 0.1 vol 0.9
mix "$s/hitting-mine.wav" "$work/h5.wav" "$work/h6.wav"
fx "$work/h7.wav" synth 0.12 sine 1100-2100 fade q 0.002 0.12 0.06 vol 0.45
mix "$s/hitting-shooting.wav" "$work/h1.wav" "$work/h2.wav" "$work/h7.wav"
fx "$s/hitting-ammo.wav" synth 0.07 sine 1500-480 fade q 0.001 0.07 0.05 vol 0.6
# The greedy bug: a grumbling buzz, and an offended honk when it is hit.
fx "$s/greedy-bug.wav" synth 0.55 sawtooth 150-115 sawtooth 153-118 remix 1,2 lowpass 1300 tremolo 17 70 fade q 0.03 0.55 0.2 vol 0.5
fx "$work/gb1.wav" synth 0.28 square 330-620 lowpass 1600 fade q 0.005 0.28 0.1 vol 0.35
fx "$work/gb2.wav" synth 0.28 square 620-240 lowpass 1600 fade q 0.005 0.28 0.2 vol 0.35
cat_ "$s/hitting-greedy-bug.wav" "$work/gb1.wav" "$work/gb2.wav"
# The end bug's wings: a buzz that loops (whole cycles, no fades).
fx "$s/flying-end-bug.wav" synth 1.0 sawtooth 110 sawtooth 113 remix 1,2 lowpass 1400 tremolo 30 45 vol 0.4
# A shot: a wet spit.
fx "$work/p1.wav" synth 0.16 square 1300-280 lowpass 2800 fade q 0.002 0.16 0.1 vol 0.4
fx "$work/p2.wav" synth 0.06 pinknoise highpass 1200 fade q 0.001 0.06 0.05 vol 0.4
mix "$s/shooting.wav" "$work/p1.wav" "$work/p2.wav"
# A homing bug breaks loose: a rising alarm buzz.
fx "$s/homing-starts.wav" synth 0.45 square 260-820 lowpass 2500 tremolo 14 60 fade q 0.01 0.45 0.1 vol 0.4
# A mine goes off: a deep thump under a burst of noise.
fx "$work/m1.wav" synth 1.0 brownnoise lowpass 900 fade p 0.005 1.0 0.9 vol 0.95
fx "$work/m2.wav" synth 0.5 sine 90-35 fade q 0.003 0.5 0.45 vol 0.9
fx "$work/m3.wav" synth 0.25 whitenoise lowpass 4000 fade q 0.002 0.25 0.22 vol 0.3
mix "$s/mine_explodes.wav" "$work/m1.wav" "$work/m2.wav" "$work/m3.wav"
# The boss is hit: a heavy thud with a boing; it dies with a falling wail
# into a burst.
fx "$work/b1.wav" synth 0.3 sine 150-60 fade q 0.003 0.3 0.25 vol 0.95
fx "$work/b2.wav" synth 0.3 square 420-230 lowpass 1500 fade q 0.003 0.3 0.2 vol 0.35
mix "$s/hitting-boss.wav" "$work/b1.wav" "$work/b2.wav"
fx "$work/b3.wav" synth 1.3 sawtooth 620-70 lowpass 1800 tremolo 9 50 fade q 0.01 1.3 0.4 vol 0.4
fx "$work/b4.wav" synth 1.3 brownnoise lowpass 800 fade p 0.005 1.3 0.7 pad 0.6 trim 0 1.3 vol 0.9
mix "$s/dies-boss.wav" "$work/b3.wav" "$work/b4.wav"

# ------------------------------------------------------------------- UI
fx "$s/ui-button-over.wav" synth 0.03 sine 1900 fade q 0.002 0.03 0.025 vol 0.3
fx "$s/ui-button-press.wav" synth 0.06 sine 950-520 fade q 0.001 0.06 0.05 vol 0.6
fx "$s/ui-button-release.wav" synth 0.05 sine 1250-1650 fade q 0.001 0.05 0.04 vol 0.45

# Levels: every effect of the game peaks at -2 dB, except those that
# should sit back in the mix (taps, creaks, whooshes and the looping buzz).
for f in "$s"/*.wav; do
    name=$(basename "$f" .wav)
    case $name in
    click | pop | chime) continue ;;
    ui-button-over) db=-9 ;;
    ui-button-release) db=-6 ;;
    ui-button-press | rotating-peg | hitting-ammo) db=-5 ;;
    worm-swung-fast | flying-end-bug | worm-stretching) db=-4 ;;
    greedy-bug | hitting-greedy-bug | shooting) db=-3 ;;
    *) db=-2 ;;
    esac
    $SOX "$f" "$work/level.wav" gain -n $db
    mv "$work/level.wav" "$f"
done

# The first music loop: an arpeggio of eight notes, half a second each, in
# stereo, encoded at a constant bit rate so that it loops cleanly.
i=0
for f in 220 262 330 440 392 330 262 247; do
    sox -V1 -D -n -r 22050 -c 2 -b 16 -e signed-integer "$work/n$i.wav" synth 0.5 triangle $f fade q 0.02 0.5 0.1 vol 0.5
    i=$((i + 1))
done
sox -V1 -D "$work"/n0.wav "$work"/n1.wav "$work"/n2.wav "$work"/n3.wav \
    "$work"/n4.wav "$work"/n5.wav "$work"/n6.wav "$work"/n7.wav "$work/loop.wav"
lame --quiet -m j -b 64 "$work/loop.wav" "$out/music/loop.mp3"

# ---------------------------------------------------------------- music
# A track is a list of NOTE:EIGHTHS (NOTE a MIDI number, 0 a rest) played
# by one instrument. The music is rendered twice over and reverberated,
# and the second pass is kept: the loop's start then carries the echo of
# its own end, so it repeats without a seam.

# track NAME INSTRUMENT EIGHTH_SECONDS VOLUME NOTES...
track() {
    name=$1 inst=$2 e=$3 v=$4
    shift 4
    list=""
    j=0
    for step in "$@" "$@"; do
        n=${step%%:*}
        len=$(awk -v a="${step##*:}" -v e="$e" 'BEGIN { printf "%.4f", a * e }')
        f="$work/${name}_$j.wav"
        if [ "$n" = 0 ]; then
            $SOX -n -r 22050 -c 1 -b 16 -e signed-integer "$f" trim 0 "$len"
        else
            case $inst in
            pluck) fx "$f" synth "$len" pluck "$(hz "$n")" fade q 0.004 "$len" 0.05 vol "$v" ;;
            bell) fx "$f" synth "$len" sine "$(hz "$n")" sine "$(hz $((n + 12)))" remix 1v0.8,2v0.2 fade q 0.004 "$len" "$len" vol "$v" ;;
            bass) fx "$f" synth "$len" triangle "$(hz "$n")" lowpass 600 fade q 0.01 "$len" 0.08 vol "$v" ;;
            pad) fx "$f" synth "$len" sawtooth "$(hz "$n")" sawtooth "$(hz "$n")" remix 1,2 lowpass 700 tremolo 3 20 fade h 0.2 "$len" 0.3 vol "$v" ;;
            esac
        fi
        list="$list $f"
        j=$((j + 1))
    done
    # shellcheck disable=SC2086
    $SOX $list -b 16 "$work/$name.wav"
}

# stereo NAME LEFT RIGHT: places a mono track in the stereo field.
stereo() { $SOX "$work/$1.wav" -c 2 "$work/$1-st.wav" remix 1v"$2" 1v"$3"; }

# song OUT LOOP_SECONDS TRACK... : mixes the stereo tracks, adds reverb,
# keeps the second pass and encodes it.
song() {
    o=$1 loop=$2
    shift 2
    parts=""
    for t in "$@"; do parts="$parts $work/$t-st.wav"; done
    # shellcheck disable=SC2086
    $SOX -m $parts -b 16 "$work/mix.wav" reverb 35 50 70 gain -n -3 trim "$loop" "$loop"
    lame --quiet -m j -b 64 "$work/mix.wav" "$o"
}

# Level music: C major at 100 beats a minute (an eighth is 0.3 s), eight
# bars, 19.2 s: C Am F G C Am F G, a gentle plucked tune over a soft pad.
E=0.3
track gm_mel pluck $E 0.55 \
    76:2 79:2 81:1 79:1 76:2  72:3 74:1 76:4 \
    77:2 76:2 74:2 72:2  71:3 72:1 74:4 \
    76:2 79:2 84:2 83:1 81:1  79:4 76:2 0:2 \
    77:2 81:1 79:1 77:2 76:2  74:6 0:2
track gm_arp bell $E 0.16 \
    60:1 64:1 67:1 72:1 67:1 64:1 67:1 64:1  57:1 60:1 64:1 69:1 64:1 60:1 64:1 60:1 \
    53:1 57:1 60:1 65:1 60:1 57:1 60:1 57:1  55:1 59:1 62:1 67:1 62:1 59:1 62:1 59:1 \
    60:1 64:1 67:1 72:1 67:1 64:1 67:1 64:1  57:1 60:1 64:1 69:1 64:1 60:1 64:1 60:1 \
    53:1 57:1 60:1 65:1 60:1 57:1 60:1 57:1  55:1 59:1 62:1 67:1 62:1 59:1 62:1 59:1
track gm_bass bass $E 0.6 \
    36:4 43:4 33:4 40:4 29:4 36:4 31:4 38:4 36:4 43:4 33:4 40:4 29:4 36:4 31:4 35:4
track gm_pad pad $E 0.09 \
    64:8 64:8 65:8 62:8 64:8 64:8 65:8 62:8
stereo gm_mel 0.8 0.55
stereo gm_arp 0.45 0.8
stereo gm_bass 0.7 0.7
stereo gm_pad 0.6 0.6
song "$out/music/game-music.mp3" 19.2 gm_mel gm_arp gm_bass gm_pad

# Menu music: F major at 94 beats a minute (an eighth is 0.32 s), eight
# bars, 20.48 s: F Dm Bb C F Dm Bb C, a bell tune over a bouncing bass.
E=0.32
track mm_mel bell $E 0.35 \
    72:1 74:1 77:2 79:2 81:2  79:2 77:2 74:4 \
    70:2 72:2 74:2 77:2  76:6 0:2 \
    72:1 74:1 77:2 79:2 81:2  84:2 81:2 79:4 \
    77:2 74:2 72:2 70:2  72:4 77:4
track mm_arp pluck $E 0.3 \
    65:1 69:1 72:1 69:1 65:1 69:1 72:1 69:1  62:1 65:1 69:1 65:1 62:1 65:1 69:1 65:1 \
    58:1 62:1 65:1 62:1 58:1 62:1 65:1 62:1  60:1 64:1 67:1 64:1 60:1 64:1 67:1 64:1 \
    65:1 69:1 72:1 69:1 65:1 69:1 72:1 69:1  62:1 65:1 69:1 65:1 62:1 65:1 69:1 65:1 \
    58:1 62:1 65:1 62:1 58:1 62:1 65:1 62:1  60:1 64:1 67:1 64:1 60:1 64:1 67:1 64:1
track mm_bass bass $E 0.6 \
    41:2 0:1 41:1 48:2 41:2  38:2 0:1 38:1 45:2 38:2  34:2 0:1 34:1 41:2 34:2  36:2 0:1 36:1 43:2 36:2 \
    41:2 0:1 41:1 48:2 41:2  38:2 0:1 38:1 45:2 38:2  34:2 0:1 34:1 41:2 34:2  36:2 0:1 36:1 43:2 36:2
track mm_pad pad $E 0.08 \
    69:8 65:8 62:8 64:8 69:8 65:8 62:8 67:8
stereo mm_mel 0.55 0.8
stereo mm_arp 0.8 0.45
stereo mm_bass 0.7 0.7
stereo mm_pad 0.6 0.6
song "$out/music/menu-music.mp3" 20.48 mm_mel mm_arp mm_bass mm_pad
