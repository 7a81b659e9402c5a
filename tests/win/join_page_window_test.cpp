// The Join page's list and destination: adding through the real multiple-selection dialog,
// moving with the up-down control, removing, clearing, and the save dialog; "Smooth joins"
// writes what the command-line program's join --smooth writes.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <commctrl.h>

namespace partwell::test {
namespace {

std::string gCli;       // mp3partwell.exe
std::string gRealMp3s;  // the folder of lame's vbr.mp3 and cbr.mp3

class JoinPage : public ProgramWindows {
 protected:
  void SetUp() override {
    ProgramWindows::SetUp();
    folder_ = MakeTempFolder("join-page");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) WriteBytes(folder_ + "\\" + name, {1});
  }
  // Adds files through the open dialog: typing `names` in `folder`.
  void AddThroughDialog(const std::string& names) {
    wt::DialogAnswerer answer("Select MP3 Source File(s)", [&](HWND dialog) {
      if (names.find('"') != std::string::npos) {
        EXPECT_TRUE(NavigateTo(dialog, folder_));
        TypeFileName(dialog, names);
      } else {
        TypeFileName(dialog, folder_ + "\\" + names);
      }
    });
    Click(join_, IDC_ADD);
    EXPECT_TRUE(answer.Wait());
  }
  void Arrow(int delta) {
    NMUPDOWN change = {};
    change.hdr.hwndFrom = GetDlgItem(join_, IDC_MOVE);
    change.hdr.idFrom = IDC_MOVE;
    change.hdr.code = UDN_DELTAPOS;
    change.iDelta = delta;
    SendMessageA(join_, WM_NOTIFY, IDC_MOVE, reinterpret_cast<LPARAM>(&change));
  }
  void Select(int index) { SendDlgItemMessageA(join_, IDC_LIST, LB_SETCURSEL, index, 0); }
  std::string Path(const char* name) { return folder_ + "\\" + name; }

  std::string folder_;
};

TEST_F(JoinPage, AddAppendsTheChosenFilesInTheDialogsOrder) {
  AddThroughDialog("b.mp3");
  EXPECT_EQ(ListItems(join_), (std::vector<std::string>{Path("b.mp3")}));
  AddThroughDialog("\"c.mp3\" \"a.mp3\"");
  AddThroughDialog("b.mp3");
  EXPECT_EQ(ListItems(join_),
            (std::vector<std::string>{Path("b.mp3"), Path("c.mp3"), Path("a.mp3"), Path("b.mp3")}));
  // Cancelling adds nothing.
  ClickAndCancel(join_, IDC_ADD, "Select MP3 Source File(s)");
  EXPECT_EQ(ListItems(join_).size(), 4u);
}

TEST_F(JoinPage, ArrowsMoveTheSelectionRemoveAndClearFollowIt) {
  for (const char* name : {"a", "b", "c", "d"}) {
    SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  }
  using List = std::vector<std::string>;
  const struct {
    const char* step;  // "select N", "arrow D", "remove"
    List list;
    int selection;
  } steps[] = {
      {"arrow -1", {"a", "b", "c", "d"}, -1},  // nothing selected
      {"select 0", {"a", "b", "c", "d"}, 0},
      {"arrow -1", {"a", "b", "c", "d"}, 0},  // the top item cannot go up
      {"arrow 1", {"b", "a", "c", "d"}, 1},
      {"arrow 5", {"b", "c", "a", "d"}, 2},  // one place whatever the size of the delta
      {"arrow 0", {"b", "c", "a", "d"}, 2},
      {"arrow 1", {"b", "c", "d", "a"}, 3},
      {"arrow 1", {"b", "c", "d", "a"}, 3},  // the last item cannot go down
      {"arrow -3", {"b", "c", "a", "d"}, 2},
      {"select 1", {"b", "c", "a", "d"}, 1},
      {"remove", {"b", "a", "d"}, 1},  // the next item moves up and is selected
      {"select 2", {"b", "a", "d"}, 2},
      {"remove", {"b", "a"}, -1},  // removing the last leaves no selection
      {"remove", {"b", "a"}, -1},
  };
  for (const auto& s : steps) {
    std::string step = s.step;
    if (step.rfind("select ", 0) == 0) {
      Select(std::stoi(step.substr(7)));
    } else if (step.rfind("arrow ", 0) == 0) {
      Arrow(std::stoi(step.substr(6)));
    } else {
      Click(join_, IDC_REMOVE);
    }
    EXPECT_EQ(ListItems(join_), s.list) << step;
    EXPECT_EQ(Selection(join_), s.selection) << step;
  }
  SetText(join_, IDC_DESTINATION_NAME, "C:\\kept.mp3");
  Click(join_, IDC_CLEAR);
  EXPECT_TRUE(ListItems(join_).empty());
  EXPECT_EQ(Text(join_, IDC_DESTINATION_NAME), "C:\\kept.mp3");
}

TEST_F(JoinPage, SaveDialogSetsTheDestinationWithoutAsking) {
  const struct {
    const char* typed;
    std::string want;
  } cases[] = {
      {"joined", Path("joined.mp3")},  // the extension is added
      {"a.mp3", Path("a.mp3")},        // an existing file is taken without a question
  };
  for (const auto& c : cases) {
    wt::DialogAnswerer answer("Select MP3 Destination File",
                              [&](HWND dialog) { TypeFileName(dialog, Path(c.typed)); });
    Click(join_, IDC_CHOOSE_DESTINATION);
    EXPECT_TRUE(answer.Wait());
    EXPECT_EQ(Text(join_, IDC_DESTINATION_NAME), c.want);
  }
  ClickAndCancel(join_, IDC_CHOOSE_DESTINATION, "Select MP3 Destination File");
  EXPECT_EQ(Text(join_, IDC_DESTINATION_NAME), Path("a.mp3"));
}

TEST_F(JoinPage, SmoothJoinsWritesTheCommandLinesSmoothJoin) {
  const std::string folder = WinePath(gRealMp3s);
  const std::vector<std::string> sources = {folder + "\\vbr.mp3", folder + "\\cbr.mp3"};
  std::string listed;
  for (const std::string& source : sources) {
    SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(source.c_str()));
    listed += " \"" + source + "\"";
  }
  for (bool smooth : {false, true}) {
    SCOPED_TRACE(smooth ? "ticked" : "not ticked");
    CheckDlgButton(join_, IDC_SMOOTH_JOINS, smooth ? BST_CHECKED : BST_UNCHECKED);
    const std::string ours = Path(smooth ? "ours smooth.mp3" : "ours.mp3");
    const std::string theirs = Path(smooth ? "theirs smooth.mp3" : "theirs.mp3");
    SetText(join_, IDC_DESTINATION_NAME, ours);
    EXPECT_EQ(RunJob(join_), "Track joining completed successfully.");
    ASSERT_EQ(RunProgram(gCli, "join \"" + theirs + "\"" + listed + (smooth ? " --smooth" : "")),
              0);
    EXPECT_TRUE(ReadBytes(ours) == ReadBytes(theirs));
  }
  EXPECT_NE(ReadBytes(Path("ours.mp3")), ReadBytes(Path("ours smooth.mp3")));
  EXPECT_EQ(FilesIn(folder_).size(), 7u) << "the smooth join's own file is gone";
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(
      argc, argv, {{"--cli=", "mp3partwell.exe", &gCli}, {"--real-mp3s=", "FOLDER", &gRealMp3s}});
}
