// The job hosts that the tests share: one that lets a job run, one that records what the job
// told it and can ask for a halt.
#pragma once

#include <string>
#include <vector>

#include "job/job_host.h"

namespace partwell::test {

// Lets a job run to its end and shows nothing.
struct QuietHost : JobHost {
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

// Records the job's calls; answers "halt" at poll `haltAtPoll` (0-based), never when it is -1.
struct RecordingHost : JobHost {
  int haltAtPoll = -1;
  int polls = 0;
  bool started = false;
  std::vector<int> units;  // the numbers UnitStarted was given, in order
  std::vector<std::string> differing;
  void JobStarted() override { started = true; }
  bool HaltRequested() override { return polls++ == haltAtPoll; }
  void UnitStarted(int number) override { units.push_back(number); }
  void SourceDiffers(const std::string& path, uint32_t, uint32_t) override {
    differing.push_back(path);
  }
};

}  // namespace partwell::test
