#include "split/batch_summary.h"

#include <algorithm>

namespace partwell {
namespace {

// Paths longer than this are not padded: the result follows them after two spaces.
constexpr size_t kWidestPathColumn = 48;

// Characters, not bytes: the continuation bytes of UTF-8 take no column of their own.
size_t Columns(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Tracks(int count) {
  return std::to_string(count) + (count == 1 ? " track" : " tracks");
}

std::string Result(const BatchFile& file) {
  switch (file.outcome) {
    case BatchFileOutcome::kSplit:
      return Tracks(file.tracks);
    case BatchFileOutcome::kPlanned:
      return Tracks(file.tracks) + " (dry run)";
    case BatchFileOutcome::kFailed:
      return "failed: " + file.reason +
             (file.tracks > 0 ? " (after " + Tracks(file.tracks) + ")" : std::string());
    case BatchFileOutcome::kHalted:
      return file.tracks > 0 ? "halted after " + Tracks(file.tracks) : "halted";
    case BatchFileOutcome::kNotStarted:
      return "not started";
  }
  return {};
}

}  // namespace

int BatchSummary::Count(BatchFileOutcome outcome) const {
  return static_cast<int>(
      std::count_if(files_.begin(), files_.end(),
                    [outcome](const BatchFile& f) { return f.outcome == outcome; }));
}

std::string BatchSummary::Table() const {
  size_t width = Columns("File");
  for (const BatchFile& file : files_) {
    width = std::max(width, std::min(Columns(file.path), kWidestPathColumn));
  }
  auto line = [width](const std::string& left, const std::string& right) {
    size_t used = Columns(left);
    return left + std::string(used < width ? width - used : 0, ' ') + "  " + right + "\n";
  };
  std::string table = line("File", "Result");
  for (const BatchFile& file : files_) table += line(file.path, Result(file));
  const int done = Count(BatchFileOutcome::kSplit) + Count(BatchFileOutcome::kPlanned);
  table += std::to_string(files_.size()) + (files_.size() == 1 ? " file: " : " files: ") +
           std::to_string(done) + (Count(BatchFileOutcome::kPlanned) > 0 ? " planned" : " split") +
           ", " + std::to_string(Count(BatchFileOutcome::kFailed)) + " failed" +
           (halted() ? ", halted" : "") + ".\n";
  return table;
}

}  // namespace partwell
