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
// is refused before anything is created. With `chapters`, the joined file's leading tag is
// the first source's with one chapter per source (see join_chapters.h), made before the
// destination is created: a source that cannot be read for it fails the join there.
JobReport RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                  JobHost& host, bool chapters = false);

}  // namespace partwell
