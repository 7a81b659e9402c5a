#!/usr/bin/env bash
# Builds and runs every test: the native tests, the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the window program's tests under Wine, and the downloads
# (the Windows zip and the Debian package, built and checked by scripts/test-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/deps.sh native
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPARTWELL_SANITIZE=ON
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

if [ -x scripts/test-windows.sh ]; then
  scripts/test-windows.sh
fi
scripts/test-package.sh
scripts/fuzz.sh 10
