// What the fuzz targets that run jobs share: the promise check, a host that never halts, the
// split targets' control bytes, and the memory files the jobs run on (io/memory_files.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "../test_hosts.h"
#include "split/split_engine.h"

namespace partwell::fuzz {

using Bytes = std::vector<unsigned char>;

// Aborts when a promise is broken, so that libFuzzer keeps the input.
void Require(bool condition);

using test::QuietHost;

// A split target's input: kSplitControlBytes that choose the track list, then the source.
// Byte 0: how many entries (1 to 4), equal segments (bit 2) and tags (bit 3); then a rise of
// each entry after the first, in hundredths (equal segments at least a quarter of a second
// long).
constexpr size_t kSplitControlBytes = 9;
// The split of "/mem/source.mp3" into "/mem/out/" that the control bytes ask for.
SplitJob ControlledSplit(const uint8_t* controls, bool exact);

// Memory files holding just `files`.
void StartFiles(const std::vector<std::pair<std::string, Bytes>>& files);
// Requires that the job left `files` as they were and no file open.
void RequireSpared(const std::vector<std::pair<std::string, Bytes>>& files);
// The files whose paths begin with `folder`, in the order of their track numbers.
std::vector<Bytes> FilesIn(const std::string& folder);

// Where a file's audio ends: before its last 128 bytes when they begin with "TAG".
size_t EndOfAudio(const Bytes& file);

// Track `number` (from 1) of the `count` a split of `source` wrote, less what it begins and
// ends with, which is required to be: with tags, an ID3v2.3 tag numbered "number/count" and
// a trailer that is the source's but for the track's title, artist and number; without tags
// (`number` 0), the source's trailer. Either trailer only when the source has one.
Bytes TrackAudio(const Bytes& track, const Bytes& source, size_t number, size_t count);

}  // namespace partwell::fuzz
