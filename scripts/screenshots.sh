#!/usr/bin/env bash
# Makes docs/screenshots/{split,join,help,about}.png and the Overview's (overview.png, the
# whole file, and overview-zoomed.png) from the real program, run under Wine on a private
# Xvfb display. With LOGPIXELS=144 it shows them at 150% instead, in build/windows/dpi-144.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows >/dev/null

scripts/build-mpg123-windows.sh >/dev/null
build=build/windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target MP3Partwell >/dev/null

logpixels=${LOGPIXELS:-96}
shots=docs/screenshots
[ "$logpixels" = 96 ] || shots=$build/dpi-$logpixels
export WINE_TEST_STATE=$PWD/$build/wine-screenshots-$logpixels
mkdir -p "$WINE_TEST_STATE" "$shots"
trap 'tools/wine-run.sh --teardown >/dev/null 2>&1 || true' EXIT
eval "$(tools/wine-run.sh --env)"
tools/wine-run.sh reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
  /d "$logpixels" /f >/dev/null 2>&1
# The Overview shows the album that its window tests open.
album=$PWD/$build/overview-album
[ -f "$album/album.mp3" ] || sh tests/win/make_overview_album.sh "$album"

drive=$WINE_TEST_STATE/drive-window.exe
x86_64-w64-mingw32-gcc-posix -O2 -o "$drive" tools/drive-window.c
run() { tools/wine-run.sh "$@" </dev/null >/dev/null 2>&1; }
# The X window whose title is "$1", waited for up to 15 s; the script ends without it.
window_titled() {
  local id=
  for _ in $(seq 150); do
    id=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$1\"" 'index($0, t) {print $1; exit}')
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "screenshots: the window \"$1\" did not appear" >&2; exit 1; }
  echo "$id"
}

# Example files for the pages to show (not read or written by the screenshots).
music='C:\users\Public\Music'
tools/wine-run.sh "$build/MP3Partwell.exe" </dev/null >/dev/null 2>&1 &
program=$!
window=$(window_titled "MP3 Partwell v1.5")

for time in 0:00 3:12.50 7:45 12:03.25; do
  run "$drive" text split 1009 "$time"
  run "$drive" click split 1005
done
run "$drive" text split 1001 "%track% - %title%"
for name in "01 Opening.mp3" "02 Second Set.mp3" "03 Encore.mp3"; do
  run "$drive" item join "$music\\$name"
done
run "$drive" text join 1001 "$music\\Whole Concert.mp3"

tab=0
for page in split join help about; do
  run "$drive" tab "$tab"
  sleep 0.5
  import -window "$window" "$shots/$page.png"
  echo "screenshots: $shots/$page.png"
  tab=$((tab + 1))
done

# The Overview of the album with four track times, the third selected, then zoomed in on it.
run "$drive" tab 0
run "$drive" click split 1027
run "$drive" post split 1002
sleep 1
run "$drive" open "Z:${album//\//\\}\\album.mp3"
sleep 1
for time in 0:21 0:43 1:05; do
  run "$drive" text split 1009 "$time"
  run "$drive" click split 1005
done
run "$drive" select split 2
run "$drive" click split 1037
overview=$(window_titled "Overview - album.mp3")
sleep 3
import -window "$overview" "$shots/overview.png"
echo "screenshots: $shots/overview.png"
run "$drive" point "$(( $(xwininfo -id "$overview" | awk '/Width:/ {print $2}') / 2 ))" 30
run "$drive" key 187 187 187 187
sleep 0.5
import -window "$overview" "$shots/overview-zoomed.png"
echo "screenshots: $shots/overview-zoomed.png"
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
