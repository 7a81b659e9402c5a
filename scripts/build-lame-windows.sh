#!/usr/bin/env bash
# Builds libmp3lame for 64-bit Windows with mingw-w64, from Debian's source package, as a
# static library for MP3Partwell.exe and the Windows mp3partwell.exe (the encoder of smooth
# seams). The result is kept in build/lame-windows/prefix (include/lame/lame.h,
# lib/libmp3lame.a) and reused while the source package's version stays the same.
# scripts/debian-source.sh fetches the source.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/debian-source.sh
scripts/deps.sh windows-decoder

work=$PWD/build/lame-windows
prefix=$work/prefix
mkdir -p "$work"

cached_build libmp3lame "$prefix" lib/libmp3lame.a include/lame/lame.h && exit 0

debian_source lame "$work"
version=$source_version
tree=$work/source/tree

echo "Building libmp3lame $version for Windows" >&2
rm -rf "$prefix"
# The library alone: no front end, no decoder of its own (libmpg123 decodes).
(cd "$tree" && ./configure --host=x86_64-w64-mingw32 --prefix="$prefix" --disable-shared \
   --enable-static --disable-frontend --disable-decoder --disable-gtktest \
   --enable-nasm=no) >"$work/configure.log"
make -C "$tree" -j2 >"$work/build.log" 2>&1
make -C "$tree" install >"$work/install.log" 2>&1
echo "$version" >"$prefix/version"
rm -rf "$tree"
echo "libmp3lame $version for Windows: $prefix"
