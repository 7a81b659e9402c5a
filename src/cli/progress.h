// Progress of a job on standard error, as people expect of a batch tool: on a terminal one
// updating line; into a pipe or a file one line per file and per unit of work that is a
// file's part (a track), and no percentages; nothing at all when quiet.
#pragma once

#include <string>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell::cli {

// How a job's units are shown. `terminal` holds one %d for the unit number, like
// "Creating... [%03d]"; `pipe` likewise, or null to show nothing per unit there.
struct ProgressFormat {
  const char* terminal;
  const char* pipe;
};
constexpr ProgressFormat kTrackProgress = {"Creating... [%03d]", "Creating... [%03d]"};
constexpr ProgressFormat kPercentProgress = {"Listening... [%02d%%]", nullptr};

class Progress {
 public:
  Progress(ProgressFormat format, bool quiet);
  ~Progress();
  void Unit(int number);
  // File `number` of `count` begins: a line of its own, on a terminal only in a batch.
  void File(const std::string& path, size_t number, size_t count);
  // Ends an updating line before a message follows.
  void Done();

 private:
  ProgressFormat format_;
  bool terminal_;
  bool quiet_;
  bool lineOpen_ = false;
};

// A job run from the command line: progress on standard error, a halt on Ctrl-C.
class ConsoleJobHost : public JobHost {
 public:
  explicit ConsoleJobHost(ProgressFormat format, bool quiet = false);
  void JobStarted() override {}
  bool HaltRequested() override;
  void UnitStarted(int number) override { progress_.Unit(number); }
  // Warns on standard error, naming the source and both kinds of stream.
  void SourceDiffers(const std::string& path, uint32_t header, uint32_t firstHeader) override;
  void FileStarted(const std::string& path, size_t number, size_t count) {
    progress_.File(path, number, count);
  }
  // Ends the progress line before the job's message follows.
  void Done() { progress_.Done(); }

 private:
  Progress progress_;
};

// Prints a failure to standard error: the message, then the file and the system's reason.
void ReportFailure(const char* message, const std::string& path, const std::string& reason);

// Prints how a job ended: a completed job's message on standard output (unless `quiet`),
// anything else on standard error (a cancelled join, which the window program passes over in
// silence, too). Returns the exit code: 130 for a halted job.
int ReportJob(const JobReport& report, bool quiet = false);

}  // namespace partwell::cli
