#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "io/file.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/source_probe.h"

namespace partwell::cli {
namespace {

int Probe(const std::string& path) {
  File file = File::OpenForReading(path);
  if (!file.IsOpen()) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), SystemErrorText(file.LastError()).c_str());
    return kExitFailed;
  }
  ProbeResult probe = ProbeSource(file);
  if (probe.outcome != ProbeOutcome::kAccepted) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(probe.outcome));
    return kExitFailed;
  }
  std::optional<AudioExtent> extent = FindAudioExtent(file);
  if (!extent) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), SystemErrorText(file.LastError()).c_str());
    return kExitFailed;
  }
  std::printf("Bit Rate: %d kbps\n", probe.bitRate);
  std::printf("Bit Rate Index: %d\n", probe.bitRateIndex);
  std::printf("First Frame: %llu\n", static_cast<unsigned long long>(probe.firstFrame));
  std::printf("Trailer: %s\n", extent->hasTrailer ? "yes" : "no");
  std::printf("End Of Audio: %llu\n", static_cast<unsigned long long>(extent->endOfAudio));
  return kExitDone;
}

}  // namespace

void AddProbeCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "probe", "Shows what a split would use of FILE: bit rate, first frame, trailer.");
  auto path = std::make_shared<std::string>();
  command->add_option("FILE", *path, "The MP3 file to look at")->required();
  command->footer("Example:\n  mp3partwell probe concert.mp3");
  command->callback([path, &exitCode] { exitCode = Probe(*path); });
}

}  // namespace partwell::cli
