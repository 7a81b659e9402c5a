// Progress of a job on standard error: one updating line on a terminal, one line per
// unit of work otherwise.
#pragma once

#include <string>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell::cli {

class Progress {
 public:
  // `format` holds one %03d for the unit number, like "Creating... [%03d]".
  explicit Progress(const char* format);
  ~Progress();
  void Unit(int number);
  // Ends an updating line before a message follows.
  void Done();

 private:
  const char* format_;
  bool terminal_;
  bool lineOpen_ = false;
};

// A job run from the command line: progress on standard error, a halt on Ctrl-C.
class ConsoleJobHost : public JobHost {
 public:
  explicit ConsoleJobHost(const char* progressFormat);
  void JobStarted() override {}
  bool HaltRequested() override;
  void UnitStarted(int number) override { progress_.Unit(number); }
  // Warns on standard error, naming the source and both kinds of stream.
  void SourceDiffers(const std::string& path, uint32_t header, uint32_t firstHeader) override;
  // Ends the progress line before the job's message follows.
  void Done() { progress_.Done(); }

 private:
  Progress progress_;
};

// Prints a failure to standard error: the message, then the file and the system's reason.
void ReportFailure(const char* message, const std::string& path, const std::string& reason);

// Prints how a job ended: a completed job's message on standard output, anything else on
// standard error (a cancelled join, which the window program passes over in silence, too).
// Returns the exit code.
int ReportJob(const JobReport& report);

}  // namespace partwell::cli
