// The silence search as the command line gives it: its options (for `silences` and for
// `split --at-silences`), its printed times and its warnings.
#pragma once

#include <CLI/CLI.hpp>
#include <vector>

#include "analysis/loudness_levels.h"
#include "analysis/silence_finder.h"
#include "analysis/silence_options.h"

namespace partwell::cli {

// Adds --threshold, --min-pause, --speech and --tracks; returns them, for a command that
// takes them only with another option.
std::vector<CLI::Option*> AddSilenceOptions(CLI::App& command, SilenceOptions& options);

// One proposed start per line with its pause's length and level, or with `timesOnly` the
// times comma-separated on one line, on standard output.
void PrintSilences(const std::vector<Silence>& silences, bool timesOnly);

// Warns on standard error when fewer pauses were found than the tracks need, or none.
void WarnOfMissingSilences(size_t found, int tracks);

}  // namespace partwell::cli
