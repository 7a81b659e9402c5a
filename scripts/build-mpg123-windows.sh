#!/usr/bin/env bash
# Builds libmpg123 for 64-bit Windows with mingw-w64, from Debian's source package, as a
# static library for MP3Partwell.exe and the Windows mp3partwell.exe. The result is kept in
# build/mpg123-windows/prefix (include/mpg123.h, lib/libmpg123.a) and reused while the
# source package's version stays the same.
#
# The source package is fetched through a private apt configuration under that folder
# (a deb-src copy of the system's Debian entries), so the system's apt setup is not changed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows-decoder

work=$PWD/build/mpg123-windows
prefix=$work/prefix
mkdir -p "$work"

# A deb-src entry for each Debian archive the system uses, in the format it uses.
apt_dir=$work/apt
rm -rf "$apt_dir/parts"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
sources=$apt_dir/sources.list
: >"$sources"
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$file" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >>"$sources"
done
for file in /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] && sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt_dir/parts/$(basename "$file")"
done
apt_options=(-o "Dir::Etc::SourceList=$sources" -o "Dir::Etc::SourceParts=$apt_dir/parts"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")

version=$(cat "$prefix/version" 2>/dev/null || true)
if [ -n "$version" ] && [ -f "$prefix/lib/libmpg123.a" ] && [ -f "$prefix/include/mpg123.h" ]; then
  # A cached build: reuse it without asking the network again.
  echo "libmpg123 $version for Windows: $prefix"
  exit 0
fi

echo "Fetching the mpg123 source package" >&2
apt-get "${apt_options[@]}" -qq update
source_dir=$work/source
rm -rf "$source_dir"
mkdir -p "$source_dir"
# The upstream signature (.asc) may be missing from the mirror; the .dsc and tarballs are
# what the build needs, and their checksums are checked against the signed index.
(cd "$source_dir" && apt-get "${apt_options[@]}" -qq source --download-only mpg123) \
  >"$work/fetch.log" 2>&1 || true
dsc=$(ls "$source_dir"/mpg123_*.dsc 2>/dev/null | head -n 1)
if [ -z "$dsc" ]; then
  cat "$work/fetch.log" >&2
  echo "build-mpg123-windows: the mpg123 source package could not be fetched" >&2
  exit 1
fi
version=$(sed -n 's/^Version: //p' "$dsc")
(cd "$source_dir" && dpkg-source --no-check -x "$(basename "$dsc")" tree >/dev/null)

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
