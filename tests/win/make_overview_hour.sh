#!/bin/sh
# Makes the hour the Overview's first paint is timed on:   make_overview_hour.sh FOLDER
# hour.mp3: sixty copies of one minute (50 s of two tones, 10 s of digital silence), encoded
# once by lame at 128 kbps without an Info frame, so that the copies follow one another as
# one headerless stream of 60 minutes (57.6 MB).
set -eu
mkdir -p "$1"
cd "$1"
[ -f hour.mp3 ] && exit 0
sox -R -n -r 44100 -c 2 tone.wav synth 50 sine 220 sine 330 tremolo 3 60 vol 0.4
sox -R -n -r 44100 -c 2 pause.wav trim 0 10
sox tone.wav pause.wav minute.wav
lame --quiet -t -b 128 minute.wav minute.mp3
for i in $(seq 60); do cat minute.mp3; done > hour.part
mv hour.part hour.mp3
rm tone.wav pause.wav minute.wav minute.mp3
