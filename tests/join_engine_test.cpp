#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "join/join_engine.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;

struct RecordingHost : JobHost {
  int haltAtPoll = -1;
  int polls = 0;
  std::vector<int> sources;
  void JobStarted() override {}
  bool HaltRequested() override { return polls++ == haltAtPoll; }
  void UnitStarted(int number) override { sources.push_back(number); }
};

Bytes Filled(size_t size, unsigned char value) { return Bytes(size, value); }

TEST(JoinEngine, EachSourceGivesItsBytesLessItsTrailer) {
  const Bytes audio = Filled(10240 * 2 + 77, 1);
  struct Case {
    const char* name;
    Bytes source;
    Bytes contributes;
  };
  const Case cases[] = {
      {"with a trailer", test::Concat({audio, test::Id3v1Trailer()}), audio},
      {"without a trailer", audio, audio},
      {"size less 128 is a whole chunk", test::Concat({Filled(10240, 2), test::Id3v1Trailer()}),
       Filled(10240, 2)},
      {"all trailer", test::Id3v1Trailer(), {}},
      {"shorter than a trailer", Filled(100, 3), Filled(100, 3)},
      {"empty", {}, {}},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(dir.File("a.mp3"), c.source);
    test::WriteBytes(dir.File("b.mp3"), test::Concat({Filled(5, 9), test::Id3v1Trailer()}));
    RecordingHost host;
    JobReport result =
        RunJoin(dir.File("joined.mp3"), {dir.File("a.mp3"), dir.File("b.mp3"), dir.File("a.mp3")}, host);
    ASSERT_EQ(result.outcome, JobOutcome::kCompleted) << result.failureReason;
    EXPECT_EQ(test::ReadBytes(dir.File("joined.mp3")),
              test::Concat({c.contributes, Filled(5, 9), c.contributes}));
    EXPECT_EQ(host.sources, (std::vector<int>{1, 2, 3}));
  }
}

TEST(JoinEngine, TheDestinationIsNeverOneOfTheSources) {
  test::TempDir dir;
  const Bytes a = test::Concat({Filled(500, 1), test::Id3v1Trailer()});
  test::WriteBytes(dir.File("a.mp3"), a);
  test::WriteBytes(dir.File("b.mp3"), Filled(300, 2));
  std::filesystem::create_hard_link(dir.File("a.mp3"), dir.File("hard.mp3"));
  std::filesystem::create_symlink(dir.File("a.mp3"), dir.File("soft.mp3"));
  for (const char* destination : {"a.mp3", "hard.mp3", "soft.mp3"}) {
    SCOPED_TRACE(destination);
    RecordingHost host;
    JobReport result = RunJoin(dir.File(destination), {dir.File("b.mp3"), dir.File("a.mp3")}, host);
    EXPECT_EQ(result.outcome, JobOutcome::kDestinationIsSource);
    EXPECT_FALSE(result.jobStarted);
    EXPECT_EQ(test::ReadBytes(dir.File("a.mp3")), a);
  }
}

TEST(JoinEngine, HaltsAndFailures) {
  test::TempDir dir;
  test::WriteBytes(dir.File("a.mp3"), Filled(1000, 1));
  test::WriteBytes(dir.File("b.mp3"), Filled(1000, 2));
  const std::vector<std::string> sources = {dir.File("a.mp3"), dir.File("b.mp3")};
  {
    SCOPED_TRACE("halt before the first source leaves an empty destination");
    RecordingHost host;
    host.haltAtPoll = 0;
    JobReport result = RunJoin(dir.File("out.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kCancelled);
    EXPECT_TRUE(result.jobStarted);
    EXPECT_TRUE(test::ReadBytes(dir.File("out.mp3")).empty());
  }
  {
    SCOPED_TRACE("halt before the second source");
    RecordingHost host;
    host.haltAtPoll = 1;
    EXPECT_EQ(RunJoin(dir.File("out.mp3"), sources, host).outcome, JobOutcome::kCancelled);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mp3")), Filled(1000, 1));
  }
  {
    SCOPED_TRACE("a source that cannot be opened");
    RecordingHost host;
    JobReport result = RunJoin(dir.File("out.mp3"), {dir.File("a.mp3"), dir.File("gone.mp3")}, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_EQ(result.failedPath, dir.File("gone.mp3"));
    EXPECT_EQ(test::ReadBytes(dir.File("out.mp3")), Filled(1000, 1));
  }
  {
    SCOPED_TRACE("a destination that cannot be created");
    RecordingHost host;
    JobReport result = RunJoin(dir.File("no/out.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_FALSE(result.jobStarted);
  }
  {
    SCOPED_TRACE("a write that fails");
    std::filesystem::create_symlink("/dev/full", dir.File("full.mp3"));
    RecordingHost host;
    JobReport result = RunJoin(dir.File("full.mp3"), sources, host);
    EXPECT_EQ(result.outcome, JobOutcome::kFileError);
    EXPECT_EQ(result.failedPath, dir.File("full.mp3"));
  }
}

}  // namespace
}  // namespace partwell
