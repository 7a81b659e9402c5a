#!/usr/bin/env bash
# Builds the window program MP3Partwell.exe and starts it under Wine: on the user's display
# when there is one; otherwise on a private Xvfb display, where it saves a screenshot of
# the window and says where, then closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run

scripts/build-mpg123-windows.sh >/dev/null
build=build/windows
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target MP3Partwell >/dev/null
program=$PWD/$build/MP3Partwell.exe
echo "Built $program"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # The user's display, with a Wine prefix of the program's own.
  export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wine-user} WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
  mkdir -p "$WINEPREFIX"
  wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
  echo "Starting it on $DISPLAY (the first start prepares the Wine prefix; this takes a while)"
  exec "$wine" "$program"
fi

echo "No display: starting it on a private Xvfb display"
export WINE_TEST_STATE=$PWD/$build/wine-run
mkdir -p "$WINE_TEST_STATE"
trap 'tools/wine-run.sh --teardown >/dev/null 2>&1 || true' EXIT
shot=$PWD/$build/MP3Partwell.png
tools/screenshot.sh "$program" "$shot" "MP3 Partwell v1.5" >/dev/null
echo "The program started; a screenshot of its window is at ${shot%.png}-window.png"
echo "(and of the whole screen at $shot)"
