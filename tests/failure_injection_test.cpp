// Every call a split or a join makes on its files, made to fail one at a time on memory files
// (io/memory_files.h): a clean run counts the calls, then the job runs once per call with that
// call failing (and once with it coming up short, for reads and writes), until a run meets no
// failure. Each failing run must end with a file error that names the file of the failed call,
// leave the sources as they were and leave no file open.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "io/memory_files.h"
#include "join/join_engine.h"
#include "mpeg/source_probe.h"
#include "split/cue_sheet.h"
#include "split/cut_job.h"
#include "split/split_engine.h"
#include "test_hosts.h"
#include "test_support.h"

namespace partwell {
namespace {

using memory::Call;
using test::Bytes;
using test::QuietHost;

// A cut of encoder output from the fuzz corpus, less the bytes the fuzz target reads as
// its controls.
Bytes Seed(const std::string& name) {
  Bytes bytes = test::ReadBytes(std::string(PARTWELL_EXACT_CORPUS) + "/" + name);
  EXPECT_GT(bytes.size(), 9u) << name;
  return Bytes(bytes.begin() + 9, bytes.end());
}

// A source a few buffers long: the cut's frames after its Info frame, repeated.
Bytes Repeated(const Bytes& cut, size_t frameBytes, size_t bytes) {
  Bytes stream(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(frameBytes));
  const Bytes audio(
      cut.begin() + static_cast<std::ptrdiff_t>(frameBytes),
      cut.begin() + static_cast<std::ptrdiff_t>(frameBytes * (cut.size() / frameBytes)));
  while (stream.size() < bytes) stream.insert(stream.end(), audio.begin(), audio.end());
  return stream;
}

std::vector<TrackEntry> Entries(std::initializer_list<int32_t> offsets) {
  std::vector<TrackEntry> entries;
  for (int32_t offset : offsets) {
    TrackEntry entry;
    entry.offset = offset;
    SetTrackText(entry.title, "Part " + std::to_string(entries.size() + 1));
    SetTrackText(entry.artist, "Caf\xC3\xA9 Band");
    entries.push_back(entry);
  }
  return entries;
}

// A split of `source` into tracks at `offsets`, with what the probe finds in it.
SplitJob Split(const Bytes& source, bool exact, std::initializer_list<int32_t> offsets,
               bool tags = false) {
  SplitJob job;
  job.tags = tags;
  job.sourcePath = "/mem/source.mp3";
  job.nameTemplate = "%file% %track%";
  job.folder = "/mem/out/";
  job.exact = exact;
  job.entries = Entries(offsets);
  memory::Reset();
  memory::PutFile(job.sourcePath, source);
  ProbeResult probe = ProbeSourceFile(job.sourcePath);
  EXPECT_EQ(probe.outcome, exact ? probe.outcome : ProbeOutcome::kAccepted);
  job.bitRate = probe.bitRate;
  job.bitRateIndex = probe.bitRateIndex;
  job.firstFrame = probe.firstFrame;
  return job;
}

// A cut of "/mem/source.mp3" that removes `ranges`.
CutJob Cut(std::vector<TimeRange> ranges, bool tags = false) {
  CutJob job;
  job.sourcePath = "/mem/source.mp3";
  job.destination = "/mem/out/cut.mp3";
  job.remove = std::move(ranges);
  job.tags = tags;
  return job;
}

// `job` less a range inside its first track and one that holds its second wholly.
SplitJob Removing(SplitJob job) {
  job.remove = {{3, 6}, {9, 21}};
  return job;
}

struct JobCase {
  const char* name;
  std::map<std::string, Bytes> sources;
  std::function<JobReport()> run;
};

std::map<std::string, Bytes> Files() {
  std::map<std::string, Bytes> files;
  for (const std::string& path : memory::Paths()) files[path] = *memory::FileBytes(path);
  return files;
}

const char* CallName(Call call) {
  static const char* const kNames[] = {"open", "create",   "read",  "write",        "seek",
                                       "size", "identity", "close", "identify path"};
  return kNames[static_cast<int>(call)];
}

// The calls that may fail without failing the job: a close of a file opened only for reading
// loses nothing, and a path that cannot be identified is taken for one that names no file,
// which every path the jobs ask about is here.
bool MayFailUnnoticed(const memory::CallRecord& call) {
  return (call.call == Call::kClose && !call.forWriting) || call.call == Call::kIdentifyPath;
}

void RunEveryFault(const JobCase& job) {
  memory::Reset();
  for (const auto& [path, bytes] : job.sources) memory::PutFile(path, bytes);
  JobReport clean = job.run();
  ASSERT_EQ(clean.outcome, JobOutcome::kCompleted) << clean.failureReason;
  const uint64_t calls = memory::CallCount();
  const std::map<std::string, Bytes> written = Files();

  uint64_t failingRuns = 0;
  for (bool shortTransfer : {false, true}) {
    for (uint64_t at = 1;; ++at) {
      memory::Reset();
      for (const auto& [path, bytes] : job.sources) memory::PutFile(path, bytes);
      memory::InjectFault(at, shortTransfer);
      JobReport report = job.run();
      std::optional<memory::CallRecord> met = memory::FaultMet();
      if (!met) {
        EXPECT_EQ(at, calls + 1);
        EXPECT_EQ(report.outcome, JobOutcome::kCompleted);
        break;
      }
      const std::string where = std::to_string(at) + " of " + std::to_string(calls) + " (" +
                                CallName(met->call) + " " + met->path +
                                (shortTransfer ? ", short)" : ")");
      for (const auto& [path, bytes] : job.sources) {
        EXPECT_TRUE(*memory::FileBytes(path) == bytes) << path << " changed at call " << where;
      }
      EXPECT_EQ(memory::OpenHandles(), 0u) << "at call " << where;
      if (MayFailUnnoticed(*met)) {
        EXPECT_TRUE(report.completed() && Files() == written) << "at call " << where;
        continue;
      }
      ++failingRuns;
      EXPECT_TRUE(report.outcome == JobOutcome::kFileError && report.failedPath == met->path &&
                  !report.failureReason.empty())
          << "call " << where << " gave outcome " << static_cast<int>(report.outcome) << ", "
          << report.failedPath << ": " << report.failureReason;
    }
  }
  EXPECT_GT(failingRuns, calls);  // both kinds of fault for reads and writes
}

TEST(FailureInjection, EveryFailingCallFailsTheJobAndSparesTheSources) {
  QuietHost host;
  const Bytes cbr = Seed("cbr128.mp3");
  const Bytes tagged = Seed("tagged.mp3");
  const Bytes vbr = Seed("vbr_v2.mp3");
  const Bytes plain = Seed("no_lame_tag_equal.mp3");
  // Over two buffers of the source (1 MiB each), so that reads go on from a moved buffer.
  const Bytes longCbr = test::Concat({Repeated(cbr, 417, 2500000), test::Id3v1Trailer()});
  const JobCase cases[] = {
      {"documented split",
       {{"/mem/source.mp3", tagged}},
       [&, job = Split(tagged, false, {0, 5, 15})] { return RunSplit(job, host); }},
      {"documented split of a long source",
       {{"/mem/source.mp3", longCbr}},
       [&, job = Split(longCbr, false, {0, 4000, 9000})] { return RunSplit(job, host); }},
      {"exact split",
       {{"/mem/source.mp3", tagged}},
       [&, job = Split(tagged, true, {0, 5, 15})] { return RunSplit(job, host); }},
      {"exact split of a long source",
       {{"/mem/source.mp3", longCbr}},
       [&, job = Split(longCbr, true, {0, 4000, 9000})] { return RunSplit(job, host); }},
      {"tagged documented split",
       {{"/mem/source.mp3", tagged}},
       [&, job = Split(tagged, false, {0, 5, 15}, true)] { return RunSplit(job, host); }},
      {"tagged exact split",
       {{"/mem/source.mp3", tagged}},
       [&, job = Split(tagged, true, {0, 5, 15}, true)] { return RunSplit(job, host); }},
      {"cut with seams",
       {{"/mem/source.mp3", tagged}},
       [&, job = Cut({{0, 2}, {5, 8}, {13, std::nullopt}}, true)] {
         return RunCut(job, host).report;
       }},
      {"cut of a long source",
       {{"/mem/source.mp3", longCbr}},
       [&, job = Cut({{3000, 4000}, {9000, std::nullopt}})] { return RunCut(job, host).report; }},
      {"exact split less ranges",
       {{"/mem/source.mp3", vbr}},
       [&, job = Removing(Split(vbr, true, {0, 10, 20}, true))] { return RunSplit(job, host); }},
      {"join under the first source's header",
       {{"/mem/a.mp3", cbr}, {"/mem/b.mp3", vbr}, {"/mem/c.mp3", tagged}},
       [&] {
         return RunJoin("/mem/joined.mp3", {"/mem/a.mp3", "/mem/b.mp3", "/mem/c.mp3"}, host);
       }},
      {"join under a header of its own",
       {{"/mem/a.mp3", plain}, {"/mem/b.mp3", vbr}},
       [&] { return RunJoin("/mem/joined.mp3", {"/mem/a.mp3", "/mem/b.mp3"}, host); }},
  };
  for (const JobCase& job : cases) {
    SCOPED_TRACE(job.name);
    RunEveryFault(job);
  }
}

// A job or a CUE sheet that would write over its source is refused, also when the call that
// should have told it so fails: whichever call fails, the source stays as it was.
TEST(FailureInjection, NoFailingCallLetsAJobWriteOverItsSource) {
  QuietHost host;
  const Bytes cbr = Seed("cbr128.mp3");
  auto overSource = [&](bool exact) {
    SplitJob job = Split(cbr, exact, {0, 5});
    job.folder.clear();
    job.nameTemplate = "%file%";  // "/mem/source.mp3"
    return job;
  };
  const JobCase cases[] = {
      {"documented split",
       {{"/mem/source.mp3", cbr}},
       [&, job = overSource(false)] { return RunSplit(job, host); }},
      {"exact split",
       {{"/mem/source.mp3", cbr}},
       [&, job = overSource(true)] { return RunSplit(job, host); }},
      {"cut",
       {{"/mem/source.mp3", cbr}},
       [&] {
         CutJob job = Cut({{1, 3}});
         job.destination = job.sourcePath;
         return RunCut(job, host).report;
       }},
      {"join",
       {{"/mem/a.mp3", cbr}, {"/mem/b.mp3", cbr}},
       [&] {
         return RunJoin("/mem/b.mp3", {"/mem/a.mp3", "/mem/b.mp3"}, host);
       }},
  };
  for (const JobCase& job : cases) {
    SCOPED_TRACE(job.name);
    for (uint64_t at = 1;; ++at) {
      memory::Reset();
      for (const auto& [path, bytes] : job.sources) memory::PutFile(path, bytes);
      memory::InjectFault(at);
      JobReport report = job.run();
      EXPECT_FALSE(report.completed()) << "at call " << at;
      for (const auto& [path, bytes] : job.sources) {
        EXPECT_TRUE(*memory::FileBytes(path) == bytes) << path << " changed at call " << at;
      }
      if (!memory::FaultMet()) break;
    }
  }
  // Nor a CUE sheet written over the source.
  for (uint64_t at = 1;; ++at) {
    memory::Reset();
    memory::PutFile("/mem/source.mp3", cbr);
    memory::InjectFault(at);
    EXPECT_TRUE(WriteCueSheetFile("/mem/source.mp3", Entries({0, 5}), "/mem/source.mp3"))
        << "at call " << at;
    EXPECT_TRUE(*memory::FileBytes("/mem/source.mp3") == cbr) << "changed at call " << at;
    if (!memory::FaultMet()) break;
  }
}

}  // namespace
}  // namespace partwell
