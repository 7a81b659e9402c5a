#!/usr/bin/env bash
# Makes docs/screenshots/{split,join,help,about}.png from the real program, run under Wine
# on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows >/dev/null

scripts/build-mpg123-windows.sh >/dev/null
build=build/windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target MP3Partwell >/dev/null

export WINE_TEST_STATE=$PWD/$build/wine-screenshots
mkdir -p "$WINE_TEST_STATE"
trap 'tools/wine-run.sh --teardown >/dev/null 2>&1 || true' EXIT
eval "$(tools/wine-run.sh --env)"

drive=$WINE_TEST_STATE/drive-window.exe
x86_64-w64-mingw32-gcc-posix -O2 -o "$drive" tools/drive-window.c
run() { tools/wine-run.sh "$@" </dev/null >/dev/null 2>&1; }

# Example files for the pages to show (not read or written by the screenshots).
music='C:\users\Public\Music'
tools/wine-run.sh "$build/MP3Partwell.exe" </dev/null >/dev/null 2>&1 &
program=$!
window=
for _ in $(seq 150); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"MP3 Partwell v1.5"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "screenshots: the program's window did not appear" >&2; exit 1; }

for time in 0:00 3:12.50 7:45 12:03.25; do
  run "$drive" text split 1009 "$time"
  run "$drive" click split 1005
done
run "$drive" text split 1001 "%track% - %title%"
for name in "01 Opening.mp3" "02 Second Set.mp3" "03 Encore.mp3"; do
  run "$drive" item join "$music\\$name"
done
run "$drive" text join 1001 "$music\\Whole Concert.mp3"

mkdir -p docs/screenshots
tab=0
for page in split join help about; do
  run "$drive" tab "$tab"
  sleep 0.5
  import -window "$window" "docs/screenshots/$page.png"
  echo "screenshots: docs/screenshots/$page.png"
  tab=$((tab + 1))
done
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
