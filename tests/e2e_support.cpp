#include "e2e_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#ifndef PARTWELL_CLI
#error "PARTWELL_CLI must name the mp3partwell program"
#endif

namespace partwell::e2e {

const fs::path& Workspace::Root() {
  static const fs::path root = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/partwell real XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    created_ = true;
    return fs::path(pattern);
  }();
  return root;
}

fs::path Workspace::NewFolder(const std::string& stem) {
  static int serial = 0;
  fs::path folder = Root() / (stem + " " + std::to_string(++serial));
  fs::create_directories(folder);
  return folder;
}

void Workspace::TearDown() {
  std::error_code ignored;
  if (created_) fs::remove_all(Root(), ignored);
}

[[maybe_unused]] ::testing::Environment* const kWorkspace =
    ::testing::AddGlobalTestEnvironment(new Workspace);

Bytes ReadRange(const fs::path& path, uint64_t offset, size_t length) {
  Bytes bytes(length);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  size_t got = 0;
  while (got < length) {
    ssize_t n = ::pread(fd, bytes.data() + got, length - got, static_cast<off_t>(offset + got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size()
         << " were expected; the first difference is at byte " << (diff.first - actual.begin());
}

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "exit " << o.exit << "\n--- stdout\n" << o.out << "--- stderr\n" << o.err;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

Outcome Run(const std::vector<std::string>& argv, const fs::path& in) {
  static int serial = 0;
  std::string stem = (Workspace::Root() / ("run " + std::to_string(++serial))).string();
  std::string command = in.empty() ? "" : "cd " + Quote(in) + " && ";
  for (const std::string& arg : argv) command += Quote(arg) + " ";
  command += "</dev/null >" + Quote(stem + ".out") + " 2>" + Quote(stem + ".err");
  int status = std::system(command.c_str());
  Outcome outcome;
  outcome.exit = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = ReadText(stem + ".out");
  outcome.err = ReadText(stem + ".err");
  fs::remove(stem + ".out");
  fs::remove(stem + ".err");
  return outcome;
}

Outcome MustRun(const std::vector<std::string>& argv) {
  Outcome outcome = Run(argv);
  if (outcome.exit != 0) {
    std::ostringstream what;
    what << argv[0] << " failed (is it installed? scripts/deps.sh native installs it): " << outcome;
    throw std::runtime_error(what.str());
  }
  return outcome;
}

Outcome Cli(std::vector<std::string> args, int seconds, const fs::path& in) {
  args.insert(args.begin(), {"timeout", std::to_string(seconds), PARTWELL_CLI});
  return Run(args, in);
}

void CheckProgress(const Outcome& o, const char* format, size_t units) {
  for (size_t unit = 1; unit <= units; ++unit) {
    char line[64];
    std::snprintf(line, sizeof line, format, unit);
    EXPECT_TRUE(Contains(o.err, line)) << "no progress \"" << line << "\" in\n" << o;
  }
}

fs::path Made(const std::string& name, const std::function<void(const fs::path&)>& make) {
  static std::map<std::string, fs::path> made;
  auto found = made.find(name);
  if (found != made.end()) return found->second;
  static const fs::path folder = Workspace::NewFolder("sources");
  fs::path path = folder / name;
  make(path);
  made[name] = path;
  return path;
}

const char* DecoderName(Decoder decoder) {
  return decoder == Decoder::kFfmpeg ? "ffmpeg" : "mpg123";
}

std::vector<int16_t> Decode(const fs::path& mp3, Decoder decoder, Trim trim) {
  static int serial = 0;
  fs::path pcm = Workspace::Root() / ("decoded " + std::to_string(++serial) + ".raw");
  if (decoder == Decoder::kFfmpeg) {
    // "-f mp3": tiny files can look like another format to ffmpeg's probe.
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
    if (trim == Trim::kRaw) argv.insert(argv.end(), {"-flags2", "+skip_manual"});
    argv.insert(argv.end(), {"-f", "mp3", "-i", mp3, "-f", "s16le", pcm});
    MustRun(argv);
  } else {
    std::vector<std::string> argv = {"mpg123", "-q"};
    if (trim == Trim::kRaw) argv.push_back("--no-gapless");
    argv.insert(argv.end(), {"-s", mp3});
    Outcome o = MustRun(argv);
    WriteBytes(pcm, Bytes(o.out.begin(), o.out.end()));
  }
  Bytes bytes = ReadBytes(pcm);
  fs::remove(pcm);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return samples;
}

}  // namespace partwell::e2e
