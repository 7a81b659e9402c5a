// Memory backend of the file layer (memory_files.h).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "io/file.h"
#include "io/memory_files.h"

namespace partwell {
namespace {

using memory::Call;
using memory::CallRecord;

struct Node {
  std::vector<unsigned char> bytes;
  uint64_t index = 0;
};

struct Handle {
  std::shared_ptr<Node> node;  // null: the slot is free
  std::string path;
  uint64_t position = 0;
  bool forWriting = false;
};

// What a counted call is to do.
enum class Fate { kProceed, kFail, kShort };

struct Files {
  std::map<std::string, std::shared_ptr<Node>> byPath;
  std::vector<Handle> handles;
  uint64_t nextIndex = 1;
  uint64_t calls = 0;
  uint64_t faultAt = 0;
  bool shortTransfer = false;
  std::optional<CallRecord> met;

  Fate Count(Call call, const std::string& path, bool forWriting) {
    if (++calls != faultAt) return Fate::kProceed;
    met = CallRecord{call, path, forWriting};
    return shortTransfer ? Fate::kShort : Fate::kFail;
  }
  Fate Count(Call call, intptr_t handle) {
    const Handle& h = handles[static_cast<size_t>(handle)];
    return Count(call, h.path, h.forWriting);
  }
};

Files& State() {
  static Files files;
  return files;
}

Handle& HandleOf(intptr_t handle) { return State().handles[static_cast<size_t>(handle)]; }

// The file at `path`, made empty when there was none.
std::shared_ptr<Node>& NodeAt(const std::string& path) {
  Files& files = State();
  std::shared_ptr<Node>& node = files.byPath[path];
  if (!node) {
    node = std::make_shared<Node>();
    node->index = files.nextIndex++;
  }
  return node;
}

intptr_t NewHandle(std::shared_ptr<Node> node, const std::string& path, bool forWriting) {
  std::vector<Handle>& handles = State().handles;
  auto free = std::find_if(handles.begin(), handles.end(), [](const Handle& h) { return !h.node; });
  if (free == handles.end()) free = handles.insert(handles.end(), Handle{});
  *free = Handle{std::move(node), path, 0, forWriting};
  return free - handles.begin();
}

}  // namespace

File File::OpenForReading(const std::string& path) {
  Files& files = State();
  if (files.Count(Call::kOpen, path, false) != Fate::kProceed) return File(kClosed, EIO);
  auto found = files.byPath.find(path);
  if (found == files.byPath.end()) return File(kClosed, ENOENT);
  return File(NewHandle(found->second, path, false), 0);
}

File File::CreateAlways(const std::string& path) {
  Files& files = State();
  if (files.Count(Call::kCreate, path, true) != Fate::kProceed) return File(kClosed, EIO);
  if (path.empty() || IsPathSeparator(path.back())) return File(kClosed, EISDIR);
  std::shared_ptr<Node>& node = NodeAt(path);
  node->bytes.clear();
  return File(NewHandle(node, path, true), 0);
}

void File::Fail() { lastError_ = EIO; }

bool RemoveFile(const std::string& path) { return State().byPath.erase(path) > 0; }

bool File::Read(void* buffer, size_t size, size_t& got) {
  got = 0;
  Fate fate = State().Count(Call::kRead, handle_);
  Handle& h = HandleOf(handle_);
  const std::vector<unsigned char>& bytes = h.node->bytes;
  size_t left = h.position < bytes.size() ? static_cast<size_t>(bytes.size() - h.position) : 0;
  got = std::min(size, left);
  if (fate != Fate::kProceed) got /= 2;
  if (got > 0) std::memcpy(buffer, bytes.data() + h.position, got);
  h.position += got;
  if (fate == Fate::kFail) {
    Fail();
    return false;
  }
  return true;
}

bool File::Write(const void* data, size_t size) {
  Fate fate = State().Count(Call::kWrite, handle_);
  Handle& h = HandleOf(handle_);
  if (!h.forWriting) {
    lastError_ = EBADF;
    return false;
  }
  size_t put = fate == Fate::kProceed ? size : size / 2;
  std::vector<unsigned char>& bytes = h.node->bytes;
  if (h.position + put > bytes.size()) bytes.resize(static_cast<size_t>(h.position + put));
  if (put > 0) std::memcpy(bytes.data() + h.position, data, put);
  h.position += put;
  if (fate != Fate::kProceed) {
    lastError_ = fate == Fate::kShort ? ENOSPC : EIO;
    return false;
  }
  return true;
}

bool File::Seek(uint64_t position) {
  if (State().Count(Call::kSeek, handle_) != Fate::kProceed) {
    Fail();
    return false;
  }
  if (position > static_cast<uint64_t>(INT64_MAX)) {
    lastError_ = EINVAL;
    return false;
  }
  HandleOf(handle_).position = position;
  return true;
}

std::optional<uint64_t> File::Size() {
  if (State().Count(Call::kSize, handle_) != Fate::kProceed) {
    Fail();
    return std::nullopt;
  }
  return HandleOf(handle_).node->bytes.size();
}

std::optional<FileIdentity> File::Identity() {
  if (State().Count(Call::kIdentity, handle_) != Fate::kProceed) {
    Fail();
    return std::nullopt;
  }
  return FileIdentity{1, HandleOf(handle_).node->index};
}

bool File::Close() {
  if (handle_ == kClosed) return true;
  if (static_cast<size_t>(handle_) >= State().handles.size() || !HandleOf(handle_).node) {
    handle_ = kClosed;  // a handle that outlived a Reset
    return true;
  }
  Fate fate = State().Count(Call::kClose, handle_);
  HandleOf(handle_) = Handle{};
  handle_ = kClosed;
  if (fate != Fate::kProceed) {
    Fail();
    return false;
  }
  return true;
}

std::optional<FileIdentity> IdentifyPath(const std::string& path) {
  Files& files = State();
  if (files.Count(Call::kIdentifyPath, path, false) != Fate::kProceed) return std::nullopt;
  auto found = files.byPath.find(path);
  if (found == files.byPath.end()) return std::nullopt;
  return FileIdentity{1, found->second->index};
}

std::optional<std::vector<std::string>> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : State().byPath) {
    const std::string& path = entry.first;
    if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
        path.find('/', folder.size()) == std::string::npos) {
      names.push_back(path.substr(folder.size()));
    }
  }
  return names;
}

std::string SystemErrorText(int code) { return std::strerror(code); }

namespace memory {

void Reset() { State() = Files{}; }

void PutFile(const std::string& path, std::vector<unsigned char> bytes) {
  NodeAt(path)->bytes = std::move(bytes);
}

const std::vector<unsigned char>* FileBytes(const std::string& path) {
  const Files& files = State();
  auto found = files.byPath.find(path);
  return found == files.byPath.end() ? nullptr : &found->second->bytes;
}

std::vector<std::string> Paths() {
  std::vector<std::string> paths;
  for (const auto& entry : State().byPath) paths.push_back(entry.first);
  return paths;
}

size_t OpenHandles() {
  const std::vector<Handle>& handles = State().handles;
  return static_cast<size_t>(std::count_if(handles.begin(), handles.end(),
                                           [](const Handle& h) { return h.node != nullptr; }));
}

uint64_t CallCount() { return State().calls; }

void InjectFault(uint64_t at, bool shortTransfer) {
  State().faultAt = at;
  State().shortTransfer = shortTransfer;
  State().met.reset();
}

std::optional<CallRecord> FaultMet() { return State().met; }

}  // namespace memory
}  // namespace partwell
