// A command line with the kinds of options the real program may grow (short names, option
// groups, ranges, lists, long heads, text that roff would take for requests), for checking
// that the manual page and completion writer keeps up with every form of CLI11's help.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

int main(int argc, char** argv) {
  CLI::App app{"Samples every form of option the help texts can show."};
  app.name("mp3partwell");
  app.require_subcommand(1);
  app.set_version_flag("--version", "mp3partwell 0.0");
  double threshold = -48;
  double minimum = 0.5;
  bool quiet = false;
  std::vector<int> skips;
  std::string path;
  std::string folder;

  auto* find = app.add_subcommand("find-pauses", "Finds the pauses of FILE.");
  find->add_option("FILE", path, "The file to read\\ with a backslash")->required();
  auto* detection = find->add_option_group("Detection", "How pauses are found");
  auto* level = detection->add_option("-t,--threshold", threshold, "Level in dB")
                    ->capture_default_str()
                    ->check(CLI::Range(-100.0, 0.0));
  detection->add_option("--shortest-pause-in-seconds", minimum, ".5 is half a second")
      ->required()
      ->needs(level);
  find->add_flag("-q,--quiet", quiet, "'Quiet: print nothing");
  find->add_option("--skip", skips, "Track numbers to leave out");
  find->footer("Examples:\n  mp3partwell find-pauses -t -40 show.mp3");

  auto* copy = app.add_subcommand("copy", "Copies FILE into a folder.");
  copy->add_option("FILE", path, "The file to copy")->required()->check(CLI::ExistingFile);
  copy->add_option("-d,--folder", folder, "The folder to copy into");
  copy->footer("A note below the options.\n\nExample:\n  mp3partwell copy show.mp3 -d backup");

  CLI11_PARSE(app, argc, argv);
  return 0;
}
