#include "split/source_properties.h"

namespace partwell {

int StoreProbeResult(PropertyList* list, const ProbeResult& result) {
  return StoreIntegerProperty(list, kBitRateBinaryKey, "Bit Rate Binary", result.bitRateIndex) &&
         StoreIntegerProperty(list, kBitRateKey, "Bit Rate", result.bitRate) &&
         StoreIntegerProperty(list, kFirstFrameKey, "First Frame",
                              static_cast<int64_t>(result.firstFrame));
}

}  // namespace partwell
