#!/usr/bin/env bash
# The Windows mp3partwell.exe, run under Wine, proposes the same silences as the native
# mp3partwell for one file made with sox and lame: digital silence, a noise pause, a quiet
# passage and a short stop, in MPEG-1 stereo and MPEG-2 mono (under a name beyond ASCII, which
# reaches the Windows program whole through its UTF-8 code page).
#   silences_same_as_native.sh WINE-RUN WINDOWS-CLI NATIVE-CLI
set -euo pipefail
wine_run=$1 windows_cli=$2 native_cli=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

song() { sox -R -n -r 44100 -c 2 "$work/$1.wav" synth "$2" sine "$3" sine "$4" tremolo 5 40 vol 0.3; }
song a 3 220 330
song b 2.5 262 392
sox -R -n -r 44100 -c 2 "$work/zeros.wav" trim 0 0.9
sox -R -n -r 44100 -c 2 "$work/noise.wav" synth 0.7 whitenoise vol 0.002
sox -R -n -r 44100 -c 2 "$work/stop.wav" trim 0 0.3
sox -R -n -r 44100 -c 2 "$work/quiet.wav" synth 1.5 sine 440 vol 0.006
sox "$work"/{a,zeros,b,noise,a,stop,quiet,b}.wav "$work/set.wav"
lame --quiet -b 128 "$work/set.wav" "$work/stereo.mp3"
lame --quiet -b 64 -m m --resample 22.05 "$work/set.wav" "$work/mono Café 東京.mp3"

status=0
for file in stereo "mono Café 東京"; do
  windows_path="Z:$(printf '%s' "$work/$file.mp3" | tr / '\\')"
  for options in "" "--tracks 4" "--speech --threshold -40"; do
    # shellcheck disable=SC2086
    native=$("$native_cli" silences "$work/$file.mp3" $options 2>/dev/null)
    # shellcheck disable=SC2086
    windows=$("$wine_run" "$windows_cli" silences "$windows_path" $options </dev/null 2>/dev/null |
              tr -d '\r')
    if [ "$native" != "$windows" ] || [ -z "$native" ]; then
      echo "$file.mp3 $options: the programs differ" >&2
      diff <(echo "$native") <(echo "$windows") >&2 || true
      status=1
    else
      echo "$file.mp3 $options: $(echo "$native" | wc -l) times, the same"
    fi
  done
done
exit $status
