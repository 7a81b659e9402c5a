// Copies of byte ranges between files: the destination gets exactly the bytes asked for,
// after what it held, in buffers of any size, and a short source or a full device is told
// apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/buffered_source.h"
#include "io/file.h"
#include "test_support.h"

namespace partwell {
namespace {

using test::Bytes;
using test::Slice;

Bytes Counting(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
  return bytes;
}

TEST(FileCopy, CopiesTheRangeAfterWhatTheDestinationHolds) {
  const Bytes source = Counting(3 * 1024 * 1024 + 17);
  const Bytes lead = {'l', 'e', 'a', 'd'};
  struct Case {
    const char* name;
    uint64_t position;
    uint64_t length;
    size_t scratch;
    CopyStatus status;
    uint64_t copied;  // bytes of the range that reach the destination
  };
  const Case cases[] = {
      {"all", 0, source.size(), 1 << 20, CopyStatus::kDone, source.size()},
      {"nothing", 5, 0, 1 << 20, CopyStatus::kDone, 0},
      {"one byte at the end", source.size() - 1, 1, 1 << 20, CopyStatus::kDone, 1},
      {"a middle range in small pieces", 1000003, 1500007, 4093, CopyStatus::kDone, 1500007},
      {"past the source's end", source.size() - 100, 300, 64, CopyStatus::kReadFailed, 100},
      {"beginning after the source's end", source.size() + 5, 10, 64, CopyStatus::kReadFailed, 0},
  };
  test::TempDir dir;
  test::WriteBytes(dir.File("source.mp3"), source);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File from = File::OpenForReading(dir.File("source.mp3"));
    File to = File::CreateAlways(dir.File("copy.mp3"));
    ASSERT_TRUE(to.Write(lead.data(), lead.size()));
    std::vector<unsigned char> scratch(c.scratch);
    EXPECT_EQ(CopyFileRange(from, c.position, c.length, to, scratch), c.status);
    ASSERT_TRUE(to.Close());
    uint64_t start = std::min<uint64_t>(c.position, source.size());
    EXPECT_EQ(test::ReadBytes(dir.File("copy.mp3")),
              test::Concat({lead, Slice(source, start, start + c.copied)}));
  }
}

TEST(FileCopy, AFullDeviceIsAFailedWrite) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to write to";
  test::TempDir dir;
  test::WriteBytes(dir.File("source.mp3"), Counting(100000));
  File from = File::OpenForReading(dir.File("source.mp3"));
  File to = File::CreateAlways("/dev/full");
  std::vector<unsigned char> scratch(4096);
  EXPECT_EQ(CopyFileRange(from, 10, 90000, to, scratch), CopyStatus::kWriteFailed);
  EXPECT_NE(to.LastError(), 0);
}

// A buffered source writes what its buffer holds from the buffer and has the rest copied:
// the bytes come out in order wherever the buffer stands.
TEST(FileCopy, BufferedSourceCopiesAroundWhatItHolds) {
  const Bytes source = Counting(700000);
  const uint64_t end = source.size() - 128;
  struct Case {
    const char* name;
    uint64_t viewed;  // a View of 4 bytes here before the copy fills the buffer
    uint64_t from;
    uint64_t to;
    CopyStatus status;
  };
  const Case cases[] = {
      {"from inside the held bytes to past them", 1000, 1200, 500000, CopyStatus::kDone},
      {"within the held bytes", 1000, 1001, 1500, CopyStatus::kDone},
      {"before the held bytes", 400000, 10, 450000, CopyStatus::kDone},
      {"after the held bytes", 10, 200000, end, CopyStatus::kDone},
      {"past the end of audio", 10, 200000, end + 1, CopyStatus::kReadFailed},
  };
  test::TempDir dir;
  test::WriteBytes(dir.File("source.mp3"), source);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File file = File::OpenForReading(dir.File("source.mp3"));
    BufferedSource reader(file, end, 128 * 1024);
    const unsigned char* data = nullptr;
    size_t available = 0;
    ASSERT_TRUE(reader.View(c.viewed, 4, data, available));
    File out = File::CreateAlways(dir.File("copy.mp3"));
    EXPECT_EQ(reader.CopyTo(out, c.from, c.to), c.status);
    ASSERT_TRUE(out.Close());
    if (c.status == CopyStatus::kDone) {
      EXPECT_EQ(test::ReadBytes(dir.File("copy.mp3")), Slice(source, c.from, c.to));
    }
    // The buffer serves views correctly after a copy.
    ASSERT_TRUE(reader.View(c.viewed, 4, data, available));
    EXPECT_EQ(Bytes(data, data + 4), Slice(source, c.viewed, c.viewed + 4));
  }
}

}  // namespace
}  // namespace partwell
