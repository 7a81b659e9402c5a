// The full paths that a multiple-selection open dialog's result stands for.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace partwell {

// `buffer` (of `size` bytes) holds either one full path, or a folder followed by file
// names, each ended by a NUL and the whole by an empty string; `nameOffset` is the offset
// of the first file name. Appends to `paths` each name behind its folder with exactly one
// backslash between them. Returns false, and appends nothing, when a path would be longer
// than 259 characters or the buffer is not laid out as described.
bool ComposeSourcePaths(const char* buffer, size_t size, size_t nameOffset,
                        std::vector<std::string>& paths);

}  // namespace partwell
