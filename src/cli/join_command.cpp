#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/progress.h"
#include "join/join_engine.h"

namespace partwell::cli {
namespace {

int Join(const std::string& destination, const std::vector<std::string>& sources) {
  ConsoleJobHost host({"Joining... [%03d]", "Joining... [%03d]"});
  JobReport report = RunJoin(destination, sources, host);
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
  command->footer("Example:\n  mp3partwell join whole.mp3 \"part 01.mp3\" \"part 02.mp3\"");
  command->callback([destination, sources, &exitCode] { exitCode = Join(*destination, *sources); });
}

}  // namespace partwell::cli
