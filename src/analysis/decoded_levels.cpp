#include "analysis/decoded_levels.h"

#include <algorithm>
#include <atomic>
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

// How often the calling thread asks the host whether to halt and reports progress.
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

struct SharedProgress {
  std::atomic<bool> halt{false};
  std::atomic<uint64_t> read{0};
};

class WorkerGate : public FeedGate {
 public:
  explicit WorkerGate(SharedProgress& shared) : shared_(shared) {}
  bool HaltRequested() override { return shared_.halt.load(std::memory_order_relaxed); }
  void Read(uint64_t bytes) override { shared_.read.fetch_add(bytes, std::memory_order_relaxed); }

 private:
  SharedProgress& shared_;
};

class Stretches {
 public:
  Stretches(const std::string& path, const StreamScan& scan, uint64_t frames,
            std::vector<uint64_t> starts)
      : path_(path),
        scan_(scan),
        frames_(frames),
        starts_(std::move(starts)),
        samplesPerFrame_(static_cast<uint64_t>(SamplesPerFrame(scan.first.header))) {}

  size_t count() const { return starts_.size() + 1; }

  StretchLevels Measure(size_t index, SharedProgress& shared) const {
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
    if (index + 1 < count()) stretch.to = (index + 1) * frames_ * samplesPerFrame_;
    WorkerGate gate(shared);
    return MeasureStretch(source, feedFrom, scan_.timeline, stretch, gate);
  }

 private:
  const std::string& path_;
  const StreamScan& scan_;
  uint64_t frames_;
  std::vector<uint64_t> starts_;
  uint64_t samplesPerFrame_;
};

// Hands the stretches out to the workers in order and keeps the measured ones until the
// sink takes them, no more than a few ahead.
class StretchQueue {
 public:
  StretchQueue(size_t count, size_t ahead) : count_(count), ahead_(ahead) {}

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
  // The next stretch in order when it has been measured, waiting a while for it.
  bool Take(StretchLevels& levels) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kPollInterval, [&] { return done_.count(taken_) > 0; });
    auto found = done_.find(taken_);
    if (found == done_.end()) return false;
    levels = std::move(found->second);
    done_.erase(found);
    ++taken_;
    changed_.notify_all();
    return true;
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t count_;
  size_t ahead_;
  size_t next_ = 0;
  size_t taken_ = 0;
  bool stopped_ = false;
  std::map<size_t, StretchLevels> done_;
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

  const Stretches stretches(path, scan, frames, std::move(starts.starts));
  size_t threadCount = workers.count > 0 ? static_cast<size_t>(workers.count)
                                         : std::max(1u, std::thread::hardware_concurrency());
  threadCount = std::min(threadCount, stretches.count());
  StretchQueue queue(stretches.count(), kStretchesAheadPerWorker * threadCount);
  SharedProgress shared;
  std::vector<std::thread> threads;
  for (size_t i = 0; i < threadCount; ++i) {
    // A thread the system refuses is one worker fewer; no exception leaves the search.
    try {
      threads.emplace_back([&] {
        size_t index = 0;
        while (queue.Next(index)) queue.Done(index, stretches.Measure(index, shared));
      });
    } catch (const std::system_error& refused) {
      if (!threads.empty()) break;
      report = Report(JobOutcome::kDecoderFailed, path, refused.what());
      report.jobStarted = true;
      return report;
    }
  }

  int percent = 0;
  host.UnitStarted(percent);
  WindowSum sharedWindow;  // the last stretch's part of the window the next one finishes
  for (size_t taken = 0; taken < stretches.count();) {
    if (host.HaltRequested()) shared.halt = true;
    const uint64_t read = std::min(shared.read.load(), size);
    int reached = size > 0 ? static_cast<int>(read * 100 / size) : 100;
    if (reached > percent) host.UnitStarted(percent = reached);
    StretchLevels levels;
    if (!queue.Take(levels)) continue;
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
  if (report.completed() && percent != 100) host.UnitStarted(100);
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
