#!/usr/bin/env bash
# Builds the downloads with scripts/package.sh (reusing the build trees of the other tests)
# and checks them as a user gets them: the checksums hold; the .deb passes lintian without
# an error, installs on this machine, and its program, manual page and bash completion
# work; the zip unpacks to both programs with their version resources and CRLF texts, and
# under Wine the command line probes a real MP3 and the window program opens and quits.
# The package is removed again at the end unless it was installed before.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh windows
scripts/package.sh
source tests/check.sh
dist=$PWD/dist
version=$(sed -n 's/^#define PARTWELL_VERSION "\(.*\)"$/\1/p' build/package/generated/partwell_version.h)
deb=$dist/mp3partwell_${version}_amd64.deb
zip=$dist/MP3Partwell-${version}-win64.zip
scratch=$PWD/build/package/test
rm -rf "$scratch"
mkdir -p "$scratch"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export WINE_TEST_STATE=$PWD/build/windows/wine   # the window tests' Wine prefix
mkdir -p "$WINE_TEST_STATE"
# Installed before the test, the package stays installed (now at this version); else it goes.
installed_before=$(dpkg-query -W -f='${Status}' mp3partwell 2>/dev/null || true)
cleanup() {
  tools/wine-run.sh --teardown >/dev/null 2>&1 || true
  [ "$installed_before" = "install ok installed" ] || $sudo dpkg --purge mp3partwell >/dev/null 2>&1 || true
}
trap cleanup EXIT

for file in "$zip" "$deb" "$dist/SHA256SUMS"; do
  check "dist holds $(basename "$file")" test -f "$file"
done
check "SHA256SUMS holds" bash -c 'cd "$1" && sha256sum --quiet -c SHA256SUMS' _ "$dist"

# The Debian package.
lintian_report=$(lintian --pedantic "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -z "$lintian_report" ] || echo "$lintian_report"
check "lintian reports no error" bash -c '! grep -q "^E:" <<<"$1"' _ "$lintian_report"
if ! $sudo dpkg -i "$deb" >/dev/null; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -f -y -qq >/dev/null
fi
check "the package is installed" \
  bash -c 'dpkg-query -W -f="\${Status}" mp3partwell | grep -q "install ok installed"'
check "mp3partwell --version says $version" \
  test "$(/usr/bin/mp3partwell --version)" = "mp3partwell $version"
page=/usr/share/man/man1/mp3partwell.1.gz
check "man finds the installed page" test "$(man -w mp3partwell)" = "$page"
warnings=$(LC_ALL=C man --warnings -l "$page" 2>&1 >/dev/null)
check "the page renders with no warning: $warnings" test -z "$warnings"
check "bash loads the completion on demand" bash -c '
  source /usr/share/bash-completion/bash_completion
  __load_completion mp3partwell && complete -p mp3partwell | grep -q "_mp3partwell"'

# The Windows zip.
unpacked=$scratch/zip
unzip -q "$zip" -d "$unpacked"
for file in MP3Partwell.exe mp3partwell.exe README.txt LICENSE.txt THIRD_PARTY.txt; do
  check "the zip holds $file" test -f "$unpacked/$file"
done
for text in README.txt LICENSE.txt THIRD_PARTY.txt; do
  check "$text has CRLF line ends" \
    test "$(grep -c $'\r$' "$unpacked/$text")" -eq "$(wc -l <"$unpacked/$text")"
done
IFS=. read -r major minor patch <<<"$version"
for exe in MP3Partwell.exe mp3partwell.exe; do
  resources=$(x86_64-w64-mingw32-windres -i "$unpacked/$exe" -O rc 2>/dev/null || true)
  check "$exe's version resource is $version" grep -q "FILEVERSION $major, $minor, ${patch:-0}, 0" <<<"$resources"
  check "$exe's product version is $version" grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$resources"
done

# The LGPL libraries linked into the .exe files come with their licences and sources.
for licence in LGPL-2.1 LGPL-2; do
  check "the zip holds licenses/$licence.txt" test -f "$unpacked/licenses/$licence.txt"
done
for package in mpg123 lame; do
  check "the zip holds the $package source package" \
    test -n "$(compgen -G "$unpacked/source/${package}_*.orig.tar.*")"
done

sox -n -r 44100 -c 2 -b 16 "$scratch/tone.wav" synth 5 sine 440
lame --quiet -b 128 "$scratch/tone.wav" "$scratch/tone.mp3"
probe=$(cd "$scratch" && "$OLDPWD/tools/wine-run.sh" "$unpacked/mp3partwell.exe" probe tone.mp3 2>&1 || true)
check "mp3partwell.exe probes a real MP3: $probe" grep -q "^Bit Rate: 128 kbps" <<<"$probe"
# A smooth seam decodes with libmpg123 and encodes with libmp3lame.
smooth=$(cd "$scratch" && "$OLDPWD/tools/wine-run.sh" "$unpacked/mp3partwell.exe" cut tone.mp3 \
  --remove 0:02-0:02.50 --smooth --output smooth.mp3 2>&1 || true)
check "mp3partwell.exe cuts with a smooth seam: $smooth" \
  grep -q "Track creation completed successfully." <<<"$smooth"

# The window program: its window appears, and Quit closes it.
eval "$(tools/wine-run.sh --env)"
drive=$WINE_TEST_STATE/drive-window.exe
x86_64-w64-mingw32-gcc-posix -O2 -o "$drive" tools/drive-window.c
tools/wine-run.sh "$unpacked/MP3Partwell.exe" </dev/null >/dev/null 2>&1 &
program=$!
title="MP3 Partwell v1.5"   # the documented title, which does not follow the version
shown=no
for _ in $(seq 300); do
  xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\"" && { shown=yes; break; }
  sleep 0.1
done
check "the window \"$title\" appears" test "$shown" = yes
tools/wine-run.sh "$drive" quit </dev/null >/dev/null 2>&1 || true
closed=no
for _ in $(seq 100); do
  kill -0 "$program" 2>/dev/null || { closed=yes; break; }
  sleep 0.1
done
check "Quit ends the window program" test "$closed" = yes
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true

check_summary test-package
