// Helpers for the end-to-end tests: a temporary workspace, files, running programs (the
// command-line program, encoders, decoders) and decoding MP3s to samples with real decoders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "test_files.h"

namespace partwell::e2e {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadBytes;
using test::WriteBytes;

// One folder per test process, removed when the tests end.
class Workspace : public ::testing::Environment {
 public:
  static const fs::path& Root();
  // A new, empty folder whose name starts with `stem`.
  static fs::path NewFolder(const std::string& stem);
  void TearDown() override;

 private:
  static inline bool created_ = false;
};

Bytes ReadRange(const fs::path& path, uint64_t offset, size_t length);
std::string ReadText(const fs::path& path);

// Compares without printing megabytes when the bytes differ.
::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected);

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};
std::ostream& operator<<(std::ostream& os, const Outcome& o);

std::string Quote(const std::string& text);
bool Contains(const std::string& text, const std::string& part);

// Runs `argv` in the folder `in` (by default the test's own).
Outcome Run(const std::vector<std::string>& argv, const fs::path& in = {});
// Runs a tool that must succeed (making the test's sources, decoding); throws otherwise.
Outcome MustRun(const std::vector<std::string>& argv);
// Runs mp3partwell; a run that passes `seconds` is stopped and fails.
Outcome Cli(std::vector<std::string> args, int seconds = 60, const fs::path& in = {});

// The job's progress on standard error names every unit of work, like "Creating... [001]".
void CheckProgress(const Outcome& o, const char* format, size_t units);

// Makes `name` in the process's sources folder with `make` the first time it is asked for.
fs::path Made(const std::string& name, const std::function<void(const fs::path&)>& make);

// Interleaved 16-bit samples as a decoder plays a file: gapless (encoder delay and padding
// trimmed as the file's LAME tag says) or raw (every frame's output, nothing trimmed).
enum class Decoder { kFfmpeg, kMpg123 };
enum class Trim { kGapless, kRaw };
std::vector<int16_t> Decode(const fs::path& mp3, Decoder decoder, Trim trim = Trim::kGapless);
const char* DecoderName(Decoder decoder);

}  // namespace partwell::e2e
