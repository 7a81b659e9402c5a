#include "analysis/quick_levels.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/loudness_levels.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"
#include "mpeg/stream_scan.h"

namespace partwell {
namespace {

// A step of the global gain scales the values by 2^(1/4); a step of a subblock gain by 2^-2.
constexpr double kGainStepDb = 1.5051499783199060;
constexpr double kSubblockStepDb = 12.041199826559248;
// A quantised value v is dequantised to v^(4/3).
constexpr double kValueExponentDb = 20.0 * 4.0 / 3.0;
constexpr int kGainOffset = 210;
// From the peak of the dequantised values to the RMS level of the decoded 10 ms windows of
// loud music: the median offset over the test sources, MPEG-1 and MPEG-2/2.5 alike.
constexpr double kPeakToRmsDb = -6.0;
// Frames between two asks whether to halt.
constexpr uint64_t kFramesPerHaltCheck = 256;

// The largest magnitude Huffman table `table` codes: tables 16 to 31 add linbits.
int TableLargestValue(int table) {
  static constexpr std::array<int, 16> kSmall = {0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15};
  static constexpr std::array<int, 16> kLinbits = {1, 2, 3, 4, 6, 8, 10, 13,
                                                   4, 5, 6, 7, 8, 9, 11, 13};
  if (table < 16) return kSmall[static_cast<size_t>(table)];
  return 15 + (1 << kLinbits[static_cast<size_t>(table - 16)]) - 1;
}

class BitReader {
 public:
  explicit BitReader(const unsigned char* data) : data_(data) {}
  int Read(int bits) {
    int value = 0;
    for (int i = 0; i < bits; ++i, ++at_) {
      value = (value << 1) | ((data_[at_ >> 3] >> (7 - (at_ & 7))) & 1);
    }
    return value;
  }
  void Skip(int bits) { at_ += static_cast<size_t>(bits); }

 private:
  const unsigned char* data_;
  size_t at_ = 0;
};

// The level of one channel's granule, read from its side information; the reader then
// stands at the next channel's.
float ChannelLevel(BitReader& bits, bool mpeg1) {
  const int part23Length = bits.Read(12);
  const int bigValues = bits.Read(9);
  const int globalGain = bits.Read(8);
  bits.Skip(mpeg1 ? 4 : 9);  // scalefac_compress
  std::array<int, 3> tables{};
  int subblockGain = 0;
  if (bits.Read(1)) {  // window switching
    const int blockType = bits.Read(2);
    bits.Skip(1);  // mixed block
    tables[0] = bits.Read(5);
    tables[1] = bits.Read(5);
    // The loudest of the three short windows has the smallest gain.
    std::array<int, 3> gains{bits.Read(3), bits.Read(3), bits.Read(3)};
    if (blockType == 2) subblockGain = *std::min_element(gains.begin(), gains.end());
  } else {
    for (int& table : tables) table = bits.Read(5);
    bits.Skip(4 + 3);  // region counts
  }
  bits.Skip(mpeg1 ? 3 : 2);  // preflag (MPEG-1), scalefac_scale, count1 table
  if (part23Length == 0) return kSilenceFloorDb;
  int largest = 1;  // the count1 region codes values up to 1
  if (bigValues > 0) {
    for (int table : tables) largest = std::max(largest, TableLargestValue(table));
  }
  double level = kGainStepDb * (globalGain - kGainOffset) +
                 kValueExponentDb * std::log10(static_cast<double>(largest)) -
                 kSubblockStepDb * subblockGain + kPeakToRmsDb;
  return static_cast<float>(std::clamp(level, double{kSilenceFloorDb}, 0.0));
}

class GranuleReader : public FrameVisitor {
 public:
  GranuleReader(JobHost& host, std::vector<float>& levels) : host_(host), levels_(levels) {}

  bool Visit(const MpegFrame& frame, const unsigned char* bytes, const StreamScan& scan) override {
    if (!HeaderIsLayer3(frame.header) || frame.length < static_cast<uint32_t>(Layer3MainDataOffset(frame.header))) {
      notLayer3_ = true;
      return false;
    }
    if (scan.audioFrames % kFramesPerHaltCheck == 0) {
      if (host_.HaltRequested()) {
        halted_ = true;
        return false;
      }
      int reached = static_cast<int>(std::min<uint64_t>(frame.position, scan.endOfAudio) * 100 /
                                     std::max<uint64_t>(scan.endOfAudio, 1));
      if (reached != percent_) host_.UnitStarted(percent_ = reached);
    }
    const bool mpeg1 = HeaderVersionBits(frame.header) == 3;
    const int channels = ChannelCount(frame.header);
    BitReader bits(bytes + 4 + (HeaderHasCrc(frame.header) ? 2 : 0));
    bits.Skip((mpeg1 ? 9 : 8) + (mpeg1 ? (channels == 1 ? 5 : 3) : channels) +
              (mpeg1 ? 4 * channels : 0));  // main_data_begin, private bits, scfsi
    for (int granule = 0; granule < (mpeg1 ? 2 : 1); ++granule) {
      float level = kSilenceFloorDb;
      for (int channel = 0; channel < channels; ++channel) {
        level = std::max(level, ChannelLevel(bits, mpeg1));
      }
      levels_.push_back(level);
    }
    return true;
  }

  bool halted() const { return halted_; }
  bool notLayer3() const { return notLayer3_; }
  int percent() const { return percent_; }

 private:
  JobHost& host_;
  std::vector<float>& levels_;
  bool halted_ = false;
  bool notLayer3_ = false;
  int percent_ = -1;
};

}  // namespace

JobReport MeasureQuickLevels(const std::string& path, JobHost& host, QuickLevels& levels) {
  levels = QuickLevels();
  JobReport report;
  report.kind = JobKind::kLevels;
  File source = File::OpenForReading(path);
  if (!source.IsOpen()) {
    report.outcome = JobOutcome::kCannotOpen;
    report.failedPath = path;
    report.failureReason = SystemErrorText(source.LastError());
    return report;
  }
  host.JobStarted();
  report.jobStarted = true;
  GranuleReader reader(host, levels.levelsDb);
  StreamScan scan;
  StreamScanOutcome scanned = ScanStream(source, scan, &reader);
  if (reader.halted()) {
    report.outcome = JobOutcome::kCancelled;
  } else if (scanned == StreamScanOutcome::kReadFailed) {
    report.outcome = JobOutcome::kFileError;
    report.failedPath = path;
    report.failureReason = ReadFailureText(source);
  } else if (scanned != StreamScanOutcome::kScanned || reader.notLayer3() ||
             scan.audioFrames == 0) {
    report.outcome = JobOutcome::kNoAudio;
  } else {
    if (reader.percent() != 100) host.UnitStarted(100);
    report.outcome = JobOutcome::kCompleted;
    levels.sampleRate = SampleRate(scan.first.header);
    levels.timelineLength = scan.timeline.length;
    // A granule's samples come out of the decoder half a granule later than its start in
    // the stream (the transform's overlap), and the timeline begins rawStart into the output.
    levels.firstSample = kGranuleSamples / 2 - static_cast<int64_t>(scan.timeline.rawStart);
  }
  if (!report.completed()) levels.levelsDb.clear();
  levels.levelsDb.shrink_to_fit();
  return report;
}

}  // namespace partwell
