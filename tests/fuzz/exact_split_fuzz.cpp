// Fuzz target for the exact split. The first bytes choose the track list, the rest is the
// source. Whatever the bytes, the split must not touch memory it does not own, must end
// with a completed job or one of its refusals, and every track it writes must be an Info
// frame whose counts are those of the frames after it, then frames that are each a frame of
// the source or a silent reservoir frame, then the source's ID3v1 trailer when it has one.
// A broken promise aborts.
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

void CheckTrack(const Bytes& track, const Bytes& source, bool trailer) {
  Require(track.size() >= 4);
  size_t end = track.size();
  if (trailer) {
    Require(end >= kTrailerBytes);
    end -= kTrailerBytes;
    Require(std::equal(track.begin() + static_cast<std::ptrdiff_t>(end), track.end(),
                       source.end() - kTrailerBytes));
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

  // Byte 0: how many entries (1 to 4) and equal segments; then a rise of each entry after the
  // first, in hundredths (equal segments at least a quarter of a second long).
  partwell::SplitJob job;
  job.sourcePath = sourcePath.string();
  job.nameTemplate = "%track%";
  job.folder = out.string() + "/";
  job.exact = true;
  job.equalSegments = (data[0] & 4) != 0;
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
    CheckTrack(ReadFile(track.path()), source, trailer);
  }
  return 0;
}
