#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/progress.h"
#include "join/join_engine.h"

namespace partwell::cli {
namespace {

int Join(const std::string& destination, const std::vector<std::string>& sources, bool chapters) {
  ConsoleJobHost host({"Joining... [%03d]", "Joining... [%03d]"});
  JobReport report = RunJoin(destination, sources, host, chapters);
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
  auto destination = std::make_shared<std::string>();
  auto sources = std::make_shared<std::vector<std::string>>();
  command->add_option("DEST", *destination, "The file to write (replaced when it exists)")
      ->required();
  command->add_option("SOURCE", *sources, "Two or more files to join, in order")
      ->required()
      ->expected(2, -1);
  auto chapters = std::make_shared<bool>(false);
  command->add_flag("--chapters", *chapters,
                    "One chapter per source in DEST's ID3v2 tag (the first source's tag, with a "
                    "top-level CTOC and a CHAP per source, titled with the source's title or "
                    "file name), timed as the joined file plays");
  command->footer(
      "Examples:\n  mp3partwell join whole.mp3 \"part 01.mp3\" \"part 02.mp3\"\n"
      "  mp3partwell join book.mp3 chapter*.mp3 --chapters");
  command->callback([destination, sources, chapters, &exitCode] {
    exitCode = Join(*destination, *sources, *chapters);
  });
}

}  // namespace partwell::cli
