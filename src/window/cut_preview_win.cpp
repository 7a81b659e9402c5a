#include "window/cut_preview_win.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

#include "analysis/timeline_pcm.h"
#include "mpeg/source_probe.h"
#include "split/source_properties.h"
#include "window/property_list_win.h"
#include "window/split_page_win.h"

namespace partwell {

PcmReader TimelineReader(const std::string& path, int64_t from, int64_t to) {
  auto pcm = std::make_shared<std::unique_ptr<TimelinePcm>>();
  auto opened = std::make_shared<bool>(false);
  return [=](int16_t* out, size_t frames) -> size_t {
    if (!*opened) {
      *opened = true;
      std::string failure;
      *pcm = TimelinePcm::Open(path, static_cast<uint64_t>(std::max<int64_t>(from, 0)),
                               static_cast<uint64_t>(std::max<int64_t>(to, 0)), failure);
    }
    return *pcm ? (*pcm)->Read(out, frames) : 0;
  };
}

namespace {

// The folder for temporary files; false, with the words to show, when the system names none.
bool ScratchParent(std::string& folder, std::string& failure) {
  char scratch[MAX_PATH + 1] = "";
  if (GetTempPathA(sizeof scratch, scratch) == 0) {
    failure = "The system names no folder for temporary files.";
    return false;
  }
  folder = scratch;
  return true;
}

// Plays the preview that `make` makes at the first read; one that cannot be made is told to
// `player`, and nothing is played.
PcmReader PreviewReader(std::function<CutPreview()> make, int channels, HWND player) {
  struct State {
    std::function<CutPreview()> make;
    bool made = false;
    CutPreview preview;
    size_t given = 0;  // interleaved values
  };
  auto state = std::make_shared<State>();
  state->make = std::move(make);
  return [state, channels, player](int16_t* out, size_t frames) -> size_t {
    if (!state->made) {
      state->made = true;
      state->preview = state->make();
      if (!state->preview.made) {
        auto text = std::make_unique<std::string>(state->preview.failure);
        if (PostMessageA(player, kPreviewFailedMessage, 0, reinterpret_cast<LPARAM>(text.get()))) {
          text.release();  // the window's now
        }
      }
    }
    const std::vector<int16_t>& samples = state->preview.samples;
    size_t values = std::min(frames * channels, samples.size() - state->given);
    std::memcpy(out, samples.data() + state->given, values * sizeof(int16_t));
    state->given += values;
    return values / channels;
  };
}

}  // namespace

PcmReader BlockCutReader(HWND page, size_t index, long rate, int channels, HWND player,
                         std::string& failure) {
  if (StoredSourceIsVariableBitRate(WindowPropertyList(page))) {
    failure = ProbeRefusalText(ProbeOutcome::kVariableBitRate);
    return nullptr;
  }
  std::string scratch;
  if (!ScratchParent(scratch, failure)) return nullptr;
  SplitJob job = PageSplitJob(page);
  return PreviewReader(
      [job, index, rate, scratch] { return BlockCutPreview(job, index, rate, scratch); }, channels,
      player);
}

PcmReader RemovedCutReader(const std::string& path, const std::vector<TimeRange>& removed,
                           size_t index, bool smooth, int channels, HWND player,
                           std::string& failure) {
  std::string scratch;
  if (!ScratchParent(scratch, failure)) return nullptr;
  return PreviewReader(
      [path, removed, index, smooth, scratch] {
        return RemovedCutPreview(path, removed, index, smooth, scratch);
      },
      channels, player);
}

}  // namespace partwell
