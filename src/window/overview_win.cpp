#include "window/overview_win.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/decoded_levels.h"
#include "analysis/quick_levels.h"
#include "analysis/silence_finder.h"
#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"
#include "resource_ids.h"
#include "split/track_time.h"
#include "view/overview_view.h"
#include "view/removed_ranges.h"
#include "window/cut_out_win.h"
#include "window/cut_preview_win.h"
#include "window/job_control_win.h"
#include "window/message_box_win.h"
#include "window/playback_win.h"
#include "window/split_page_win.h"
#include "window/track_list_box_win.h"

namespace partwell {

const char kOverviewClass[] = "PartwellOverview";

namespace {

constexpr UINT kLevelsReadyMessage = WM_APP + 10;
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 40;

HWND gOverview = nullptr;

// Sizes at 96 dpi, scaled to the window's.
constexpr int kMargin = 6;
constexpr int kStripHeight = 56;
constexpr int kRulerHeight = 20;
constexpr int kScrollHeight = 16;
constexpr int kRowHeight = 24;
constexpr int kMarkReach = 4;
constexpr int kTickSpacing = 80;
constexpr int kHatchSpacing = 6;
constexpr int kDragReach = 3;  // a Shift+press that moves no further is a click

const COLORREF kBackground = RGB(252, 252, 252);
const COLORREF kLevelColour = RGB(52, 101, 164);
const COLORREF kPauseColour = RGB(226, 226, 236);
const COLORREF kShownColour = RGB(214, 228, 247);
const COLORREF kMarkColour = RGB(196, 40, 40);
const COLORREF kSelectedColour = RGB(236, 128, 0);
const COLORREF kCursorColour = RGB(0, 146, 70);
const COLORREF kRulerColour = RGB(90, 90, 90);
const COLORREF kSelectionColour = RGB(255, 236, 170);
const COLORREF kRemovedShade = RGB(242, 222, 222);
const COLORREF kRemovedColour = RGB(150, 40, 40);

// The decoded levels, measured on a thread of their own while the window is open.
class LevelsHost : public JobHost {
 public:
  explicit LevelsHost(const std::atomic<bool>& halt) : halt_(halt) {}
  void JobStarted() override {}
  bool HaltRequested() override { return halt_; }
  void UnitStarted(int) override {}

 private:
  const std::atomic<bool>& halt_;
};

struct Overview {
  HWND window = nullptr;
  HWND page = nullptr;
  std::string path;
  SourceTimeline timeline;
  long rate = 44100;
  int channels = 2;
  int samplesPerFrame = 1152;
  TimelineView view{1, 44100, 1152, 1};
  int dpi = 96;
  HFONT font = nullptr;

  std::vector<float> levels;
  std::vector<Silence> pauses;
  std::mutex measuredLock;
  std::vector<float> measured;  // handed over by the levels thread
  bool measuredDecoded = false;
  std::atomic<bool> halt{false};
  std::thread levelsThread;

  int64_t cursor = 0;
  std::optional<size_t> dragged;  // the mark being dragged, and where it would go
  int32_t draggedTo = 0;
  // The selection, samples between its two ends; a Shift+press being dragged from pressX.
  std::optional<std::pair<int64_t, int64_t>> selection;
  bool selecting = false;
  int pressX = 0;
  int64_t pressSample = 0;
  bool smooth = false;       // "Smooth seams"
  bool zoomKeyDown = false;  // a zoom key seen as a key: its character is not a second step
  Playback playback;
  bool playingFromCursor = false;
  std::vector<int32_t> shownMarks;
  LRESULT shownSelection = LB_ERR;

  int Scaled(int pixels) const { return MulDiv(pixels, dpi, 96); }
};

Overview* OverviewOf(HWND window) {
  return reinterpret_cast<Overview*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HWND ListBoxOf(const Overview& o) { return GetDlgItem(o.page, IDC_LIST); }

std::vector<int32_t> MarkOffsets(const Overview& o) {
  const TrackTimeList& times = PageTrackTimes(o.page);
  std::vector<int32_t> offsets(times.size());
  for (size_t i = 0; i < times.size(); ++i) offsets[i] = times[i].offset;
  return offsets;
}

LRESULT SelectedMark(const Overview& o) { return SendMessageA(ListBoxOf(o), LB_GETCURSEL, 0, 0); }

// Where the cut of an entry falls on the timeline, as the exact split cuts it.
int64_t CutSample(const Overview& o, const TrackEntry& entry) {
  if (entry.cueFrames >= 0) return int64_t{entry.cueFrames} * o.rate / 75;
  return SampleOfOffset(entry.offset, o.rate);
}

RemovedRanges& Removed(const Overview& o) { return PageRemovedRanges(o.page); }

// The removed range under the cursor, if any.
std::optional<size_t> RemovedAtCursor(const Overview& o) {
  return Removed(o).RangeAt(o.cursor, static_cast<int>(o.rate), o.view.length());
}

// The parts of the client area, top to bottom.
struct Layout {
  RECT strip, ruler, zoomed, scroll, row;
};

Layout LayoutOf(const Overview& o) {
  RECT client;
  GetClientRect(o.window, &client);
  int m = o.Scaled(kMargin);
  Layout l;
  int right = std::max<int>(client.right - m, m + 1);
  l.row = {m, client.bottom - m - o.Scaled(kRowHeight), right, client.bottom - m};
  l.scroll = {m, l.row.top - m - o.Scaled(kScrollHeight), right, l.row.top - m};
  l.strip = {m, m, right, m + o.Scaled(kStripHeight)};
  l.ruler = {m, l.strip.bottom + m, right, l.strip.bottom + m + o.Scaled(kRulerHeight)};
  l.zoomed = {m, l.ruler.bottom, right, std::max<int>(l.scroll.top, l.ruler.bottom + 1)};
  return l;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

TimelineView WholeView(const Overview& o, const RECT& strip) {
  return TimelineView(o.view.length(), o.rate, o.samplesPerFrame, Width(strip));
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void VerticalLine(HDC dc, const RECT& area, int x, COLORREF colour, int width = 1) {
  if (x < 0 || x >= Width(area)) return;
  RECT line = {area.left + x, area.top, area.left + x + width, area.bottom};
  Fill(dc, line, colour);
}

// The columns of `area` that samples [from, to) take in `view`, at least one; nothing
// outside the view.
std::optional<std::pair<int, int>> Columns(const TimelineView& view, const RECT& area, int64_t from,
                                           int64_t to) {
  int left = view.XOfSample(from), right = std::max(view.XOfSample(to), left + 1);
  if (right <= 0 || left >= Width(area)) return std::nullopt;
  return std::make_pair(std::max(left, 0), std::min(right, Width(area)));
}

void Shade(HDC dc, const TimelineView& view, const RECT& area, int64_t from, int64_t to,
           COLORREF colour) {
  if (std::optional<std::pair<int, int>> columns = Columns(view, area, from, to)) {
    RECT shade = {area.left + columns->first, area.top, area.left + columns->second, area.bottom};
    Fill(dc, shade, colour);
  }
}

// The removed ranges hatched over what is drawn of them.
void DrawRemoved(HDC dc, const Overview& o, const TimelineView& view, const RECT& area) {
  HPEN pen = CreatePen(PS_SOLID, 1, kRemovedColour);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  for (const TimeRange& range : Removed(o).ranges()) {
    SampleRange samples = SamplesOfRange(range, static_cast<int>(o.rate), o.view.length());
    std::optional<std::pair<int, int>> columns = Columns(view, area, samples.start, samples.end);
    if (!columns) continue;
    for (const HatchLine& line :
         Hatching(columns->first, columns->second, Height(area), o.Scaled(kHatchSpacing))) {
      MoveToEx(dc, area.left + line.x0, area.top + line.y0, nullptr);
      LineTo(dc, area.left + line.x1 + 1, area.top + line.y1 - 1);  // its last pixel too
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// The levels of `view` over `area`, mirrored about its middle, the pauses, the removed
// ranges and the selection shaded behind them.
void DrawLevels(HDC dc, const Overview& o, const TimelineView& view, const RECT& area) {
  for (const Silence& pause : o.pauses) {
    Shade(dc, view, area, SampleOfOffset(pause.start, o.rate), SampleOfOffset(pause.end, o.rate),
          kPauseColour);
  }
  for (const TimeRange& range : Removed(o).ranges()) {
    SampleRange samples = SamplesOfRange(range, static_cast<int>(o.rate), o.view.length());
    Shade(dc, view, area, samples.start, samples.end, kRemovedShade);
  }
  if (o.selection) {
    Shade(dc, view, area, std::min(o.selection->first, o.selection->second),
          std::max(o.selection->first, o.selection->second), kSelectionColour);
  }
  int middle = (area.top + area.bottom) / 2;
  int half = Height(area) / 2;
  for (int x = 0; x < Width(area); ++x) {
    std::optional<float> level =
        ColumnLevel(o.levels, view.SampleOfX(x), view.SampleOfX(x + 1), o.rate);
    if (!level) break;
    int reach = std::max(1, static_cast<int>(*level * half));
    RECT column = {area.left + x, middle - reach, area.left + x + 1, middle + reach};
    Fill(dc, column, kLevelColour);
  }
}

void DrawMarks(HDC dc, const Overview& o, const TimelineView& view, const RECT& area, bool labels) {
  const TrackTimeList& times = PageTrackTimes(o.page);
  LRESULT selected = SelectedMark(o);
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < times.size(); ++i) {
    int64_t sample = CutSample(o, times[i]);
    if (o.dragged && *o.dragged == i) sample = SampleOfOffset(o.draggedTo, o.rate);
    bool chosen = static_cast<LRESULT>(i) == selected;
    COLORREF colour = chosen ? kSelectedColour : kMarkColour;
    int x = view.XOfSample(sample);
    VerticalLine(dc, area, x, colour, chosen ? o.Scaled(2) : 1);
    if (!labels || x < 0 || x >= Width(area)) continue;
    std::string label = std::to_string(i + 1);
    if (times[i].title[0]) label += std::string(" ") + times[i].title;
    SetTextColor(dc, colour);
    TextOutA(dc, area.left + x + o.Scaled(3), area.top + o.Scaled(2), label.c_str(),
             static_cast<int>(label.size()));
  }
}

void DrawRuler(HDC dc, const Overview& o, const RECT& area) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kRulerColour);
  for (int64_t tick : RulerTicks(o.view, o.Scaled(kTickSpacing))) {
    int x = o.view.XOfSample(SampleOfOffset(tick, o.rate));
    RECT notch = {area.left + x, area.bottom - o.Scaled(5), area.left + x + 1, area.bottom};
    Fill(dc, notch, kRulerColour);
    std::string text = FormatTimeText(TimePartsOfOffset(tick));
    TextOutA(dc, area.left + x + o.Scaled(2), area.top + o.Scaled(2), text.c_str(),
             static_cast<int>(text.size()));
  }
}

int64_t PlayedSample(const Overview& o) {
  return o.playback.Playing() ? std::min(o.playback.HeardSample(), o.view.length()) : o.cursor;
}

void Paint(Overview& o) {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(o.window, &paint);
  RECT client;
  GetClientRect(o.window, &client);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max<int>(client.right, 1),
                                          std::max<int>(client.bottom, 1));
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HGDIOBJ oldFont = SelectObject(dc, o.font);
  Fill(dc, client, GetSysColor(COLOR_BTNFACE));
  Layout l = LayoutOf(o);
  TimelineView whole = WholeView(o, l.strip);
  Fill(dc, l.strip, kBackground);
  RECT shown = {l.strip.left + whole.XOfSample(o.view.start()), l.strip.top,
                l.strip.left + std::max(whole.XOfSample(o.view.start() + o.view.span()),
                                        whole.XOfSample(o.view.start()) + 1),
                l.strip.bottom};
  Fill(dc, shown, kShownColour);
  DrawLevels(dc, o, whole, l.strip);
  DrawRemoved(dc, o, whole, l.strip);
  DrawMarks(dc, o, whole, l.strip, false);
  VerticalLine(dc, l.strip, whole.XOfSample(PlayedSample(o)), kCursorColour);
  Fill(dc, l.ruler, kBackground);
  DrawRuler(dc, o, l.ruler);
  Fill(dc, l.zoomed, kBackground);
  DrawLevels(dc, o, o.view, l.zoomed);
  DrawRemoved(dc, o, o.view, l.zoomed);
  DrawMarks(dc, o, o.view, l.zoomed, true);
  VerticalLine(dc, l.zoomed, o.view.XOfSample(PlayedSample(o)), kCursorColour, o.Scaled(2));
  BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(o.window, &paint);
}

void UpdateScrollBar(const Overview& o) {
  constexpr int kUnits = 10000;
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  info.nMax = kUnits - 1;
  info.nPage = static_cast<UINT>(o.view.span() * kUnits / o.view.length());
  info.nPos = static_cast<int>(o.view.start() * kUnits / o.view.length());
  SetScrollInfo(GetDlgItem(o.window, IDC_OVERVIEW_SCROLL), SB_CTL, &info, TRUE);
}

void ShowPosition(const Overview& o) {
  SetDlgItemTextA(o.window, IDC_OVERVIEW_POSITION, PositionText(PlayedSample(o), o.rate).c_str());
}

void Redraw(Overview& o) {
  UpdateScrollBar(o);
  ShowPosition(o);
  InvalidateRect(o.window, nullptr, FALSE);
}

void MoveCursor(Overview& o, int64_t sample) {
  o.cursor = std::clamp<int64_t>(sample, 0, o.view.length());
  o.view.Reveal(o.cursor);
  Redraw(o);
}

void Scroll(Overview& o, WPARAM request) {
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(GetDlgItem(o.window, IDC_OVERVIEW_SCROLL), SB_CTL, &info);
  int64_t step = o.view.span() / 10, page = o.view.span();
  switch (LOWORD(request)) {
    case SB_LINELEFT:
      o.view.ScrollTo(o.view.start() - step);
      break;
    case SB_LINERIGHT:
      o.view.ScrollTo(o.view.start() + step);
      break;
    case SB_PAGELEFT:
      o.view.ScrollTo(o.view.start() - page);
      break;
    case SB_PAGERIGHT:
      o.view.ScrollTo(o.view.start() + page);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      o.view.ScrollTo(int64_t{info.nTrackPos} * o.view.length() / (info.nMax + 1));
      break;
    default:
      return;
  }
  Redraw(o);
}

void ZoomAt(Overview& o, int steps, int x) {
  o.view.Zoom(steps, x);
  Redraw(o);
}

void ZoomAtCursor(Overview& o, int steps) {
  int x = std::clamp(o.view.XOfSample(o.cursor), 0, o.view.width() - 1);
  ZoomAt(o, steps, x);
}

void AddCursorTime(Overview& o) {
  auto entry = std::make_unique<TrackEntry>();
  SetTimeText(*entry, PositionText(o.cursor, o.rate));
  if (std::optional<size_t> at = InsertTrackTime(o.page, std::move(entry))) {
    SendMessageA(ListBoxOf(o), LB_SETCURSEL, *at, 0);
  }
  Redraw(o);
}

void ShowPlaybackFailure(const Overview& o, const std::string& failure) {
  ShowPageMessage(o.window, failure.c_str(), MB_ICONWARNING);
}

void StopPlayback(Overview& o) {
  if (!o.playback.Playing()) {
    o.playback.Stop();
    return;
  }
  int64_t heard = PlayedSample(o);
  o.playback.Stop();
  if (o.playingFromCursor) o.cursor = heard;
  Redraw(o);
}

// Space: plays the source's timeline from the cursor to its end, or pauses.
void PlayOrPause(Overview& o) {
  if (o.playback.Playing()) {
    StopPlayback(o);
    return;
  }
  if (o.cursor >= o.view.length()) o.cursor = 0;
  std::string failure;
  o.playingFromCursor = true;
  if (!o.playback.Start(o.rate, o.channels, o.cursor,
                        TimelineReader(o.path, o.cursor, o.view.length()), failure)) {
    ShowPlaybackFailure(o, failure);
  }
}

// P in a removed range: the 3 s before it and after it, as the file without the removed
// parts will decode.
void PlaySeam(Overview& o, size_t range) {
  o.playback.Stop();
  const TimeRange& removed = Removed(o).ranges()[range];
  std::string failure;
  PcmReader reader =
      RemovedCutReader(o.path, Removed(o).ranges(), range, o.smooth, o.channels, o.window, failure);
  o.playingFromCursor = false;
  int64_t first =
      std::max<int64_t>(HundredthsToSample(removed.start - kCutPreviewSeconds * 100, o.rate), 0);
  if (!reader || !o.playback.Start(o.rate, o.channels, first, std::move(reader), failure)) {
    ShowPlaybackFailure(o, failure);
  }
}

// P: the 3 s before the selected mark and the 3 s after it, as the tracks will decode; in a
// removed range, its seam.
void PlayCut(Overview& o) {
  if (std::optional<size_t> range = RemovedAtCursor(o)) {
    PlaySeam(o, *range);
    return;
  }
  LRESULT selected = SelectedMark(o);
  if (selected == LB_ERR) {
    MessageBeep(MB_ICONWARNING);
    return;
  }
  o.playback.Stop();
  const TrackTimeList& times = PageTrackTimes(o.page);
  int64_t cut = CutSample(o, times[static_cast<size_t>(selected)]);
  int64_t around = kCutPreviewSeconds * int64_t{o.rate};
  int64_t first = std::max<int64_t>(cut - around, 0);
  PcmReader reader;
  std::string failure;
  if (ExactCutsChosen(o.page)) {
    reader = TimelineReader(o.path, first, cut + around);
  } else {
    reader = BlockCutReader(o.page, static_cast<size_t>(selected), o.rate, o.channels, o.window,
                            failure);
    if (!reader) {
      ShowPageMessage(o.window, failure.c_str(), MB_ICONWARNING);
      return;
    }
  }
  o.playingFromCursor = false;
  if (!o.playback.Start(o.rate, o.channels, first, std::move(reader), failure)) {
    ShowPlaybackFailure(o, failure);
  }
}

// X: a selection is marked removed (or kept again when all of it was removed), and the
// cursor goes to its start; without one, the removed range under the cursor is kept again.
void ToggleRemoved(Overview& o) {
  std::optional<std::pair<int64_t, int64_t>> selection = o.selection;
  o.selection.reset();
  const int rate = static_cast<int>(o.rate);
  std::optional<TimeRange> range;
  if (selection) {
    range = RangeOfSelection(selection->first, selection->second, rate, o.view.length());
  }
  if (range) {
    Removed(o).Toggle(*range);
    o.cursor = SamplesOfRange(*range, rate, o.view.length()).start;
  } else if (std::optional<size_t> at = RemovedAtCursor(o); at && !selection) {
    Removed(o).Restore(*at);
  } else {
    MessageBeep(MB_ICONWARNING);
  }
  Redraw(o);
}

// A Shift+press in the zoomed view or its ruler: a drag from it selects what it passes; a
// click selects from the cursor to it.
void SelectionDown(Overview& o, int x) {
  o.selecting = true;
  o.pressX = x;
  o.pressSample = o.view.SampleOfX(x - LayoutOf(o).zoomed.left);
  SetCapture(o.window);
}

void SelectionMoved(Overview& o, int x) {
  if (std::abs(x - o.pressX) <= o.Scaled(kDragReach) && !o.selection) return;
  o.selection = std::make_pair(o.pressSample, o.view.SampleOfX(x - LayoutOf(o).zoomed.left));
  InvalidateRect(o.window, nullptr, FALSE);
}

void SelectionUp(Overview& o, int x) {
  o.selecting = false;
  ReleaseCapture();
  if (std::abs(x - o.pressX) <= o.Scaled(kDragReach)) {
    o.selection = std::make_pair(o.cursor, o.pressSample);
  } else {
    SelectionMoved(o, x);
  }
  Redraw(o);
}

// A mark under the pointer in the zoomed view is selected and dragged; elsewhere a click
// sets the cursor (in the strip it also brings the zoomed view there). A click also drops
// the selection, which a Shift+press makes anew.
void PointerDown(Overview& o, int x, int y, bool shift) {
  SetFocus(o.window);
  Layout l = LayoutOf(o);
  POINT at = {x, y};
  bool inZoomed = PtInRect(&l.ruler, at) || PtInRect(&l.zoomed, at);
  o.selection.reset();
  if (shift && inZoomed) {
    SelectionDown(o, x);
    return;
  }
  if (PtInRect(&l.strip, at)) {
    TimelineView whole = WholeView(o, l.strip);
    o.cursor = whole.SampleOfX(x - l.strip.left);
    o.view.ScrollTo(o.cursor - o.view.span() / 2);
    Redraw(o);
    return;
  }
  if (!inZoomed) return;
  std::optional<size_t> mark =
      MarkAt(o.view, MarkOffsets(o), x - l.zoomed.left, o.Scaled(kMarkReach));
  if (mark) {
    SendMessageA(ListBoxOf(o), LB_SETCURSEL, *mark, 0);
    o.dragged = mark;
    o.draggedTo = PageTrackTimes(o.page)[*mark].offset;
    SetCapture(o.window);
    Redraw(o);
    return;
  }
  MoveCursor(o, o.view.SampleOfX(x - l.zoomed.left));
}

void PointerMoved(Overview& o, int x) {
  if (o.selecting) SelectionMoved(o, x);
  if (!o.dragged) return;
  int64_t wanted = OffsetOfSample(o.view.SampleOfX(x - LayoutOf(o).zoomed.left), o.rate);
  std::optional<int32_t> to =
      DraggedOffset(MarkOffsets(o), *o.dragged, wanted, OffsetOfSample(o.view.length(), o.rate));
  if (to && *to != o.draggedTo) {
    o.draggedTo = *to;
    InvalidateRect(o.window, nullptr, FALSE);
  }
}

void PointerUp(Overview& o, int x) {
  if (o.selecting) SelectionUp(o, x);
  if (!o.dragged) return;
  size_t index = *o.dragged;
  o.dragged.reset();
  ReleaseCapture();
  if (o.draggedTo != PageTrackTimes(o.page)[index].offset) {
    MoveTrackTime(o.page, index, o.draggedTo);
  }
  Redraw(o);
}

void KeyDown(Overview& o, WPARAM key) {
  bool control = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  int direction = key == VK_LEFT ? -1 : 1;
  switch (key) {
    case VK_SPACE:
      PlayOrPause(o);
      break;
    case 'P':
      PlayCut(o);
      break;
    case 'X':
      ToggleRemoved(o);
      break;
    case VK_LEFT:
    case VK_RIGHT:
      MoveCursor(o,
                 StepCursor(o.view, o.cursor, o.samplesPerFrame, control || shift ? 0 : direction,
                            shift     ? 10 * direction
                            : control ? direction
                                      : 0));
      break;
    case VK_HOME:
      MoveCursor(o, 0);
      break;
    case VK_END:
      MoveCursor(o, o.view.length());
      break;
    case VK_INSERT:
      AddCursorTime(o);
      break;
    case VK_DELETE:
      RemoveTrackTime(o.page);
      Redraw(o);
      break;
    case VK_ADD:
    case VK_OEM_PLUS:
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
      o.zoomKeyDown = true;
      ZoomAtCursor(o, key == VK_ADD || key == VK_OEM_PLUS ? 1 : -1);
      break;
  }
}

// A '+' or '-' that came as a character alone (not after its key) zooms too.
void Character(Overview& o, WPARAM character) {
  bool seen = o.zoomKeyDown;
  o.zoomKeyDown = false;
  if (seen) return;
  if (character == '+' || character == '=') ZoomAtCursor(o, 1);
  if (character == '-') ZoomAtCursor(o, -1);
}

// Every tick: the readout follows the sound, a job that has taken the page stops it (and
// the saving of another file waits for it), and a change of the track time list (from the
// page or the Overview) is drawn.
void Tick(Overview& o) {
  bool pageIdle = ActionCaptionIs(o.page, kSplitJobTexts.idleCaption);
  if (o.playback.Playing() && !pageIdle) StopPlayback(o);
  EnableWindow(GetDlgItem(o.window, IDC_OVERVIEW_SAVE), pageIdle);
  if (!o.playback.Playing()) o.playback.Stop();  // ended: the device is given back
  std::vector<int32_t> marks = MarkOffsets(o);
  LRESULT selection = SelectedMark(o);
  bool changed = marks != o.shownMarks || selection != o.shownSelection;
  o.shownMarks = std::move(marks);
  o.shownSelection = selection;
  if (changed || o.playback.Playing()) Redraw(o);
}

// The quick levels first, then the decoded ones, which also show the pauses. A hand-over
// that the next one overtook finds nothing left to take.
void LevelsReady(Overview& o) {
  bool decoded = false;
  {
    std::lock_guard<std::mutex> lock(o.measuredLock);
    if (o.measured.empty()) return;
    o.levels = std::move(o.measured);
    o.measured.clear();
    decoded = o.measuredDecoded;
  }
  if (decoded) o.pauses = FindSilences(o.levels, SilenceSettings{});
  Redraw(o);
}

void HandOver(Overview& o, std::vector<float> levels, bool decoded) {
  std::lock_guard<std::mutex> lock(o.measuredLock);
  o.measured = std::move(levels);
  o.measuredDecoded = decoded;
  PostMessageA(o.window, kLevelsReadyMessage, 0, 0);
}

void StartLevels(Overview& o) {
  o.levelsThread = std::thread([&o] {
    LevelsHost host(o.halt);
    QuickLevels quick;
    if (MeasureQuickLevels(o.path, host, quick).completed()) {
      HandOver(o, LevelsOnHundredths(quick), false);
    }
    if (o.halt) return;
    std::vector<float> levels;
    if (MeasureDecodedLevels(o.path, host, levels).completed())
      HandOver(o, std::move(levels), true);
  });
}

void ApplyDpi(Overview& o, int dpi) {
  o.dpi = dpi;
  if (o.font) DeleteObject(o.font);
  o.font = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, "MS Shell Dlg");
  for (int id = IDC_OVERVIEW_ADD_TIME; id <= IDC_OVERVIEW_SMOOTH; ++id) {
    SendDlgItemMessageA(o.window, id, WM_SETFONT, reinterpret_cast<WPARAM>(o.font), TRUE);
  }
}

void LayOutControls(Overview& o) {
  Layout l = LayoutOf(o);
  o.view.SetWidth(Width(l.zoomed));
  MoveWindow(GetDlgItem(o.window, IDC_OVERVIEW_SCROLL), l.scroll.left, l.scroll.top,
             Width(l.scroll), Height(l.scroll), TRUE);
  struct Control {
    int id;
    int width;
  };
  const Control row[] = {{IDC_OVERVIEW_ADD_TIME, 80}, {IDC_OVERVIEW_PLAY, 64},
                         {IDC_OVERVIEW_PLAY_CUT, 72}, {IDC_OVERVIEW_POSITION, 90},
                         {IDC_OVERVIEW_SAVE, 190},    {IDC_OVERVIEW_SMOOTH, 100}};
  int x = l.row.left;
  for (const Control& control : row) {
    MoveWindow(GetDlgItem(o.window, control.id), x, l.row.top, o.Scaled(control.width),
               Height(l.row), TRUE);
    x += o.Scaled(control.width) + o.Scaled(kMargin);
  }
  Redraw(o);
}

void CreateControls(Overview& o) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  struct Control {
    const char* windowClass;
    const char* text;
    DWORD style;
    int id;
  };
  const Control controls[] = {
      {"BUTTON", "Add Time", BS_PUSHBUTTON, IDC_OVERVIEW_ADD_TIME},
      {"BUTTON", "Play", BS_PUSHBUTTON, IDC_OVERVIEW_PLAY},
      {"BUTTON", "Play Cut", BS_PUSHBUTTON, IDC_OVERVIEW_PLAY_CUT},
      {"STATIC", "000:00.00", SS_LEFT | SS_CENTERIMAGE, IDC_OVERVIEW_POSITION},
      {"SCROLLBAR", "", SBS_HORZ, IDC_OVERVIEW_SCROLL},
      {"BUTTON", "Save Without Removed Parts...", BS_PUSHBUTTON, IDC_OVERVIEW_SAVE},
      {"BUTTON", "Smooth seams", BS_AUTOCHECKBOX, IDC_OVERVIEW_SMOOTH},
  };
  for (const Control& c : controls) {
    CreateWindowExA(0, c.windowClass, c.text, WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0, 0, o.window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
  }
}

void Command(Overview& o, int id) {
  switch (id) {
    case IDC_OVERVIEW_ADD_TIME:
      AddCursorTime(o);
      break;
    case IDC_OVERVIEW_PLAY:
      PlayOrPause(o);
      break;
    case IDC_OVERVIEW_PLAY_CUT:
      PlayCut(o);
      break;
    case IDC_OVERVIEW_SAVE:
      SaveWithoutRemovedParts(o.window, o.page, o.path, Removed(o).ranges(), o.smooth);
      break;
    case IDC_OVERVIEW_SMOOTH:
      o.smooth = IsDlgButtonChecked(o.window, IDC_OVERVIEW_SMOOTH) == BST_CHECKED;
      break;
    default:
      return;
  }
  SetFocus(o.window);  // the keys stay the Overview's
}

LRESULT CALLBACK OverviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* o = static_cast<Overview*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    o->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(o));
  }
  Overview* o = OverviewOf(window);
  if (!o) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE: {
      CreateControls(*o);
      HDC dc = GetDC(window);
      ApplyDpi(*o, GetDeviceCaps(dc, LOGPIXELSX));
      ReleaseDC(window, dc);
      SetTimer(window, kTickTimer, kTickMs, nullptr);
      StartLevels(*o);
      return 0;
    }
    case WM_SIZE:
      LayOutControls(*o);
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(*o, HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, Width(*suggested),
                   Height(*suggested), SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {o->Scaled(420), o->Scaled(240)};
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(*o);
      return 0;
    case WM_COMMAND:
      Command(*o, LOWORD(wParam));
      return 0;
    case WM_HSCROLL:
      Scroll(*o, wParam);
      return 0;
    case WM_LBUTTONDOWN:
      PointerDown(*o, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
                  (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_MOUSEMOVE:
      PointerMoved(*o, static_cast<short>(LOWORD(lParam)));
      return 0;
    case WM_LBUTTONUP:
      PointerUp(*o, static_cast<short>(LOWORD(lParam)));
      return 0;
    case WM_CAPTURECHANGED:
      if (o->dragged || o->selecting) {
        o->dragged.reset();
        o->selecting = false;
        Redraw(*o);
      }
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(window, &at);
      ZoomAt(*o, GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA, at.x - LayoutOf(*o).zoomed.left);
      return 0;
    }
    case WM_KEYDOWN:
      KeyDown(*o, wParam);
      return 0;
    case WM_CHAR:
      Character(*o, wParam);
      return 0;
    case WM_TIMER:
      Tick(*o);
      return 0;
    case kLevelsReadyMessage:
      LevelsReady(*o);
      return 0;
    case kPreviewFailedMessage: {
      std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
      ShowPlaybackFailure(*o, *text);
      return 0;
    }
    case WM_DESTROY:
      KillTimer(window, kTickTimer);
      o->playback.Stop();
      o->halt = true;
      if (o->levelsThread.joinable()) o->levelsThread.join();
      if (gOverview == window) gOverview = nullptr;
      return 0;
    case WM_NCDESTROY:
      if (o->font) DeleteObject(o->font);
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete o;
      return DefWindowProcA(window, message, wParam, lParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterOverviewClass() {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = OverviewProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconA(windowClass.hInstance, MAKEINTRESOURCEA(IDI_PARTWELL));
  windowClass.lpszClassName = kOverviewClass;
  registered = RegisterClassExA(&windowClass) != 0;
  return registered;
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char kCannotReadText[] = "The source cannot be read, so it has no overview.";

}  // namespace

void OpenOverview(HWND page, const std::string& sourcePath) {
  if (gOverview) {
    ShowWindow(gOverview, SW_RESTORE);
    SetForegroundWindow(gOverview);
    return;
  }
  auto o = std::make_unique<Overview>();
  o->page = page;
  o->path = sourcePath;
  File source = File::OpenForReading(sourcePath);
  StreamScan scan;
  if (!source.IsOpen() || ScanStream(source, scan) != StreamScanOutcome::kScanned ||
      !RegisterOverviewClass()) {
    ShowPageMessage(page, kCannotReadText, MB_ICONWARNING);
    return;
  }
  o->timeline = scan.timeline;
  o->rate = SampleRate(scan.first.header);
  o->channels = ChannelCount(scan.first.header);
  o->samplesPerFrame = SamplesPerFrame(scan.first.header);
  o->view =
      TimelineView(static_cast<int64_t>(scan.timeline.length), o->rate, o->samplesPerFrame, 1);
  std::string caption = "Overview - " + FileNameOf(sourcePath);
  HDC dc = GetDC(page);
  int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(page, dc);
  HWND owner = GetAncestor(page, GA_ROOT);
  Overview* created = o.release();
  gOverview =
      CreateWindowExA(0, kOverviewClass, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, MulDiv(760, dpi, 96), MulDiv(330, dpi, 96), owner, nullptr,
                      GetModuleHandleA(nullptr), created);
  if (!gOverview) {
    // The window, once it got its state, freed it as it went (WM_NCDESTROY).
    ShowPageMessage(page, kCannotReadText, MB_ICONWARNING);
    return;
  }
  ShowWindow(gOverview, SW_SHOW);
  SetFocus(gOverview);
}

void CloseOverview() {
  if (gOverview) DestroyWindow(gOverview);
}

HWND OverviewWindow() { return gOverview; }

}  // namespace partwell
