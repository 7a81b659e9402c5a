#include "split/source_properties.h"

namespace partwell {

int StoreProbeResult(PropertyList* list, const ProbeResult& result) {
  bool variable = result.outcome == ProbeOutcome::kVariableBitRate;
  return StoreIntegerProperty(list, kBitRateBinaryKey, "Bit Rate Binary", result.bitRateIndex) &&
         StoreIntegerProperty(list, kBitRateKey, "Bit Rate", result.bitRate) &&
         StoreIntegerProperty(list, kFirstFrameKey, "First Frame",
                              static_cast<int64_t>(result.firstFrame)) &&
         StoreIntegerProperty(list, kVariableBitRateKey, "Variable Bit Rate", variable ? 1 : 0);
}

void ReadStoredProbe(const PropertyList* list, SplitJob& job) {
  job.bitRate = static_cast<int>(FindIntegerProperty(list, kBitRateKey).value_or(0));
  job.bitRateIndex = static_cast<int>(FindIntegerProperty(list, kBitRateBinaryKey).value_or(0));
  job.firstFrame = static_cast<uint64_t>(FindIntegerProperty(list, kFirstFrameKey).value_or(0));
}

bool StoredSourceIsVariableBitRate(const PropertyList* list) {
  return FindIntegerProperty(list, kVariableBitRateKey).value_or(0) != 0;
}

}  // namespace partwell
