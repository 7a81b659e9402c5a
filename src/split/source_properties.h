// What the Split page keeps of its chosen source: the probe's values, in the program's
// property list, where the split reads them when it starts.
#pragma once

#include "mpeg/source_probe.h"
#include "job/property_list.h"
#include "split/split_engine.h"

namespace partwell {

// Stores "Bit Rate Binary", "Bit Rate", "First Frame" and "Variable Bit Rate" (1 for a
// variable-bit-rate source, else 0) of an accepted probe in the list, replacing the
// previous source's values: 1 when all four are stored.
int StoreProbeResult(PropertyList* list, const ProbeResult& result);

// Copies the stored bit rate, bit rate index and first frame into the job; 0 for a value
// that is not stored.
void ReadStoredProbe(const PropertyList* list, SplitJob& job);

// True when the stored source has a variable bit rate: only exact cuts can split it.
bool StoredSourceIsVariableBitRate(const PropertyList* list);

}  // namespace partwell
