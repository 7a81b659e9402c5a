// What the benchmarks share: a job host that never halts and shows nothing, and the
// process's peak memory.
#pragma once

#include <sys/resource.h>

#include <cstdio>

#include "job/job_host.h"

namespace partwell::bench {

struct QuietHost : JobHost {
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

inline void PrintPeakMemory() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of the whole run: %.1f MiB\n", usage.ru_maxrss / 1024.0);
}

}  // namespace partwell::bench
