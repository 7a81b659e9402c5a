#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/progress.h"
#include "split/cut_job.h"
#include "split/smooth_seam.h"
#include "split/track_time.h"

namespace partwell::cli {
namespace {

struct CutOptions {
  std::string source;
  std::string remove;
  std::string keep;
  std::string output;
  bool tags = false;
  bool smooth = false;
  int crossfadeMs = kDefaultCrossfadeMs;
};

// "mmm:ss.pp" in hundredths, or nothing for `end` (when `endAllowed`).
std::optional<int64_t> ReadTime(const std::string& text, const char* option, bool endAllowed) {
  if (endAllowed && text == "end") return std::nullopt;
  std::optional<TimeParts> parts = ParseTimeText(text.c_str());
  if (!parts || text.size() > kTimeTextReadLength) {
    throw CLI::ValidationError(option, "invalid time \"" + text + "\"");
  }
  return TimeOffset(*parts);
}

TimeRange ReadRange(const std::string& text, const char* option) {
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    throw CLI::ValidationError(option, "\"" + text + "\" is no range START-END");
  }
  std::optional<int64_t> start = ReadTime(text.substr(0, dash), option, false);
  TimeRange range{*start, ReadTime(text.substr(dash + 1), option, true)};
  if (range.end && *range.end <= range.start) {
    throw CLI::ValidationError(option, "the range \"" + text + "\" ends before it starts");
  }
  return range;
}

// A timeline sample as "mmm:ss.pp" (rounded down) and as the sample itself.
std::string SampleText(int64_t sample, int rate) {
  return FormatTimeText(TimePartsOfOffset(sample * 100 / rate)) + " (sample " +
         std::to_string(sample) + ")";
}

const char* RepairText(SeamRepair repair) {
  switch (repair) {
    case SeamRepair::kNothingBorrowed:
      return "nothing borrowed across it";
    case SeamRepair::kRoom:
      return "borrowed bytes carried in the room before it";
    case SeamRepair::kLargerFrame:
      return "the frame before it framed at a higher bit rate to carry the borrowed bytes";
    case SeamRepair::kReservoirFrame:
      return "a silent reservoir frame put in to carry the borrowed bytes";
  }
  return "";
}

void PrintSeams(const CutResult& result) {
  const CutPlan& plan = result.plan;
  const int rate = result.sampleRate;
  std::printf("Kept %s to %s: %lld samples.\n", SampleText(plan.keptStart, rate).c_str(),
              SampleText(plan.keptEnd, rate).c_str(), static_cast<long long>(plan.samples));
  for (size_t i = 0; i < plan.seams.size(); ++i) {
    const FrameSeam& seam = plan.seams[i];
    const bool smooth = i < result.made.size() && !result.made[i].frames.empty();
    if (smooth) {
      std::printf("Seam %zu: smooth, removed", i + 1);
      const char* separator = " ";
      for (const SampleRange& removed : result.made[i].removed) {
        std::printf("%s%s to %s", separator, SampleText(removed.start, rate).c_str(),
                    SampleText(removed.end, rate).c_str());
        separator = " and ";
      }
      std::printf("; frames %lld to %lld re-encoded as %zu", static_cast<long long>(seam.first),
                  static_cast<long long>(seam.end - 1), result.made[i].frames.size());
    } else {
      std::printf("Seam %zu: removed %s to %s (frames %lld to %lld)", i + 1,
                  SampleText(FrameStartSample(result.source, seam.first), rate).c_str(),
                  SampleText(FrameStartSample(result.source, seam.end), rate).c_str(),
                  static_cast<long long>(seam.first), static_cast<long long>(seam.end - 1));
    }
    if (i < result.repairs.size()) std::printf("; %s", RepairText(result.repairs[i]));
    std::printf(".\n");
  }
}

int Cut(const CutOptions& options) {
  CutJob job;
  job.sourcePath = options.source;
  job.destination = options.output;
  job.tags = options.tags;
  job.smooth = options.smooth;
  job.crossfadeMs = options.crossfadeMs;
  if (!options.keep.empty()) {
    job.keep = ReadRange(options.keep, "--keep");
  } else {
    job.remove = ReadTimeRanges(options.remove, "--remove");
  }
  ConsoleJobHost host(kTrackProgress);
  CutResult result = RunCut(job, host);
  host.Done();
  if (result.report.completed()) PrintSeams(result);
  return ReportJob(result.report);
}

}  // namespace

std::vector<TimeRange> ReadTimeRanges(const std::string& list, const char* option) {
  std::vector<TimeRange> ranges;
  for (size_t start = 0; start <= list.size();) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    ranges.push_back(ReadRange(list.substr(start, comma - start), option));
    start = comma + 1;
  }
  return ranges;
}

void AddCrossfadeOption(CLI::App& command, CLI::Option* smooth, int& crossfadeMs,
                        const std::string& what) {
  command
      .add_option("--crossfade", crossfadeMs,
                  "The crossfade of " + what + " in milliseconds; 0 for a plain splice")
      ->default_val(kDefaultCrossfadeMs)
      ->check(CLI::Range(0, kMaxCrossfadeMs))
      ->needs(smooth);
}

void AddCutCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "cut",
      "Writes FILE less the given ranges (or only the one range kept) as one file, "
      "without re-encoding.");
  auto options = std::make_shared<CutOptions>();
  command->add_option("FILE", options->source, "The MP3 file (Layer III) to cut")->required();
  auto* remove = command->add_option(
      "--remove", options->remove,
      "Comma-separated ranges START-END to leave out, mmm:ss.pp (minutes, seconds, "
      "hundredths); \"end\" for the end of the file. A range at the start or the end trims "
      "it to the sample; a range inside becomes a frame seam: its ends move to the nearest "
      "frame boundaries (about 26 ms apart at 44.1 kHz) and the frames between are left out, "
      "every other frame kept byte for byte");
  auto* keep = command->add_option("--keep", options->keep,
                                   "One range START-END to keep: both ends trimmed to the sample");
  remove->excludes(keep);
  command->add_option("--output", options->output, "The file to write (never FILE itself)")
      ->required();
  command->add_flag("--tags", options->tags, "Keep the source's ID3v2 tag in the file");
  auto* smooth = command->add_flag(
      "--smooth", options->smooth,
      "Make each inner range a smooth seam instead: the whole frames' samples nearest to its "
      "length are removed, centred on it (each end moves by at most a quarter of a frame), "
      "and the sound meets in a crossfade in a few frames re-encoded there (a frame "
      "seam near a trim stays one)");
  AddCrossfadeOption(*command, smooth, options->crossfadeMs, "a smooth seam");
  command->footer(
      "Each seam plays the audio before it and after it as decoded from FILE, but for the "
      "first frame after it: the decoder's overlap there comes from another "
      "frame. The command prints where each seam fell.\n"
      "Examples:\n"
      "  mp3partwell cut show.mp3 --remove 0:00-0:12.40,31:05-34:50 --output show-cut.mp3\n"
      "  mp3partwell cut show.mp3 --remove 12:00-15:30,58:10-end --output show-cut.mp3\n"
      "  mp3partwell cut take.mp3 --keep 0:03.25-4:41.80 --output song.mp3 --tags\n"
      "  mp3partwell cut talk.mp3 --remove 2:10.31-2:11.02 --smooth --output talk-cut.mp3");
  command->callback([options, remove, keep, &exitCode] {
    if (remove->count() + keep->count() == 0) throw CLI::RequiredError("--remove or --keep");
    exitCode = Cut(*options);
  });
}

}  // namespace partwell::cli
