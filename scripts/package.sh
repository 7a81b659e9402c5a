#!/usr/bin/env bash
# Writes the downloads to dist/:
#   MP3Partwell-<version>-win64.zip  both Windows programs, README.txt, the licences and the
#                                    sources of the statically linked LGPL libraries;
#   mp3partwell_<version>_amd64.deb  the command-line program, its manual page and bash
#                                    completion;
#   SHA256SUMS                       over both.
# The version is the CMake project version. It builds what it packages (the Windows
# programs in build/windows, as the tests do; the Debian program in build/package with
# Debian's hardening flags) and tests nothing: scripts/test-package.sh checks the result.
# libmpg123's and libmp3lame's sources for the zip are looked for in $MPG123_SOURCE_DIR and
# $LAME_SOURCE_DIR, else under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
umask 022
jobs=$(nproc)
dist=$PWD/dist
work=$PWD/build/package
maintainer="The MP3 Partwell authors <authors@mp3partwell.invalid>"
# One date for every file written, so that the same commit packs to the same bytes.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

# The command-line program for the .deb, installed into a staging root.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$work" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$work" -j"$jobs" --target mp3partwell mp3partwell_docs >/dev/null
version=$(sed -n 's/^#define PARTWELL_VERSION "\(.*\)"$/\1/p' "$work/generated/partwell_version.h")
[ -n "$version" ] || { echo "package: no version in $work/generated/partwell_version.h" >&2; exit 1; }

# The Windows programs, from the tree the window tests use, with libmpg123 and libmp3lame
# built for them.
scripts/build-mpg123-windows.sh >/dev/null
scripts/build-lame-windows.sh >/dev/null
windows=build/windows
cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$windows" -j"$jobs" --target MP3Partwell mp3partwell >/dev/null
programs=("$windows/MP3Partwell.exe" "$windows/src/cli/mp3partwell.exe")

rm -rf "$dist"
mkdir -p "$dist"

build_deb() {
  local root=$work/deb-root deb=$dist/mp3partwell_${version}_amd64.deb
  rm -rf "$root"
  DESTDIR=$root cmake --install "$work" >/dev/null
  strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/bin/mp3partwell"
  gzip -9n "$root/usr/share/man/man1/mp3partwell.1"
  local doc=$root/usr/share/doc/mp3partwell
  mkdir -p "$doc"
  cp packaging/copyright "$doc/copyright"
  {
    echo "mp3partwell ($version) unstable; urgency=medium"
    echo
    echo "  * MP3 Partwell $version: the command-line program, its manual page and its"
    echo "    bash completion."
    echo
    echo " -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
  } | gzip -9n >"$doc/changelog.gz"

  # dpkg-shlibdeps reads the libraries' symbol files; it wants a debian/control beside it.
  local shlibs=$work/shlibdeps
  mkdir -p "$shlibs/debian"
  printf 'Source: mp3partwell\n\nPackage: mp3partwell\nArchitecture: any\n' >"$shlibs/debian/control"
  local depends
  depends=$(cd "$shlibs" && dpkg-shlibdeps -O -e"$root/usr/bin/mp3partwell" 2>/dev/null |
            sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

  mkdir -p "$root/DEBIAN"
  cat >"$root/DEBIAN/control" <<EOF
Package: mp3partwell
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: sound
Priority: optional
Homepage: https://mp3partwell.invalid/
Description: split MP3 recordings into tracks and join MP3 files
 mp3partwell cuts long MP3 recordings (concerts, DJ mixes, radio shows,
 audiobooks) into tracks, at the times given or those of a CUE sheet, and
 joins MP3 files, without re-encoding: every byte of audio in a track is a
 byte of the source. It never changes the files it reads.
EOF
  (cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
  find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
  echo "package: $deb"
}

# Windows DLLs every Windows has; anything else an .exe imports goes into the zip.
system_dll='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|msvcrt|shlwapi|winmm|ws2_32|version|uxtheme)\.dll$'

# Copies the DLLs that `exe` needs beside it, from the cross compiler's folders.
copy_needed_dlls() {  # EXE FOLDER
  local dll found
  for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'); do
    grep -qiE "$system_dll" <<<"$dll" && continue
    found=$(find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32 -iname "$dll" 2>/dev/null | head -n 1)
    [ -n "$found" ] || { echo "package: $1 needs $dll, which was not found" >&2; exit 1; }
    cp "$found" "$2/"
  done
}

# The source of a library the .exe files were built from, under FOLDER: Debian's source
# package PACKAGE as `apt-get source PACKAGE` leaves it (.dsc, upstream tarball and
# signature, Debian changes).
debian_source_files() {  # PACKAGE FOLDER
  find "$2" -maxdepth 4 -type f \
    \( -name "$1_*.dsc" -o -name "$1_*.orig.tar.*" -o -name "$1_*.debian.tar.*" \) \
    2>/dev/null | LC_ALL=C sort
}

# A text file for Windows: CRLF line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }

# When the .exe files hold a statically linked LGPL library (functions named PREFIX...):
# its source (Debian's PACKAGE, found under FOLDER) goes to source/, its licence LICENCE to
# licenses/.
add_linked_source() {  # PREFIX PACKAGE FOLDER LICENCE STAGE
  # grep reads the whole list: with -q it would stop at the first line, and nm, cut off,
  # would fail the pipe.
  x86_64-w64-mingw32-nm "${programs[@]}" 2>/dev/null | grep " T $1" >/dev/null || return 0
  local sources
  sources=$(debian_source_files "$2" "$3")
  if ! grep -q '\.orig\.tar\.' <<<"$sources"; then
    echo "package: $2 is linked into the .exe files, but its source" \
         "($2_*.orig.tar.*) is not under $3" >&2
    exit 1
  fi
  mkdir -p "$5/source"
  # shellcheck disable=SC2086  # one path a line, none with spaces
  cp $sources "$5/source/"
  crlf "/usr/share/common-licenses/$4" "$5/licenses/$4.txt"
}

build_zip() {
  local stage=$work/zip zip=$dist/MP3Partwell-${version}-win64.zip exe
  rm -rf "$stage"
  mkdir -p "$stage/licenses"
  for exe in "${programs[@]}"; do
    x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$exe"
    copy_needed_dlls "$exe" "$stage"
  done
  sed "s/@VERSION@/$version/" packaging/README.txt >"$work/README.txt"
  crlf "$work/README.txt" "$stage/README.txt"
  crlf LICENSE "$stage/LICENSE.txt"
  crlf THIRD_PARTY.md "$stage/THIRD_PARTY.txt"
  crlf /usr/share/doc/libcli11-dev/copyright "$stage/licenses/CLI11.txt"
  crlf /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64-runtime.txt"
  crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime.txt"

  add_linked_source mpg123_ mpg123 "${MPG123_SOURCE_DIR:-build}" LGPL-2.1 "$stage"
  add_linked_source lame_ lame "${LAME_SOURCE_DIR:-build}" LGPL-2 "$stage"

  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -X -9 -q "$zip" -@)
  echo "package: $zip"
}

build_deb
build_zip
(cd "$dist" && sha256sum -- *.zip *.deb >SHA256SUMS)
echo "package: $dist/SHA256SUMS"
