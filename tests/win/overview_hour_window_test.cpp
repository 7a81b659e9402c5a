// The Overview of an hour (make_overview_hour.sh): the strip is drawn from the quick levels
// at once, before the decoded levels (which bring the pauses) are in. The time of the first
// paint is printed and recorded, not judged: it is a figure for the README.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <cstdio>

#include "window/overview_win.h"
#include "window/split_page_win.h"

namespace partwell::test {
namespace {

std::string gHourFolder;

const COLORREF kLevelColour = RGB(52, 101, 164);
const COLORREF kPauseColour = RGB(226, 226, 236);
// The strip at 96 dpi: from y 6 to 62, 6 pixels in from the sides.
constexpr int kStripMiddle = 34;
constexpr int kStripTop = 8;

class OverviewOfAnHour : public ProgramWindows {};

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
}

// True when row `y` of the window's strip has a pixel of `colour`.
bool StripShows(HWND window, int y, COLORREF colour) {
  UpdateWindow(window);
  RECT client;
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  bool found = false;
  for (int x = 6; x < client.right - 6 && !found; ++x) found = GetPixel(dc, x, y) == colour;
  ReleaseDC(window, dc);
  return found;
}

TEST_F(OverviewOfAnHour, TheStripIsDrawnFromTheQuickLevelsAtOnce) {
  LoadSourceFile(split_, WinePath(gHourFolder + "/hour.mp3"));
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  Click(split_, IDC_OVERVIEW);
  HWND window = FindWindowA(kOverviewClass, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(wt::PumpUntil([&] { return StripShows(window, kStripMiddle, kLevelColour); }, 20000));
  const double drawn = MillisecondsSince(start);
  EXPECT_FALSE(StripShows(window, kStripTop, kPauseColour)) << "drawn only from decoded levels";
  ASSERT_TRUE(wt::PumpUntil([&] { return StripShows(window, kStripTop, kPauseColour); }, 120000));
  const double decoded = MillisecondsSince(start);
  std::printf("The hour's strip: drawn %.0f ms after the click, its pauses shaded after %.0f ms\n",
              drawn, decoded);
  RecordProperty("first_paint_ms", static_cast<int>(drawn));
  RecordProperty("decoded_levels_ms", static_cast<int>(decoded));
  CloseOverview();
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(argc, argv, {{"--hour=", "FOLDER", &gHourFolder}});
}
