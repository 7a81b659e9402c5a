// The command-line program's commands. Each adds its subcommand to the app and returns
// the exit code through `exitCode` when it runs: 0 done, 1 refused or failed.
#pragma once

#include <CLI/CLI.hpp>

namespace partwell::cli {

void AddProbeCommand(CLI::App& app, int& exitCode);
void AddSplitCommand(CLI::App& app, int& exitCode);
void AddJoinCommand(CLI::App& app, int& exitCode);

// Exit codes.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace partwell::cli
