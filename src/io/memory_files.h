// The memory backend of the file layer (file_memory.cpp, in partwell_core_memory): files are
// byte vectors kept by path, so that the fuzz targets run the engines without a disk and the
// failure injection test can make any call of a job fail. It behaves as the POSIX backend
// does for everything the engines use: a file is the same file by whatever handle it is
// reached (its identity stays when CreateAlways empties it), a seek may pass the end, a read
// there gets nothing and a write there fills the gap with zeros. Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace partwell::memory {

// The calls of the file layer that are counted: every call a job makes on a file or a path.
enum class Call { kOpen, kCreate, kRead, kWrite, kSeek, kSize, kIdentity, kClose, kIdentifyPath };

struct CallRecord {
  Call call = Call::kOpen;
  std::string path;
  bool forWriting = false;  // the handle was made by CreateAlways
};

// Forgets every file, counter and fault; handles still open must not be used afterwards.
void Reset();

void PutFile(const std::string& path, std::vector<unsigned char> bytes);
// The bytes of the file at `path`, or null when there is none.
const std::vector<unsigned char>* FileBytes(const std::string& path);
// Every file's path, in order.
std::vector<std::string> Paths();

size_t OpenHandles();
// Calls counted since the last Reset.
uint64_t CallCount();

// Call number `at` (1-based, counted from the last Reset) fails: open, create, seek, size,
// identity and close report an I/O error (a failed IdentifyPath finds no file); a read or a
// write fails after moving half of its bytes, or with `shortTransfer` a read returns half of
// them as though the file ended there and a write stops after half of them with the disk full.
void InjectFault(uint64_t at, bool shortTransfer = false);
// The call the fault met, once it has.
std::optional<CallRecord> FaultMet();

}  // namespace partwell::memory
