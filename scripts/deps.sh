#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing.
#   scripts/deps.sh native   the core, the command-line program and the native tests
#   scripts/deps.sh windows  the window program and its tests under Wine
#   scripts/deps.sh run      what it takes to start the window program
#   scripts/deps.sh package  what scripts/package.sh needs to build and check the downloads
#   scripts/deps.sh windows-decoder  what scripts/build-mpg123-windows.sh and
#                                    scripts/build-lame-windows.sh need
set -euo pipefail

packages=(cmake g++ make libgtest-dev libcli11-dev pkg-config libmpg123-dev libmp3lame-dev)
mingw=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
# The native build writes the manual page and bash completion from the program (python3)
# and checks the page with man.
native_build=(python3 man-db)
case "${1:-native}" in
  native)
    packages+=("${native_build[@]}" lame sox mpg123 ffmpeg mp3splt mp3val espeak-ng python3-mutagen eyed3
               clang libclang-rt-14-dev) ;;
  package)
    packages+=("${native_build[@]}" "${mingw[@]}" dpkg-dev lintian zip unzip bash-completion) ;;
  windows)
    # python3: the native program, which the Windows one is compared with, configures with it.
    # mpg123: the Overview's sound test compares what is played with its decode.
    packages+=("${mingw[@]}" googletest mingw-w64-tools wine64 xvfb x11-utils imagemagick
               lame sox mpg123 python3) ;;
  run)
    packages+=("${mingw[@]}" googletest mingw-w64-tools wine64 xvfb x11-utils imagemagick
               lame sox) ;;
  windows-decoder)
    packages+=("${mingw[@]}" dpkg-dev) ;;
  *) echo "usage: $0 native|windows|run|package|windows-decoder" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
