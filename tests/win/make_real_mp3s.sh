#!/bin/sh
# Makes the real MP3s on which the window tests compare the window program with the
# command-line program:   make_real_mp3s.sh FOLDER
# - vbr.mp3 and cbr.mp3, for the exact cuts: 8 seconds of a rising tone in noise, encoded
#   by lame at a variable bit rate (-V2, with an ID3v1 tag) and at 128 kbps (with an ID3v2
#   tag);
# - pauses.mp3, for the silence search: four songs of two tones, between them digital
#   silence (0.9 s and 1.4 s) and a noise pause (0.7 s at about -59 dBFS), and inside one a
#   short stop (0.3 s) before a quiet passage (1.5 s at about -47 dBFS); 128 kbps.
set -eu
mkdir -p "$1"
cd "$1"
sox -R -n -r 44100 -c 2 tone.wav synth 8 sine 200-2000 synth 8 brownnoise mix
lame --quiet -V2 --id3v1-only --tt "Rising Tone" tone.wav vbr.mp3
lame --quiet -b 128 --id3v2-only --tt "Rising Tone" tone.wav cbr.mp3
rm tone.wav

song() { sox -R -n -r 44100 -c 2 "$1.wav" synth "$2" sine "$3" sine "$4" tremolo 5 40 vol 0.3; }
song a 3 220 330
song b 2.5 262 392
sox -R -n -r 44100 -c 2 zeros.wav trim 0 0.9
sox -R -n -r 44100 -c 2 long-zeros.wav trim 0 1.4
sox -R -n -r 44100 -c 2 noise.wav synth 0.7 whitenoise vol 0.002
sox -R -n -r 44100 -c 2 stop.wav trim 0 0.3
sox -R -n -r 44100 -c 2 quiet.wav synth 1.5 sine 440 vol 0.006
sox a.wav zeros.wav b.wav noise.wav a.wav stop.wav quiet.wav b.wav long-zeros.wav a.wav pauses.wav
lame --quiet -b 128 pauses.wav pauses.mp3
rm a.wav b.wav zeros.wav long-zeros.wav noise.wav stop.wav quiet.wav pauses.wav
