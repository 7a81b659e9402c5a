// The command-line program's commands. Each adds its subcommand to the app and returns
// the exit code through `exitCode` when it runs: 0 done, 1 refused or failed, 130 halted.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "split/split_job.h"

namespace partwell {
class TrackTimeList;
struct CueSheetResult;
struct ChapterList;
}  // namespace partwell

namespace partwell::cli {

void AddProbeCommand(CLI::App& app, int& exitCode);
void AddSplitCommand(CLI::App& app, int& exitCode);
void AddJoinCommand(CLI::App& app, int& exitCode);
void AddCutCommand(CLI::App& app, int& exitCode);
void AddCueCommand(CLI::App& app, int& exitCode);
void AddSilencesCommand(CLI::App& app, int& exitCode);
void AddOverviewCommand(CLI::App& app, int& exitCode);
void AddChaptersCommand(CLI::App& app, int& exitCode);

// Prints the chapters in play order, one a line (number, id, start and end as h:mm:ss.mmm,
// title; tab-separated), then the tables of contents.
void PrintChapters(const ChapterList& list);

// Adds the comma-separated times of `list` in order, as the page's "Add Time" would;
// throws CLI::ValidationError for "--times" on a time that is not valid.
void AddTimes(const std::string& list, TrackTimeList& times);

// Adds "--crossfade MS" (the crossfade of a smooth seam or join, `what`), which needs `smooth`.
void AddCrossfadeOption(CLI::App& command, CLI::Option* smooth, int& crossfadeMs,
                        const std::string& what);

// Reads comma-separated ranges START-END of "mmm:ss.pp" times ("end" for the end); throws
// CLI::ValidationError for `option` on one that is not valid or ends before it starts.
std::vector<TimeRange> ReadTimeRanges(const std::string& list, const char* option);

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitHalted = 130;  // Ctrl-C halted the job (128 + SIGINT, as shells count it)

}  // namespace partwell::cli
