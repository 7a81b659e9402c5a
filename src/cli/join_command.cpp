#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/progress.h"
#include "join/join_engine.h"
#include "join/smooth_join.h"
#include "split/smooth_seam.h"

namespace partwell::cli {
namespace {

struct JoinOptions {
  std::string destination;
  std::vector<std::string> sources;
  bool chapters = false;
  bool smooth = false;
  int crossfadeMs = kDefaultCrossfadeMs;
};

int Join(const JoinOptions& options) {
  ConsoleJobHost host({"Joining... [%03d]", "Joining... [%03d]"});
  JobReport report = options.smooth
                         ? RunSmoothJoin(options.destination, options.sources, host,
                                         options.crossfadeMs, options.chapters)
                         : RunJoin(options.destination, options.sources, host, options.chapters);
  host.Done();
  return ReportJob(report);
}

}  // namespace

void AddJoinCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "join",
      "Joins the SOURCE files, in order, into DEST, without re-encoding. The first source's "
      "Xing, Info or VBRI header, or a Xing header of the join's own when the bit rate varies, "
      "states the length of the whole; the ID3v2 tags and header frame that later sources "
      "begin with and every source's ID3v1 tag are left out.");
  auto options = std::make_shared<JoinOptions>();
  command->add_option("DEST", options->destination, "The file to write (replaced when it exists)")
      ->required();
  command->add_option("SOURCE", options->sources, "Two or more files to join, in order")
      ->required()
      ->expected(2, -1);
  command->add_flag("--chapters", options->chapters,
                    "One chapter per source in DEST's ID3v2 tag (the first source's tag, with a "
                    "top-level CTOC and a CHAP per source, titled with the source's title or "
                    "file name), timed as the joined file plays");
  auto* smooth = command->add_flag(
      "--smooth", options->smooth,
      "Join sources encoded one by one (each with a LAME tag, one sampling rate and channel "
      "mode) without the encoder's delay and padding between them: at each junction the whole "
      "frames nearest to the padding and the delay go, so that the length is the sum of the "
      "sources' to within half a frame per junction, the sound meets in a crossfade, and only "
      "the few frames around it are re-encoded; DEST's header states the first source's delay "
      "and the last one's padding. Other sources are refused");
  AddCrossfadeOption(*command, smooth, options->crossfadeMs, "a smooth join");
  command->footer(
      "Examples:\n  mp3partwell join whole.mp3 \"part 01.mp3\" \"part 02.mp3\"\n"
      "  mp3partwell join book.mp3 chapter*.mp3 --chapters\n"
      "  mp3partwell join album.mp3 track*.mp3 --smooth");
  command->callback([options, &exitCode] { exitCode = Join(*options); });
}

}  // namespace partwell::cli
