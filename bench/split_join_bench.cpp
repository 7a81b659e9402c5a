// Times a split of a 60-minute 128 kbps source into 12 tracks and a join of 12 files,
// each against a plain copy of the same bytes measured in the same run.
//
//   partwell_bench [work folder]    (default: the system's temporary folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "io/file.h"
#include "join/join_engine.h"
#include "split/split_engine.h"
#include "split/track_time.h"

namespace fs = std::filesystem;
using namespace partwell;

namespace {

constexpr int kMinutes = 60;
constexpr int kTracks = 12;
constexpr int kRounds = 9;
// MPEG-1 Layer III, 128 kbps, 44.1 kHz, no padding: 417-byte frames.
constexpr unsigned char kHeader[4] = {0xFF, 0xFB, 0x90, 0x64};
constexpr size_t kFrameBytes = 417;

void MakeSource(const std::string& path) {
  File out = File::CreateAlways(path);
  std::vector<unsigned char> frame(kFrameBytes, 0x55);
  std::copy(kHeader, kHeader + 4, frame.begin());
  const uint64_t audioBytes = uint64_t{kMinutes} * 60 * 16000;
  std::vector<unsigned char> chunk;
  for (uint64_t written = 0; written < audioBytes; written += chunk.size()) {
    chunk.clear();
    for (int i = 0; i < 2500; ++i) chunk.insert(chunk.end(), frame.begin(), frame.end());
    out.Write(chunk.data(), chunk.size());
  }
  unsigned char trailer[128] = {'T', 'A', 'G'};
  out.Write(trailer, sizeof trailer);
}

// A plain copy with one buffer: what a user's file manager would do.
void PlainCopy(const std::vector<std::string>& from, const std::string& to) {
  std::vector<unsigned char> buffer(1 << 20);
  File out = File::CreateAlways(to);
  for (const std::string& path : from) {
    File in = File::OpenForReading(path);
    size_t got = 0;
    while (in.Read(buffer.data(), buffer.size(), got) && got > 0) out.Write(buffer.data(), got);
  }
}

double Seconds(const std::function<void()>& run) {
  auto start = std::chrono::steady_clock::now();
  run();
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs the job and the plain copy in turns, each into files removed beforehand (outside
// the timing), so that both meet the same state of the system's cache. Returns the
// median seconds of each.
std::pair<double, double> TimeInTurns(const std::function<void()>& job,
                                      const std::function<void()>& copy,
                                      const std::vector<std::string>& outputs) {
  std::vector<double> jobSeconds, copySeconds;
  for (int round = 0; round < kRounds; ++round) {
    for (const std::string& path : outputs) fs::remove(path);
    jobSeconds.push_back(Seconds(job));
    for (const std::string& path : outputs) fs::remove(path);
    copySeconds.push_back(Seconds(copy));
  }
  return {Median(jobSeconds), Median(copySeconds)};
}

uint64_t TotalBytes(const std::vector<std::string>& paths) {
  uint64_t total = 0;
  for (const std::string& path : paths) total += fs::file_size(path);
  return total;
}

void Report(const char* what, uint64_t bytes, double seconds, double copySeconds) {
  std::printf("%-6s %8.1f MB/s   plain copy %8.1f MB/s   ratio %.2f\n", what,
              bytes / seconds / 1e6, bytes / copySeconds / 1e6, seconds / copySeconds);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) /
                 "partwell-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string source = (dir / "source.mp3").string();
  MakeSource(source);

  SplitJob job;
  job.sourcePath = source;
  job.nameTemplate = "track %track%";
  job.folder = (dir / "").string();
  job.bitRate = 128;
  job.bitRateIndex = 9;
  for (int track = 0; track < kTracks; ++track) {
    TrackEntry entry;
    std::snprintf(entry.timeText, sizeof entry.timeText, "%03d:00.00", track * kMinutes / kTracks);
    entry.offset = TimeOffset(*ParseTimeText(entry.timeText));
    job.entries.push_back(entry);
  }
  std::vector<std::string> tracks;
  for (int track = 1; track <= kTracks; ++track) {
    char name[32];
    std::snprintf(name, sizeof name, "track %02d.mp3", track);
    tracks.push_back((dir / name).string());
  }
  const std::string copy = (dir / "copy.mp3").string();
  bench::QuietHost host;
  std::vector<std::string> splitOutputs = tracks;
  splitOutputs.push_back(copy);
  auto [splitSeconds, splitCopySeconds] = TimeInTurns(
      [&] { RunSplit(job, host); }, [&] { PlainCopy({source}, copy); }, splitOutputs);
  RunSplit(job, host);

  const std::string joined = (dir / "joined.mp3").string();
  auto [joinSeconds, joinCopySeconds] = TimeInTurns(
      [&] { RunJoin(joined, tracks, host); }, [&] { PlainCopy(tracks, copy); }, {joined, copy});

  std::printf("source: %d minutes at 128 kbps, %.1f MB; median of %d rounds\n", kMinutes,
              fs::file_size(source) / 1e6, kRounds);
  Report("split", fs::file_size(source), splitSeconds, splitCopySeconds);
  Report("join", TotalBytes(tracks), joinSeconds, joinCopySeconds);
  bench::PrintPeakMemory();
  fs::remove_all(dir);
  return 0;
}
