#include "cli/progress.h"

#include <cstdio>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "mpeg/frame_header.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace partwell::cli {
namespace {

// Like "MPEG-1 Layer III, 44100 Hz, stereo".
std::string StreamKind(uint32_t header) {
  const char* version = HeaderVersion(header) == MpegVersion::kMpeg1   ? "MPEG-1"
                        : HeaderVersion(header) == MpegVersion::kMpeg2 ? "MPEG-2"
                                                                       : "MPEG-2.5";
  const char* layers[] = {"", "III", "II", "I"};
  char text[64];
  std::snprintf(text, sizeof text, "%s Layer %s, %d Hz, %s", version,
                layers[HeaderLayerBits(header)], SampleRate(header),
                ChannelCount(header) == 1 ? "mono" : "stereo");
  return text;
}

}  // namespace

Progress::Progress(ProgressFormat format, bool quiet)
    : format_(format), terminal_(isatty(fileno(stderr)) != 0), quiet_(quiet) {}

Progress::~Progress() { Done(); }

void Progress::Unit(int number) {
  const char* format = terminal_ ? format_.terminal : format_.pipe;
  if (quiet_ || !format) return;
  if (terminal_) std::fputc('\r', stderr);
  std::fprintf(stderr, format, number);
  if (!terminal_) std::fputc('\n', stderr);
  std::fflush(stderr);
  lineOpen_ = terminal_;
}

void Progress::File(const std::string& path, size_t number, size_t count) {
  if (quiet_ || (terminal_ && count < 2)) return;
  Done();
  std::fprintf(stderr, "File %zu of %zu: %s\n", number, count, path.c_str());
  std::fflush(stderr);
}

void Progress::Done() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

ConsoleJobHost::ConsoleJobHost(ProgressFormat format, bool quiet) : progress_(format, quiet) {
  HaltOnFirstInterrupt();
}

bool ConsoleJobHost::HaltRequested() { return InterruptRequested(); }

void ConsoleJobHost::SourceDiffers(const std::string& path, uint32_t header, uint32_t firstHeader) {
  progress_.Done();
  std::fprintf(stderr, "Warning: %s is %s, the first source %s; joined all the same.\n",
               path.c_str(), StreamKind(header).c_str(), StreamKind(firstHeader).c_str());
}

void ReportFailure(const char* message, const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "%s\n", message);
  if (!path.empty()) std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
}

int ReportJob(const JobReport& report, bool quiet) {
  if (report.completed()) {
    if (!quiet) std::printf("%s\n", JobReportText(report));
    return kExitDone;
  }
  if (report.kind == JobKind::kJoin && report.outcome == JobOutcome::kCancelled) {
    std::fprintf(stderr, "Track joining has been cancelled.\n");
  } else {
    ReportFailure(JobReportText(report), report.failedPath, report.failureReason);
  }
  return report.outcome == JobOutcome::kCancelled ? kExitHalted : kExitFailed;
}

}  // namespace partwell::cli
