#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "mpeg/frame_header.h"
#include "split/split_engine.h"
#include "split/track_time.h"
#include "test_hosts.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::RecordingHost;

constexpr uint32_t k128 = 0xFFFB9064;  // MPEG-1 Layer III, 128 kbps: 417-byte frames
constexpr uint32_t k160 = 0xFFFBA064;  // the same at 160 kbps

std::vector<TrackEntry> Entries(std::initializer_list<const char*> times) {
  std::vector<TrackEntry> entries;
  for (const char* text : times) {
    TrackEntry entry;
    SetTimeText(entry, FormatTimeText(*ParseTimeText(text)));
    entry.offset = TimeOffset(*ParseTimeText(text));
    entries.push_back(entry);
  }
  return entries;
}

// The split as the plain algorithm does it: one block per hundredth of a second, then
// 1004-byte windows until a header with the source's bit rate index.
std::vector<Bytes> ReferenceSplit(const Bytes& file, const SplitJob& job) {
  uint64_t end = file.size();
  Bytes trailer;
  if (file.size() >= 128 && std::equal(file.end() - 128, file.end() - 125, "TAG")) {
    end -= 128;
    trailer.assign(file.end() - 128, file.end());
  }
  const uint64_t block = static_cast<uint64_t>(BlockSize(job.bitRate));
  uint64_t pos = std::min<uint64_t>(job.firstFrame, end);
  std::vector<Bytes> tracks;
  for (size_t index = 0;; ++index) {
    Bytes track;
    auto take = [&](uint64_t n) {
      track.insert(track.end(), file.begin() + static_cast<std::ptrdiff_t>(pos),
                   file.begin() + static_cast<std::ptrdiff_t>(pos + n));
      pos += n;
    };
    bool toEnd = !job.equalSegments && index + 1 >= job.entries.size();
    int64_t count = job.equalSegments ? job.entries[1].offset
                    : toEnd           ? 0
                                      : job.entries[index + 1].offset - job.entries[index].offset;
    bool last = false;
    for (int64_t copied = 0; toEnd || copied < count; ++copied) {
      uint64_t n = std::min(block, end - pos);
      if (n == 0) {
        last = true;
        break;
      }
      take(n);
    }
    while (!last) {
      uint64_t n = std::min<uint64_t>(1004, end - pos);
      if (n == 0) {
        last = true;
        break;
      }
      int found = -1;
      for (uint64_t i = 0; i + 4 <= n && i < 1000 && found < 0; ++i) {
        uint32_t word = ReadBigEndian32(&file[pos + i]);
        if (IsFrameHeader(word) && HeaderBitRateIndex(word) == job.bitRateIndex) found = int(i);
      }
      if (found >= 0) {
        take(static_cast<uint64_t>(found));
        break;
      }
      take(n == 1004 ? 1000 : n);
      last = n < 1004;
    }
    track.insert(track.end(), trailer.begin(), trailer.end());
    tracks.push_back(track);
    if (last) return tracks;
  }
}

class SplitEngineTest : public testing::Test {
 protected:
  SplitJob Job(const Bytes& file, std::vector<TrackEntry> entries, int kbps = 128, int index = 9,
               uint64_t firstFrame = 0) {
    test::WriteBytes(dir.File("source.mp3"), file);
    SplitJob job;
    job.sourcePath = dir.File("source.mp3");
    job.nameTemplate = "%file% - %track%";
    job.folder = dir.File("out/");
    std::filesystem::create_directories(job.folder);
    job.entries = std::move(entries);
    job.bitRate = kbps;
    job.bitRateIndex = index;
    job.firstFrame = firstFrame;
    return job;
  }
  std::vector<Bytes> Tracks(size_t count) {
    std::vector<Bytes> tracks;
    for (size_t i = 1; i <= count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "out/source - %02zu.mp3", i);
      tracks.push_back(test::ReadBytes(dir.File(name)));
    }
    return tracks;
  }
  size_t FilesWritten() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.File("out")),
                                             std::filesystem::directory_iterator()));
  }
  test::TempDir dir;
};

TEST_F(SplitEngineTest, TracksMatchTheBlockByBlockAlgorithm) {
  const Bytes frames = test::FrameStream(k128, 417, 5000);  // about 2 MB, over the buffer
  // Long runs without a header, and headers of another bit rate, between the frames.
  const Bytes rough = test::Concat(
      {test::FrameStream(k128, 417, 700), Bytes(9000, 0x55), test::FrameStream(k160, 522, 300),
       test::FrameStream(k128, 417, 900), Bytes(5003, 0x11), test::FrameStream(k128, 417, 2000)});
  const Bytes lead(300, 0x20);
  struct Case {
    const char* name;
    Bytes file;
    std::vector<TrackEntry> entries;
    bool equal;
    int kbps;
    uint64_t firstFrame;
  };
  std::vector<Case> cases = {
      {"three cuts with a trailer", test::Concat({frames, test::Id3v1Trailer()}),
       Entries({"0:00", "0:30", "1:00.01", "1:59.99"}), false, 128, 0},
      {"no trailer, data before the first frame", test::Concat({lead, frames}),
       Entries({"0:00", "0:07.77", "1:30"}), false, 128, 300},
      {"equal segments", test::Concat({frames, test::Id3v1Trailer()}), Entries({"0:00", "0:17"}),
       true, 128, 0},
      {"gaps and other bit rates", test::Concat({rough, test::Id3v1Trailer()}),
       Entries({"0:00", "0:10", "0:19.5", "0:30", "0:44"}), false, 128, 0},
      {"equal segments over gaps", rough, Entries({"0:00", "0:05.03"}), true, 128, 0},
      {"a time past the end", frames, Entries({"0:00", "1:00", "9:00", "10:00"}), false, 128, 0},
      {"blocks end exactly at the end of audio", Bytes(frames.begin(), frames.begin() + 16000),
       Entries({"0:00", "0:01"}), false, 128, 0},
      {"the end of audio inside the last block", Bytes(frames.begin(), frames.begin() + 15950),
       Entries({"0:00", "0:01", "0:02"}), false, 128, 0},
      {"the first entry alone", test::Concat({frames, test::Id3v1Trailer()}), Entries({"0:00"}),
       false, 128, 0},
      {"free format", test::Concat({test::FrameStream(0xFFFB0064, 300, 20), test::Id3v1Trailer()}),
       Entries({"0:00", "0:01"}), false, 0, 0},
  };
  // After one second of blocks the next header lies far on, around the end of the
  // engine's first read of the source (64 KiB from where the scan begins), where the scan
  // must go on into the next read.
  for (size_t header = 16000 + 65530; header <= 16000 + 65537; ++header) {
    const Bytes head = test::FrameStream(k128, 417, 38);
    cases.push_back(
        {"a header across two reads",
         test::Concat({head, Bytes(header - head.size(), 0x55), test::FrameStream(k128, 417, 50)}),
         Entries({"0:00", "0:01"}), false, 128, 0});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SCOPED_TRACE(c.file.size());
    std::filesystem::remove_all(dir.File("out"));
    SplitJob job = Job(c.file, c.entries, c.kbps, c.kbps ? 9 : 0, c.firstFrame);
    job.equalSegments = c.equal;
    std::vector<Bytes> expected = ReferenceSplit(c.file, job);
    RecordingHost host;
    JobReport result = RunSplit(job, host);
    ASSERT_EQ(result.outcome, JobOutcome::kCompleted) << result.failureReason;
    EXPECT_EQ(result.unitsDone, static_cast<int>(expected.size()));
    EXPECT_EQ(FilesWritten(), expected.size());
    EXPECT_EQ(host.units.size(), expected.size());
    std::vector<Bytes> tracks = Tracks(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(tracks[i].size(), expected[i].size()) << "track " << i + 1;
      EXPECT_TRUE(tracks[i] == expected[i]) << "track " << i + 1;
    }
  }
}

TEST_F(SplitEngineTest, WorkedExampleOfTheFirstTracks) {
  // 100 blocks of 160 bytes, then on to the next header at 39 x 417 bytes.
  SplitJob job = Job(test::FrameStream(k128, 417, 200), Entries({"0:00", "0:01", "0:02"}));
  RecordingHost host;
  ASSERT_EQ(RunSplit(job, host).outcome, JobOutcome::kCompleted);
  std::vector<Bytes> tracks = Tracks(3);
  EXPECT_EQ(tracks[0].size(), 39u * 417);
  EXPECT_EQ(tracks[1].size(), 78u * 417 - 39 * 417);
  EXPECT_EQ(tracks[2].size(), 200u * 417 - 78 * 417);
}

TEST_F(SplitEngineTest, ChecksComeInOrderBeforeAnythingIsOpened) {
  struct Case {
    const char* name;
    std::string nameTemplate;
    std::vector<TrackEntry> entries;
    bool equal;
    JobOutcome outcome;
  };
  const Case cases[] = {
      {"bad template first", "a:b", {}, true, JobOutcome::kInvalidTemplate},
      {"equal segments, empty list", "x", {}, true, JobOutcome::kEqualSegmentsNeedOffset},
      {"equal segments, marker only", "x", Entries({"0:00"}), true,
       JobOutcome::kEqualSegmentsNeedOffset},
      {"empty list", "x", {}, false, JobOutcome::kEmptyList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplitJob job = Job(test::FrameStream(k128, 417, 10), c.entries);
    job.nameTemplate = c.nameTemplate;
    job.equalSegments = c.equal;
    RecordingHost host;
    JobReport result = RunSplit(job, host);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_FALSE(result.jobStarted);
    EXPECT_FALSE(host.started);
    EXPECT_EQ(FilesWritten(), 0u);
  }
  SplitJob missing = Job({}, Entries({"0:00"}));
  missing.sourcePath = dir.File("missing.mp3");
  RecordingHost host;
  JobReport result = RunSplit(missing, host);
  EXPECT_EQ(result.outcome, JobOutcome::kFileError);
  EXPECT_FALSE(result.jobStarted);
}

TEST_F(SplitEngineTest, HaltTakesEffectBeforeTheNextTrack) {
  for (bool exact : {false, true}) {
    for (int haltAt : {0, 3}) {
      SCOPED_TRACE(testing::Message() << (exact ? "exact, " : "") << "halt at " << haltAt);
      std::filesystem::remove_all(dir.File("out"));
      SplitJob job =
          Job(test::FrameStream(k128, 417, 500), Entries({"0:00", "0:01", "0:02", "0:03", "0:04"}));
      job.exact = exact;
      RecordingHost host;
      host.haltAtPoll = haltAt;
      JobReport result = RunSplit(job, host);
      EXPECT_EQ(result.outcome, JobOutcome::kCancelled);
      EXPECT_TRUE(result.jobStarted);
      EXPECT_EQ(result.unitsDone, haltAt);
      EXPECT_EQ(FilesWritten(), static_cast<size_t>(haltAt));
    }
  }
}

TEST_F(SplitEngineTest, FileErrorsEndTheJobAndNeverTouchTheSource) {
  const Bytes source = test::Concat({test::FrameStream(k128, 417, 300), test::Id3v1Trailer()});
  for (bool exact : {false, true}) {
    SCOPED_TRACE(exact ? "exact" : "documented");
    std::filesystem::remove_all(dir.File("out"));
    std::filesystem::create_directories(dir.File("out"));
    {
      SCOPED_TRACE("a track that would replace its source");
      SplitJob job = Job(source, Entries({"0:00", "0:01"}));
      job.exact = exact;
      job.folder.clear();
      job.nameTemplate = "%file%";  // "source.mp3" in the source's own folder
      RecordingHost host;
      JobReport result = RunSplit(job, host);
      EXPECT_EQ(result.outcome, JobOutcome::kFileError);
      EXPECT_EQ(result.failedPath, job.sourcePath);
      EXPECT_EQ(test::ReadBytes(job.sourcePath), source);
    }
    {
      SCOPED_TRACE("a name longer than a path");
      SplitJob job = Job(source, Entries({"0:00", "0:01"}));
      job.exact = exact;
      job.nameTemplate = std::string(256, 'n');
      RecordingHost host;
      EXPECT_EQ(RunSplit(job, host).outcome, JobOutcome::kFileError);
      EXPECT_EQ(FilesWritten(), 0u);
    }
    {
      SCOPED_TRACE("a write that fails");
      SplitJob job = Job(source, Entries({"0:00", "0:01"}));
      job.exact = exact;
      std::filesystem::create_symlink("/dev/full", dir.File("out/source - 02.mp3"));
      RecordingHost host;
      JobReport result = RunSplit(job, host);
      EXPECT_EQ(result.outcome, JobOutcome::kFileError);
      EXPECT_EQ(result.unitsDone, 1);
      EXPECT_EQ(result.failedPath, dir.File("out/source - 02.mp3"));
    }
    {
      SCOPED_TRACE("a folder that does not exist");
      SplitJob job = Job(source, Entries({"0:00"}));
      job.exact = exact;
      job.folder = dir.File("nowhere/");
      RecordingHost host;
      JobReport result = RunSplit(job, host);
      EXPECT_EQ(result.outcome, JobOutcome::kFileError);
      EXPECT_TRUE(result.jobStarted);
      EXPECT_FALSE(result.failureReason.empty());
    }
  }
}

}  // namespace
}  // namespace partwell
