// One track file of a split, begun and ended the same way by both writers. Begun: a halt
// ends the job before it, the front end hears of it, its file is created (never over the
// source) and its ID3v2 tag written. Ended: its trailer after the audio, the writer's last
// word, the close and the count. A failure of either, or of a read of the source, goes into
// the job's report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/file.h"
#include "job/job_host.h"
#include "job/job_report.h"
#include "mpeg/id3v1_trailer.h"
#include "split/split_job.h"
#include "split/track_tagger.h"

namespace partwell {

class TrackOutput {
 public:
  TrackOutput(const SplitJob& job, const std::string& pattern, JobHost& host,
              const TrackTagger& tagger, JobReport& report)
      : job_(job), pattern_(pattern), host_(host), tagger_(tagger), report_(report) {}

  // Begins track `index` (0-based) of the source of identity `source`. False, with the
  // outcome in the report, when the job was halted or the file could not be made.
  bool Begin(int index, const std::optional<FileIdentity>& source);

  File& file() { return file_; }
  const std::string& name() const { return name_; }
  uint64_t tagBytes() const { return tagBytes_; }  // the ID3v2 tag Begin wrote

  // Ends the track begun last: its trailer (made from the source's `trailer`), then
  // `lastWord` (false when a write failed), the close and the count.
  template <typename LastWord>
  bool End(const Trailer& trailer, LastWord lastWord) {
    const Trailer ending = tagger_.EndingTrailer(index_, trailer);
    if ((ending.present() && !file_.Write(ending.bytes, kTrailerBytes)) || !lastWord() ||
        !file_.Close()) {
      return WriteFailed();
    }
    ++report_.unitsDone;
    return true;
  }
  bool End(const Trailer& trailer) {
    return End(trailer, [] { return true; });
  }

  // Records that a call on the track's file failed; false.
  bool WriteFailed();
  // Records that a read of the job's source `source` failed; false.
  bool SourceFailed(const File& source);

 private:
  const SplitJob& job_;
  const std::string& pattern_;
  JobHost& host_;
  const TrackTagger& tagger_;
  JobReport& report_;
  int index_ = 0;
  File file_;
  std::string name_;
  uint64_t tagBytes_ = 0;
};

}  // namespace partwell
