// What the Overview plays, as it is heard: Wine's wave output goes through ALSA into the
// file plugin that this test's HOME names (.asoundrc, written by CMake), and the captured
// samples are compared bit for bit with the album's timeline as mpg123 decodes it (for
// Space and for "Play Cut" with exact cuts), with the documented mode's own tracks, which
// the split writes here and libmpg123 decodes (for "Play Cut" without them), and with the
// file the cut-out writer writes without a removed part (for "Play Cut" in that part).
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <mpg123.h>

#include <algorithm>
#include <cstring>

#include "split/cut_job.h"
#include "split/split_engine.h"
#include "split/track_time.h"
#include "window/overview_win.h"
#include "window/split_page_win.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

std::string gAlbumFolder;
std::string gCapture;

constexpr size_t kFrameBytes = 4;  // 16-bit stereo
constexpr size_t kRate = 44100;
constexpr size_t kAround = 3 * kRate;
constexpr size_t kDecoderDelay = 529;

class NoHalt : public JobHost {
 public:
  void JobStarted() override {}
  bool HaltRequested() override { return false; }
  void UnitStarted(int) override {}
};

// The output of a file, 16-bit: all of it, nothing trimmed, or without the encoder delay
// its LAME tag states (`gapless`).
Bytes Decode(const std::string& path, bool gapless) {
  Bytes mp3 = ReadBytes(path), raw;
  mpg123_init();
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  mpg123_param(mh, gapless ? MPG123_ADD_FLAGS : MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh);
  mpg123_format(mh, kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  mpg123_open_feed(mh);
  mpg123_feed(mh, mp3.data(), mp3.size());
  for (;;) {
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    int result = mpg123_decode_frame(mh, nullptr, &audio, &bytes);
    if (result == MPG123_OK) {
      raw.insert(raw.end(), audio, audio + bytes);
    } else if (result != MPG123_NEW_FORMAT) {
      break;
    }
  }
  mpg123_delete(mh);
  return raw;
}

Bytes Slice(const Bytes& bytes, size_t fromFrame, size_t frames) {
  auto from = bytes.begin() + static_cast<std::ptrdiff_t>(fromFrame * kFrameBytes);
  return Bytes(from, from + static_cast<std::ptrdiff_t>(frames * kFrameBytes));
}

// Every sample of `sound`, bit for bit and in order, is what was heard; Wine's mixer adds
// silence of its own where it runs late on a busy machine and from the last buffer to the
// device's close: at most 1 s of silent frames may stand between and after them.
::testing::AssertionResult HeardAs(const Bytes& heard, const Bytes& sound) {
  auto frame = [](const Bytes& bytes, size_t i) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + i * kFrameBytes, kFrameBytes);
    return value;
  };
  size_t heardFrames = heard.size() / kFrameBytes, soundFrames = sound.size() / kFrameBytes;
  size_t h = 0, added = 0;
  for (size_t i = 0; i < soundFrames; ++i, ++h) {
    while (h < heardFrames && frame(heard, h) != frame(sound, i) && frame(heard, h) == 0) {
      ++h;
      ++added;
    }
    if (h >= heardFrames || frame(heard, h) != frame(sound, i)) {
      return ::testing::AssertionFailure()
             << "the sound differs at its frame " << i << " (" << heardFrames << " frames heard, "
             << soundFrames << " expected)";
    }
  }
  for (; h < heardFrames; ++h, ++added) {
    if (frame(heard, h) != 0) return ::testing::AssertionFailure() << "sound follows the sound";
  }
  if (added > kRate) return ::testing::AssertionFailure() << added << " silent frames added";
  return ::testing::AssertionSuccess();
}

class OverviewSound : public ProgramWindows {
 protected:
  void SetUp() override {
    ProgramWindows::SetUp();
    album_ = WinePath(gAlbumFolder + "/album.mp3");
    LoadSourceFile(split_, album_);
    for (const char* time : {"0:21", "0:41"}) {
      auto entry = std::make_unique<TrackEntry>();
      SetTimeText(*entry, time);
      AddTrackTime(split_, std::move(entry));
    }
    Click(split_, IDC_OVERVIEW);
    window_ = FindWindowA(kOverviewClass, nullptr);
    ASSERT_NE(window_, nullptr);
    timeline_ = ReadBytes(WinePath(gAlbumFolder + "/album.raw"));
  }
  void TearDown() override {
    CloseOverview();
    ProgramWindows::TearDown();
  }

  void Key(WPARAM key) { SendMessageA(window_, WM_KEYDOWN, key, 0); }
  size_t CapturedSize() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::string path = WinePath(gCapture);
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
  }
  // What was heard, once the capture holds `bytes` and has not grown for half a second.
  Bytes Heard(size_t bytes) {
    wt::PumpUntil([&] { return CapturedSize() >= bytes; }, 20000);
    size_t last = CapturedSize();
    for (int quiet = 0, tries = 0; quiet < 5 && tries < 200; ++tries) {
      wt::PumpUntil([] { return false; }, 100);
      size_t now = CapturedSize();
      quiet = now == last ? quiet + 1 : 0;
      last = now;
    }
    return ReadBytes(WinePath(gCapture));
  }
  void PlayCutOfRow(int row, bool exact) {
    CheckDlgButton(split_, IDC_EXACT_CUTS, exact ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(split_, IDC_LIST, LB_SETCURSEL, row, 0);
    Key('P');
  }

  std::string album_;
  HWND window_ = nullptr;
  Bytes timeline_;
};

TEST_F(OverviewSound, PlayCutWithExactCutsPlaysTheTimelineAcrossTheCut) {
  PlayCutOfRow(1, true);
  Bytes heard = Heard(2 * kAround * kFrameBytes);
  EXPECT_TRUE(HeardAs(heard, Slice(timeline_, 21 * kRate - kAround, 2 * kAround)));
}

TEST_F(OverviewSound, PlayCutWithoutThemPlaysTheWrittenTracksAndTheFramesTheyLose) {
  std::string folder = MakeTempFolder("overview-documented");
  SplitJob job = PageSplitJob(split_);
  job.exact = false;
  job.folder = folder + "\\";
  job.nameTemplate = "%track%";
  NoHalt host;
  ASSERT_TRUE(RunSplit(job, host).completed());
  // Tracks 2 and 3 have no header frame: their timeline leaves out the decoder delay alone.
  Bytes before = Decode(folder + "\\02.mp3", false), after = Decode(folder + "\\03.mp3", false);
  ASSERT_GT(before.size(), kAround * kFrameBytes);
  Bytes expected = Slice(before, before.size() / kFrameBytes - kAround, kAround);
  Bytes start = Slice(after, kDecoderDelay, kAround);
  expected.insert(expected.end(), start.begin(), start.end());

  PlayCutOfRow(2, false);
  Bytes heard = Heard(expected.size());
  EXPECT_TRUE(HeardAs(heard, expected));
  // The frame rounding and the reservoir: not the source's timeline across the cut.
  EXPECT_FALSE(HeardAs(heard, Slice(timeline_, 41 * kRate - kAround, 2 * kAround)));
}

TEST_F(OverviewSound, PlayCutInARemovedPartPlaysItsSeamAsTheFileHasIt) {
  const TimeRange removed{3000, 3500};
  PageRemovedRanges(split_).Toggle(removed);
  Key(VK_HOME);
  for (int i = 0; i < 3; ++i) PressKey(window_, VK_RIGHT, VK_SHIFT);  // 0:30, in the part
  std::string folder = MakeTempFolder("overview-seam");
  CutJob job;
  job.sourcePath = album_;
  job.destination = folder + "\\cut.mp3";
  job.remove = {removed};
  NoHalt host;
  CutResult cut = RunCut(job, host);
  ASSERT_TRUE(cut.report.completed());
  ASSERT_EQ(cut.plan.seams.size(), 1u);
  const FrameSeam& seam = cut.plan.seams[0];
  const size_t left = static_cast<size_t>(FrameStartSample(cut.source, seam.end) -
                                          FrameStartSample(cut.source, seam.first));
  // The 3 s before the part and the 3 s after it, where the file plays them.
  const size_t from = 27 * kRate, to = 38 * kRate - left;
  Bytes expected = Slice(Decode(job.destination, true), from, to - from);

  Key('P');
  Bytes heard = Heard(expected.size());
  EXPECT_TRUE(HeardAs(heard, expected));
  // Not the source's timeline: the part is left out and the seam decodes as written.
  EXPECT_FALSE(HeardAs(heard, Slice(timeline_, from, to - from)));
}

TEST_F(OverviewSound, PlayCutThatCannotBeMadeSaysWhy) {
  EXPECT_EQ(AnswerMessageBox([&] { PlayCutOfRow(0, false); }),
            "Select a track time after the first to hear its cut.");
  PageRemovedRanges(split_).Toggle({0, std::nullopt});
  EXPECT_EQ(AnswerMessageBox([&] { Key('P'); }),
            "The ranges to remove cover the whole file: nothing would be left.");
}

TEST_F(OverviewSound, SpacePlaysFromTheCursorAndPauses) {
  Key(VK_HOME);
  for (int i = 0; i < 10; ++i) Key(VK_RIGHT);  // 10 frames
  Key(VK_SPACE);
  wt::PumpUntil([&] { return CapturedSize() >= kRate * kFrameBytes; }, 20000);
  Key(VK_SPACE);
  Bytes heard = Heard(0);
  ASSERT_GE(heard.size(), kRate * kFrameBytes);
  // Up to the pause the sound is the timeline's from the cursor on.
  size_t sound = heard.size();
  while (sound > 0 && heard[sound - 1] == 0) --sound;
  sound -= sound % kFrameBytes;
  EXPECT_TRUE(HeardAs(heard, Slice(timeline_, 10 * 1152, sound / kFrameBytes)));
  // The cursor stays where the sound was paused.
  std::string position = wt::ItemText(window_, IDC_OVERVIEW_POSITION);
  std::optional<TimeParts> paused = ParseTimeText(position.c_str());
  ASSERT_TRUE(paused);
  EXPECT_GE(TimeOffset(*paused), 100);
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(argc, argv,
                      {{"--album=", "FOLDER", &gAlbumFolder}, {"--capture=", "FILE", &gCapture}});
}
