#include "split/seam_repair.h"

#include <algorithm>
#include <cstdint>

#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"

namespace partwell {
namespace {

constexpr unsigned char kFill = 0x55;

int64_t AreaBytes(const std::vector<unsigned char>& frame) {
  const uint32_t header = ReadBigEndian32(frame.data());
  return std::max<int64_t>(0, static_cast<int64_t>(frame.size()) - Layer3MainDataOffset(header));
}

// The main data bytes at the end of `tail` that none of its frames reads.
int64_t Room(const std::vector<std::vector<unsigned char>>& tail) {
  int64_t areaStart = 0;
  int64_t dataEnd = 0;
  for (const std::vector<unsigned char>& frame : tail) {
    if (AreaBytes(frame) > 0) {
      dataEnd =
          std::max(dataEnd, areaStart - MainDataBegin(frame.data()) + MainDataLength(frame.data()));
    }
    areaStart += AreaBytes(frame);
  }
  return std::max<int64_t>(0, areaStart - dataEnd);
}

// Writes `bytes` over the last bytes of the main data areas of `tail`.
void WriteAtEnd(std::vector<std::vector<unsigned char>>& tail,
                const std::vector<unsigned char>& bytes) {
  size_t left = bytes.size();
  for (auto frame = tail.rbegin(); frame != tail.rend() && left > 0; ++frame) {
    const size_t take = std::min(left, static_cast<size_t>(AreaBytes(*frame)));
    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(left - take),
              bytes.begin() + static_cast<std::ptrdiff_t>(left),
              frame->end() - static_cast<std::ptrdiff_t>(take));
    left -= take;
  }
}

// The bit rate index the last frame of `tail` takes to carry `missing` bytes more; 0 when
// none holds them.
int LargerIndex(const std::vector<std::vector<unsigned char>>& tail, int64_t missing) {
  const std::vector<unsigned char>& last = tail.back();
  const uint32_t header = ReadBigEndian32(last.data());
  for (int index = HeaderBitRateIndex(header) + 1; index <= 14; ++index) {
    if (Layer3MainDataBytes(ReframedHeader(header, index)) >= AreaBytes(last) + missing) {
      return index;
    }
  }
  return 0;
}

}  // namespace

bool SeamHolds(const std::vector<std::vector<unsigned char>>& tail, size_t borrowed) {
  if (borrowed == 0) return true;
  if (tail.empty()) return false;
  const int64_t missing = static_cast<int64_t>(borrowed) - Room(tail);
  return missing <= 0 || LargerIndex(tail, missing) > 0;
}

SeamRepair RepairSeam(std::vector<std::vector<unsigned char>>& tail,
                      const std::vector<unsigned char>& borrowed) {
  if (borrowed.empty()) return SeamRepair::kNothingBorrowed;
  if (tail.empty()) return SeamRepair::kReservoirFrame;
  const int64_t room = Room(tail);
  const int64_t missing = static_cast<int64_t>(borrowed.size()) - room;
  if (missing <= 0) {
    WriteAtEnd(tail, borrowed);
    return SeamRepair::kRoom;
  }
  std::vector<unsigned char>& last = tail.back();
  const uint32_t header = ReadBigEndian32(last.data());
  const int index = LargerIndex(tail, missing);
  if (index > 0) {
    const uint32_t larger = ReframedHeader(header, index);
    last.resize(static_cast<size_t>(Layer3FrameLength(larger)), kFill);
    WriteFrameHeader(last.data(), larger);
    WriteAtEnd(tail, borrowed);
    return SeamRepair::kLargerFrame;
  }
  return SeamRepair::kReservoirFrame;
}

}  // namespace partwell
