#include "mpeg/frame_header.h"

namespace partwell {
namespace {

constexpr int kMpeg1Layer3Kbps[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                      112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Layer3Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kMpeg1SampleRates[3] = {44100, 48000, 32000};
constexpr int kMpeg1Layer1Kbps[15] = {0,   32,  64,  96,  128, 160, 192, 224,
                                      256, 288, 320, 352, 384, 416, 448};
constexpr int kMpeg1Layer2Kbps[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                      128, 160, 192, 224, 256, 320, 384};
constexpr int kMpeg2Layer1Kbps[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                      128, 144, 160, 176, 192, 224, 256};

}  // namespace

MpegVersion HeaderVersion(uint32_t word) {
  switch (HeaderVersionBits(word)) {
    case 3:
      return MpegVersion::kMpeg1;
    case 2:
      return MpegVersion::kMpeg2;
    case 0:
      return MpegVersion::kMpeg25;
    default:
      return MpegVersion::kReserved;
  }
}

bool IsFrameHeader(uint32_t word) {
  return (word & kSyncBits) == kSyncBits && HeaderBitRateIndex(word) != 15 &&
         HeaderSampleRateIndex(word) != 3 && HeaderVersionBits(word) != 1 &&
         HeaderLayerBits(word) != 0 && (word & kEmphasisBits) != 2;
}

int Layer3BitRate(uint32_t word) {
  int index = HeaderBitRateIndex(word);
  if (index > 14) return 0;
  return HeaderVersion(word) == MpegVersion::kMpeg1 ? kMpeg1Layer3Kbps[index]
                                                    : kMpeg2Layer3Kbps[index];
}

int SampleRate(uint32_t word) {
  uint32_t index = HeaderSampleRateIndex(word);
  if (index > 2) return 0;
  switch (HeaderVersion(word)) {
    case MpegVersion::kMpeg1:
      return kMpeg1SampleRates[index];
    case MpegVersion::kMpeg2:
      return kMpeg1SampleRates[index] / 2;
    case MpegVersion::kMpeg25:
      return kMpeg1SampleRates[index] / 4;
    default:
      return 0;
  }
}

int Layer3SamplesPerFrame(uint32_t word) {
  return HeaderVersion(word) == MpegVersion::kMpeg1 ? 1152 : 576;
}

int Layer3FrameLength(uint32_t word) {
  int rate = SampleRate(word);
  int kbps = Layer3BitRate(word);
  if (rate == 0 || kbps == 0) return 0;
  int slotsPerKbps = HeaderVersion(word) == MpegVersion::kMpeg1 ? 144000 : 72000;
  return slotsPerKbps * kbps / rate + static_cast<int>(HeaderPadding(word));
}

int FrameLength(uint32_t word) {
  if (!IsFrameHeader(word)) return 0;
  int rate = SampleRate(word);
  int index = HeaderBitRateIndex(word);
  bool mpeg1 = HeaderVersion(word) == MpegVersion::kMpeg1;
  int padding = static_cast<int>(HeaderPadding(word));
  switch (HeaderLayerBits(word)) {
    case 3: {  // Layer I: slots of 4 bytes
      int kbps = mpeg1 ? kMpeg1Layer1Kbps[index] : kMpeg2Layer1Kbps[index];
      return (12000 * kbps / rate + padding) * 4;
    }
    case 2: {  // Layer II: the MPEG-2 row is Layer III's
      int kbps = mpeg1 ? kMpeg1Layer2Kbps[index] : kMpeg2Layer3Kbps[index];
      return 144000 * kbps / rate + padding;
    }
    default:
      return Layer3FrameLength(word);
  }
}

int SamplesPerFrame(uint32_t word) {
  switch (HeaderLayerBits(word)) {
    case 3:
      return 384;
    case 2:
      return 1152;
    default:
      return Layer3SamplesPerFrame(word);
  }
}

}  // namespace partwell
