#include "join/join_engine.h"

#include <algorithm>
#include <optional>

#include "io/buffered_source.h"
#include "io/file.h"
#include "join/join_chapters.h"
#include "join/join_source.h"
#include "join/joined_stream.h"
#include "join/track_junction.h"
#include "mpeg/frame_header.h"
#include "mpeg/xing_frame.h"

namespace partwell {
namespace {

// Longer than any frame: a frame that ends this far inside the bytes the buffer holds is
// followed by a frame that the buffer holds whole.
constexpr size_t kLookahead = 4096;

// Whether players take two streams for one kind: version, layer, sampling rate, channels.
bool SameKind(uint32_t a, uint32_t b) {
  return SameStream(a, b) && ChannelCount(a) == ChannelCount(b);
}

// Of a source that is not the first, the join leaves out the ID3v2 tags it begins with and a
// first frame that holds a header: the joined file has one header, at its start, that speaks
// for all of it. A source without MPEG audio keeps its tags. Every source loses its ID3v1
// trailer; all other bytes are copied as they are.
class Joiner {
 public:
  Joiner(const std::string& destination, const std::vector<std::string>& sources, JobHost& host,
         bool chapters)
      : destination_(destination), sources_(sources), host_(host), chapters_(chapters) {
    result_.kind = JobKind::kJoin;
  }

  JobReport Run();

 private:
  void ChooseHeader(JoinSource& first);
  std::optional<bool> AllOneBitRate(JoinSource& first);
  CopyStatus JoinOne(size_t index, JoinSource& source);
  bool LeaveOutRepeats(size_t index, JoinSource& source, uint64_t& from);
  CopyStatus WriteHeader(std::vector<unsigned char> frame, const VbrHeader& header);
  CopyStatus CopyAudio(JoinSource& source, uint64_t from);
  bool KeepForTail(BufferedSource& reader, const MpegFrame& frame, uint64_t position);
  CopyStatus Copy(BufferedSource& reader, uint64_t from, uint64_t to);
  CopyStatus Emit(BufferedSource& reader, uint64_t from, uint64_t to);
  bool CloseDestination();
  JobReport Finish(JobOutcome outcome);
  JobReport Fail(const std::string& path, const std::string& reason);

  const std::string& destination_;
  const std::vector<std::string>& sources_;
  JobHost& host_;
  bool chapters_;
  JoinChapterTag chapterTag_;  // with chapters: written in place of the first source's tag
  JobReport result_;
  File out_;
  uint64_t written_ = 0;
  JoinedStream stream_;
  JoinedTail tail_;
  bool leftOut_ = false;    // frames that repeat the stream before them were left out
  bool ownHeader_ = false;  // the joined file gets a Xing frame of our own
  bool inspect_ = false;    // the audio's frames are counted and its bytes checked as they pass
  std::optional<uint32_t> firstHeader_;  // of the first source that holds MPEG audio
  // A source that the scan for bit rates could not open or read, and why: the join stops there.
  struct ScanFailure {
    size_t index;
    std::string reason;
  };
  std::optional<ScanFailure> scanFailure_;
};

JobReport Joiner::Run() {
  // Creating the destination empties it: it must not be one of the sources, by any name.
  const std::optional<FileIdentity> existing = IdentifyPath(destination_);
  for (const std::string& source : sources_) {
    if (WouldReplace(source, destination_, existing)) {
      result_.outcome = JobOutcome::kDestinationIsSource;
      return result_;
    }
  }
  if (chapters_) {
    chapterTag_ = MakeJoinChapterTag(sources_);
    if (!chapterTag_.failedPath.empty()) {
      return Fail(chapterTag_.failedPath, chapterTag_.failureReason);
    }
  }
  out_ = File::CreateAlways(destination_);
  if (!out_.IsOpen()) return Fail(destination_, SystemErrorText(out_.LastError()));
  host_.JobStarted();
  result_.jobStarted = true;

  for (size_t i = 0; i < sources_.size(); ++i) {
    if (host_.HaltRequested()) return Finish(JobOutcome::kCancelled);
    JoinSource source;
    JoinSource::Opened opened = source.Open(sources_[i]);
    if (opened != JoinSource::Opened::kOpened) {
      return Fail(sources_[i], source.FailureText(opened));
    }
    host_.UnitStarted(static_cast<int>(i) + 1);
    if (i == 0) ChooseHeader(source);
    if (scanFailure_ && scanFailure_->index == i) return Fail(sources_[i], scanFailure_->reason);
    switch (JoinOne(i, source)) {
      case CopyStatus::kReadFailed:
        return Fail(sources_[i], ReadFailureText(source.file()));
      case CopyStatus::kWriteFailed:
        return Fail(destination_, SystemErrorText(out_.LastError()));
      case CopyStatus::kDone:
        break;
    }
    ++result_.unitsDone;
  }
  return Finish(JobOutcome::kCompleted);
}

// The first source's Xing, Info or VBRI frame speaks for the joined file. Without one, a
// joined stream whose bit rate varies gets a Xing frame of our own, or players would take
// its length from its first frame's bit rate; one of a single bit rate needs none.
void Joiner::ChooseHeader(JoinSource& first) {
  // A scan that failed asks for no header: the join stops at the source it failed on.
  ownHeader_ = !first.vbrHeader() && !AllOneBitRate(first).value_or(true);
  inspect_ = first.vbrHeader() || ownHeader_;
}

// Reads the frame headers of every source, the audio frames as the join copies them, up to
// the first whose bit rate differs. A source that cannot be opened or read ends the scan
// with nothing, and scanFailure_ says where and why: the join stops at that source too, and
// reports it, even when it opens then.
std::optional<bool> Joiner::AllOneBitRate(JoinSource& first) {
  std::optional<uint32_t> reference;
  for (size_t i = 0; i < sources_.size(); ++i) {
    JoinSource later;
    JoinSource::Opened opened = i > 0 ? later.Open(sources_[i]) : JoinSource::Opened::kOpened;
    if (opened != JoinSource::Opened::kOpened) {
      scanFailure_ = ScanFailure{i, later.FailureText(opened)};
      return std::nullopt;
    }
    JoinSource& source = i == 0 ? first : later;
    if (!source.firstFrame()) continue;
    FrameScanner scanner(source.reader(), source.audioStart());
    MpegFrame frame;
    FrameScanner::Step step = ForEachFrame(scanner, frame, [&](const MpegFrame& next) {
      if (!reference) reference = next.header;
      return SameBitRate(next.header, *reference);
    });
    if (step == FrameScanner::Step::kReadFailed) {
      scanFailure_ = ScanFailure{i, ReadFailureText(source.file())};
      return std::nullopt;
    }
    if (step == FrameScanner::Step::kFrame) return false;  // a frame of another bit rate
  }
  return true;
}

CopyStatus Joiner::JoinOne(size_t index, JoinSource& source) {
  BufferedSource& reader = source.reader();
  uint64_t firstByte = 0;  // of the first source: where the bytes after a replaced tag begin
  if (index == 0 && chapters_) {
    if (!out_.Write(chapterTag_.tag.data(), chapterTag_.tag.size())) {
      return CopyStatus::kWriteFailed;
    }
    written_ += chapterTag_.tag.size();
    firstByte = std::min(chapterTag_.replacedBytes, reader.end());
  }
  // A source without MPEG audio is copied whole, but for its trailer.
  if (!source.firstFrame()) return Copy(reader, firstByte, source.endOfAudio());
  const MpegFrame& first = *source.firstFrame();
  const uint64_t start = index == 0 ? std::min(firstByte, first.position) : source.tagsEnd();
  const bool firstAudio = !firstHeader_;
  if (firstAudio) {
    firstHeader_ = first.header;
  } else if (!SameKind(first.header, *firstHeader_)) {
    host_.SourceDiffers(sources_[index], first.header, *firstHeader_);
  }
  CopyStatus status = Copy(reader, start, first.position);
  if (status != CopyStatus::kDone) return status;
  if (index == 0 && source.vbrHeader()) {
    status = WriteHeader(source.headerFrame(), *source.vbrHeader());
  } else if (ownHeader_ && firstAudio && HeaderIsLayer3(first.header)) {
    // Our own Xing frame goes before the first audio frame or nowhere: after audio of another
    // layer it would play as a frame in the middle.
    std::vector<unsigned char> frame = MakeXingFrame(first.header);
    status = WriteHeader(frame, *ReadVbrHeader(frame.data(), frame.size()));
  }
  if (status != CopyStatus::kDone) return status;
  uint64_t from = source.audioStart();
  if (index > 0 && !LeaveOutRepeats(index, source, from)) return CopyStatus::kReadFailed;
  return CopyAudio(source, from);
}

// A track of an exact split that repeats the end of the track before it (track_junction.h)
// is copied from after the repeated frames, and its chapter starts that much earlier.
bool Joiner::LeaveOutRepeats(size_t index, JoinSource& source, uint64_t& from) {
  TrackHead head;
  if (!ReadTrackHead(source, head)) return false;
  const size_t repeated = RepeatedFrames(tail_, written_, head);
  if (repeated == 0) return true;
  for (size_t i = 0; i < repeated; ++i) from += head.frames[i].size();
  leftOut_ = true;
  if (chapters_) {
    chapterTag_.sources[index].leftOut =
        repeated * static_cast<uint64_t>(SamplesPerFrame(source.firstFrame()->header));
  }
  return true;
}

CopyStatus Joiner::WriteHeader(std::vector<unsigned char> frame, const VbrHeader& header) {
  if (!out_.Write(frame.data(), frame.size())) return CopyStatus::kWriteFailed;
  stream_.SetHeader(std::move(frame), header, written_);
  written_ += stream_.headerFrame().size();
  return CopyStatus::kDone;
}

// The source's audio, from `from` (its first audio frame, or the first after those it
// repeats) to its end of audio. When the joined header needs the stream's numbers, or the
// source's LAME tag lets a later track continue it, every frame is counted and its bytes
// kept for the tail as it passes through the buffer, which goes out a buffer's worth at a
// time; otherwise the bytes are copied without a look.
CopyStatus Joiner::CopyAudio(JoinSource& source, uint64_t from) {
  BufferedSource& reader = source.reader();
  std::optional<DelayPadding> tag = source.trustedDelayPadding();
  if (!inspect_ && !tag) {
    tail_.Clear();
    return Copy(reader, from, source.endOfAudio());
  }
  const std::optional<int> padding = tag ? std::optional<int>(tag->padding) : std::nullopt;
  stream_.SetLastPadding(padding);
  tail_.SetPadding(padding);
  FrameScanner scanner(reader, from);
  uint64_t emitted = from;
  MpegFrame frame;
  CopyStatus status = CopyStatus::kDone;
  FrameScanner::Step step = ForEachFrame(scanner, frame, [&](const MpegFrame& next) {
    const uint64_t position = written_ + (next.position - emitted);
    stream_.AddFrame(position, next.header);
    if (reader.end() - next.position <= kJunctionBytes && !KeepForTail(reader, next, position)) {
      status = CopyStatus::kReadFailed;
      return false;
    }
    // The bytes so far go out before the scanner's next read could move the buffer past them;
    // then the buffer is filled whole, so that frames are walked and written in large pieces.
    uint64_t frameEnd = next.position + next.length;
    size_t ahead = static_cast<size_t>(std::min<uint64_t>(kLookahead, reader.end() - frameEnd));
    if (reader.Holds(frameEnd, ahead)) return true;
    status = Emit(reader, emitted, frameEnd);
    if (status != CopyStatus::kDone) return false;
    emitted = frameEnd;
    const unsigned char* data = nullptr;
    size_t available = 0;
    size_t fill =
        static_cast<size_t>(std::min<uint64_t>(reader.capacity(), reader.end() - frameEnd));
    if (!reader.View(frameEnd, fill, data, available)) status = CopyStatus::kReadFailed;
    return status == CopyStatus::kDone;
  });
  if (status != CopyStatus::kDone) return status;
  if (step == FrameScanner::Step::kReadFailed) return CopyStatus::kReadFailed;
  if (step == FrameScanner::Step::kTruncated) {
    stream_.AddCutFrame(written_ + (frame.position - emitted), frame.header, frame.length);
  }
  return Emit(reader, emitted, reader.end());
}

// A frame near the end of the source's audio, which a later track may repeat, written at
// `position` of the joined file: false when it cannot be read.
bool Joiner::KeepForTail(BufferedSource& reader, const MpegFrame& frame, uint64_t position) {
  const unsigned char* bytes = reader.Held(frame.position, frame.length);
  size_t available = 0;
  if (!bytes && !reader.View(frame.position, frame.length, bytes, available)) return false;
  tail_.AddFrame(position, bytes, frame.length);
  return true;
}

// Bytes that are not walked as frames, added to the music CRC when it needs them.
CopyStatus Joiner::Copy(BufferedSource& reader, uint64_t from, uint64_t to) {
  if (stream_.wantsMusicCrc()) return Emit(reader, from, to);
  CopyStatus status = reader.CopyTo(out_, from, to);
  if (status == CopyStatus::kDone) written_ += to - from;
  return status;
}

// Writes the bytes [from, to) from the buffer, adding those after the header frame to the
// music CRC.
CopyStatus Joiner::Emit(BufferedSource& reader, uint64_t from, uint64_t to) {
  const bool checked = stream_.wantsMusicCrc();
  while (from < to) {
    const unsigned char* data = nullptr;
    size_t available = 0;
    size_t want = static_cast<size_t>(std::min<uint64_t>(to - from, reader.capacity()));
    if (!reader.View(from, want, data, available)) return CopyStatus::kReadFailed;
    size_t n = static_cast<size_t>(std::min<uint64_t>(available, to - from));
    if (checked) stream_.AddBytes(data, n);
    if (!out_.Write(data, n)) return CopyStatus::kWriteFailed;
    written_ += n;
    from += n;
  }
  return CopyStatus::kDone;
}

// The header states the numbers of the stream as far as it was written, also after a halt or
// a failure, so that what is on disk plays right.
bool Joiner::CloseDestination() {
  if (leftOut_ && chapters_) {
    // The chapters of the sources after left-out frames start earlier; only their times
    // change, so the tag keeps its size.
    std::vector<unsigned char> tag = JoinChapterTagBytes(chapterTag_);
    if (tag.size() == chapterTag_.tag.size() &&
        (!out_.Seek(0) || !out_.Write(tag.data(), tag.size()))) {
      return false;
    }
  }
  if (stream_.hasHeader()) {
    std::vector<unsigned char> frame = stream_.UpdatedHeaderFrame(written_);
    if (!out_.Seek(stream_.headerPosition()) || !out_.Write(frame.data(), frame.size())) {
      return false;
    }
  }
  return out_.Close();
}

JobReport Joiner::Finish(JobOutcome outcome) {
  if (!CloseDestination()) return Fail(destination_, SystemErrorText(out_.LastError()));
  result_.outcome = outcome;
  return result_;
}

JobReport Joiner::Fail(const std::string& path, const std::string& reason) {
  if (out_.IsOpen()) CloseDestination();
  result_.FailFile(path, reason);
  return result_;
}

}  // namespace

JobReport RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                  JobHost& host, bool chapters) {
  return Joiner(destination, sources, host, chapters).Run();
}

}  // namespace partwell
