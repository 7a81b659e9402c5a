// The summary of a split of many files: one line per file with the tracks it got or why it
// got none, in the order the files were given, and how the batch ended.
#pragma once

#include <string>
#include <vector>

namespace partwell {

enum class BatchFileOutcome {
  kSplit,       // its tracks were written
  kPlanned,     // a dry run: its tracks were planned, nothing was written
  kFailed,      // refused or failed; the tracks written before a failure stay
  kHalted,      // the halt came during it
  kNotStarted,  // the halt came before it
};

struct BatchFile {
  std::string path;
  BatchFileOutcome outcome = BatchFileOutcome::kNotStarted;
  int tracks = 0;      // written, or planned
  std::string reason;  // of a failure
};

class BatchSummary {
 public:
  void Add(BatchFile file) { files_.push_back(std::move(file)); }
  int Count(BatchFileOutcome outcome) const;
  bool halted() const {
    return Count(BatchFileOutcome::kHalted) + Count(BatchFileOutcome::kNotStarted) > 0;
  }
  // The table: a header line, one line per file (its path, then "4 tracks", "failed: why",
  // "halted after 2 tracks", "halted" or "not started"), and a closing count, each ending in "\n".
  std::string Table() const;

 private:
  std::vector<BatchFile> files_;
};

}  // namespace partwell
