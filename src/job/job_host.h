// The front end's side of a running split or join: both workers follow one job control
// protocol, whichever front end (the window program's pages, the command line) runs them.
#pragma once

#include <cstdint>
#include <string>

namespace partwell {

class JobHost {
 public:
  virtual ~JobHost() = default;
  // The job's checks passed and its files are open: the job begins (the page is taken).
  virtual void JobStarted() = 0;
  // Asked before each unit of work (a track, a source), the first included.
  virtual bool HaltRequested() = 0;
  // Unit `number` (1-based) begins.
  virtual void UnitStarted(int number) = 0;
  // A join source whose audio is of another kind than the first source's: another MPEG
  // version, layer, sampling rate or channel count (`header` and `firstHeader` are the two
  // first frame headers). The join goes on; players may stumble at the seam. Hosts that have
  // nothing to say about it leave it alone.
  virtual void SourceDiffers(const std::string& /*path*/, uint32_t /*header*/,
                             uint32_t /*firstHeader*/) {}
};

}  // namespace partwell
