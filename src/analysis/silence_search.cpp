#include "analysis/silence_search.h"

#include "analysis/decoded_levels.h"

namespace partwell {
namespace {

class FinderSink : public LevelSink {
 public:
  explicit FinderSink(SilenceFinder& finder) : finder_(finder) {}
  void Take(const float* levels, size_t count) override { finder_.Add(levels, count); }

 private:
  SilenceFinder& finder_;
};

}  // namespace

SilenceSearch SearchSilences(const std::string& path, const SilenceSettings& settings,
                             JobHost& host, const LevelWorkers& workers) {
  SilenceSearch search;
  SilenceFinder finder(settings);
  FinderSink sink(finder);
  search.report = MeasureDecodedLevels(path, host, sink, workers);
  if (search.report.completed()) search.silences = finder.Finish();
  return search;
}

}  // namespace partwell
