// The Split page's commands: choosing the source and the folder, the track time list and
// its list box, the Track Info dialog, "Field Info" and the player position capture.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "mpeg/source_probe.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

class SplitPage : public ProgramWindows {
 protected:
  void AddTime(const std::string& text) {
    SetText(split_, IDC_TIME, text);
    Click(split_, IDC_ADD);
  }
  void Select(int index) { SendDlgItemMessageA(split_, IDC_LIST, LB_SETCURSEL, index, 0); }
  // Every list box item shows its model entry's time and carries a pointer to it.
  void ExpectListMirrorsModel() {
    TrackTimeList& times = PageTrackTimes(split_);
    std::vector<std::string> items = ListItems(split_);
    ASSERT_EQ(items.size(), times.size());
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i], times[i].timeText);
      EXPECT_EQ(SendDlgItemMessageA(split_, IDC_LIST, LB_GETITEMDATA, i, 0),
                reinterpret_cast<LRESULT>(&times[i]));
    }
  }
};

TEST_F(SplitPage, AddRemoveAndClearFollowTheListRules) {
  struct Step {
    const char* action;  // "add <text>", "remove <index>", "clear"
    std::vector<std::string> list;
    int selection;
  };
  const Step steps[] = {
      {"add 4:00", {"000:00.00", "004:00.00"}, -1},
      {"add 2:30.5", {"000:00.00", "002:30.05", "004:00.00"}, -1},
      {"add 4:0", {"000:00.00", "002:30.05", "004:00.00"}, -1},  // same offset
      {"add 1:60", {"000:00.00", "002:30.05", "004:00.00"}, -1},
      {"add 90", {"000:00.00", "002:30.05", "004:00.00"}, -1},
      {"add 1000:00", {"000:00.00", "002:30.05", "004:00.00"}, -1},
      {"add  1: 59.99", {"000:00.00", "001:59.99", "002:30.05", "004:00.00"}, -1},
      {"add 999:59.99xyz", {"000:00.00", "001:59.99", "002:30.05", "004:00.00", "999:59.99"}, -1},
      {"remove 0", {"000:00.00", "001:59.99", "002:30.05", "004:00.00", "999:59.99"}, 0},
      {"remove 2", {"000:00.00", "001:59.99", "004:00.00", "999:59.99"}, 2},
      {"remove 3", {"000:00.00", "001:59.99", "004:00.00"}, -1},
      {"clear", {}, -1},
      {"add 0:00", {"000:00.00"}, -1},
      {"remove 0", {}, -1},
      {"add 0:10", {"000:00.00", "000:10.00"}, -1},
  };
  for (const Step& step : steps) {
    std::string action = step.action;
    if (action.rfind("add ", 0) == 0) {
      AddTime(action.substr(4));
    } else if (action.rfind("remove ", 0) == 0) {
      Select(std::stoi(action.substr(7)));
      Click(split_, IDC_REMOVE);
    } else {
      Click(split_, IDC_CLEAR);
    }
    EXPECT_EQ(ListItems(split_), step.list) << action;
    if (action.rfind("remove", 0) == 0) {
      EXPECT_EQ(Selection(split_), step.selection) << action;
    }
    ExpectListMirrorsModel();
  }
  // An accepted time empties the time box; a refused one stays for the user to mend.
  AddTime("5:00");
  EXPECT_EQ(Text(split_, IDC_TIME), "");
  AddTime("5:00");
  EXPECT_EQ(Text(split_, IDC_TIME), "5:00");
  // The time box is read to 9 characters: the tenth is cut before parsing.
  AddTime("  7:00.123");
  EXPECT_EQ(ListItems(split_).back(), "007:00.12");
}

TEST_F(SplitPage, TheCheckBoxLeavesTheListAlone) {
  AddTime("1:00");
  Click(split_, IDC_EQUAL_SEGMENTS);
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "001:00.00"}));
  EXPECT_EQ(IsDlgButtonChecked(split_, IDC_EQUAL_SEGMENTS), BST_CHECKED);
}

TEST_F(SplitPage, ChoosingASourceProbesItAndEmptiesTheList) {
  std::string folder = MakeTempFolder("choose-source");
  std::string good = folder + "\\good.mp3";
  WriteBytes(good, MakeMp3(50, true, 300));
  Bytes vbr = MakeMp3(50, false);
  std::memcpy(vbr.data() + 36, "Xing", 4);
  WriteBytes(folder + "\\vbr.mp3", vbr);
  Bytes layer2 = MakeMp3(50, false);
  for (size_t i = 0; i + 3 < layer2.size(); ++i) {
    if (layer2[i] == 0xFF && layer2[i + 1] == 0xFB) layer2[i + 1] = 0xFD;
  }
  WriteBytes(folder + "\\layer2.mp3", layer2);
  WriteBytes(folder + "\\noise.mp3", MakeNoise(5000, 3));

  AddTime("1:00");
  EXPECT_EQ(ChooseSplitSource(split_, good), good);
  EXPECT_EQ(Text(split_, IDC_BIT_RATE), "Bit Rate: 128 kbps");
  EXPECT_EQ(FindIntegerProperty(list_.get(), kBitRateKey), 128);
  EXPECT_EQ(FindIntegerProperty(list_.get(), kFirstFrameKey), 300);
  EXPECT_TRUE(ListItems(split_).empty());

  // A refused source leaves the previous one in place; with "Exact cuts" checked a VBR
  // source is taken too.
  const struct {
    bool exact;
    const char* name;
    const char* bitRate;  // null: refused with the probe's message
    ProbeOutcome outcome;
  } choices[] = {
      {false, "vbr.mp3", nullptr, ProbeOutcome::kVariableBitRate},
      {false, "layer2.mp3", nullptr, ProbeOutcome::kNotLayer3},
      {false, "noise.mp3", nullptr, ProbeOutcome::kInvalid},
      {true, "layer2.mp3", nullptr, ProbeOutcome::kNotLayer3},
      {true, "noise.mp3", nullptr, ProbeOutcome::kInvalid},
      {true, "good.mp3", "Bit Rate: 128 kbps", ProbeOutcome::kAccepted},
      {true, "vbr.mp3", "Bit Rate: VBR", ProbeOutcome::kVariableBitRate},
  };
  std::string shown = good;
  std::string shownBitRate = "Bit Rate: 128 kbps";
  for (const auto& choice : choices) {
    SCOPED_TRACE(std::string(choice.name) + (choice.exact ? ", exact cuts" : ""));
    CheckDlgButton(split_, IDC_EXACT_CUTS, choice.exact ? BST_CHECKED : BST_UNCHECKED);
    AddTime("2:00");
    std::string path = folder + "\\" + choice.name;
    std::string message;
    if (choice.bitRate) {
      shown = path;
      shownBitRate = choice.bitRate;
      EXPECT_EQ(ChooseSplitSource(split_, path), shown);
    } else {
      EXPECT_EQ(ChooseSplitSource(split_, path, &message), shown);
      EXPECT_EQ(message, ProbeRefusalText(choice.outcome));
    }
    EXPECT_EQ(Text(split_, IDC_BIT_RATE), shownBitRate);
    EXPECT_TRUE(ListItems(split_).empty());
  }

  // The VBR source taken for exact cuts is refused at "Create Tracks" once the box is
  // unchecked, with the message "Browse..." gives, and nothing is written.
  CheckDlgButton(split_, IDC_EXACT_CUTS, BST_UNCHECKED);
  AddTime("0:01");
  EXPECT_EQ(RunJob(split_), ProbeRefusalText(ProbeOutcome::kVariableBitRate));
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  EXPECT_EQ(FilesIn(folder).size(), 4u);

  // A cancelled dialog changes nothing, the list included.
  AddTime("3:00");
  ClickAndCancel(split_, IDC_BROWSE, "Select An MP3 Source File");
  EXPECT_EQ(ListItems(split_).size(), 3u);
}

TEST_F(SplitPage, FolderChooserAddsExactlyOneBackslash) {
  std::string folder = MakeTempFolder("choose-folder");
  const struct { std::string chosen, shown; } cases[] = {{folder, folder + "\\"}, {"C:\\", "C:\\"}};
  for (const auto& c : cases) {
    wt::DialogAnswerer answer("Browse for Folder", [&](HWND browser) {
      // (The wide form: Wine's narrow one does not find the folder under a UTF-8 code page.)
      // The browser fills its tree after it shows up: select until the selection holds
      // (the browser's hidden name field then leaves the start folder, the desktop).
      std::wstring wide(c.chosen.begin(), c.chosen.end());
      ULONGLONG end = GetTickCount64() + 5000;
      do {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
        Sleep(50);
      } while (wt::ItemText(browser, 0x3745) == "Desktop" && GetTickCount64() < end);
      wt::PressButton(browser, IDOK);
    });
    Click(split_, IDC_CHOOSE_FOLDER);
    EXPECT_TRUE(answer.Wait());
    EXPECT_EQ(Text(split_, IDC_FOLDER), c.shown);
  }
  ClickAndCancel(split_, IDC_CHOOSE_FOLDER, "Browse for Folder");
  EXPECT_EQ(Text(split_, IDC_FOLDER), "C:\\");
}

TEST_F(SplitPage, FieldInfoExplainsTheFields) {
  std::string text = AnswerMessageBox([&] { Click(split_, IDC_FIELD_INFO); });
  EXPECT_EQ(text,
            "Possible fields that will be parsed are:\n\n%file%\t  Source file that is being "
            "split\n%track%\t  Current track number\n%artist%\t  Artist name\n%title%\t  Title "
            "of song\n\nThe '%artist%' and '%title%' fields are set when importing a .CUE file, "
            "or can be set manually by double clicking a track or selecting 'Track Naming'");
}

TEST_F(SplitPage, TrackInfoDialogStoresArtistAndTitleOfTheSelectedTime) {
  AddTime("1:00");
  AddTime("2:00");
  TrackTimeList& times = PageTrackTimes(split_);

  // Without a selection neither the button nor a double click opens the dialog.
  Click(split_, IDC_TRACK_NAMING);
  SendMessageA(split_, WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_DBLCLK),
               reinterpret_cast<LPARAM>(GetDlgItem(split_, IDC_LIST)));
  EXPECT_EQ(wt::FindOwnDialog(""), nullptr);

  std::string longText(120, 'x');
  const struct {
    int item;
    bool doubleClick;
    int button;
    std::string artist, title;
    std::string wantArtist, wantTitle;
  } cases[] = {
      {1, false, IDOK, "Some Artist", "First Song", "Some Artist", "First Song"},
      {1, true, IDCANCEL, "Changed", "Changed", "Some Artist", "First Song"},
      {2, true, IDOK, longText, "Bad:Name?", std::string(100, 'x'), "Bad:Name?"},
      {1, false, IDOK, "", "", "", ""},
  };
  for (const auto& c : cases) {
    Select(c.item);
    std::string shownBefore = times[static_cast<size_t>(c.item)].artist;
    std::string shownArtist;
    LRESULT limit = 0;
    wt::DialogAnswerer answer("", [&](HWND dialog) {
      shownArtist = wt::ItemText(dialog, IDC_ARTIST);
      SendDlgItemMessageA(dialog, IDC_ARTIST, WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(c.artist.c_str()));
      limit = SendDlgItemMessageA(dialog, IDC_TITLE, EM_GETLIMITTEXT, 0, 0);
      SendDlgItemMessageA(dialog, IDC_TITLE, WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>(c.title.c_str()));
      wt::PressButton(dialog, c.button);
    });
    if (c.doubleClick) {
      SendMessageA(split_, WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(GetDlgItem(split_, IDC_LIST)));
    } else {
      Click(split_, IDC_TRACK_NAMING);
    }
    ASSERT_TRUE(answer.Wait());
    EXPECT_EQ(limit, 100);
    EXPECT_EQ(shownArtist, shownBefore);
    EXPECT_EQ(times[static_cast<size_t>(c.item)].artist, c.wantArtist);
    EXPECT_EQ(times[static_cast<size_t>(c.item)].title, c.wantTitle);
  }
  EXPECT_STREQ(times[0].artist, "");
}

// A stand-in for the player: a hidden window of its class on a thread of its own, which
// answers the position query with `position`, or not at all while `hung` is set.
class PlayerStandIn {
 public:
  explicit PlayerStandIn(int32_t position) {
    position_ = position;
    thread_ = std::thread([this] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = Proc;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = "Winamp v1.x";
      RegisterClassA(&windowClass);
      window_ = CreateWindowA("Winamp v1.x", "Winamp", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
      ready_ = true;
      MSG message;
      while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
      DestroyWindow(window_);
      UnregisterClassA("Winamp v1.x", GetModuleHandleA(nullptr));
    });
    while (!ready_) Sleep(5);
  }
  ~PlayerStandIn() {
    hung_ = false;
    PostMessageA(window_, WM_QUIT, 0, 0);
    thread_.join();
  }
  static void SetPosition(int32_t position) { position_ = position; }
  static void SetHung(bool hung) { hung_ = hung; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER && lParam == 105) {
      while (hung_) Sleep(10);
      return position_;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  static inline std::atomic<int32_t> position_{0};
  static inline std::atomic<bool> hung_{false};
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
  std::thread thread_;
};

TEST_F(SplitPage, GrabAddsThePlayersPositionOrWarnsWhenNoPlayerAnswers) {
  const char* warning = "Winamp is not currently running or could not be found.";
  EXPECT_EQ(AnswerMessageBox([&] { Click(split_, IDC_GRAB_POSITION); }), warning);
  EXPECT_TRUE(ListItems(split_).empty());
  {
    PlayerStandIn player(61230);
    Click(split_, IDC_GRAB_POSITION);
    EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "001:01.22"}));
    Click(split_, IDC_GRAB_POSITION);  // the same paused position: added once
    PlayerStandIn::SetPosition(1040);
    Click(split_, IDC_GRAB_POSITION);
    PlayerStandIn::SetPosition(0);
    Click(split_, IDC_GRAB_POSITION);  // equals the first entry
    PlayerStandIn::SetPosition(60000000);
    Click(split_, IDC_GRAB_POSITION);  // four-digit minutes: refused
    EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:01.03", "001:01.22"}));

    // A player that does not answer is given about two seconds.
    PlayerStandIn::SetHung(true);
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(AnswerMessageBox([&] { Click(split_, IDC_GRAB_POSITION); }), warning);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    PlayerStandIn::SetHung(false);
  }
}

}  // namespace
}  // namespace partwell::test
