// What the benchmarks share: the tests' job host that never halts and shows nothing, and the
// process's peak memory.
#pragma once

#include <sys/resource.h>

#include <cstdio>

#include "../tests/test_hosts.h"

namespace partwell::bench {

using test::QuietHost;

inline void PrintPeakMemory() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of the whole run: %.1f MiB\n", usage.ru_maxrss / 1024.0);
}

}  // namespace partwell::bench
