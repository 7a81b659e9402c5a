#!/usr/bin/env bash
# Builds MP3Partwell.exe, the command-line program for Windows and the window tests with
# mingw-w64 (and libmpg123 and libmp3lame for them, once), and runs the tests under Wine on a private Xvfb
# display (no display of the user's is needed or touched).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows

build=build/windows
export WINE_TEST_STATE=$PWD/$build/wine   # the Wine prefix and Xvfb state live in the build
mkdir -p "$WINE_TEST_STATE"
trap 'tools/wine-run.sh --teardown >/dev/null 2>&1 || true' EXIT

scripts/build-mpg123-windows.sh
scripts/build-lame-windows.sh
# The native command-line program, which the Windows one is compared with.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target mp3partwell
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARTWELL_NATIVE_CLI="$PWD/build/native/src/cli/mp3partwell"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure
