#include "cli/progress.h"

#include "cli/commands.h"
#include "cli/interrupt.h"

#include <cstdio>

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

Progress::Progress(const char* format) : format_(format), terminal_(isatty(fileno(stderr)) != 0) {}

Progress::~Progress() { Done(); }

void Progress::Unit(int number) {
  if (terminal_) std::fputc('\r', stderr);
  std::fprintf(stderr, format_, number);
  if (!terminal_) std::fputc('\n', stderr);
  std::fflush(stderr);
  lineOpen_ = terminal_;
}

void Progress::Done() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

ConsoleJobHost::ConsoleJobHost(const char* progressFormat) : progress_(progressFormat) {
  HaltOnFirstInterrupt();
}

bool ConsoleJobHost::HaltRequested() { return InterruptRequested(); }

void ConsoleJobHost::SourceDiffers(const std::string& path, uint32_t header,
                                   uint32_t firstHeader) {
  progress_.Done();
  std::fprintf(stderr, "Warning: %s is %s, the first source %s; joined all the same.\n",
               path.c_str(), StreamKind(header).c_str(), StreamKind(firstHeader).c_str());
}

void ReportFailure(const char* message, const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "%s\n", message);
  if (!path.empty()) std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
}

int ReportJob(const JobReport& report) {
  if (report.completed()) {
    std::printf("%s\n", JobReportText(report));
    return kExitDone;
  }
  if (report.kind == JobKind::kJoin && report.outcome == JobOutcome::kCancelled) {
    std::fprintf(stderr, "Track joining has been cancelled.\n");
  } else {
    ReportFailure(JobReportText(report), report.failedPath, report.failureReason);
  }
  return kExitFailed;
}

}  // namespace partwell::cli
