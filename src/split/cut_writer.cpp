// The cut-out writer: see cut_writer.h.
#include "split/cut_writer.h"

#include <algorithm>
#include <limits>

#include "mpeg/frame_header.h"
#include "mpeg/side_info.h"
#include "split/exact_track_writer.h"
#include "split/main_data_copy.h"
#include "split/track_file.h"

namespace partwell {
namespace {

// The shortest Layer III frame: 8 kbit/s at 24 kHz.
constexpr uint64_t kSmallestFrameBytes = 24;

// Source frames [first, end) written one after the other.
struct Span {
  int64_t first = 0;
  int64_t end = 0;
};

class CutFileWriter {
 public:
  CutFileWriter(WholeSource& source, const CutPlan& plan, CutOutput output, JobReport& report,
                std::vector<SeamRepair>& repairs, const std::vector<MadeSpan>& made)
      : whole_(source),
        source_(source.stream()),
        frames_(source.frames()),
        plan_(plan),
        output_(std::move(output)),
        report_(report),
        repairs_(repairs),
        made_(made) {}
  bool Write();

 private:
  bool SourceReadError() { return whole_.ReadError(report_); }
  bool WriterFailed();
  bool FileFailed();
  void LayOut();
  const FrameRecord* Record(int64_t index) const {
    return index >= 0 && static_cast<size_t>(index) < frames_.size() ? &frames_[index] : nullptr;
  }
  bool Borrowed(int64_t index, std::vector<unsigned char>& bytes);
  bool AddMade(std::vector<unsigned char> frame);
  bool AddSource(int64_t index);
  bool AddStartReservoir(int64_t first);
  bool CarryAcross(std::vector<std::vector<unsigned char>>& tail,
                   const std::vector<unsigned char>& borrowed, uint32_t next, SeamRepair& repair);
  bool WriteSeam(const Span& before, int64_t after, const MadeSpan* made);

  WholeSource& whole_;
  ExactSource& source_;
  const std::vector<FrameRecord>& frames_;
  const CutPlan& plan_;
  CutOutput output_;
  JobReport& report_;
  std::vector<SeamRepair>& repairs_;
  const std::vector<MadeSpan>& made_;
  TrackLayout layout_;
  std::vector<Span> spans_;
  std::optional<ExactTrackWriter> writer_;
  std::vector<uint32_t> lengths_;  // of the audio frames written, for the TOC
  int64_t addedSilence_ = 0;       // samples of reservoir frames put in at seams
  bool silentEnd_ = false;         // a silent frame follows the only frame of the source
};

bool CutFileWriter::WriterFailed() {
  if (writer_->failure() == ExactTrackWriter::Failure::kRead) return SourceReadError();
  return FileFailed();
}

bool CutFileWriter::FileFailed() {
  return report_.FailFile(output_.name, SystemErrorText(output_.out.LastError()));
}

void CutFileWriter::LayOut() {
  const CutSource& cut = source_.facts().cut;
  layout_ = LayOutTrack(cut, plan_.keptStart);
  int64_t last = LastFrameBefore(cut, plan_.keptEnd);
  // Two audio frames at least: with one, ffmpeg cannot open the file. A source of one frame
  // gets a silent frame after it, which the padding leaves out.
  if (!layout_.reservoir && last == 0) {
    if (frames_.size() > 1) {
      last = 1;
    } else {
      silentEnd_ = true;
    }
  }
  int64_t first = layout_.firstFrame;
  for (const FrameSeam& seam : plan_.seams) {
    spans_.push_back({first, seam.first});
    first = seam.end;
  }
  spans_.push_back({first, std::min<int64_t>(last + 1, static_cast<int64_t>(frames_.size()))});
}

bool CutFileWriter::Borrowed(int64_t index, std::vector<unsigned char>& bytes) {
  const FrameRecord& next = frames_[index];
  const uint64_t offset = static_cast<uint64_t>(Layer3MainDataOffset(next.frame.header));
  size_t count = 0;
  if (next.frame.length > offset) {
    const unsigned char* data = source_.Bytes(next.frame.position, offset);
    if (!data) return SourceReadError();
    count = static_cast<size_t>(MainDataBegin(data));
  }
  // Bytes from before the stream stay zero.
  const uint64_t to = next.areaStart;
  const uint64_t from = to - std::min<uint64_t>(to, count);
  bytes.assign(static_cast<size_t>(to - from), 0);
  return CopyMainData([this](int64_t i) { return Record(i); }, index - 1, from, to, bytes.data(),
                      [this](uint64_t at, size_t length) { return source_.Bytes(at, length); }) ||
         SourceReadError();
}

bool CutFileWriter::AddMade(std::vector<unsigned char> frame) {
  lengths_.push_back(static_cast<uint32_t>(frame.size()));
  return writer_->AddMadeFrame(std::move(frame)) || WriterFailed();
}

bool CutFileWriter::AddSource(int64_t index) {
  lengths_.push_back(static_cast<uint32_t>(frames_[index].frame.length));
  return writer_->AddSourceFrame(frames_[index].frame) || WriterFailed();
}

bool CutFileWriter::AddStartReservoir(int64_t first) {
  std::vector<unsigned char> borrowed;
  if (!Borrowed(first, borrowed)) return false;
  const uint32_t next = frames_[first].frame.header;
  const int index =
      ReservoirIndex(next, static_cast<int>(borrowed.size()), source_.ring().ConstantIndex());
  return AddMade(MakeReservoirFrame(next, index, borrowed.data(), borrowed.size()));
}

// The last frames of `before` (those from `tailStart` on) go out as copies, repaired for
// `made`'s frames when there are any, then those, repaired for frame `after`, the first
// after the seam.
bool CutFileWriter::WriteSeam(const Span& before, int64_t after, const MadeSpan* made) {
  int64_t tailStart = before.end;
  for (int64_t area = 0; tailStart > before.first && area < kSeamTailArea;) {
    --tailStart;
    area += Layer3MainDataBytes(frames_[tailStart].frame.header);
  }
  for (int64_t index = before.first; index < tailStart; ++index) {
    if (!AddSource(index)) return false;
  }
  // The writer's pending frames go out before the reads below move the source's buffer.
  if (!writer_->Flush()) return WriterFailed();
  std::vector<std::vector<unsigned char>> tail;
  for (int64_t index = tailStart; index < before.end; ++index) {
    const MpegFrame& frame = frames_[index].frame;
    const unsigned char* data = source_.Bytes(frame.position, frame.length);
    if (!data) return SourceReadError();
    tail.emplace_back(data, data + frame.length);
  }
  std::vector<unsigned char> borrowed;
  if (!Borrowed(after, borrowed)) return false;
  if (made && !made->frames.empty()) {
    SeamRepair into;
    if (!CarryAcross(tail, made->borrowed, ReadBigEndian32(made->frames.front().data()), into)) {
      return false;
    }
    tail = made->frames;
  }
  SeamRepair repair;
  if (!CarryAcross(tail, borrowed, frames_[after].frame.header, repair)) return false;
  repairs_.push_back(repair);
  return true;
}

// Carries `borrowed` (what the frame of header `next` borrows) in `tail` and writes it, with a
// reservoir frame after it when the tail cannot hold the bytes.
bool CutFileWriter::CarryAcross(std::vector<std::vector<unsigned char>>& tail,
                                const std::vector<unsigned char>& borrowed, uint32_t next,
                                SeamRepair& repair) {
  repair = RepairSeam(tail, borrowed);
  for (std::vector<unsigned char>& frame : tail) {
    if (!AddMade(std::move(frame))) return false;
  }
  if (repair != SeamRepair::kReservoirFrame) return true;
  addedSilence_ += source_.facts().cut.samplesPerFrame;
  return AddMade(MakeReservoirFrame(next, SmallestIndexHolding(next, borrowed.size() + 1),
                                    borrowed.data(), borrowed.size()));
}

bool CutFileWriter::Write() {
  LayOut();
  writer_.emplace(output_.out, output_.leadingTag, source_.reader(), source_.Tag(),
                  source_.facts().headerIndex, 0);
  if (layout_.reservoir && !AddStartReservoir(layout_.firstFrame)) return false;
  for (size_t i = 0; i < spans_.size(); ++i) {
    if (i + 1 < spans_.size()) {
      if (!WriteSeam(spans_[i], spans_[i + 1].first, i < made_.size() ? &made_[i] : nullptr)) {
        return false;
      }
      continue;
    }
    for (int64_t index = spans_[i].first; index < spans_[i].end; ++index) {
      if (!AddSource(index)) return false;
    }
  }
  if (silentEnd_ && !AddMade(MakeSilentFrame(frames_.back().frame.header))) return false;
  TocRecorder toc(lengths_.size());
  uint64_t offset = 0;
  for (size_t frame = 0; frame < lengths_.size(); ++frame) {
    toc.Frame(frame, offset);
    offset += lengths_[frame];
  }
  const int64_t samples = plan_.samples + addedSilence_;
  const int64_t padding =
      static_cast<int64_t>(lengths_.size()) * source_.facts().cut.samplesPerFrame - layout_.delay -
      samples;
  if (!writer_->Flush()) return WriterFailed();
  const Trailer& trailer = output_.trailer;
  if (trailer.present() && !output_.out.Write(trailer.bytes, kTrailerBytes)) return FileFailed();
  if (!writer_->WriteInfoFrame(layout_.delay, padding, toc)) return WriterFailed();
  return output_.out.Close() || FileFailed();
}

}  // namespace

bool WholeSource::Open(const std::string& path, JobReport& report) {
  path_ = path;
  if (!source_.Open(path, report)) return false;
  // Room for the frames the header states, as many as the file can hold at most: the list
  // then grows without being copied.
  if (const std::optional<uint64_t> stated = source_.facts().statedFrames) {
    const uint64_t most = source_.reader().end() / kSmallestFrameBytes;
    frames_.reserve(static_cast<size_t>(std::min(*stated, most)));
  }
  for (;;) {
    // The buffer moves on in whole buffers, not in the scan's small reads.
    if (!source_.Holds() && !source_.KeepFrom(std::numeric_limits<uint64_t>::max())) {
      return ReadError(report);
    }
    const FrameScanner::Step step = source_.Scan();
    if (step == FrameScanner::Step::kReadFailed) return ReadError(report);
    if (step != FrameScanner::Step::kFrame) return true;
    frames_.push_back(*source_.Recorded(source_.scanned() - 1));
  }
}

bool WholeSource::ReadError(JobReport& report) {
  report.FailFile(path_, ReadFailureText(source_.file()));
  return false;
}

bool WriteCutFile(WholeSource& source, const CutPlan& plan, CutOutput output, JobReport& report,
                  std::vector<SeamRepair>& repairs, const std::vector<MadeSpan>& made) {
  return CutFileWriter(source, plan, std::move(output), report, repairs, made).Write();
}

}  // namespace partwell
