#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, 60 seconds unless told
# otherwise, starting from its committed corpus, two at a time (one per core of the CI
# machine). Fails on any finding; the input that caused it is left in build/fuzz/.
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
  "cut_fuzz tests/fuzz/cut_corpus 16384"
  "block_split_fuzz tests/fuzz/block_corpus 16384"
  "join_fuzz tests/fuzz/join_corpus 32768"
  "parsers_fuzz tests/fuzz/parsers_corpus 4096"
)

cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARTWELL_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
names=()
for target in "${targets[@]}"; do names+=("${target%% *}"); done
cmake --build build/fuzz --target "${names[@]}" -j"$jobs"

# New inputs go to a scratch folder, so the committed corpora only change by hand.
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT

# Runs one target; its output goes to a log that is shown in full when it finds something.
run() {
  local name corpus maxLen dict
  read -r name corpus maxLen dict <<<"$1"
  mkdir -p "$found/$name"
  if build/fuzz/tests/fuzz/"$name" "$found/$name" "$corpus" ${dict:+-dict="$dict"} \
      -max_total_time="$seconds" -max_len="$maxLen" -timeout=20 \
      -rss_limit_mb=2048 -artifact_prefix=build/fuzz/ -print_final_stats=1 \
      >"$found/$name.log" 2>&1; then
    echo "== $name for $seconds s: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$found/$name.log" | tr '\n' ' ')" >&2
  else
    echo "== $name found something:" >&2
    tail -n 60 "$found/$name.log" >&2
    return 1
  fi
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    run "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
done
exit "$status"
