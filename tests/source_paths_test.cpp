#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "join/source_paths.h"

namespace partwell {
namespace {

using Paths = std::vector<std::string>;

TEST(ComposeSourcePaths, FolderAndNamesWithOneBackslash) {
  struct Case {
    const char* name;
    std::string buffer;  // as the dialog returns it, NULs included
    size_t nameOffset;
    bool accepted;
    Paths paths;
  };
  const std::string longName(251, 'n');
  const Case cases[] = {
      {"several in a folder",
       std::string("C:\\Music\0b.mp3\0a.mp3\0\0", 23),
       9,
       true,
       {"C:\\Music\\b.mp3", "C:\\Music\\a.mp3"}},
      {"several in a drive root",
       std::string("C:\\\0a.mp3\0b.mp3\0\0", 17),
       4,
       true,
       {"C:\\a.mp3", "C:\\b.mp3"}},
      {"one file", std::string("C:\\Music\\a.mp3\0\0", 16), 9, true, {"C:\\Music\\a.mp3"}},
      {"one file in a drive root", std::string("C:\\a.mp3\0\0", 10), 3, true, {"C:\\a.mp3"}},
      {"nothing after the folder", std::string("C:\\Music\0\0", 10), 9, true, {}},
      {"a path over 259 characters",
       std::string("C:\\Music\0", 9) + longName + std::string("\0\0", 2),
       9,
       false,
       {}},
      {"an offset past the first string", std::string("C:\\M\0a\0\0", 8), 9, false, {}},
      {"no terminator", std::string("C:\\Music"), 3, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paths paths = {"already listed"};
    EXPECT_EQ(ComposeSourcePaths(c.buffer.data(), c.buffer.size(), c.nameOffset, paths),
              c.accepted);
    Paths expected = {"already listed"};
    expected.insert(expected.end(), c.paths.begin(), c.paths.end());
    EXPECT_EQ(paths, expected);
  }
}

}  // namespace
}  // namespace partwell
