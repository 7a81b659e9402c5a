// The dry run's plan of a split and the summary of a split of many files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "split/batch_summary.h"
#include "split/split_preview.h"
#include "split/track_time.h"

namespace partwell {
namespace {

SplitJob JobOf(std::vector<int32_t> offsets, bool equal) {
  SplitJob job;
  job.sourcePath = "in/show.mp3";
  job.nameTemplate = "%file% %track% %title%";
  job.equalSegments = equal;
  for (int32_t offset : offsets) {
    TrackEntry entry;
    entry.offset = offset;
    SetTrackText(entry.title, "t" + std::to_string(offset));
    job.entries.push_back(entry);
  }
  return job;
}

TEST(BatchPlan, TracksEndAtTheNextEntryOrAtTheEndOfTheAudio) {
  struct Case {
    const char* what;
    std::vector<int32_t> offsets;
    bool equal;
    int64_t length;
    std::vector<std::vector<int64_t>> tracks;  // start, end
    std::vector<std::string> names;            // of the first and the last track
  };
  const Case cases[] = {
      {"a list",
       {0, 500, 1200},
       false,
       3000,
       {{0, 500}, {500, 1200}, {1200, 3000}},
       {"in/show 01 t0.mp3", "in/show 03 t1200.mp3"}},
      {"entries at and past the end",
       {0, 500, 3000, 4000},
       false,
       3000,
       {{0, 500}, {500, 3000}},
       {"in/show 01 t0.mp3", "in/show 02 t500.mp3"}},
      {"equal segments, the last cut short",
       {0, 1000},
       true,
       2500,
       {{0, 1000}, {1000, 2000}, {2000, 2500}},
       {"in/show 01 t0.mp3", "in/show 03 .mp3"}},
      {"equal segments that tile the audio",
       {0, 1000},
       true,
       2000,
       {{0, 1000}, {1000, 2000}},
       {"in/show 01 t0.mp3", "in/show 02 t1000.mp3"}},
      {"no audio: the first track still",
       {0, 500},
       false,
       0,
       {{0, 0}},
       {"in/show 01 t0.mp3", "in/show 01 t0.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SplitPreview preview = PlanSplit(JobOf(c.offsets, c.equal), c.length);
    ASSERT_TRUE(preview.report.completed());
    ASSERT_EQ(preview.tracks.size(), c.tracks.size());
    for (size_t i = 0; i < c.tracks.size(); ++i) {
      EXPECT_EQ(preview.tracks[i].start, c.tracks[i][0]) << i;
      EXPECT_EQ(preview.tracks[i].end, c.tracks[i][1]) << i;
    }
    EXPECT_EQ(preview.tracks.front().name, c.names[0]);
    EXPECT_EQ(preview.tracks.back().name, c.names[1]);
  }
  SplitJob spelledAsSource = JobOf({0, 500}, false);
  spelledAsSource.nameTemplate = "show";  // in/show.mp3
  EXPECT_EQ(PlanSplit(spelledAsSource, 1000).report.outcome, JobOutcome::kFileError);
  EXPECT_EQ(PlanSplit(JobOf({0}, true), 1000).report.outcome, JobOutcome::kEqualSegmentsNeedOffset);
}

TEST(BatchPlan, SummaryNamesEveryFileInOrder) {
  BatchSummary summary;
  summary.Add({"a.mp3", BatchFileOutcome::kSplit, 12, ""});
  summary.Add({"Ünïcödé.mp3", BatchFileOutcome::kFailed, 0, "no CUE sheet"});
  summary.Add({"long name.mp3", BatchFileOutcome::kFailed, 2, "out/x: No space left on device"});
  summary.Add({"c.mp3", BatchFileOutcome::kSplit, 1, ""});
  EXPECT_EQ(summary.Table(),
            "File           Result\n"
            "a.mp3          12 tracks\n"
            "Ünïcödé.mp3    failed: no CUE sheet\n"
            "long name.mp3  failed: out/x: No space left on device (after 2 tracks)\n"
            "c.mp3          1 track\n"
            "4 files: 2 split, 2 failed.\n");
  EXPECT_FALSE(summary.halted());
  summary.Add({"d.mp3", BatchFileOutcome::kHalted, 3, ""});
  summary.Add({"e.mp3", BatchFileOutcome::kNotStarted, 0, ""});
  std::string table = summary.Table();
  EXPECT_NE(table.find("d.mp3          halted after 3 tracks\n"), std::string::npos) << table;
  EXPECT_NE(table.find("e.mp3          not started\n"), std::string::npos) << table;
  EXPECT_NE(table.find("6 files: 2 split, 2 failed, halted.\n"), std::string::npos) << table;
  EXPECT_TRUE(summary.halted());
}

}  // namespace
}  // namespace partwell
