// The main window, the tab switch, Quit and close, and the Help and About pages.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "window/main_window_win.h"
#include "window/property_list_win.h"

namespace partwell::test {
namespace {

class ShellWindow : public ProgramWindows {
 protected:
  void SelectTab(int index) {
    HWND tabs = GetDlgItem(main_, IDC_TABS);
    SendMessageA(tabs, TCM_SETCURSEL, index, 0);
    NMHDR header = {tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(main_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
  }
  // The wParam of the WM_QUIT waiting in this thread's queue, or -1 when there is none.
  int PostedQuitCode() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      DispatchMessageA(&message);
    }
    return -1;
  }
};

TEST_F(ShellWindow, StartsOnTheSplitPageWithEveryPageInItsInitialState) {
  EXPECT_EQ(wt::CaptionOf(main_), "MP3 Partwell v1.5");
  HWND tabs = GetDlgItem(main_, IDC_TABS);
  ASSERT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
  const char* labels[] = {"Split", "Join", "Help", "About"};
  for (int i = 0; i < 4; ++i) {
    char label[32] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = label;
    item.cchTextMax = sizeof label;
    SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(label, labels[i]);
  }
  EXPECT_EQ(SendMessageA(tabs, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(CurrentPage(), split_);
  EXPECT_TRUE(IsWindowVisible(split_));
  for (HWND hidden : {join_, help_, about_}) EXPECT_FALSE(IsWindowVisible(hidden));
  for (HWND page : {split_, join_, help_, about_}) {
    EXPECT_EQ(WindowPropertyList(page), list_.get());
    EXPECT_EQ(GetParent(page), main_);
  }
  EXPECT_EQ(WindowPropertyList(main_), list_.get());

  // The Split page.
  EXPECT_EQ(Text(split_, IDC_SOURCE), "");
  EXPECT_EQ(Text(split_, IDC_DESTINATION_NAME), "%file% - %track%");
  EXPECT_EQ(Text(split_, IDC_FOLDER), "");
  EXPECT_EQ(Text(split_, IDC_TIME), "");
  EXPECT_EQ(Text(split_, IDC_BIT_RATE), "Bit Rate: No File Chosen");
  EXPECT_EQ(Text(split_, IDC_STATUS), "Status: Idle");
  EXPECT_EQ(Text(split_, IDC_ACTION), "Create Tracks");
  EXPECT_EQ(IsDlgButtonChecked(split_, IDC_EQUAL_SEGMENTS), BST_UNCHECKED);
  EXPECT_EQ(Text(split_, 1029), "Exact cuts (gapless, VBR too)");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(split_, 1029), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(IsDlgButtonChecked(split_, 1029), BST_UNCHECKED);
  EXPECT_EQ(Text(split_, 1031), "Tag tracks");
  EXPECT_EQ(GetWindowLongA(GetDlgItem(split_, 1031), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(IsDlgButtonChecked(split_, 1031), BST_UNCHECKED);
  EXPECT_TRUE(ListItems(split_).empty());
  EXPECT_TRUE(PageIsIdle(split_, "Create Tracks"));
  // The template field takes at most 256 characters.
  SetText(split_, IDC_DESTINATION_NAME, std::string(300, 'a'));
  EXPECT_EQ(SendDlgItemMessageA(split_, IDC_DESTINATION_NAME, EM_GETLIMITTEXT, 0, 0), 256);

  // The Join page.
  EXPECT_EQ(Text(join_, IDC_DESTINATION_NAME), "");
  EXPECT_EQ(Text(join_, IDC_ACTION), "Merge Tracks");
  EXPECT_EQ(Text(join_, IDC_STATUS), "Status: Idle");
  EXPECT_TRUE(ListItems(join_).empty());
  EXPECT_EQ(SendDlgItemMessageA(join_, IDC_LIST, LB_GETHORIZONTALEXTENT, 0, 0), 1000);
  EXPECT_TRUE(PageIsIdle(join_, "Merge Tracks"));

  // The About page: the link names this project's own site.
  EXPECT_EQ(Text(about_, IDC_LINK), PARTWELL_URL);
}

// A child's rectangle in its page's client coordinates, and whether it is a group box.
struct Placed {
  HWND window;
  RECT rect;
  bool group;
};

std::vector<Placed> Children(HWND page) {
  std::vector<Placed> children;
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    Placed placed = {child, {}, false};
    GetWindowRect(child, &placed.rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&placed.rect), 2);
    placed.group = wt::ClassOf(child) == "Button" &&
                   (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    children.push_back(placed);
  }
  return children;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST_F(ShellWindow, EveryPageFitsTheTabsAndKeepsItsControlsApartAndInsideTheirGroups) {
  RECT display;
  HWND tabs = GetDlgItem(main_, IDC_TABS);
  GetClientRect(tabs, &display);
  SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  MapWindowPoints(tabs, main_, reinterpret_cast<POINT*>(&display), 2);
  const char* names[] = {"Split", "Join", "Help", "About"};
  HWND pages[] = {split_, join_, help_, about_};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(names[i]);
    RECT pageRect;
    GetWindowRect(pages[i], &pageRect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&pageRect), 2);
    EXPECT_TRUE(Inside(pageRect, display));
    RECT client;
    GetClientRect(pages[i], &client);
    std::vector<Placed> children = Children(pages[i]);
    for (const Placed& a : children) {
      std::string name = wt::TextOf(a.window);
      EXPECT_TRUE(Inside(a.rect, client)) << name;
      for (const Placed& b : children) {
        RECT common;
        if (&a == &b || !IntersectRect(&common, &a.rect, &b.rect)) continue;
        // Controls never overlap; a control or group that meets a group lies inside it.
        if (a.group && b.group) {
          EXPECT_TRUE(Inside(a.rect, b.rect) || Inside(b.rect, a.rect)) << name;
        } else if (b.group) {
          EXPECT_TRUE(Inside(a.rect, b.rect)) << name << " straddles " << wt::TextOf(b.window);
        } else if (!a.group) {
          ADD_FAILURE() << name << " overlaps " << wt::TextOf(b.window);
        }
      }
    }
  }
  // The exact cuts and tag tracks boxes and "Use Chapters" are Options.
  std::vector<Placed> split = Children(split_);
  auto options = std::find_if(split.begin(), split.end(), [](const Placed& p) {
    return p.group && wt::TextOf(p.window) == "Options";
  });
  ASSERT_TRUE(options != split.end());
  for (int id : {IDC_EXACT_CUTS, IDC_TAG_TRACKS, IDC_CHAPTERS}) {
    auto box = std::find_if(split.begin(), split.end(),
                            [&](const Placed& p) { return p.window == GetDlgItem(split_, id); });
    ASSERT_TRUE(box != split.end()) << id;
    EXPECT_TRUE(Inside(box->rect, options->rect)) << id;
  }
}

TEST(Manifest, AsksForTheUtf8CodePage) {
  // File names in any script then pass through the "A" calls unharmed.
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
}

TEST_F(ShellWindow, TabsSwitchBetweenThePagesAndKeepTheirState) {
  SetText(split_, IDC_TIME, "1:23");
  const struct {
    int tab;
    HWND* page;
  } steps[] = {{1, &join_}, {2, &help_}, {3, &about_}, {3, &about_}, {0, &split_}};
  for (const auto& step : steps) {
    SelectTab(step.tab);
    EXPECT_EQ(CurrentPage(), *step.page) << "tab " << step.tab;
    for (HWND page : {split_, join_, help_, about_}) {
      EXPECT_EQ(IsWindowVisible(page) != FALSE, page == *step.page) << "tab " << step.tab;
    }
  }
  EXPECT_EQ(Text(split_, IDC_TIME), "1:23");
}

TEST_F(ShellWindow, HelpPageShowsTheWholeHelpTextUnderItsHeadings) {
  std::string text = Text(help_, IDC_HELP_TEXT);
  ASSERT_EQ(
      text.rfind("MP3 Partwell v1.5 (Build Version 1.50)\r\n" + std::string(40, '-') + "\r\n", 0),
      0u);
  const char* headings[] = {"[ SPLITTING MP3 FILES ]",
                            "--Source File--",
                            "--Destination File--",
                            "--Track Naming--",
                            "--Destination Folder--",
                            "--Track Timing List--",
                            "--Grab Winamp Position--",
                            "--Split All Into Equal Segments--",
                            "--Exact Cuts (Gapless, VBR Too)--",
                            "--Tag Tracks--",
                            "--Import Track Times From Cue File--",
                            "--Export Track Times To Cue File--",
                            "--Use Chapters--",
                            "[ MERGING MP3 FILES ]",
                            "--Destination File--",
                            "--Tracks To Join--",
                            "--Add--",
                            "--One Chapter Per File--",
                            "--Remove--"};
  size_t at = 0;
  for (const char* heading : headings) {
    // A part's heading is followed by its sections, a section's by an indented paragraph.
    std::string after = heading[0] == '[' ? "\r\n\r\n--" : "\r\n\r\n    ";
    at = text.find(std::string("\r\n") + heading + after, at);
    EXPECT_NE(at, std::string::npos) << heading << " missing or out of order";
    if (at == std::string::npos) break;
    ++at;
  }
  EXPECT_NE(GetWindowLongA(GetDlgItem(help_, IDC_HELP_TEXT), GWL_STYLE) & ES_READONLY, 0);
}

TEST_F(ShellWindow, QuitAndTheCloseBoxEndTheLoopWithCodeZeroButEscapeDoesNot) {
  SendMessageA(main_, WM_COMMAND, IDCANCEL, 0);  // the Escape key
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_EQ(PostedQuitCode(), -1);

  Click(main_, IDC_QUIT);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_FALSE(IsWindow(split_));
  EXPECT_EQ(PostedQuitCode(), 0);

  TearDown();
  SetUp();
  SendMessageA(main_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_EQ(PostedQuitCode(), 0);
}

}  // namespace
}  // namespace partwell::test
