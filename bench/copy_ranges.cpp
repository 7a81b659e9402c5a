// The floor a split is measured against: copies a file into `count` files of equal byte
// ranges, each into `folder`/part-N, the way a program without any MPEG work would:
//
//   partwell_copy_ranges read|copy_file_range|map SOURCE FOLDER [COUNT]
//
// `read` copies through a 1 MiB buffer with read and write (as the split engines do), `map`
// writes from a read-only mapping of the source, `copy_file_range` lets the kernel copy.
// Time it whole, beside `cp` and `mp3partwell split`, e.g. with `perf stat -r 21`.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kBufferBytes = 1 << 20;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int out, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(out, data, length);
    if (written <= 0) return false;
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

bool CopyByReading(int in, int out, off_t from, off_t to, std::vector<char>& buffer) {
  while (from < to) {
    size_t want = static_cast<size_t>(std::min<off_t>(to - from, buffer.size()));
    ssize_t got = pread(in, buffer.data(), want, from);
    if (got <= 0 || !WriteAll(out, buffer.data(), static_cast<size_t>(got))) return false;
    from += got;
  }
  return true;
}

bool CopyInKernel(int in, int out, off_t from, off_t to) {
  while (from < to) {
    if (copy_file_range(in, &from, out, nullptr, static_cast<size_t>(to - from), 0) <= 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s read|copy_file_range|map SOURCE FOLDER [COUNT]\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const int count = argc > 4 ? std::max(1, std::atoi(argv[4])) : 12;
  Descriptor in(open(argv[2], O_RDONLY | O_CLOEXEC));
  struct stat status;
  if (in.get() < 0 || fstat(in.get(), &status) != 0 || status.st_size == 0) return 1;
  const off_t size = status.st_size;

  const char* mapped = nullptr;
  if (mode == "map") {
    // Populated at once: pages faulted in one by one inside write() cost twice the copy.
    void* view = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                      in.get(), 0);
    if (view == MAP_FAILED) return 1;
    mapped = static_cast<const char*>(view);
  }
  std::vector<char> buffer(mode == "read" ? kBufferBytes : 0);
  bool ok = true;
  for (int part = 0; part < count && ok; ++part) {
    const off_t from = size * part / count;
    const off_t to = size * (part + 1) / count;
    const std::string name = std::string(argv[3]) + "/part-" + std::to_string(part + 1);
    Descriptor out(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.get() < 0) return 1;
    if (mode == "read") {
      ok = CopyByReading(in.get(), out.get(), from, to, buffer);
    } else if (mode == "copy_file_range") {
      ok = CopyInKernel(in.get(), out.get(), from, to);
    } else if (mapped) {
      ok = WriteAll(out.get(), mapped + from, static_cast<size_t>(to - from));
    } else {
      return 2;
    }
  }
  if (mapped) munmap(const_cast<char*>(mapped), static_cast<size_t>(size));
  return ok ? 0 : 1;
}
