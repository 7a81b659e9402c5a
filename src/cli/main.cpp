// mp3partwell: splits and joins MP3 files without re-encoding, from the command line.
#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "partwell_version.h"

int main(int argc, char** argv) {
  CLI::App app{"Splits MP3 files into tracks and joins MP3 files, without re-encoding."};
  app.name("mp3partwell");
  app.require_subcommand(1);
  app.set_version_flag("--version", "mp3partwell " PARTWELL_VERSION);
  int exitCode = partwell::cli::kExitDone;
  partwell::cli::AddProbeCommand(app, exitCode);
  partwell::cli::AddSplitCommand(app, exitCode);
  partwell::cli::AddJoinCommand(app, exitCode);
  partwell::cli::AddCutCommand(app, exitCode);
  partwell::cli::AddCueCommand(app, exitCode);
  partwell::cli::AddSilencesCommand(app, exitCode);
  partwell::cli::AddOverviewCommand(app, exitCode);
  partwell::cli::AddChaptersCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? partwell::cli::kExitDone : partwell::cli::kExitUsage;
  }
  return exitCode;
}
