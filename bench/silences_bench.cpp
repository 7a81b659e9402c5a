// Times the loudness levels and the silence search of a 60-minute 128 kbps source, made
// from six minutes of sox music with pauses, encoded by lame and repeated ten times; then
// the quick levels against `cat FILE > /dev/null` in the same run, and the decoded levels
// on one worker and on two.
//
//   partwell_silences_bench [work folder]    (default: the system's temporary folder)
//
// The source is kept in the work folder (partwell-silences-bench/hour.mp3) for a run of
// mp3partwell silences under /usr/bin/time -v.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/decoded_levels.h"
#include "analysis/loudness_levels.h"
#include "analysis/quick_levels.h"
#include "analysis/silence_finder.h"
#include "bench_support.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/stream_scan.h"

namespace fs = std::filesystem;
using namespace partwell;

namespace {

constexpr int kRepeats = 10;  // of six minutes
constexpr int kRounds = 3;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// The median of kRounds runs of `run`, in seconds.
template <typename Run>
double MedianSeconds(Run run) {
  std::vector<double> seconds;
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    run();
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[kRounds / 2];
}

std::vector<unsigned char> ReadAll(const std::string& path) {
  File in = File::OpenForReading(path);
  std::vector<unsigned char> bytes(static_cast<size_t>(in.Size().value_or(0)));
  size_t got = 0;
  in.Read(bytes.data(), bytes.size(), got);
  bytes.resize(got);
  return bytes;
}

// Six minutes of two-minute songs with pauses, encoded, then its audio frames written ten
// times after its Info frame, whose counts are set for the whole.
bool MakeSource(const fs::path& dir, const std::string& hour) {
  std::string wav = (dir / "six.wav").string(), mp3 = (dir / "six.mp3").string();
  std::string song =
      "\"|sox -R -m '|sox -R -n -r 44100 -c 2 -p synth 118 sine 220 sine 330 "
      "tremolo 5 40 vol 0.5' '|sox -R -n -r 44100 -c 2 -p synth 118 pinknoise "
      "tremolo 2 90 vol 0.4' -p\"";
  std::string pause = "\"|sox -n -r 44100 -c 2 -p trim 0 2\"";
  if (!Shell("sox " + song + " " + pause + " " + song + " " + pause + " " + song + " " + pause +
             " '" + wav + "'") ||
      !Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'")) {
    return false;
  }
  std::vector<unsigned char> six = ReadAll(mp3);
  if (six.size() < 4) return false;
  size_t infoBytes = static_cast<size_t>(Layer3FrameLength(ReadBigEndian32(six.data())));
  std::optional<VbrHeader> header = ReadVbrHeader(six.data(), std::min(infoBytes, six.size()));
  if (!header || infoBytes == 0) return false;
  // Audio frames of the six minutes: up to an ID3v1 trailer, if lame wrote one.
  size_t end = six.size();
  if (end >= 128 && std::equal(six.end() - 128, six.end() - 125, "TAG")) end -= 128;
  uint32_t frames = 0;
  for (size_t at = infoBytes; at + 4 <= end; ++frames) {
    at += static_cast<size_t>(Layer3FrameLength(ReadBigEndian32(&six[at])));
  }
  std::vector<unsigned char> info(six.begin(),
                                  six.begin() + static_cast<std::ptrdiff_t>(infoBytes));
  VbrHeaderUpdate update;
  update.audioFrames = frames * kRepeats;
  update.bytes = static_cast<uint32_t>(infoBytes + uint64_t{end - infoBytes} * kRepeats);
  UpdateVbrHeader(info.data(), *header, update);
  File out = File::CreateAlways(hour);
  bool ok = out.Write(info.data(), info.size());
  for (int i = 0; ok && i < kRepeats; ++i) ok = out.Write(&six[infoBytes], end - infoBytes);
  fs::remove(wav);
  fs::remove(mp3);
  return ok && out.Close();
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir =
      fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "partwell-silences-bench";
  fs::create_directories(dir);
  const std::string hour = (dir / "hour.mp3").string();
  if (!fs::exists(hour) && !MakeSource(dir, hour)) {
    std::fprintf(stderr, "The source could not be made (sox and lame are needed).\n");
    return 1;
  }

  std::vector<double> levelSeconds, searchSeconds;
  LoudnessLevels levels;
  std::vector<Silence> silences;
  for (int round = 0; round < kRounds; ++round) {
    auto start = std::chrono::steady_clock::now();
    File source = File::OpenForReading(hour);
    StreamScan scan;
    bench::QuietHost host;
    levels = ScanStream(source, scan) == StreamScanOutcome::kScanned
                 ? MeasureLoudness(source, scan.timeline, host)
                 : LoudnessLevels();
    auto measured = std::chrono::steady_clock::now();
    silences = FindSilences(levels.levels, SilenceSettings());
    auto found = std::chrono::steady_clock::now();
    levelSeconds.push_back(std::chrono::duration<double>(measured - start).count());
    searchSeconds.push_back(std::chrono::duration<double>(found - measured).count());
  }
  if (levels.outcome != JobOutcome::kCompleted) {
    std::fprintf(stderr, "The levels could not be measured.\n");
    return 1;
  }
  std::sort(levelSeconds.begin(), levelSeconds.end());
  std::sort(searchSeconds.begin(), searchSeconds.end());
  double audio = static_cast<double>(levels.levels.size()) / kLevelsPerSecond;
  double took = levelSeconds[kRounds / 2];
  std::printf("source: %s, %.1f minutes, %.1f MB; median of %d rounds\n", hour.c_str(), audio / 60,
              static_cast<double>(fs::file_size(hour)) / 1e6, kRounds);
  std::printf("levels   %6.2f s   %5.0fx real time\n", took, audio / took);
  std::printf("silences %6.3f s   %zu found\n", searchSeconds[kRounds / 2], silences.size());

  const double cat = MedianSeconds([&] { Shell("cat '" + hour + "' > /dev/null"); });
  bench::QuietHost host;
  QuickLevels quick;
  const double quickTook = MedianSeconds([&] { MeasureQuickLevels(hour, host, quick); });
  std::printf("cat      %6.3f s\n", cat);
  std::printf("quick    %6.3f s   %5.0fx real time, %.1fx cat, %zu granules\n", quickTook,
              audio / quickTook, quickTook / cat, quick.levelsDb.size());
  double oneWorker = 0;
  for (int workers : {1, 2}) {
    std::vector<float> decoded;
    double took = MedianSeconds([&] {
      MeasureDecodedLevels(hour, host, decoded, LevelWorkers{workers, kStretchFrames});
    });
    if (workers == 1) oneWorker = took;
    std::printf("decoded  %6.2f s   on %d worker%s, %.2fx one worker's speed, %s\n", took, workers,
                workers > 1 ? "s" : "", oneWorker / took,
                decoded == levels.levels ? "the single pass's levels" : "NOT the single pass's");
  }
  bench::PrintPeakMemory();
  return 0;
}
