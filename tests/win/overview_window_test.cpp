// The Overview window on a generated album (make_overview_album.sh): it opens and draws the
// levels and the pauses, marks are added at the cursor, dragged and deleted under the list's
// rules, the selection is shared with the page's list, files dropped on the pages become
// the source or join the list, and the parts removed in it are left out of the file it saves
// and of the exact tracks, as the command-line program leaves them out.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <shlobj.h>

#include <cstring>
#include <optional>

#include "window/cut_out_win.h"
#include "window/overview_win.h"
#include "split/track_time.h"
#include "window/split_page_win.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

std::string gAlbumFolder;
std::string gCli;  // mp3partwell.exe

// What the Overview draws, as its pixels show it.
const COLORREF kLevelColour = RGB(52, 101, 164);
const COLORREF kPauseColour = RGB(226, 226, 236);
const COLORREF kMarkColour = RGB(196, 40, 40);
const COLORREF kSelectedColour = RGB(236, 128, 0);
const COLORREF kRemovedColour = RGB(150, 40, 40);
// Its layout at 96 dpi: the strip from y 6 to 62, the zoomed view 6 pixels in from the sides
// and from y 88 down.
constexpr int kSide = 6;
constexpr int kStripMiddle = 34;
constexpr int kZoomedTop = 88;
constexpr double kAlbumSeconds = 86.0;

HGLOBAL MakeDrop(const std::vector<std::string>& paths) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& path : paths) size += path.size() + 1;
  HGLOBAL drop = GlobalAlloc(GHND, size);
  auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
  files->pFiles = sizeof(DROPFILES);
  char* names = reinterpret_cast<char*>(files + 1);
  for (const std::string& path : paths) {
    std::memcpy(names, path.c_str(), path.size() + 1);
    names += path.size() + 1;
  }
  GlobalUnlock(drop);
  return drop;
}

class OverviewWindow : public ProgramWindows {
 protected:
  void SetUp() override {
    ProgramWindows::SetUp();
    album_ = WinePath(gAlbumFolder + "/album.mp3");
    LoadSourceFile(split_, album_);
  }
  void TearDown() override {
    CloseOverview();
    ProgramWindows::TearDown();
  }

  HWND Open() {
    Click(split_, IDC_OVERVIEW);
    HWND window = FindWindowA(kOverviewClass, nullptr);
    if (window) UpdateWindow(window);
    return window;
  }
  static void Key(HWND window, WPARAM key, BYTE modifier = 0) { PressKey(window, key, modifier); }
  static COLORREF Pixel(HWND window, int x, int y) {
    UpdateWindow(window);
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
  }
  static int ZoomedWidth(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return client.right - 2 * kSide;
  }
  // The client column of a time in the zoomed view showing the whole album.
  static int ColumnOf(HWND window, double seconds) {
    return kSide +
           static_cast<int>(static_cast<int64_t>(seconds * 44100) * ZoomedWidth(window) / 3792600);
  }
  // The first column of the zoomed view, from `from` on, drawn in `colour` at row `y`.
  static int FindColumn(HWND window, COLORREF colour, int from, int y = kZoomedTop + 30) {
    UpdateWindow(window);
    HDC dc = GetDC(window);
    int found = -1;
    for (int x = from; x < kSide + ZoomedWidth(window) && found < 0; ++x) {
      if (GetPixel(dc, x, y) == colour) found = x;
    }
    ReleaseDC(window, dc);
    return found;
  }
  // Pumps until the decoded levels are drawn: the quick levels come first, and only the
  // decoded ones bring the pauses, such as the one between the first two songs.
  static bool LevelsDrawn(HWND window) {
    return wt::PumpUntil(
        [&] {
          return Pixel(window, 100, kStripMiddle) == kLevelColour &&
                 Pixel(window, ColumnOf(window, 21), kStripMiddle - 20) == kPauseColour;
        },
        20000);
  }
  static void Drag(HWND window, int fromX, int toX) {
    LPARAM from = MAKELPARAM(fromX, kZoomedTop + 30), to = MAKELPARAM(toX, kZoomedTop + 30);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, from);
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, to);
    SendMessageA(window, WM_LBUTTONUP, 0, to);
  }

  // Shift and the left button at column x of the zoomed view, released at column `to`.
  static void ShiftDrag(HWND window, int x, int to) {
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(x, kZoomedTop + 30));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(to, kZoomedTop + 30));
    SendMessageA(window, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(to, kZoomedTop + 30));
  }
  // The page's removed ranges as `cut --remove` takes them.
  std::string RemovedText() const {
    std::string text;
    for (const TimeRange& r : PageRemovedRanges(split_).ranges()) {
      text += (text.empty() ? "" : ",") + FormatTimeText(TimePartsOfOffset(r.start)) + "-" +
              (r.end ? FormatTimeText(TimePartsOfOffset(*r.end)) : "end");
    }
    return text;
  }
  static int RunCli(const std::string& arguments) { return RunProgram(gCli, arguments); }

  std::string album_;
};

TEST_F(OverviewWindow, OpensOnceAndDrawsTheLevelsAndThePauses) {
  ASSERT_EQ(Text(split_, IDC_SOURCE), album_);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(split_, IDC_OVERVIEW)));
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(wt::CaptionOf(window), "Overview - album.mp3");
  EXPECT_EQ(GetParent(window), nullptr);  // top-level, owned by the main window
  EXPECT_EQ(GetWindow(window, GW_OWNER), main_);
  EXPECT_EQ(Open(), window);
  EXPECT_EQ(FindWindowExA(nullptr, window, kOverviewClass, nullptr), nullptr);
  // The decoded levels come in the background: music in the strip and the zoomed view,
  // the pause between the first two songs shaded.
  EXPECT_TRUE(LevelsDrawn(window));
  EXPECT_EQ(Pixel(window, ColumnOf(window, 10), kZoomedTop + 60), kLevelColour);
  EXPECT_EQ(Pixel(window, ColumnOf(window, 21), kZoomedTop + 30), kPauseColour);
  EXPECT_EQ(wt::ItemText(window, IDC_OVERVIEW_POSITION), "000:00.00");
  // A new source closes it.
  LoadSourceFile(split_, album_);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(OverviewWindow, MarksAreAddedDraggedAndDeletedUnderTheListsRules) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  struct Step {
    WPARAM key;
    BYTE modifier;
    const char* position;
  };
  const Step cursorSteps[] = {
      {VK_END, 0, "001:26.00"},
      {VK_HOME, 0, "000:00.00"},
      {VK_RIGHT, VK_SHIFT, "000:10.00"},
      {VK_RIGHT, VK_SHIFT, "000:20.00"},
      {VK_RIGHT, 0, "000:20.02"},
      {VK_LEFT, 0, "000:20.00"},
      {VK_RIGHT, VK_CONTROL, "000:21.00"},
      {VK_LEFT, VK_SHIFT, "000:11.00"},
      {VK_RIGHT, VK_SHIFT, "000:21.00"},
  };
  for (const Step& step : cursorSteps) {
    Key(window, step.key, step.modifier);
    EXPECT_EQ(wt::ItemText(window, IDC_OVERVIEW_POSITION), step.position);
  }
  Key(window, VK_INSERT);
  Key(window, VK_RIGHT, VK_SHIFT);
  Key(window, VK_RIGHT, VK_SHIFT);
  Click(window, IDC_OVERVIEW_ADD_TIME);
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:21.00", "000:41.00"}));
  EXPECT_EQ(Selection(split_), 2);
  EXPECT_EQ(GetFocus(), window);  // the keys stay the Overview's after a button

  // A row selected in the list is the Overview's selected mark.
  Key(window, VK_HOME);
  int at21 = ColumnOf(window, 21);
  SendDlgItemMessageA(split_, IDC_LIST, LB_SETCURSEL, 1, 0);
  EXPECT_TRUE(wt::PumpUntil([&] { return FindColumn(window, kSelectedColour, at21 - 2) == at21; }));
  EXPECT_EQ(FindColumn(window, kMarkColour, at21), ColumnOf(window, 41));

  // Dragged by 40 pixels, mark 2 keeps its row and gets the time of its new column.
  Drag(window, at21, at21 + 40);
  double pixel = kAlbumSeconds / ZoomedWidth(window);
  std::vector<std::string> items = ListItems(split_);
  ASSERT_EQ(items.size(), 3u);
  std::optional<TimeParts> moved = ParseTimeText(items[1].c_str());
  ASSERT_TRUE(moved);
  EXPECT_NEAR(TimeOffset(*moved) / 100.0, 21 + 40 * pixel, pixel + 0.01);
  EXPECT_EQ(Selection(split_), 1);
  // It stops before the next mark; the zero marker stays where it is.
  Drag(window, ColumnOf(window, TimeOffset(*moved) / 100.0), 5000);
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:40.99", "000:41.00"}));
  Drag(window, kSide, kSide + 100);
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:40.99", "000:41.00"}));
  EXPECT_EQ(Selection(split_), 0);
  // Delete removes the selected mark, but not the zero marker while others are there.
  Key(window, VK_DELETE);
  EXPECT_EQ(ListItems(split_).size(), 3u);
  SendDlgItemMessageA(split_, IDC_LIST, LB_SETCURSEL, 1, 0);
  Key(window, VK_DELETE);
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:41.00"}));
}

TEST_F(OverviewWindow, ZoomGoesDownToFramesAndBack) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(LevelsDrawn(window));
  Key(window, VK_RIGHT, VK_SHIFT);  // 10 s
  for (int i = 0; i < 40; ++i) SendMessageA(window, WM_CHAR, '+', 0);
  // One frame fills the view: the next frame's cursor step leaves the view and scrolls it.
  int at = FindColumn(window, RGB(0, 146, 70), kSide);
  EXPECT_GE(at, kSide);
  Key(window, VK_RIGHT);
  EXPECT_EQ(wt::ItemText(window, IDC_OVERVIEW_POSITION), "000:10.02");
  for (int i = 0; i < 40; ++i) SendMessageA(window, WM_CHAR, '-', 0);
  EXPECT_EQ(Pixel(window, ColumnOf(window, 21), kZoomedTop + 30), kPauseColour);
}

TEST_F(OverviewWindow, DroppedFilesBecomeTheSourceOrJoinTheList) {
  std::string folder = MakeTempFolder("overview-drops");
  std::vector<std::string> joined = {folder + "\\c.mp3", folder + "\\a.mp3", folder + "\\b.mp3"};
  for (const std::string& path : joined) WriteBytes(path, MakeMp3(40, false));
  LoadSourceFile(split_, joined[0]);
  ASSERT_EQ(Text(split_, IDC_SOURCE), joined[0]);
  SendMessageA(split_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({album_})), 0);
  EXPECT_EQ(Text(split_, IDC_SOURCE), album_);
  // A file "Browse..." refuses is refused with the same words.
  WriteBytes(folder + "\\noise.mp3", MakeNoise(5000, 7));
  std::string refusal = AnswerMessageBox([&] {
    SendMessageA(split_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({folder + "\\noise.mp3"})),
                 0);
  });
  EXPECT_FALSE(refusal.empty());
  EXPECT_EQ(Text(split_, IDC_SOURCE), album_);

  SendMessageA(join_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(joined)), 0);
  SendMessageA(join_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({album_})), 0);
  EXPECT_EQ(ListItems(join_), (std::vector<std::string>{joined[0], joined[1], joined[2], album_}));
}

TEST_F(OverviewWindow, RemovedPartsAreSavedAsTheCommandLineCutsThem) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_OVERVIEW_SMOOTH)));
  double pixel = kAlbumSeconds / ZoomedWidth(window);
  // Shift+click from the cursor at 0:30: from there to the click, hatched once removed.
  for (int i = 0; i < 3; ++i) Key(window, VK_RIGHT, VK_SHIFT);
  ShiftDrag(window, ColumnOf(window, 35), ColumnOf(window, 35));
  Key(window, 'X');
  const std::vector<TimeRange>& removed = PageRemovedRanges(split_).ranges();
  ASSERT_EQ(removed.size(), 1u);
  EXPECT_EQ(removed[0].start, 3000);
  ASSERT_TRUE(removed[0].end);
  EXPECT_NEAR(*removed[0].end / 100.0, 35, pixel + 0.01);
  int hatched = FindColumn(window, kRemovedColour, ColumnOf(window, 29));
  EXPECT_GE(hatched, ColumnOf(window, 30) - 1);
  EXPECT_LT(hatched, ColumnOf(window, 30) + 8);
  // Shift+drag, either way round; from the end to a click before it, a trim to the end.
  ShiftDrag(window, ColumnOf(window, 55), ColumnOf(window, 50));
  Key(window, 'X');
  Key(window, VK_END);
  ShiftDrag(window, ColumnOf(window, 80), ColumnOf(window, 80));
  Key(window, 'X');
  // A part removed and kept again, by X on a selection of it and by X in it.
  ShiftDrag(window, ColumnOf(window, 60), ColumnOf(window, 62));
  Key(window, 'X');
  ASSERT_EQ(removed.size(), 4u) << RemovedText();
  ShiftDrag(window, ColumnOf(window, 60), ColumnOf(window, 62));
  Key(window, 'X');
  ShiftDrag(window, ColumnOf(window, 10), ColumnOf(window, 12));
  Key(window, 'X');
  Drag(window, ColumnOf(window, 11), ColumnOf(window, 11));  // a click: the cursor in it
  Key(window, 'X');
  ASSERT_EQ(removed.size(), 3u);
  EXPECT_FALSE(removed[2].end);

  // Frame seams, then smooth ones: the bytes of the command line's cut, with --smooth.
  std::string folder = MakeTempFolder("overview-save");
  for (const char* smooth : {"", " --smooth"}) {
    SCOPED_TRACE(smooth);
    if (*smooth) Click(window, IDC_OVERVIEW_SMOOTH);
    std::string ours = folder + "\\ours" + smooth + ".mp3";
    std::string theirs = folder + "\\theirs" + smooth + ".mp3";
    MessageBoxAnswerer boxes;
    wt::DialogAnswerer answer(kSaveCutTitle, [&](HWND dialog) { TypeFileName(dialog, ours); });
    Click(window, IDC_OVERVIEW_SAVE);
    EXPECT_TRUE(answer.Wait());
    ASSERT_TRUE(boxes.WaitFor(1, 30000));
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Track creation completed successfully."}));
    EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
    ASSERT_EQ(RunCli("cut \"" + album_ + "\" --remove " + RemovedText() + smooth + " --output \"" +
                     theirs + "\""),
              0)
        << RemovedText();
    EXPECT_TRUE(ReadBytes(ours) == ReadBytes(theirs)) << RemovedText();
    // 16 s removed: more than 15 s at 128 kbps less.
    EXPECT_LT(ReadBytes(ours).size() + 15 * 16000, ReadBytes(album_).size());
  }
  EXPECT_NE(ReadBytes(folder + "\\ours.mp3"), ReadBytes(folder + "\\ours --smooth.mp3"));
}

TEST_F(OverviewWindow, CreateTracksLeavesTheRemovedPartsOutOfExactTracksAlone) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  for (const char* time : {"0:00", "0:41"}) {
    SetText(split_, IDC_TIME, time);
    Click(split_, IDC_ADD);
  }
  for (int i = 0; i < 3; ++i) Key(window, VK_RIGHT, VK_SHIFT);
  ShiftDrag(window, ColumnOf(window, 35), ColumnOf(window, 35));
  Key(window, 'X');
  ShiftDrag(window, ColumnOf(window, 60), ColumnOf(window, 84));
  Key(window, 'X');
  SetText(split_, IDC_DESTINATION_NAME, "%track%");
  struct Case {
    bool exact;
    const char* options;  // of the command line's split
  };
  const Case cases[] = {{true, " --exact --remove "}, {false, ""}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    std::string ours = MakeTempFolder("overview-tracks-ours" + std::to_string(n));
    std::string theirs = MakeTempFolder("overview-tracks-cli" + std::to_string(n++));
    CheckDlgButton(split_, IDC_EXACT_CUTS, c.exact ? BST_CHECKED : BST_UNCHECKED);
    SetText(split_, IDC_FOLDER, ours + "\\");
    EXPECT_EQ(RunJob(split_), "Track creation completed successfully.");
    std::string options = c.exact ? c.options + RemovedText() : "";
    ASSERT_EQ(RunCli("split \"" + album_ + "\" --times 0:00,0:41 --name %track% --folder \"" +
                     theirs + "\"" + options),
              0);
    std::vector<std::string> names = FilesIn(ours);
    EXPECT_EQ(names, (std::vector<std::string>{"01.mp3", "02.mp3"})) << RemovedText();
    EXPECT_EQ(names, FilesIn(theirs));
    for (const std::string& name : names) {
      EXPECT_TRUE(ReadBytes(ours + "\\" + name) == ReadBytes(theirs + "\\" + name)) << name;
    }
  }
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(
      argc, argv, {{"--album=", "FOLDER", &gAlbumFolder}, {"--cli=", "mp3partwell.exe", &gCli}});
}
