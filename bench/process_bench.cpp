// Times mp3partwell as a user runs it, whole process against whole process: a split of a
// 60-minute 128 kbps source into 12 tracks against `cp` of the same file, and a join of the
// 12 tracks against `cat` of them, each into a fresh folder, in turns, median of 7 rounds (the
// split also against coreutils `split -n 12`, which writes the same bytes into as many files);
// with `split --exact`, when the program has it, on that source and on a VBR (-V 2) encode of
// the same audio, and a cut of six ranges with frame seams against `cp` and with smooth
// seams against frame seams. Prints the medians, their ratios and each process's peak resident
// memory.
//
//   partwell_bench [folder]    (default: the system's temporary folder)
//
// The sources are made once with sox and lame and kept in the folder for later runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef PARTWELL_CLI
#error "PARTWELL_CLI must name the mp3partwell program"
#endif

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 7;
constexpr int kTracks = 12;

struct Measured {
  double seconds = 0;     // wall clock
  double cpuSeconds = 0;  // user and system: less disturbed by other work on the machine
  double peakMiB = 0;
};

double Seconds(const struct timeval& t) { return t.tv_sec + t.tv_usec / 1e6; }

// Runs `argv` (its standard output into `output` when one is named, else nowhere) and waits
// for it; throws when it cannot start or does not succeed.
Measured RunProcess(const std::vector<std::string>& argv, const std::string& output = "") {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, output.empty() ? "/dev/null" : output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int failed = posix_spawnp(&pid, args[0], &files, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(argv[0] + " " + (argv.size() > 1 ? argv[1] : "") + " failed");
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return {took.count(), Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
          usage.ru_maxrss / 1024.0};
}

// The median of each measure, and the highest peak.
Measured Median(std::vector<Measured> runs) {
  auto median = [&](double Measured::*measure) {
    std::sort(runs.begin(), runs.end(),
              [&](const Measured& a, const Measured& b) { return a.*measure < b.*measure; });
    return runs[runs.size() / 2].*measure;
  };
  Measured result{median(&Measured::seconds), median(&Measured::cpuSeconds), 0};
  for (const Measured& run : runs) result.peakMiB = std::max(result.peakMiB, run.peakMiB);
  return result;
}

// A command that writes into a folder of its own; `run` gets the fresh, empty folder.
struct Command {
  std::string name;
  std::function<Measured(const fs::path&)> run;
};

// Runs the job and its plain counterpart in turns, each into a fresh folder made and removed
// outside the timing, so that both meet the same state of the system's cache.
void Compare(const fs::path& work, const Command& job, const Command& plain) {
  std::vector<Measured> jobRuns, plainRuns;
  for (int round = 0; round < kRounds; ++round) {
    for (auto [command, runs] : {std::pair{&job, &jobRuns}, std::pair{&plain, &plainRuns}}) {
      fs::path folder = work / "out";
      fs::remove_all(folder);
      fs::create_directory(folder);
      runs->push_back(command->run(folder));
    }
  }
  fs::remove_all(work / "out");
  Measured a = Median(jobRuns), b = Median(plainRuns);
  std::printf(
      "%-26s %6.1f ms (cpu %5.1f) %5.1f MiB | %-11s %6.1f ms (cpu %5.1f) %5.1f MiB | "
      "ratio %.2f (cpu %.2f)\n",
      job.name.c_str(), a.seconds * 1e3, a.cpuSeconds * 1e3, a.peakMiB, plain.name.c_str(),
      b.seconds * 1e3, b.cpuSeconds * 1e3, b.peakMiB, a.seconds / b.seconds,
      a.cpuSeconds / b.cpuSeconds);
}

fs::path MakeSource(const fs::path& work, const std::string& name, const std::string& lameRate) {
  fs::path path = work / name;
  if (fs::exists(path)) return path;
  std::string command =
      "sox -V1 -R -n -r 44100 -c 2 -t wav - synth 3600 sine 220-1760 sine 330-2640 "
      "| lame --quiet " +
      lameRate + " - '" + path.string() + ".part' && mv '" + path.string() + ".part' '" +
      path.string() + "'";
  std::printf("making %s (a few minutes)...\n", path.c_str());
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + path.string());
  return path;
}

// Whether `mp3partwell COMMAND --help` names `option`.
bool HasOption(const std::string& command, const std::string& option) {
  std::string help = fs::temp_directory_path() / "partwell-bench-help.txt";
  RunProcess({PARTWELL_CLI, command, "--help"}, help);
  std::ifstream in(help);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove(help);
  return text.find(option) != std::string::npos;
}

bool HasExactSplit() { return HasOption("split", "--exact"); }
bool HasSmoothSeams() { return HasOption("cut", "--smooth"); }

std::string Load() {
  double load[3] = {};
  return getloadavg(load, 3) == 3 ? std::to_string(load[0]).substr(0, 4) : "?";
}

}  // namespace

int main(int argc, char** argv) try {
  fs::path work =
      fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "partwell-bench";
  fs::create_directories(work);
  const fs::path cbr = MakeSource(work, "hour-128.mp3", "-b 128");
  std::string times = "0:00";
  for (int track = 1; track < kTracks; ++track)
    times += "," + std::to_string(track * 60 / kTracks) + ":00";

  // The tracks that the join takes, made once by the split.
  fs::path tracks = work / "tracks";
  fs::remove_all(tracks);
  fs::create_directory(tracks);
  RunProcess({PARTWELL_CLI, "split", cbr, "--times", times, "--folder", tracks});
  std::vector<std::string> trackPaths;
  for (const auto& entry : fs::directory_iterator(tracks)) trackPaths.push_back(entry.path());
  std::sort(trackPaths.begin(), trackPaths.end());

  std::printf("%d cores, load %s; median of %d rounds, each job and its plain copy in turns\n",
              static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN)), Load().c_str(), kRounds);
  auto split = [&](const fs::path& source, std::vector<std::string> more) {
    return [=](const fs::path& folder) {
      std::vector<std::string> args = {PARTWELL_CLI, "split",    source, "--times",
                                       times,        "--folder", folder};
      args.insert(args.end(), more.begin(), more.end());
      return RunProcess(args);
    };
  };
  auto copy = [](const fs::path& source) {
    return [=](const fs::path& folder) { return RunProcess({"cp", source, folder}); };
  };
  Compare(work, {"split (60 min, 128 kbps)", split(cbr, {})}, {"cp", copy(cbr)});
  // The same bytes into as many files, by a plain tool: what twelve files cost by themselves.
  Compare(work, {"split (60 min, 128 kbps)", split(cbr, {})},
          {"split -n 12", [&](const fs::path& folder) {
             return RunProcess({"split", "-n", std::to_string(kTracks), cbr, folder / "part"});
           }});
  Compare(work,
          {"join (12 tracks)",
           [&](const fs::path& folder) {
             std::vector<std::string> args = {PARTWELL_CLI, "join", folder / "joined.mp3"};
             args.insert(args.end(), trackPaths.begin(), trackPaths.end());
             return RunProcess(args);
           }},
          {"cat", [&](const fs::path& folder) {
             std::vector<std::string> args = {"cat"};
             args.insert(args.end(), trackPaths.begin(), trackPaths.end());
             return RunProcess(args, folder / "joined.mp3");
           }});
  if (HasExactSplit()) {
    const fs::path vbr = MakeSource(work, "hour-v2.mp3", "-V 2");
    Compare(work, {"split --exact (128 kbps)", split(cbr, {"--exact"})}, {"cp", copy(cbr)});
    Compare(work, {"split --exact (VBR -V 2)", split(vbr, {"--exact"})}, {"cp", copy(vbr)});
    // Six ranges removed, each inside the hour: six frame seams, then six smooth seams.
    auto cut = [&](std::vector<std::string> more) {
      return [=](const fs::path& folder) {
        std::vector<std::string> args = {PARTWELL_CLI,
                                         "cut",
                                         cbr,
                                         "--remove",
                                         "3:00-4:10,11:20-13:05,19:40.25-21:00,28:00-28:30.50,"
                                         "40:10-43:20,51:05.75-52:45",
                                         "--output",
                                         folder / "cut.mp3"};
        args.insert(args.end(), more.begin(), more.end());
        return RunProcess(args);
      };
    };
    Compare(work, {"cut, 6 ranges (128 kbps)", cut({})}, {"cp", copy(cbr)});
    if (HasSmoothSeams()) {
      Compare(work, {"cut --smooth, 6 ranges", cut({"--smooth"})}, {"cut, 6 ranges", cut({})});
    }
  } else {
    std::printf("split --exact: not in this program, not timed\n");
  }
  std::printf("load at the end %s\n", Load().c_str());
  fs::remove_all(tracks);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "partwell_bench: %s\n", e.what());
  return 1;
}
