// Progress of a job on standard error: one updating line on a terminal, one line per
// unit of work otherwise.
#pragma once

#include <string>

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

// Prints a failure to standard error: the message, then the file and the system's reason.
void ReportFailure(const char* message, const std::string& path, const std::string& reason);

}  // namespace partwell::cli
