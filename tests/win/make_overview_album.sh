#!/bin/sh
# Makes the album the Overview's window tests open:   make_overview_album.sh FOLDER
# - album.mp3: four songs of two tones, 20 s each, with 2 s of digital silence between
#   them (about 86 s), encoded by lame at 128 kbps;
# - album.raw: its timeline as mpg123 decodes it (gapless, 16-bit stereo at 44.1 kHz),
#   which Space and "Play Cut" with exact cuts must play bit for bit.
set -eu
mkdir -p "$1"
cd "$1"
song() { sox -R -n -r 44100 -c 2 "$1.wav" synth 20 sine "$2" sine "$3" tremolo 3 60 vol 0.4; }
song a 220 330
song b 262 392
song c 196 294
song d 247 370
sox -R -n -r 44100 -c 2 pause.wav trim 0 2
sox a.wav pause.wav b.wav pause.wav c.wav pause.wav d.wav album.wav
lame --quiet -b 128 album.wav album.mp3
mpg123 -q -s album.mp3 > album.raw
rm a.wav b.wav c.wav d.wav pause.wav album.wav
