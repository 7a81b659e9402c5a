// Fuzz target for the join, on memory files. The first bytes cut the rest into two or three
// sources. Whatever the bytes, the join must end with success, leave its sources as they were
// and leave no file open. Where each source is, to the tests' own reader (mp3_walk.h), either
// bytes without a frame sync or whole Layer III frames of one kind back to back after its
// ID3v2 tags, the joined file must be what the join's rules make of them: the first source
// with its tags; of every later source its tags and a header frame left out; of every source
// its ID3v1 trailer left out; all else copied in order; the first source's header frame
// stating the joined stream's numbers ("Info" turned "Xing" when the bit rate varies, the
// LAME padding the last source's), or, without one, a Xing frame of the join's own before the
// first audio frame when the bit rate varies. Sources whose LAME tags say that one continues
// the timeline of the one before (its delay and the earlier one's padding are whole frames)
// may meet as exact tracks do, some of the later one's frames left out: the end-to-end test
// decodes those joins; here they are held only to what holds for any join. A broken
// promise aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "../mp3_walk.h"
#include "fuzz_support.h"
#include "io/memory_files.h"
#include "join/join_engine.h"

namespace {

using partwell::fuzz::Bytes;
using partwell::fuzz::Require;
namespace test = partwell::test;

// Byte 0 bit 0: three sources, not two; bytes 1-2 and 3-4 (little-endian): the lengths of
// the first and the second of three (taken modulo what is left).
constexpr size_t kControlBytes = 5;
// The bits of a frame header that say its kind (version, layer, sampling rate) and bit rate.
constexpr uint32_t kKindMask = 0xFFFE0C00;
constexpr uint32_t kKindAndRateMask = 0xFFFEFC00;
constexpr int kDecoderDelay = 529;

struct Source {
  Bytes audio;  // the source less its ID3v1 trailer
  test::WalkedFile walk;
  bool frames = false;  // the reader found a first frame
  bool plain = false;   // no sync, or frames of one kind back to back after the tags
  size_t audioStart() const { return walk.firstFrame + (walk.header ? walk.firstFrameBytes : 0); }
};

Source Read(const Bytes& file) {
  Source s;
  s.audio.assign(file.begin(),
                 file.begin() + static_cast<std::ptrdiff_t>(partwell::fuzz::EndOfAudio(file)));
  s.walk = test::WalkMp3(s.audio);
  s.frames = s.walk.framesEnd > 0;
  if (!s.frames) {
    s.plain = true;
    for (size_t i = 0; i + 1 < s.audio.size(); ++i) {
      if (s.audio[i] == 0xFF && (s.audio[i + 1] & 0xE0) == 0xE0) s.plain = false;
    }
    return s;
  }
  const uint32_t kind = test::BigEndian(&s.audio[s.walk.firstFrame], 4) & kKindMask;
  s.plain = s.walk.firstFrame == s.walk.tagsEnd && s.walk.skipped == 0 &&
            s.walk.framesEnd == s.audio.size() &&
            std::all_of(s.walk.headers.begin(), s.walk.headers.end(),
                        [&](uint32_t h) { return (h & kKindMask) == kind; });
  return s;
}

void Append(Bytes& to, const Bytes& from, size_t begin, size_t end) {
  to.insert(to.end(), from.begin() + static_cast<std::ptrdiff_t>(begin),
            from.begin() + static_cast<std::ptrdiff_t>(end));
}

bool Same(const Bytes& a, size_t at, const Bytes& b, size_t from, size_t to) {
  return at + (to - from) <= a.size() && std::equal(b.begin() + static_cast<std::ptrdiff_t>(from),
                                                    b.begin() + static_cast<std::ptrdiff_t>(to),
                                                    a.begin() + static_cast<std::ptrdiff_t>(at));
}

// The joined file's header frame at `at` against the first source's `original`: only the
// fields the join rewrites may differ.
void CheckRewrittenFrame(const Bytes& joined, size_t at, const Bytes& original,
                         const test::WalkedHeader& h) {
  std::vector<bool> rewritten(original.size(), false);
  auto mark = [&](size_t field, size_t bytes) {
    if (field) std::fill_n(rewritten.begin() + static_cast<std::ptrdiff_t>(field), bytes, true);
  };
  mark(h.markerField, 4);
  mark(h.framesField, 4);
  mark(h.bytesField, 4);
  mark(h.tocField, 100);
  if (h.lame && h.tagCrcHolds) {
    mark(h.lameField + 21, 3);
    mark(h.musicLengthField, 4);
    mark(h.musicCrcField, 2);
    mark(h.tagCrcField, 2);
  }
  for (size_t i = 0; i < original.size(); ++i) {
    Require(rewritten[i] || joined[at + i] == original[i]);
  }
}

bool Trusted(const std::optional<test::WalkedHeader>& h) {
  return h && h->lame &&
         (h->encoder.compare(0, 4, "LAME") == 0 || h->encoder.compare(0, 4, "Lavf") == 0 ||
          h->encoder.compare(0, 4, "Lavc") == 0);
}

// The header frame that speaks for the joined file: its numbers, and what the join keeps
// or sets of the first source's LAME extension.
void CheckHeader(const Bytes& joined, const test::WalkedFile& walked,
                 const std::optional<test::WalkedHeader>& original, const Source* last) {
  test::WalkedFile checked = walked;
  if (original && original->lame && !original->tagCrcHolds) checked.header->lame = false;
  Require(test::HeaderMismatches(checked, joined).empty());
  const test::WalkedHeader& h = *walked.header;
  if (!original) {
    Require(h.marker == "Xing" && !h.lame);
    return;
  }
  bool varies = std::any_of(walked.headers.begin(), walked.headers.end(), [&](uint32_t word) {
    return (word & kKindAndRateMask) != (walked.headers[0] & kKindAndRateMask);
  });
  Require(h.marker == (original->marker == "Info" && varies ? "Xing" : original->marker));
  if (!original->lame || !original->tagCrcHolds) return;
  Require(h.delay == original->delay);
  const std::optional<test::WalkedHeader>& lastHeader = last->walk.header;
  Require(h.padding == (Trusted(lastHeader) ? lastHeader->padding : kDecoderDelay));
}

// Whether a source's tag says it continues the timeline of the source before it.
bool MayContinue(const std::vector<Source>& sources) {
  for (size_t i = 1; i < sources.size(); ++i) {
    const Source& before = sources[i - 1];
    const Source& s = sources[i];
    if (!s.frames || !Trusted(s.walk.header) || !Trusted(before.walk.header)) continue;
    const int spf = test::Layer3SamplesPerFrame(&s.audio[s.walk.firstFrame]);
    const int between = before.walk.header->padding + s.walk.header->delay;
    if (spf > 0 && between > 0 && between % spf == 0) return true;
  }
  return false;
}

// The joined file against the join's rules, for sources the reader reads plainly.
void CheckJoined(const Bytes& joined, const std::vector<Source>& sources) {
  const Source& first = sources[0];
  const bool firstHeader = first.frames && first.walk.header;
  std::optional<uint32_t> reference;
  bool varies = false;
  size_t frames = 0;
  const Source* last = nullptr;
  for (const Source& s : sources) {
    for (uint32_t h : s.walk.headers) {
      if (!reference) reference = h & kKindAndRateMask;
      varies = varies || (h & kKindAndRateMask) != *reference;
    }
    frames += s.walk.frames.size();
    if (s.frames) last = &s;
  }
  const bool ownHeader = !firstHeader && varies;

  // What the rules keep, and where the header frame goes in it.
  Bytes kept;
  std::optional<size_t> headerAt;
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source& s = sources[i];
    if (!s.frames) {
      Append(kept, s.audio, 0, s.audio.size());
      continue;
    }
    Append(kept, s.audio, i == 0 ? 0 : s.walk.tagsEnd, s.walk.firstFrame);
    if ((i == 0 && firstHeader) || (ownHeader && !headerAt)) headerAt = kept.size();
    Append(kept, s.audio, i == 0 ? s.walk.firstFrame : s.audioStart(), s.audio.size());
  }
  if (!headerAt) {
    Require(joined == kept);
    return;
  }
  // The header frame: the first source's, rewritten, or one of the join's own put in.
  const size_t frameBytes =
      firstHeader ? first.walk.firstFrameBytes
                  : (joined.size() >= *headerAt + 4 ? test::Layer3Bytes(&joined[*headerAt]) : 0);
  const size_t inserted = firstHeader ? 0 : frameBytes;
  Require(frameBytes > 0 && joined.size() == kept.size() + inserted);
  Require(Same(joined, 0, kept, 0, *headerAt));
  Require(
      Same(joined, *headerAt + frameBytes, kept, *headerAt + frameBytes - inserted, kept.size()));
  if (firstHeader) {
    const Bytes original(first.audio.begin() + static_cast<std::ptrdiff_t>(first.walk.firstFrame),
                         first.audio.begin() + static_cast<std::ptrdiff_t>(first.audioStart()));
    CheckRewrittenFrame(joined, *headerAt, original, *first.walk.header);
  }
  // Frames that meet across a seam could read as more frames than the sources hold; only
  // a joined file that walks as the sources' frames is held to its header's numbers.
  const test::WalkedFile walked = test::WalkMp3(joined);
  if (walked.firstFrame != *headerAt || !walked.header || walked.frames.size() != frames) return;
  CheckHeader(joined, walked, firstHeader ? first.walk.header : std::nullopt, last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partwell;
  if (size < kControlBytes) return 0;
  const Bytes body(data + kControlBytes, data + size);
  const size_t count = (data[0] & 1) ? 3 : 2;
  std::vector<size_t> cuts = {0};
  cuts.push_back((data[1] | data[2] << 8) % (body.size() + 1));
  if (count == 3) cuts.push_back(cuts[1] + (data[3] | data[4] << 8) % (body.size() - cuts[1] + 1));
  cuts.push_back(body.size());

  std::vector<std::pair<std::string, Bytes>> files;
  std::vector<std::string> paths;
  std::vector<Source> sources;
  for (size_t i = 0; i < count; ++i) {
    paths.push_back("/mem/" + std::to_string(i + 1) + ".mp3");
    files.emplace_back(paths.back(),
                       Bytes(body.begin() + static_cast<std::ptrdiff_t>(cuts[i]),
                             body.begin() + static_cast<std::ptrdiff_t>(cuts[i + 1])));
    sources.push_back(Read(files.back().second));
  }
  fuzz::StartFiles(files);
  fuzz::QuietHost host;
  Require(RunJoin("/mem/joined.mp3", paths, host).completed());
  fuzz::RequireSpared(files);
  if (std::all_of(sources.begin(), sources.end(), [](const Source& s) { return s.plain; }) &&
      !MayContinue(sources)) {
    CheckJoined(*memory::FileBytes("/mem/joined.mp3"), sources);
  }
  return 0;
}
