#!/usr/bin/env bash
# Builds the fuzz targets (CUE sheets, the exact split) with clang (libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a bounded time, 60 seconds unless told
# otherwise, starting from the committed corpus. Fails on any finding; the input that
# caused it is left in build/fuzz/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc)

cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARTWELL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build/fuzz --target cue_sheet_fuzz exact_split_fuzz -j"$jobs"

# New inputs go to a scratch folder, so the committed corpus only changes by hand.
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
build/fuzz/tests/fuzz/cue_sheet_fuzz "$found" tests/fuzz/corpus \
  -dict=tests/fuzz/cue.dict -max_total_time="$seconds" -max_len=65536 -timeout=20 \
  -rss_limit_mb=2048 -artifact_prefix=build/fuzz/ -print_final_stats=1
mkdir "$found/exact"
build/fuzz/tests/fuzz/exact_split_fuzz "$found/exact" tests/fuzz/exact_corpus \
  -max_total_time="$seconds" -max_len=16384 -timeout=20 \
  -rss_limit_mb=2048 -artifact_prefix=build/fuzz/ -print_final_stats=1
