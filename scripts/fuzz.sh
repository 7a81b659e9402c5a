#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, 60 seconds unless told
# otherwise, starting from its committed corpus. Fails on any finding; the input that
# caused it is left in build/fuzz/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc)

# Each target: its name, its corpus, the longest input it is given, and its dictionary if any.
targets=(
  "cue_sheet_fuzz tests/fuzz/corpus 65536 tests/fuzz/cue.dict"
  "id3v2_fuzz tests/fuzz/id3v2_corpus 65536 tests/fuzz/id3v2.dict"
  "exact_split_fuzz tests/fuzz/exact_corpus 16384"
)

cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARTWELL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
names=()
for target in "${targets[@]}"; do names+=("${target%% *}"); done
cmake --build build/fuzz --target "${names[@]}" -j"$jobs"

# New inputs go to a scratch folder, so the committed corpora only change by hand.
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
for target in "${targets[@]}"; do
  read -r name corpus maxLen dict <<<"$target"
  echo "== $name for $seconds s" >&2
  mkdir -p "$found/$name"
  build/fuzz/tests/fuzz/"$name" "$found/$name" "$corpus" ${dict:+-dict="$dict"} \
    -max_total_time="$seconds" -max_len="$maxLen" -timeout=20 \
    -rss_limit_mb=2048 -artifact_prefix=build/fuzz/ -print_final_stats=1
done
