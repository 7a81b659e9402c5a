// The Split page's "Find Silences..." button and its dialog: the button's state, the
// refusals, halts and failures, and the times proposed through the real dialog, which must
// be those of the command-line program for the same file and settings.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <algorithm>
#include <cstdio>

#include "window/message_box_win.h"
#include "window/split_page_win.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

std::string gCli;       // mp3partwell.exe
std::string gRealMp3s;  // the folder of lame's pauses.mp3

const char kDialogCaption[] = "Find Silences";
const char kMissingSource[] =
    "Please choose a source file and a destination name before you continue.";

// What the Windows command-line program prints on standard output for `arguments`.
std::string CliOutput(const std::string& arguments) {
  std::string path = MakeTempFolder("find-silences-cli") + "\\output.txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // and no standard error: no progress lines
  startup.hStdOutput = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, 0, nullptr);
  PROCESS_INFORMATION process = {};
  std::string line = "\"" + WinePath(gCli) + "\" " + arguments;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(startup.hStdOutput);
  Bytes output = ReadBytes(path);
  std::string text(output.begin(), output.end());
  return text.substr(0, text.find_first_of("\r\n"));
}

// What is typed into the dialog; a null field keeps the dialog's default.
struct DialogInput {
  const char* threshold = nullptr;
  const char* minPause = nullptr;
  bool speech = false;
  const char* tracks = nullptr;
};

// Fills the open dialog from the helper thread, as a user would.
void Fill(HWND dialog, const DialogInput& input) {
  if (input.threshold) SetDlgItemTextA(dialog, IDC_THRESHOLD, input.threshold);
  if (input.minPause) SetDlgItemTextA(dialog, IDC_MIN_PAUSE, input.minPause);
  if (input.speech) SendDlgItemMessageA(dialog, IDC_PAUSE_SPEECH, BM_CLICK, 0, 0);
  if (input.tracks) SetDlgItemTextA(dialog, IDC_TRACK_COUNT, input.tracks);
}

class FindSilences : public ProgramWindows {
 protected:
  void SetUp() override {
    ProgramWindows::SetUp();
    source_ = WinePath(gRealMp3s) + "\\pauses.mp3";
    LoadSourceFile(split_, source_);
    ASSERT_EQ(Text(split_, IDC_SOURCE), source_);
  }
  void AddTimes(std::initializer_list<const char*> times) {
    for (const char* time : times) {
      SetText(split_, IDC_TIME, time);
      Click(split_, IDC_ADD);
    }
  }
  // Starts a search through the dialog, given `input`, and returns once the dialog is
  // closed; the search then runs on its worker.
  void StartSearch(const DialogInput& input) {
    wt::DialogAnswerer answer(kDialogCaption, [&](HWND dialog) {
      Fill(dialog, input);
      wt::PressButton(dialog, IDOK);
    });
    Click(split_, IDC_FIND_SILENCES);
    EXPECT_TRUE(answer.Wait());
  }
  // A search that ends in a message box: the box's text, once the page is idle again.
  std::string SearchWithMessage(const DialogInput& input) {
    std::string text = AnswerMessageBox([&] { StartSearch(input); }, 20000);
    EXPECT_TRUE(wt::PumpUntil([&] { return PageIsIdle(split_, "Create Tracks"); }, 2000));
    return text;
  }
  // A search that changes the list: the times after the list's zero marker, once the page
  // is idle again, comma-separated as the command line's --times-only prints them.
  std::string SearchedTimes(const DialogInput& input) {
    std::vector<std::string> before = ListItems(split_);
    StartSearch(input);
    EXPECT_TRUE(wt::PumpUntil(
        [&] { return ListItems(split_) != before && PageIsIdle(split_, "Create Tracks"); }, 20000));
    std::vector<std::string> items = ListItems(split_);
    if (items.empty() || items[0] != "000:00.00") return "no zero marker";
    std::string times;
    for (size_t i = 1; i < items.size(); ++i) times += (i > 1 ? "," : "") + items[i];
    return times;
  }

  std::string source_;
};

TEST_F(FindSilences, ProposesTheCommandLineProgramsTimesAndClearsTheNames) {
  AddTimes({"0:01", "0:02"});
  SetTrackText(PageTrackTimes(split_)[1].title, "Overture");
  SetTrackText(PageTrackTimes(split_)[1].artist, "Someone");
  MessageBoxAnswerer boxes;  // none is expected
  const struct {
    const char* name;
    DialogInput input;
    const char* options;  // the command line's
    size_t found;
  } cases[] = {
      {"defaults", {}, "", 3},
      {"speech", {nullptr, nullptr, true}, "--speech", 1},
      {"tracks", {nullptr, nullptr, false, "3"}, "--tracks 3", 2},
      // Speech and the pause field give way to a number of tracks.
      {"tracks over speech", {"-40", "9", true, "4"}, "--threshold -40 --tracks 4", 3},
      {"threshold and pause", {"-40", "0,25"}, "--threshold -40 --min-pause 0.25", 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string ours = SearchedTimes(c.input);
    EXPECT_EQ(ours, CliOutput("silences \"" + source_ + "\" --times-only " + c.options));
    EXPECT_EQ(static_cast<size_t>(std::count(ours.begin(), ours.end(), ',') + 1), c.found) << ours;
    TrackTimeList& times = PageTrackTimes(split_);
    for (size_t i = 0; i < times.size(); ++i) {
      EXPECT_STREQ(times[i].artist, "");
      EXPECT_STREQ(times[i].title, "");
    }
    // Between two searches the list is changed by hand, so that each one is seen.
    AddTimes({"0:00.01"});
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(FindSilences, NeedsASourceRefusesBadInputAndStaysOpen) {
  HWND button = GetDlgItem(split_, IDC_FIND_SILENCES);
  EXPECT_EQ(wt::TextOf(button), "Find Silences...");
  EXPECT_TRUE(IsWindowEnabled(button));
  // Without a source: the warning of "Create Tracks", and no dialog.
  SetText(split_, IDC_SOURCE, "");
  EXPECT_EQ(AnswerMessageBox([&] { Click(split_, IDC_FIND_SILENCES); }), kMissingSource);
  EXPECT_EQ(wt::FindOwnDialog(kDialogCaption), nullptr);

  SetText(split_, IDC_SOURCE, source_);
  AddTimes({"0:05"});
  const struct {
    DialogInput input;
    int badField;
  } cases[] = {
      {{"-48", "0.01"}, IDC_MIN_PAUSE},
      {{"-48 dB", "0.5"}, IDC_THRESHOLD},
      {{"-120"}, IDC_THRESHOLD},
      {{"3"}, IDC_THRESHOLD},
      {{"-48", "half"}, IDC_MIN_PAUSE},
      {{"-48", "0.5", false, "1"}, IDC_TRACK_COUNT},
      {{"-48", "0.5", false, "1000"}, IDC_TRACK_COUNT},
  };
  DWORD uiThread = GetCurrentThreadId();
  auto focus = [uiThread] {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(uiThread, &info);
    return info.hwndFocus;
  };
  wt::DialogAnswerer answer(kDialogCaption, [&](HWND dialog) {
    for (const auto& c : cases) {
      std::string text;
      {
        wt::DialogAnswerer warning(kMessageCaption, [&](HWND box) {
          text = wt::MessageBoxText(box);
          wt::PressButton(box, IDOK);
        });
        Fill(dialog, c.input);
        wt::PressButton(dialog, IDOK);
        EXPECT_TRUE(warning.Wait());
      }
      // The dialog stays open, and gives the refused field the focus once the box is gone.
      HWND field = GetDlgItem(dialog, c.badField);
      for (int i = 0; i < 500 && (wt::FindOwnDialog(kMessageCaption) || focus() != field); ++i) {
        Sleep(10);
      }
      EXPECT_FALSE(text.empty()) << c.badField;
      EXPECT_EQ(focus(), field) << text;
      EXPECT_TRUE(IsWindowVisible(dialog)) << text;
      // A number of tracks puts the pause choice out of play.
      EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PAUSE_SPEECH)), !c.input.tracks) << text;
    }
    wt::PressButton(dialog, IDCANCEL);
  });
  Click(split_, IDC_FIND_SILENCES);
  EXPECT_TRUE(answer.Wait());
  // Cancel starts nothing.
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:05.00"}));
}

TEST_F(FindSilences, HaltAndFailuresLeaveTheList) {
  AddTimes({"0:05", "0:07.50"});
  const std::vector<std::string> list = ListItems(split_);
  // A destination name is not needed to search, nor to halt the search.
  SetText(split_, IDC_DESTINATION_NAME, "");
  // The halt comes once the first piece of the file (64 KiB) has been listened to.
  char status[40];
  std::snprintf(status, sizeof status, "Status: Listening... [%02d%%]",
                static_cast<int>(65536 * 100 / ReadBytes(source_).size()));
  bool halted = false;
  WhenTextSet(split_, IDC_STATUS, status, [&] {
    EXPECT_EQ(Text(split_, IDC_ACTION), "Cancel");
    for (int id : {IDC_FIND_SILENCES, IDC_BROWSE, IDC_LIST, IDC_ADD, IDC_CLEAR, IDC_REMOVE}) {
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(split_, id))) << id;
    }
    Click(split_, IDC_ACTION);
    EXPECT_EQ(Text(split_, IDC_ACTION), "Halting...");
    halted = true;
  });
  {
    MessageBoxAnswerer boxes;  // none is expected
    StartSearch({});
    ASSERT_TRUE(
        wt::PumpUntil([&] { return halted && PageIsIdle(split_, "Create Tracks"); }, 20000));
    EXPECT_TRUE(boxes.Texts().empty());
  }
  EXPECT_EQ(ListItems(split_), list);

  // A file that is not MP3, and one that is gone: a warning each, the first one the first
  // box since the halt, which shows none.
  std::string folder = MakeTempFolder("find-silences-failures");
  std::string noise = folder + "\\noise.mp3";
  WriteBytes(noise, MakeNoise(50000, 3));
  const struct {
    std::string source;
    const char* warning;  // its first line
  } failures[] = {
      {noise, "The file you chose was either invalid, corrupted, or could not be opened"},
      {folder + "\\gone.mp3", "The file could not be opened."},
  };
  for (const auto& failure : failures) {
    SetText(split_, IDC_SOURCE, failure.source);
    std::string text = SearchWithMessage({});
    EXPECT_EQ(text.rfind(failure.warning, 0), 0u) << text;
    EXPECT_EQ(ListItems(split_), list);
  }
  // No pause long enough: an information box.
  SetText(split_, IDC_SOURCE, source_);
  EXPECT_EQ(SearchWithMessage({nullptr, "600"}).rfind("No pause was found", 0), 0u);
  EXPECT_EQ(ListItems(split_), list);
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(
      argc, argv, {{"--cli=", "mp3partwell.exe", &gCli}, {"--real-mp3s=", "FOLDER", &gRealMp3s}});
}
