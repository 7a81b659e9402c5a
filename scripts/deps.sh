#!/usr/bin/env bash
# Installs the Debian packages a task needs, when they are missing.
#   scripts/deps.sh native   the core, the command-line program and the native tests
#   scripts/deps.sh windows  the window program and its tests under Wine
#   scripts/deps.sh run      what it takes to start the window program
set -euo pipefail

packages=(cmake g++ make libgtest-dev libcli11-dev)
case "${1:-native}" in
  native)
    packages+=(lame sox mpg123 ffmpeg mp3splt mp3val clang libclang-rt-14-dev) ;;
  windows|run)
    packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
               googletest mingw-w64-tools wine64 xvfb x11-utils imagemagick
               lame sox) ;;
  *) echo "usage: $0 native|windows|run" >&2; exit 2 ;;
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
