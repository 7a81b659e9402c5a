// The join engine: concatenates source files byte for byte, in list order, leaving out
// each source's ID3v1 trailer.
#pragma once

#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

// The job begins once the destination is created; the host is asked for a halt before each
// source and told of each source once it is open. A destination that is one of the sources
// is refused before anything is created.
JobReport RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                  JobHost& host);

}  // namespace partwell
