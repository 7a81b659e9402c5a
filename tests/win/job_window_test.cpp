// Split and join jobs through the pages: completion, halts, refusals, failures, the
// starting guard, and both pages working at once.
#include <algorithm>
#include <cstring>

#include "join/join_engine.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"
#include "split/split_engine.h"
#include "window/split_page_win.h"
#include "test_media.h"

namespace partwell::test {
namespace {

const char kCompleted[] = "Track creation completed successfully.";
const char kCancelled[] = "Track creation has been cancelled.";
const char kSplitFileError[] =
    "There has been a file error while trying to create tracks.  Please try again.";
const char kJoined[] = "Track joining completed successfully.";
const char kJoinFileError[] =
    "There has been a file error while trying to join tracks.  Please try again.";

class Jobs : public ProgramWithSource {
 protected:
  void SetUp() override {
    ProgramWithSource::SetUp();
    LoadSourceFile(split_, source_);
  }
  void AddTimes(std::initializer_list<const char*> times) {
    for (const char* time : times) {
      SetText(split_, IDC_TIME, time);
      Click(split_, IDC_ADD);
    }
  }
  std::vector<std::string> Output() {
    std::vector<std::string> files = FilesIn(folder_);
    files.erase(std::remove(files.begin(), files.end(), "concert.mp3"), files.end());
    return files;
  }
  void ExpectSourceUntouched() { EXPECT_EQ(ReadBytes(source_), sourceBytes_); }
  // Sources for the join: distinct contents, some with a trailer.
  std::vector<std::string> JoinSources(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      std::string path = folder_ + "\\part" + std::to_string(i) + ".mp3";
      WriteBytes(path, MakeMp3(20 + i, i % 2 == 0));
      paths.push_back(path);
      SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    }
    return paths;
  }
  // A source's bytes less its ID3v1 trailer.
  static Bytes Audio(const std::string& path) {
    Bytes bytes = ReadBytes(path);
    if (bytes.size() >= 128 && std::memcmp(&bytes[bytes.size() - 128], "TAG", 3) == 0) {
      bytes.resize(bytes.size() - 128);
    }
    return bytes;
  }
  static Bytes Joined(const std::vector<std::string>& paths, size_t count) {
    Bytes all;
    for (size_t i = 0; i < count; ++i) {
      Bytes audio = Audio(paths[i]);
      all.insert(all.end(), audio.begin(), audio.end());
    }
    return all;
  }
};

TEST_F(Jobs, SplitWritesOneFilePerTrackInBothModes) {
  // From the open dialog to the tracks on disk.
  ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
  AddTimes({"0:02", "0:05.50"});
  EXPECT_EQ(RunJob(split_), kCompleted);
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_EQ(Output(),
            (std::vector<std::string>{"concert - 01.mp3", "concert - 02.mp3", "concert - 03.mp3"}));
  // Together the tracks hold the source's audio once, each ending in the trailer.
  Bytes audio(sourceBytes_.begin() + 100, sourceBytes_.end() - 128);
  Bytes trailer(sourceBytes_.end() - 128, sourceBytes_.end());
  Bytes rejoined;
  for (const std::string& name : Output()) {
    Bytes track = ReadBytes(folder_ + "\\" + name);
    ASSERT_GT(track.size(), 128u);
    EXPECT_TRUE(std::equal(trailer.begin(), trailer.end(), track.end() - 128)) << name;
    rejoined.insert(rejoined.end(), track.begin(), track.end() - 128);
  }
  EXPECT_EQ(rejoined.size(), audio.size());
  EXPECT_TRUE(rejoined == audio);

  // Equal segments of 3 s: more tracks than list items, into the chosen folder.
  for (const std::string& name : Output()) DeleteFileA((folder_ + "\\" + name).c_str());
  std::string out = folder_ + "\\out";
  CreateDirectoryA(out.c_str(), nullptr);
  SetText(split_, IDC_FOLDER, out + "\\");
  SetText(split_, IDC_DESTINATION_NAME, "%track% %file%");
  Click(split_, IDC_CLEAR);
  AddTimes({"0:03"});
  CheckDlgButton(split_, IDC_EQUAL_SEGMENTS, BST_CHECKED);
  EXPECT_EQ(RunJob(split_), kCompleted);
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"01 concert.mp3", "02 concert.mp3",
                                                    "03 concert.mp3", "04 concert.mp3"}));
  EXPECT_TRUE(Output().empty());
  ExpectSourceUntouched();
}

TEST_F(Jobs, TrackInfoAndNamesInAnyScriptReachTheTrackFiles) {
  std::string source = folder_ + "\\Caf\xc3\xa9 \xe9\x9f\xb3\xe6\xa5\xbd.mp3";  // "Café 音楽.mp3"
  WriteBytes(source, sourceBytes_);
  LoadSourceFile(split_, source);
  AddTimes({"0:02"});
  // The second track gets a title through the Track Info dialog.
  SendDlgItemMessageA(split_, IDC_LIST, LB_SETCURSEL, 1, 0);
  wt::DialogAnswerer info("", [](HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_TITLE, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>("\xce\xa9mega"));  // "Ωmega"
    wt::PressButton(dialog, IDOK);
  });
  Click(split_, IDC_TRACK_NAMING);
  ASSERT_TRUE(info.Wait());
  SetText(split_, IDC_DESTINATION_NAME, "%file% %track% %title%");
  EXPECT_EQ(RunJob(split_), kCompleted);
  // The names as the system stores them, in UTF-16.
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  std::wstring pattern =
      std::wstring(folder_.begin(), folder_.end()) + L"\\Caf\u00e9 \u97f3\u697d 0*";
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  EXPECT_TRUE(names == (std::vector<std::wstring>{L"Caf\u00e9 \u97f3\u697d 01 .mp3",
                                                  L"Caf\u00e9 \u97f3\u697d 02 \u03a9mega.mp3"}));
}

TEST_F(Jobs, SplitRefusalsLeaveThePageIdleAndWriteNothing) {
  const char* missing = "Please choose a source file and a destination name before you continue.";
  const struct {
    const char* name;
    const char* nameTemplate;
    bool equalSegments;
    std::vector<const char*> times;
    std::string message;
  } cases[] = {
      {"empty template", "", false, {"0:02"}, missing},
      {"invalid template",
       "a:b",
       true,
       {},
       JobOutcomeText(JobKind::kSplit, JobOutcome::kInvalidTemplate)},
      {"equal segments, marker only",
       "%track%",
       true,
       {"0:00"},
       JobOutcomeText(JobKind::kSplit, JobOutcome::kEqualSegmentsNeedOffset)},
      {"equal segments, empty list",
       "%track%",
       true,
       {},
       JobOutcomeText(JobKind::kSplit, JobOutcome::kEqualSegmentsNeedOffset)},
      {"empty list", "%track%", false, {}, JobOutcomeText(JobKind::kSplit, JobOutcome::kEmptyList)},
  };
  for (const auto& c : cases) {
    Click(split_, IDC_CLEAR);
    for (const char* time : c.times) AddTimes({time});
    SetText(split_, IDC_DESTINATION_NAME, c.nameTemplate);
    CheckDlgButton(split_, IDC_EQUAL_SEGMENTS, c.equalSegments ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(RunJob(split_), c.message) << c.name;
    EXPECT_TRUE(PageIsIdle(split_, "Create Tracks")) << c.name;
    EXPECT_TRUE(Output().empty()) << c.name;
  }
  // No source chosen: the same warning as an empty template.
  Click(main_, IDC_QUIT);
  TearDown();
  ProgramWindows::SetUp();
  EXPECT_EQ(RunJob(split_), missing);
}

TEST_F(Jobs, SplitFileErrorsAreReported) {
  AddTimes({"0:02", "0:04"});
  // A track file that cannot be created: the tracks before it stay.
  CreateDirectoryA((folder_ + "\\concert - 02.mp3").c_str(), nullptr);
  EXPECT_EQ(RunJob(split_), kSplitFileError);
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_EQ(Output(), (std::vector<std::string>{"concert - 01.mp3"}));
  RemoveDirectoryA((folder_ + "\\concert - 02.mp3").c_str());

  // A folder that is not there.
  SetText(split_, IDC_FOLDER, folder_ + "\\missing\\");
  EXPECT_EQ(RunJob(split_), kSplitFileError);
  SetText(split_, IDC_FOLDER, "");

  // A name over 259 characters is refused, not cut.
  SetText(split_, IDC_DESTINATION_NAME, std::string(230, 'n') + "%track%");
  EXPECT_EQ(RunJob(split_), kSplitFileError);

  // A source that has gone since it was chosen: refused before the page is taken.
  SetText(split_, IDC_DESTINATION_NAME, "%track%");
  DeleteFileA(source_.c_str());
  EXPECT_EQ(RunJob(split_), kSplitFileError);
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_EQ(Output(), (std::vector<std::string>{"concert - 01.mp3"}));
}

TEST_F(Jobs, HaltBeforeTheFirstTrackWritesNothing) {
  AddTimes({"0:02", "0:04"});
  // The click comes as soon as the worker has taken the page.
  WhenTextSet(split_, IDC_ACTION, "Cancel", [&] {
    // Every control but the action button and the status line is disabled now; the other
    // page, the tabs and Quit are not.
    for (int id : {IDC_SOURCE, IDC_BROWSE, IDC_LIST, IDC_ADD, IDC_TIME, IDC_CLEAR, IDC_REMOVE,
                   IDC_EQUAL_SEGMENTS, IDC_EXACT_CUTS, IDC_TAG_TRACKS, IDC_CUE_IMPORT,
                   IDC_CUE_EXPORT, IDC_FIELD_INFO, IDC_BIT_RATE}) {
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(split_, id))) << id;
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(split_, IDC_STATUS)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(join_, IDC_ADD)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main_, IDC_TABS)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(main_, IDC_QUIT)));
    Click(split_, IDC_ACTION);
    EXPECT_EQ(Text(split_, IDC_ACTION), "Halting...");
    Click(split_, IDC_ACTION);
    EXPECT_EQ(Text(split_, IDC_ACTION), "Halting...");
  });
  EXPECT_EQ(RunJob(split_), kCancelled);
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_TRUE(Output().empty());
}

TEST_F(Jobs, HaltDuringAMiddleTrackFinishesThatTrackOnly) {
  AddTimes({"0:02", "0:04", "0:06"});
  WhenTextSet(split_, IDC_STATUS, "Status: Creating... [002]", [&] { Click(split_, IDC_ACTION); });
  EXPECT_EQ(RunJob(split_), kCancelled);
  EXPECT_EQ(Output(), (std::vector<std::string>{"concert - 01.mp3", "concert - 02.mp3"}));
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));

  // A halt asked for during the last track is never seen.
  for (const std::string& name : Output()) DeleteFileA((folder_ + "\\" + name).c_str());
  WhenTextSet(split_, IDC_STATUS, "Status: Creating... [004]", [&] { Click(split_, IDC_ACTION); });
  EXPECT_EQ(RunJob(split_), kCompleted);
  EXPECT_EQ(Output().size(), 4u);
}

TEST_F(Jobs, DoubleClickStartsOneJobFromTheInputsOfTheFirstClick) {
  AddTimes({"0:05"});
  MessageBoxAnswerer boxes;
  Click(split_, IDC_ACTION);
  // Before the worker has taken the page: a second click and edits.
  EXPECT_EQ(Text(split_, IDC_ACTION), "Create Tracks");
  Click(split_, IDC_ACTION);
  SetText(split_, IDC_DESTINATION_NAME, "changed %track%");
  Click(split_, IDC_CLEAR);
  ASSERT_TRUE(boxes.WaitFor(1));
  // No second job follows.
  wt::PumpUntil([] { return false; }, 500);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kCompleted}));
  EXPECT_EQ(Output(), (std::vector<std::string>{"concert - 01.mp3", "concert - 02.mp3"}));
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
}

TEST_F(Jobs, JoinConcatenatesWithoutTrailersAndLeavesTheSourcesAlone) {
  std::vector<std::string> sources = JoinSources(4);
  std::vector<Bytes> before;
  for (const std::string& path : sources) before.push_back(ReadBytes(path));
  // The same file twice is joined twice.
  SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(sources[0].c_str()));
  sources.push_back(sources[0]);
  std::string destination = folder_ + "\\joined.mp3";
  WriteBytes(destination, MakeNoise(100000, 9));  // replaced without a question
  SetText(join_, IDC_DESTINATION_NAME, destination);
  EXPECT_EQ(RunJob(join_), kJoined);
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));
  EXPECT_TRUE(ReadBytes(destination) == Joined(sources, sources.size()));
  for (size_t i = 0; i < before.size(); ++i) EXPECT_TRUE(ReadBytes(sources[i]) == before[i]);
  EXPECT_EQ(ListItems(join_).size(), 5u);
}

TEST_F(Jobs, JoinHaltsBetweenSourcesWithoutAMessage) {
  std::vector<std::string> sources = JoinSources(4);
  std::string destination = folder_ + "\\joined.mp3";
  SetText(join_, IDC_DESTINATION_NAME, destination);
  bool halted = false;
  WhenTextSet(join_, IDC_STATUS, "Status: Joining... [002]", [&] {
    Click(join_, IDC_ACTION);
    halted = true;
  });
  Click(join_, IDC_ACTION);
  ASSERT_TRUE(wt::PumpUntil([&] { return halted && PageIsIdle(join_, "Merge Tracks"); }, 10000));
  wt::PumpUntil([] { return false; }, 300);
  EXPECT_EQ(wt::FindOwnDialog(kMessageCaption), nullptr);
  EXPECT_TRUE(ReadBytes(destination) == Joined(sources, 2));
}

TEST_F(Jobs, JoinRefusalsAndFailuresAreShown) {
  std::vector<std::string> sources = JoinSources(3);
  const char* missing =
      "Please select a destination file and fill in the track list with two or more items for "
      "joining.";
  EXPECT_EQ(RunJob(join_), missing);  // no destination

  // A destination that is one of the sources: refused before anything is touched.
  Bytes first = ReadBytes(sources[1]);
  SetText(join_, IDC_DESTINATION_NAME, sources[1]);
  EXPECT_EQ(RunJob(join_), JobOutcomeText(JobKind::kJoin, JobOutcome::kDestinationIsSource));
  EXPECT_TRUE(ReadBytes(sources[1]) == first);
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));

  // A destination that cannot be created.
  SetText(join_, IDC_DESTINATION_NAME, folder_ + "\\missing\\joined.mp3");
  EXPECT_EQ(RunJob(join_), kJoinFileError);
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));

  // A source that has gone: the sources before it stay in the destination.
  std::string destination = folder_ + "\\joined.mp3";
  SetText(join_, IDC_DESTINATION_NAME, destination);
  DeleteFileA(sources[2].c_str());
  EXPECT_EQ(RunJob(join_), kJoinFileError);
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));
  EXPECT_TRUE(ReadBytes(destination) == Joined(sources, 2));

  // One item is not enough.
  SendDlgItemMessageA(join_, IDC_LIST, LB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(sources[0].c_str()));
  EXPECT_EQ(RunJob(join_), missing);
}

TEST_F(Jobs, SplitAndJoinRunAtTheSameTime) {
  AddTimes({"0:02", "0:04"});
  std::vector<std::string> sources = JoinSources(3);
  std::string destination = folder_ + "\\joined.mp3";
  SetText(join_, IDC_DESTINATION_NAME, destination);
  MessageBoxAnswerer boxes;
  // The join starts while the split is at its second track; each page keeps its own state.
  WhenTextSet(split_, IDC_STATUS, "Status: Creating... [002]", [&] {
    Click(join_, IDC_ACTION);
    EXPECT_EQ(Text(split_, IDC_ACTION), "Cancel");
  });
  Click(split_, IDC_ACTION);
  ASSERT_TRUE(boxes.WaitFor(2));
  std::vector<std::string> texts = boxes.Texts();
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{kCompleted, kJoined}));
  wt::PumpUntil(
      [&] { return PageIsIdle(split_, "Create Tracks") && PageIsIdle(join_, "Merge Tracks"); },
      2000);
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));
  EXPECT_EQ(Output().size(), 3u + 4u);  // three tracks beside the join's files
  EXPECT_TRUE(ReadBytes(destination) == Joined(sources, 3));
}

}  // namespace
}  // namespace partwell::test
