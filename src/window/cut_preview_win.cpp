#include "window/cut_preview_win.h"

#include <algorithm>
#include <cstring>
#include <memory>

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

PcmReader BlockCutReader(HWND page, size_t index, long rate, int channels, std::string& failure) {
  if (StoredSourceIsVariableBitRate(WindowPropertyList(page))) {
    failure = ProbeRefusalText(ProbeOutcome::kVariableBitRate);
    return nullptr;
  }
  char scratch[MAX_PATH + 1] = "";
  if (GetTempPathA(sizeof scratch, scratch) == 0) {
    failure = "The system names no folder for temporary files.";
    return nullptr;
  }
  struct State {
    SplitJob job;
    std::string scratch;
    bool made = false;
    CutPreview preview;
    size_t given = 0;  // interleaved values
  };
  auto state = std::make_shared<State>();
  state->job = PageSplitJob(page);
  state->scratch = scratch;
  return [state, index, rate, channels](int16_t* out, size_t frames) -> size_t {
    if (!state->made) {
      state->made = true;
      state->preview = BlockCutPreview(state->job, index, rate, state->scratch);
    }
    const std::vector<int16_t>& samples = state->preview.samples;
    size_t values = std::min(frames * channels, samples.size() - state->given);
    std::memcpy(out, samples.data() + state->given, values * sizeof(int16_t));
    state->given += values;
    return values / channels;
  };
}

}  // namespace partwell
