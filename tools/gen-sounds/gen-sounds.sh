#!/bin/sh
# Synthesises the bundled sound effects (WAV, 22050 Hz mono, 16-bit) and
# the music loop (MP3, 22050 Hz stereo) into OUTDIR/sfx and OUTDIR/music.
# Needs sox and lame.
set -eu
out=${1:?usage: gen-sounds.sh OUTDIR}
mkdir -p "$out/sfx" "$out/music"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

fx() { sox -V1 -D -n -r 22050 -c 1 -b 16 -e signed-integer "$@"; }

# A short bright tick.
fx "$out/sfx/click.wav" synth 0.035 sine 2200 fade q 0.002 0.035 0.03 vol 0.7
# A falling blip.
fx "$out/sfx/pop.wav" synth 0.12 sine 900-220 fade q 0.005 0.12 0.08 vol 0.8
# Two bell-like partials that ring out.
fx "$out/sfx/chime.wav" synth 0.7 sine 1320 sine 1760 remix 1-2 fade q 0.005 0.7 0.65 vol 0.6

# The music loop: an arpeggio of eight notes, half a second each, in
# stereo, encoded at a constant bit rate so that it loops cleanly.
i=0
for f in 220 262 330 440 392 330 262 247; do
    sox -V1 -D -n -r 22050 -c 2 -b 16 -e signed-integer "$work/n$i.wav" synth 0.5 triangle $f fade q 0.02 0.5 0.1 vol 0.5
    i=$((i + 1))
done
sox -V1 -D "$work"/n0.wav "$work"/n1.wav "$work"/n2.wav "$work"/n3.wav \
    "$work"/n4.wav "$work"/n5.wav "$work"/n6.wav "$work"/n7.wav "$work/loop.wav"
lame --quiet -m j -b 64 "$work/loop.wav" "$out/music/loop.mp3"
