#!/usr/bin/env bash
# Builds libmpg123 for 64-bit Windows with mingw-w64, from Debian's source package, as a
# static library for MP3Partwell.exe and the Windows mp3partwell.exe. The result is kept in
# build/mpg123-windows/prefix (include/mpg123.h, lib/libmpg123.a) and reused while the
# source package's version stays the same. scripts/debian-source.sh fetches the source.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/debian-source.sh
scripts/deps.sh windows-decoder

work=$PWD/build/mpg123-windows
prefix=$work/prefix
mkdir -p "$work"

cached_build libmpg123 "$prefix" lib/libmpg123.a include/mpg123.h && exit 0

debian_source mpg123 "$work"
version=$source_version
source_dir=$work/source

echo "Building libmpg123 $version for Windows" >&2
rm -rf "$work/cmake" "$prefix"
cmake -S "$source_dir/tree/ports/cmake" -B "$work/cmake" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_LIBOUT123=OFF \
  -DBUILD_SHARED_LIBS=OFF -DNETWORK=OFF >"$work/configure.log"
cmake --build "$work/cmake" -j"$(nproc)" >"$work/build.log"
cmake --install "$work/cmake" >"$work/install.log"
echo "$version" >"$prefix/version"
rm -rf "$source_dir/tree"
echo "libmpg123 $version for Windows: $prefix"
