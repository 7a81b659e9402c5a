// What the Split page keeps of its chosen source: the probe's values, in the program's
// property list, where the split reads them when it starts.
#pragma once

#include "mpeg/source_probe.h"
#include "shell/property_list.h"

namespace partwell {

// Stores "Bit Rate Binary", "Bit Rate" and "First Frame" of an accepted probe in the list,
// replacing the previous source's values: 1 when all three are stored.
int StoreProbeResult(PropertyList* list, const ProbeResult& result);

}  // namespace partwell
