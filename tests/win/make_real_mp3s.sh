#!/bin/sh
# Makes the real MP3s on which the window tests compare the two programs' exact cuts:
# 8 seconds of a rising tone in noise, encoded by lame at a variable bit rate (-V2, with an
# ID3v1 tag) and at 128 kbps (with an ID3v2 tag).   make_real_mp3s.sh FOLDER
set -eu
mkdir -p "$1"
cd "$1"
sox -R -n -r 44100 -c 2 tone.wav synth 8 sine 200-2000 synth 8 brownnoise mix
lame --quiet -V2 --id3v1-only --tt "Rising Tone" tone.wav vbr.mp3
lame --quiet -b 128 --id3v2-only --tt "Rising Tone" tone.wav cbr.mp3
rm tone.wav
