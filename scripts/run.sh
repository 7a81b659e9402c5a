#!/usr/bin/env bash
# Builds the command-line program and shows its help.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh native >/dev/null
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$(nproc)" --target mp3partwell >/dev/null
exec build/native/src/cli/mp3partwell --help
