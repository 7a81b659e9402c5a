// Shared pieces of the window tests: test files, the program's windows created in the
// test process, and driving them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "job/property_list.h"
#include "wintest.h"

namespace partwell::test {

using Bytes = std::vector<unsigned char>;

// A path of the build machine as Wine shows it (a Windows path stays as it is).
std::string WinePath(const std::string& unixPath);

// The main() of a test program that needs files named on its command line: reads each
// "--name=VALUE" argument of `named` into its string and runs the tests, or prints the
// usage and returns 2 when one of them is missing.
struct NamedArgument {
  const char* name;  // "--cli="
  const char* what;  // "mp3partwell.exe"
  std::string* value;
};
int RunTestsWith(int argc, char** argv, const std::vector<NamedArgument>& named);

// A fresh, empty folder under the temporary folder (no trailing backslash).
std::string MakeTempFolder(const std::string& name);

// A constant-bit-rate MPEG-1 Layer III file at 128 kbps, 44.1 kHz: `frames` frames of
// 417 bytes (about 26 ms each), after `leading` bytes of other data, ending in an ID3v1
// trailer when `trailer` is set.
Bytes MakeMp3(int frames, bool trailer, size_t leading = 0);
// Any bytes, none of which start a frame header.
Bytes MakeNoise(size_t size, unsigned seed);

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// The names of the files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);

// The main window and its four pages, created from the real templates in this process.
class ProgramWindows : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  PropertyListPtr list_;
  HWND main_ = nullptr;
  HWND split_ = nullptr;
  HWND join_ = nullptr;
  HWND help_ = nullptr;
  HWND about_ = nullptr;
};

// The program's windows and a source MP3 in a folder of the test's own: 400 frames of
// 417 bytes after 100 bytes of other data, with a trailer (about 10.4 seconds).
class ProgramWithSource : public ProgramWindows {
 protected:
  void SetUp() override;
  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  std::string folder_;
  std::string source_;
  Bytes sourceBytes_;
};

// A program started by the test, stopped when the test is done with it.
struct Process {
  PROCESS_INFORMATION info = {};
  bool Start(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info) != 0;
  }
  // The exit code, or -1 when the process has not ended within the time.
  long Wait(DWORD timeoutMs) {
    if (WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return static_cast<long>(code);
  }
  ~Process() {
    if (info.hProcess) {
      if (Wait(0) == -1) TerminateProcess(info.hProcess, 99);
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }
};

// Runs the program at `path` (of the build machine) with `arguments`: its exit code, or -1
// when it did not start or end within a minute.
inline int RunProgram(const std::string& path, const std::string& arguments) {
  Process program;
  if (!program.Start("\"" + WinePath(path) + "\" " + arguments)) return -1;
  return static_cast<int>(program.Wait(60000));
}

// Sends `window` the key, with `modifier` (VK_SHIFT, VK_CONTROL) held if it is not 0.
void PressKey(HWND window, WPARAM key, BYTE modifier = 0);

// Clicks a control of a page (on this thread, as the dialog manager would).
void Click(HWND page, int id);
std::string Text(HWND page, int id);
void SetText(HWND page, int id, const std::string& text);
std::vector<std::string> ListItems(HWND page);
int Selection(HWND page);

// The text of the next "MP3 Partwell" message box, which is answered with OK; empty when
// none came within the time. `trigger` runs on this thread while the box is awaited (a
// click that shows a box at once, or nothing for a box that a worker shows).
std::string AnswerMessageBox(const std::function<void()>& trigger, DWORD timeoutMs = 10000);

// Answers every "MP3 Partwell" message box with OK, on a thread of its own, and keeps
// their texts in the order they came.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  // Pumps this thread's messages until `count` boxes have been answered.
  bool WaitFor(size_t count, DWORD timeoutMs = 10000);
  std::vector<std::string> Texts();

 private:
  struct State;
  State* state_;
};

// Clicks the action button and waits, pumping, for the job to end and its message box,
// which is answered. Returns the box's text ("" for a join halted without a message).
std::string RunJob(HWND page, DWORD timeoutMs = 20000);
// True once the page is idle again: idle caption, "Status: Idle", controls enabled.
bool PageIsIdle(HWND page, const char* idleCaption);

// Calls `action` on the user-interface thread when the control `id` of `page` is given
// exactly `text` (by SetWindowText, from any thread), once.
void WhenTextSet(HWND page, int id, const std::string& text, std::function<void()> action);

// Chooses the Split page's source through the real open dialog and returns what the page
// then shows as its source; `message` receives the text of the refusal expected to follow.
std::string ChooseSplitSource(HWND split, const std::string& path, std::string* message = nullptr);

// Clicks the control `id` of `page`, which opens the dialog captioned `title`, and cancels
// that dialog.
void ClickAndCancel(HWND page, int id, const std::string& title);

// Types a full path into an open or save dialog and presses its default button.
void TypeFileName(HWND dialog, const std::string& name);
// Goes to `folder` in an explorer-style file dialog.
bool NavigateTo(HWND dialog, const std::string& folder);

}  // namespace partwell::test
