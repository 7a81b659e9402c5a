// Fuzz target for the exact split. The first bytes choose the track list, the rest is the
// source. Whatever the bytes, the split must not touch memory it does not own, must end
// with a completed job or one of its refusals, and every track it writes must be an Info
// frame whose counts are those of the frames after it, then frames that are each a frame of
// the source or a silent reservoir frame, then the source's ID3v1 trailer when it has one.
// With tags, an ID3v2 tag comes first, whose track number is "n/N" with N the number of
// tracks written, and the trailer is the track's own. A broken promise aborts.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"
#include "split/split_engine.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using partwell::JobOutcome;

constexpr size_t kControlBytes = 9;
constexpr size_t kTrailerBytes = 128;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct QuietHost : partwell::JobHost {
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

// A folder of this process's own in memory when the system has one, removed at exit.
const fs::path& Folder() {
  static const fs::path folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
    std::string pattern = base + "/partwell-exact-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr);
    std::atexit([] { fs::remove_all(Folder()); });
    return fs::path(pattern);
  }();
  return folder;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const Bytes& haystack, const unsigned char* needle, size_t length) {
  return std::search(haystack.begin(), haystack.end(), needle, needle + length) != haystack.end();
}

// A reservoir frame: all-zero side information (and its CRC when it has one).
bool IsReservoirFrame(const unsigned char* frame) {
  uint32_t header = partwell::ReadBigEndian32(frame);
  const unsigned char* side = frame + (partwell::HeaderHasCrc(header) ? 6 : 4);
  int sideBytes = partwell::Layer3SideInfoBytes(header);
  if (std::any_of(side, side + sideBytes, [](unsigned char b) { return b != 0; })) return false;
  return !partwell::HeaderHasCrc(header) ||
         partwell::FrameCrc(frame) == ((frame[4] << 8) | frame[5]);
}

uint32_t BigEndian(const unsigned char* bytes, int count, int bits) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << bits | bytes[i];
  return value;
}

// The text of the ID3v2.3 tag's TRCK frame (ISO-8859-1), walking its frames.
std::string TrackNumberOf(const Bytes& tag) {
  for (size_t at = 10; at + 10 <= tag.size();) {
    size_t length = BigEndian(&tag[at + 4], 4, 8);
    Require(at + 10 + length <= tag.size());
    if (std::memcmp(&tag[at], "TRCK", 4) == 0) {
      Require(length > 1 && tag[at + 10] == 0);
      return std::string(tag.begin() + static_cast<std::ptrdiff_t>(at + 11),
                         tag.begin() + static_cast<std::ptrdiff_t>(at + 10 + length));
    }
    at += 10 + length;
  }
  return "";
}

// `number` is the track's from 1, or 0 for a split without tags.
void CheckTrack(Bytes track, const Bytes& source, bool trailer, int number, size_t written) {
  if (number > 0) {
    Require(track.size() >= 10 && std::memcmp(track.data(), "ID3\3\0\0", 6) == 0);
    size_t tagBytes = 10 + BigEndian(&track[6], 4, 7);
    Require(tagBytes <= track.size());
    Bytes tag(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(tagBytes));
    Require(TrackNumberOf(tag) == std::to_string(number) + "/" + std::to_string(written));
    track.erase(track.begin(), track.begin() + static_cast<std::ptrdiff_t>(tagBytes));
  }
  Require(track.size() >= 4);
  size_t end = track.size();
  if (trailer) {
    Require(end >= kTrailerBytes);
    end -= kTrailerBytes;
    // Bytes [from, to) of the track's trailer are the source's.
    auto same = [&](size_t from, size_t to) {
      return std::equal(track.begin() + static_cast<std::ptrdiff_t>(end + from),
                        track.begin() + static_cast<std::ptrdiff_t>(end + to),
                        source.end() - static_cast<std::ptrdiff_t>(kTrailerBytes - from));
    };
    // Tags give it the track's title, artist and number (bytes 3 to 62, 125 and 126).
    Require(number > 0 ? same(0, 3) && same(63, 125) && same(127, 128) : same(0, 128));
  }
  size_t infoBytes =
      static_cast<size_t>(partwell::FrameLength(partwell::ReadBigEndian32(&track[0])));
  Require(infoBytes > 0 && infoBytes <= end);
  std::optional<partwell::VbrHeader> info = partwell::ReadVbrHeader(track.data(), infoBytes);
  Require(info && info->kind != partwell::VbrHeaderKind::kVbri && info->lame &&
          info->lame->tagCrcHolds && info->frames && info->bytes);
  uint32_t frames = 0;
  for (size_t at = infoBytes; at < end; ++frames) {
    Require(at + 4 <= end);
    size_t length =
        static_cast<size_t>(partwell::FrameLength(partwell::ReadBigEndian32(&track[at])));
    Require(length > 0 && at + length <= end);
    Require(Contains(source, &track[at], length) || IsReservoirFrame(&track[at]));
    at += length;
  }
  Require(*info->frames == frames && *info->bytes == end);
  Require(info->lame->delay <= 3000 && info->lame->padding <= 3000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes) return 0;
  const Bytes source(data + kControlBytes, data + size);
  const fs::path sourcePath = Folder() / "source.mp3";
  const fs::path out = Folder() / "tracks";
  fs::remove_all(out);
  fs::create_directory(out);
  std::ofstream(sourcePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(source.data()),
             static_cast<std::streamsize>(source.size()));

  // Byte 0: how many entries (1 to 4), equal segments and tags; then a rise of each entry
  // after the first, in hundredths (equal segments at least a quarter of a second long).
  partwell::SplitJob job;
  job.sourcePath = sourcePath.string();
  job.nameTemplate = "%track%";
  job.folder = out.string() + "/";
  job.exact = true;
  job.equalSegments = (data[0] & 4) != 0;
  job.tags = (data[0] & 8) != 0;
  size_t entries = std::max<size_t>((data[0] & 3) + 1, job.equalSegments ? 2 : 1);
  int32_t offset = 0;
  for (size_t i = 0; i < entries; ++i) {
    partwell::TrackEntry entry;
    if (i > 0) {
      offset += 1 + (data[2 * i - 1] | (data[2 * i] << 8)) % 600 + (job.equalSegments ? 25 : 0);
    }
    entry.offset = offset;
    job.entries.push_back(entry);
  }
  QuietHost host;
  partwell::JobReport report = partwell::RunSplit(job, host);
  Require(report.outcome == JobOutcome::kCompleted || report.outcome == JobOutcome::kFreeFormat ||
          report.outcome == JobOutcome::kNotLayer3 || report.outcome == JobOutcome::kNoAudio);
  size_t written =
      static_cast<size_t>(std::distance(fs::directory_iterator(out), fs::directory_iterator()));
  Require(written == static_cast<size_t>(report.unitsDone));
  bool trailer = source.size() >= kTrailerBytes &&
                 std::memcmp(&source[source.size() - kTrailerBytes], "TAG", 3) == 0;
  for (const auto& track : fs::directory_iterator(out)) {
    int number = job.tags ? std::stoi(track.path().stem().string()) : 0;
    CheckTrack(ReadFile(track.path()), source, trailer, number, written);
  }
  return 0;
}
