#include "analysis/decoded_levels.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "analysis/level_stretch.h"
#include "mpeg/frame_header.h"
#include "mpeg/stream_scan.h"

namespace partwell {
namespace {

// How long the calling thread waits for a piece read or a stretch measured before it asks
// the host whether to halt all the same.
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// Stretches measured ahead of the one the sink takes next, per worker.
constexpr size_t kStretchesAheadPerWorker = 2;

// Records where each stretch's decoder starts: the byte of its first warm-up frame.
class StretchStarts : public FrameVisitor {
 public:
  explicit StretchStarts(uint64_t frames) : frames_(frames) {}
  bool Visit(const MpegFrame& frame, const unsigned char*, const StreamScan& scan) override {
    if (WarmsUpExactly(frame.header) &&
        scan.audioFrames % frames_ == frames_ - kStretchWarmUpFrames) {
      starts.push_back(frame.position);
    }
    return true;
  }
  std::vector<uint64_t> starts;  // of stretch 1, 2, ...

 private:
  uint64_t frames_;
};

// Hands the stretches out to the workers in order and keeps the measured ones until the
// sink takes them, no more than a few ahead. It also passes on the pieces of the source the
// workers read, to be reported one by one on the calling thread as the single pass reports
// them (the share of the file read after each piece, then the host asked whether to halt). A
// worker reads on only while no more than `lead` pieces wait to be reported: a halt the host
// asks for on seeing a piece stops every worker within two pieces of it.
class StretchQueue {
 public:
  StretchQueue(size_t count, size_t ahead, size_t lead)
      : count_(count), ahead_(ahead), lead_(lead) {}

  // The next stretch to measure; false when there is none or the search ends.
  bool Next(size_t& index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || next_ >= count_ || next_ < taken_ + ahead_; });
    if (stopped_ || next_ >= count_) return false;
    index = next_++;
    return true;
  }
  void Done(size_t index, StretchLevels levels) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.emplace(index, std::move(levels));
    changed_.notify_all();
  }
  // A worker's next read: waits while too many pieces wait to be reported; false when the
  // search is to halt.
  bool MayRead() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || halt_ || unreported() <= lead_; });
    return !stopped_ && !halt_;
  }
  // A worker has read a piece of `bytes` bytes.
  void Read(uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    pieces_.push_back(bytes);
    changed_.notify_all();
  }
  // Waits a while for pieces read or the next stretch in order. `pieces` receives the
  // pieces read since, to be handed back through Reported; `levels` the stretch, when it has
  // been measured (then true).
  bool Take(std::vector<uint64_t>& pieces, StretchLevels& levels) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kPollInterval,
                      [&] { return !pieces_.empty() || done_.count(taken_) > 0; });
    pieces.swap(pieces_);
    pieces_.clear();
    reporting_ += pieces.size();
    auto found = done_.find(taken_);
    if (found == done_.end()) return false;
    levels = std::move(found->second);
    done_.erase(found);
    ++taken_;
    changed_.notify_all();
    return true;
  }
  // `count` pieces have been reported; `halt`: the host asked for a halt.
  void Reported(size_t count, bool halt) {
    std::lock_guard<std::mutex> lock(mutex_);
    reporting_ -= count;
    halt_ = halt_ || halt;
    changed_.notify_all();
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  size_t unreported() const { return pieces_.size() + reporting_; }

  std::mutex mutex_;
  std::condition_variable changed_;
  size_t count_;
  size_t ahead_;
  size_t lead_;
  size_t next_ = 0;
  size_t taken_ = 0;
  bool stopped_ = false;
  bool halt_ = false;
  std::map<size_t, StretchLevels> done_;
  std::vector<uint64_t> pieces_;  // read and not yet taken to be reported
  size_t reporting_ = 0;          // taken and not yet reported
};

JobReport Report(JobOutcome outcome, const std::string& path, std::string reason) {
  JobReport report;
  report.kind = JobKind::kLevels;
  report.outcome = outcome;
  if (!reason.empty()) report.failedPath = path;
  report.failureReason = std::move(reason);
  return report;
}

class VectorSink : public LevelSink {
 public:
  explicit VectorSink(std::vector<float>& levels) : levels_(levels) {}
  void Take(const float* levels, size_t count) override {
    levels_.insert(levels_.end(), levels, levels + count);
  }

 private:
  std::vector<float>& levels_;
};

// A worker's reads of one stretch, through the queue. What it reads of the stretch's share
// of the file counts as progress: the shares tile the file, so that the pieces of all
// stretches add up to its size, as the single pass's reads do.
class WorkerGate : public FeedGate {
 public:
  WorkerGate(StretchQueue& queue, uint64_t share) : queue_(queue), left_(share) {}
  bool HaltRequested() override { return !queue_.MayRead(); }
  void Read(uint64_t bytes) override {
    const uint64_t counted = std::min(bytes, left_);
    left_ -= counted;
    if (counted > 0) queue_.Read(counted);
  }

 private:
  StretchQueue& queue_;
  uint64_t left_;
};

class Stretches {
 public:
  Stretches(const std::string& path, uint64_t size, const StreamScan& scan, uint64_t frames,
            std::vector<uint64_t> starts)
      : path_(path),
        size_(size),
        scan_(scan),
        frames_(frames),
        starts_(std::move(starts)),
        samplesPerFrame_(static_cast<uint64_t>(SamplesPerFrame(scan.first.header))) {}

  size_t count() const { return starts_.size() + 1; }

  StretchLevels Measure(size_t index, StretchQueue& queue) const {
    File source = File::OpenForReading(path_);
    if (!source.IsOpen()) {
      StretchLevels failed;
      failed.outcome = JobOutcome::kFileError;
      failed.failureReason = SystemErrorText(source.LastError());
      return failed;
    }
    RawStretch stretch;
    uint64_t feedFrom = 0;
    if (index > 0) {
      feedFrom = starts_[index - 1];
      stretch.fed = (index * frames_ - kStretchWarmUpFrames) * samplesPerFrame_;
      stretch.from = index * frames_ * samplesPerFrame_;
    }
    uint64_t shareEnd = size_;
    if (index + 1 < count()) {
      stretch.to = (index + 1) * frames_ * samplesPerFrame_;
      shareEnd = starts_[index];
    }
    WorkerGate gate(queue, shareEnd - std::min(feedFrom, shareEnd));
    return MeasureStretch(source, feedFrom, scan_.timeline, stretch, gate);
  }

 private:
  const std::string& path_;
  uint64_t size_;
  const StreamScan& scan_;
  uint64_t frames_;
  std::vector<uint64_t> starts_;
  uint64_t samplesPerFrame_;
};

}  // namespace

JobReport MeasureDecodedLevels(const std::string& path, JobHost& host, LevelSink& sink,
                               const LevelWorkers& workers) {
  const uint64_t frames =
      static_cast<uint64_t>(std::max(workers.stretchFrames, kStretchWarmUpFrames + 1));
  File source = File::OpenForReading(path);
  if (!source.IsOpen()) {
    return Report(JobOutcome::kCannotOpen, path, SystemErrorText(source.LastError()));
  }
  StreamScan scan;
  StretchStarts starts(frames);
  StreamScanOutcome scanned = ScanStream(source, scan, &starts);
  if (scanned == StreamScanOutcome::kReadFailed) {
    return Report(JobOutcome::kFileError, path, ReadFailureText(source));
  }
  if (scanned != StreamScanOutcome::kScanned) return Report(JobOutcome::kNoAudio, path, {});
  const uint64_t size = source.Size().value_or(0);
  source = File();
  host.JobStarted();
  JobReport report = Report(JobOutcome::kCompleted, path, {});
  report.jobStarted = true;

  const Stretches stretches(path, size, scan, frames, std::move(starts.starts));
  size_t threadCount = workers.count > 0 ? static_cast<size_t>(workers.count)
                                         : std::max(1u, std::thread::hardware_concurrency());
  threadCount = std::min(threadCount, stretches.count());
  StretchQueue queue(stretches.count(), kStretchesAheadPerWorker * threadCount, threadCount);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < threadCount; ++i) {
    // A thread the system refuses is one worker fewer; no exception leaves the search.
    try {
      threads.emplace_back([&] {
        size_t index = 0;
        while (queue.Next(index)) queue.Done(index, stretches.Measure(index, queue));
      });
    } catch (const std::system_error& refused) {
      if (!threads.empty()) break;
      report = Report(JobOutcome::kDecoderFailed, path, refused.what());
      report.jobStarted = true;
      return report;
    }
  }

  ReadProgress progress(host, size);
  WindowSum sharedWindow;  // the last stretch's part of the window the next one finishes
  std::vector<uint64_t> pieces;
  for (size_t taken = 0; taken < stretches.count();) {
    StretchLevels levels;
    const bool took = queue.Take(pieces, levels);
    // Each piece as the single pass reports a read: the share read, then the halt asked.
    bool halt = false;
    for (uint64_t piece : pieces) {
      progress.Read(piece);
      halt = halt || host.HaltRequested();
    }
    if (pieces.empty()) halt = host.HaltRequested();
    queue.Reported(pieces.size(), halt);
    if (!took) continue;
    ++taken;
    if (levels.outcome != JobOutcome::kCompleted) {
      report = Report(levels.outcome, path, std::move(levels.failureReason));
      report.jobStarted = true;
      break;
    }
    if (sharedWindow.values > 0 || levels.head.values > 0) {
      float joined =
          DecibelsOf(sharedWindow.sum + levels.head.sum, sharedWindow.values + levels.head.values);
      sink.Take(&joined, 1);
    }
    sink.Take(levels.levels.data(), levels.levels.size());
    sharedWindow = levels.tail;
    // Where the decoder gives up, the audio ends, as in the single pass.
    if (levels.outputEnded) break;
  }
  queue.Stop();
  for (std::thread& thread : threads) thread.join();
  if (report.completed()) progress.Finish();
  return report;
}

JobReport MeasureDecodedLevels(const std::string& path, JobHost& host, std::vector<float>& levels,
                               const LevelWorkers& workers) {
  levels.clear();
  VectorSink sink(levels);
  JobReport report = MeasureDecodedLevels(path, host, sink, workers);
  if (!report.completed()) levels.clear();
  levels.shrink_to_fit();
  return report;
}

}  // namespace partwell
