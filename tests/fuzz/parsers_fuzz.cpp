// Fuzz target for the small parsers; the first byte chooses which, the rest is its input.
// - The Info/Xing/VBRI reader and rewriter, on a frame: the reader must agree with the tests'
//   own (mp3_walk.h) wherever a Layer III frame header begins the bytes, find only fields
//   that lie in the frame, and read back every number the rewriter writes, which leaves
//   every other byte alone.
// - The time text parser: it must read as C's sscanf reads "%3u:%2u.%2u" (signs aside), and
//   what it reads must survive formatting and reading again.
// - The track name expansion: a name is at most 259 characters, ends in ".mp3", and holds no
//   more folder separators than its pattern, whatever the artist, title and source name.
// A broken promise aborts.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "../mp3_walk.h"
#include "fuzz_support.h"
#include "mpeg/info_header.h"
#include "split/track_naming.h"
#include "split/track_time.h"

namespace {

using partwell::fuzz::Bytes;
using partwell::fuzz::Require;
namespace test = partwell::test;

bool SameField(const std::optional<size_t>& ours, size_t walked) {
  return ours ? *ours == walked : walked == 0;
}

void CheckAgainstWalker(const partwell::VbrHeader& header, const test::WalkedHeader& walked) {
  Require(header.offset == walked.markerField &&
          SameField(header.framesField, walked.framesField) &&
          SameField(header.bytesField, walked.bytesField) &&
          SameField(header.tocField, walked.tocField));
  Require(header.lame.has_value() == walked.lame);
  if (!header.lame) return;
  Require(header.lame->offset == walked.lameField && header.lame->delay == walked.delay &&
          header.lame->padding == walked.padding && header.lame->tagCrcHolds == walked.tagCrcHolds);
}

// Bytes 0-12: the numbers to write (frames, bytes, delay and padding, music CRC); then the frame.
void CheckInfoHeader(const Bytes& input) {
  if (input.size() < 13) return;
  const Bytes frame(input.begin() + 13, input.end());
  const std::optional<partwell::VbrHeader> header =
      partwell::ReadVbrHeader(frame.data(), frame.size());
  if (frame.size() >= 4 && test::Layer3Bytes(frame.data()) > 0) {
    std::optional<test::WalkedHeader> walked = test::ReadHeaderFrame(frame.data(), frame.size());
    Require(header.has_value() == walked.has_value());
    if (header) CheckAgainstWalker(*header, *walked);
  }
  if (!header) return;
  std::vector<bool> field(frame.size(), false);
  auto mark = [&](std::optional<size_t> at, size_t bytes) {
    if (!at) return;
    Require(*at + bytes <= frame.size());
    std::fill_n(field.begin() + static_cast<std::ptrdiff_t>(*at), bytes, true);
  };
  mark(header->framesField, 4);
  mark(header->bytesField, 4);
  mark(header->tocField, partwell::kXingTocBytes);
  const bool lameRewritten = header->lame && header->lame->tagCrcHolds;
  if (header->lame) Require(header->lame->offset + partwell::kLameExtensionBytes <= frame.size());
  if (lameRewritten) {
    mark(header->lame->offset + partwell::kLameDelayPadding, 3);
    mark(header->lame->offset + partwell::kLameMusicLength, 8);  // music length and both CRCs
  }

  std::array<uint8_t, partwell::kXingTocBytes> toc;
  for (size_t i = 0; i < toc.size(); ++i) toc[i] = static_cast<uint8_t>(input[i % 13] + i);
  partwell::VbrHeaderUpdate update;
  update.audioFrames = test::BigEndian(&input[0], 4);
  update.bytes = test::BigEndian(&input[4], 4);
  update.toc = &toc;
  update.delay = static_cast<int>(test::BigEndian(&input[8], 3) >> 12);
  update.padding = static_cast<int>(test::BigEndian(&input[8], 3) & 0xFFF);
  update.musicCrc = static_cast<uint16_t>(test::BigEndian(&input[11], 2));
  Bytes rewritten = frame;
  partwell::UpdateVbrHeader(rewritten.data(), *header, update);
  for (size_t i = 0; i < frame.size(); ++i) Require(field[i] || rewritten[i] == frame[i]);

  std::optional<partwell::VbrHeader> again =
      partwell::ReadVbrHeader(rewritten.data(), rewritten.size());
  Require(again && again->kind == header->kind && again->offset == header->offset);
  if (header->framesField) Require(again->frames == update.audioFrames);
  if (header->bytesField) Require(again->bytes == update.bytes);
  if (header->tocField) Require(std::equal(toc.begin(), toc.end(), &rewritten[*header->tocField]));
  Require(again->lame.has_value() == header->lame.has_value());
  if (!lameRewritten) return;
  Require(again->lame->tagCrcHolds && again->lame->delay == *update.delay &&
          again->lame->padding == *update.padding && again->lame->musicLength == update.bytes &&
          again->lame->musicCrc == *update.musicCrc);
}

void CheckTimeText(const std::string& text) {
  const std::optional<partwell::TimeParts> parts = partwell::ParseTimeText(text.c_str());
  const std::string head = text.substr(0, partwell::kTimeTextReadLength);
  if (head.find_first_of("+-") == std::string::npos) {
    unsigned minutes = 0, seconds = 0, hundredths = 0;
    int read = std::sscanf(head.c_str(), "%3u:%2u.%2u", &minutes, &seconds, &hundredths);
    const bool valid = read >= 2 && seconds <= 59;
    Require(parts.has_value() == valid);
    if (valid) {
      Require(parts->minutes == minutes && parts->seconds == seconds &&
              parts->hundredths == (read == 3 ? hundredths : 0));
    }
  }
  if (!parts) return;
  Require(parts->minutes <= 999 && parts->seconds <= 59 && parts->hundredths <= 99);
  const std::optional<partwell::TimeParts> again =
      partwell::ParseTimeText(partwell::FormatTimeText(*parts).c_str());
  Require(again && again->minutes == parts->minutes && again->seconds == parts->seconds &&
          again->hundredths == parts->hundredths);
  const partwell::TimeParts back = partwell::TimePartsOfOffset(partwell::TimeOffset(*parts));
  Require(back.minutes == parts->minutes && back.seconds == parts->seconds &&
          back.hundredths == parts->hundredths);
}

// Byte 0: the track's index (255: a track beyond the list); then the folder, the template,
// the artist, the title and the source's path, apart by zero bytes.
void CheckTrackName(const Bytes& input) {
  if (input.empty()) return;
  std::vector<std::string> parts(1);
  for (size_t i = 1; i < input.size(); ++i) {
    if (input[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(input[i]);
    }
  }
  parts.resize(5);
  partwell::TrackEntry entry;
  partwell::SetTrackText(entry.artist, parts[2]);
  partwell::SetTrackText(entry.title, parts[3]);
  const std::string pattern = partwell::BuildTrackNamePattern(parts[0], parts[4], parts[1]);
  const std::optional<std::string> name =
      partwell::MakeTrackFileName(pattern, parts[4], input[0] == 255 ? nullptr : &entry, input[0]);
  if (!name) return;
  Require(name->size() <= partwell::kMaxPathChars && name->size() >= 4 &&
          name->compare(name->size() - 4, 4, ".mp3") == 0);
  auto separators = [](const std::string& text) {
    return std::count_if(text.begin(), text.end(), partwell::IsPathSeparator);
  };
  Require(separators(*name) == separators(pattern));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Bytes input(data + 1, data + size);
  switch (data[0] % 3) {
    case 0:
      CheckInfoHeader(input);
      break;
    case 1:
      CheckTimeText(std::string(input.begin(), std::find(input.begin(), input.end(), 0)));
      break;
    default:
      CheckTrackName(input);
      break;
  }
  return 0;
}
