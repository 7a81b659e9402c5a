// The real program and the command-line program: splitting and joining through the
// windows gives the command-line program's bytes, and quitting during a job ends the
// program at once with exit code 0.
#include <cstring>

#include "window/split_page_win.h"
#include "test_media.h"

namespace partwell::test {
namespace {

std::string gProgram;   // MP3Partwell.exe
std::string gCli;       // mp3partwell.exe
std::string gRealMp3s;  // the folder of lame's vbr.mp3 and cbr.mp3

int RunCli(const std::string& arguments) {
  Process cli;
  if (!cli.Start("\"" + WinePath(gCli) + "\" " + arguments)) return -1;
  return static_cast<int>(cli.Wait(60000));
}

void ExpectSameFiles(const std::string& ours, const std::string& theirs) {
  std::vector<std::string> names = FilesIn(ours);
  EXPECT_EQ(names, FilesIn(theirs));
  for (const std::string& name : names) {
    EXPECT_TRUE(ReadBytes(ours + "\\" + name) == ReadBytes(theirs + "\\" + name)) << name;
  }
}

// A split as both programs are given it: the source and the page's inputs.
struct SplitCase {
  std::string source;
  const char* times;  // comma-separated; null: the times of `sheet`
  bool equal;
  const char* nameTemplate;
  std::string sheet = "";  // a CUE sheet
  bool tags = false;
};

// A sheet of three tracks with the disc's title and performer.
std::string WriteSheet(const std::string& path, const std::string& file) {
  std::string text = "PERFORMER \"Tone Band\"\r\nTITLE \"Caf\xC3\xA9 Tones\"\r\nFILE \"" + file +
                     "\" MP3\r\n  TRACK 01 AUDIO\r\n    TITLE \"Rise\"\r\n    INDEX 01 00:00:00\r\n"
                     "  TRACK 02 AUDIO\r\n    TITLE \"Fall\"\r\n"
                     "    PERFORMER \"G\xC3\xA4st \xE6\x9D\xB1\xE4\xBA\xAC\"\r\n"
                     "    INDEX 01 00:02:37\r\n"
                     "  TRACK 03 AUDIO\r\n    TITLE \"Coda\"\r\n    INDEX 01 00:05:01\r\n";
  WriteBytes(path, Bytes(text.begin(), text.end()));
  return path;
}

class SameBytes : public ProgramWindows {
 protected:
  // The command line of the case's split into `folder`.
  static std::string SplitArguments(const SplitCase& c, const std::string& folder) {
    std::string times = c.times ? std::string(" --times ") + c.times : " --cue \"" + c.sheet + "\"";
    return "split \"" + c.source + "\"" + times + (c.equal ? " --equal" : "") +
           (c.tags ? " --tags" : "") + " --name \"" + c.nameTemplate + "\" --folder \"" + folder +
           "\"";
  }
  // Gives the page the case's times (typed, or imported through the open dialog), template
  // and option, with `folder` as destination, and runs the split on the page's source.
  void SplitThroughThePage(const SplitCase& c, const std::string& folder) {
    if (!c.times) {
      wt::DialogAnswerer open("Import Track Times From A .CUE File",
                              [&](HWND dialog) { TypeFileName(dialog, c.sheet); });
      Click(split_, IDC_CUE_IMPORT);
      EXPECT_TRUE(open.Wait());
    }
    std::string times = c.times ? c.times : "";
    for (size_t start = 0; c.times && start <= times.size();) {
      size_t comma = std::min(times.find(',', start), times.size());
      SetText(split_, IDC_TIME, times.substr(start, comma - start));
      Click(split_, IDC_ADD);
      start = comma + 1;
    }
    SetText(split_, IDC_FOLDER, folder + "\\");
    SetText(split_, IDC_DESTINATION_NAME, c.nameTemplate);
    CheckDlgButton(split_, IDC_EQUAL_SEGMENTS, c.equal ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(split_, IDC_TAG_TRACKS, c.tags ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(RunJob(split_), "Track creation completed successfully.");
  }
};

TEST_F(SameBytes, SplitGivesTheCommandLineProgramsTracks) {
  std::string folder = MakeTempFolder("same-split");
  std::string source = folder + "\\live set.mp3";
  WriteBytes(source, MakeMp3(700, true, 1000));
  std::string sheet = WriteSheet(folder + "\\live set.cue", "live set.mp3");
  const SplitCase cases[] = {
      {source, "0:00,0:03.33,0:07,0:12.01", false, "%file% - %track%"},
      {source, "0:04", true, "%track% of %file%"},
      // Tagged: the sheet's disc title and performer are the album's.
      {source, nullptr, false, "%track% %title%", sheet, true},
  };
  int n = 0;
  for (const SplitCase& c : cases) {
    std::string ours = MakeTempFolder("same-split-ours" + std::to_string(n));
    std::string theirs = MakeTempFolder("same-split-cli" + std::to_string(n++));
    LoadSourceFile(split_, source);
    SplitThroughThePage(c, ours);
    EXPECT_EQ(RunCli(SplitArguments(c, theirs)), 0);
    EXPECT_GE(FilesIn(ours).size(), 3u);
    ExpectSameFiles(ours, theirs);
  }
}

TEST_F(SameBytes, ExactSplitGivesTheCommandLineProgramsTracks) {
  std::string folder = WinePath(gRealMp3s);
  // The sheet's positions are not whole hundredths: both programs cut at its 75ths.
  std::string sheet = WriteSheet(MakeTempFolder("exact-split-sheet") + "\\album.cue", "vbr.mp3");
  const SplitCase cases[] = {
      {folder + "\\vbr.mp3", "0:00,0:01.37,0:04.01,0:07.99", false, "%file% - %track%"},
      {folder + "\\cbr.mp3", "0:02.50", true, "%track% of %file%"},
      {folder + "\\vbr.mp3", nullptr, false, "%track% %title%", sheet},
      // Tagged: vbr.mp3 has an ID3v1 tag, cbr.mp3 an ID3v2 tag.
      {folder + "\\vbr.mp3", nullptr, false, "%track% %title%", sheet, true},
      {folder + "\\cbr.mp3", "0:02.50", true, "%track% of %file%", "", true},
  };
  int n = 0;
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.source);
    Bytes sourceBytes = ReadBytes(c.source);
    ASSERT_FALSE(sourceBytes.empty());
    std::string ours = MakeTempFolder("exact-split-ours" + std::to_string(n));
    std::string theirs = MakeTempFolder("exact-split-cli" + std::to_string(n++));
    ASSERT_EQ(RunCli(SplitArguments(c, theirs) + " --exact"), 0);
    CheckDlgButton(split_, IDC_EXACT_CUTS, BST_CHECKED);
    ASSERT_EQ(ChooseSplitSource(split_, c.source), c.source);
    SplitThroughThePage(c, ours);
    EXPECT_GE(FilesIn(ours).size(), 3u);
    ExpectSameFiles(ours, theirs);
    EXPECT_TRUE(ReadBytes(c.source) == sourceBytes);
  }
}

TEST_F(SameBytes, JoinGivesTheCommandLineProgramsFile) {
  std::string folder = MakeTempFolder("same-join");
  std::string arguments;
  for (int i = 0; i < 4; ++i) {
    std::string path = folder + "\\part " + std::to_string(i) + ".mp3";
    WriteBytes(path, i == 3 ? MakeNoise(30000, 5) : MakeMp3(60 + i * 7, i != 1));
    SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    arguments += " \"" + path + "\"";
  }
  SetText(join_, IDC_DESTINATION_NAME, folder + "\\ours.mp3");
  EXPECT_EQ(RunJob(join_), "Track joining completed successfully.");
  EXPECT_EQ(RunCli("join \"" + folder + "\\theirs.mp3\"" + arguments), 0);
  Bytes ours = ReadBytes(folder + "\\ours.mp3");
  EXPECT_GT(ours.size(), 90000u);
  EXPECT_TRUE(ours == ReadBytes(folder + "\\theirs.mp3"));
}

// The program's windows, seen from this process.
struct RunningProgram {
  Process process;
  HWND main = nullptr;
  HWND join = nullptr;

  bool Start() {
    if (!process.Start("\"" + WinePath(gProgram) + "\"")) return false;
    ULONGLONG end = GetTickCount64() + 15000;
    while (!main && GetTickCount64() < end) {
      EnumWindows(
          [](HWND window, LPARAM self) -> BOOL {
            auto* program = reinterpret_cast<RunningProgram*>(self);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == program->process.info.dwProcessId && IsWindowVisible(window) &&
                wt::CaptionOf(window) == "MP3 Partwell v1.5") {
              program->main = window;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
    if (!main) return false;
    EnumChildWindows(
        main,
        [](HWND child, LPARAM self) -> BOOL {
          if (GetDlgItem(child, IDC_MOVE)) reinterpret_cast<RunningProgram*>(self)->join = child;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
    return join != nullptr;
  }
};

TEST(RealProgram, QuitDuringAJoinEndsTheProgramAtOnceWithCodeZero) {
  std::string folder = MakeTempFolder("quit-during-job");
  std::string big = folder + "\\big.mp3";
  {
    // A large source, so that the join is still running when Quit comes.
    HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 256ll << 20;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  std::string destination = folder + "\\joined.mp3";
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  SendDlgItemMessageA(program.join, IDC_DESTINATION_NAME, WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(destination.c_str()));
  for (int i = 0; i < 16; ++i) {
    SendDlgItemMessageA(program.join, IDC_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(big.c_str()));
  }
  ASSERT_EQ(SendDlgItemMessageA(program.join, IDC_LIST, LB_GETCOUNT, 0, 0), 16);
  PostMessageA(program.join, WM_COMMAND, MAKEWPARAM(IDC_ACTION, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(program.join, IDC_ACTION)));
  HWND action = GetDlgItem(program.join, IDC_ACTION);
  ASSERT_TRUE(wt::PumpUntil([&] { return wt::TextOf(action) == "Cancel"; }, 10000));
  PostMessageA(program.main, WM_COMMAND, IDC_QUIT, 0);
  EXPECT_EQ(program.process.Wait(5000), 0);
  // The file being written stays as far as it got; the source is untouched.
  EXPECT_TRUE(FileExists(destination));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(big.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 256u << 20);
  DeleteFileA(destination.c_str());
  DeleteFileA(big.c_str());
}

TEST(RealProgram, TheCloseBoxEndsTheProgramWithCodeZero) {
  RunningProgram program;
  ASSERT_TRUE(program.Start());
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.process.Wait(5000), 0);
}

}  // namespace
}  // namespace partwell::test

int main(int argc, char** argv) {
  using namespace partwell::test;
  return RunTestsWith(argc, argv,
                      {{"--program=", "MP3Partwell.exe", &gProgram},
                       {"--cli=", "mp3partwell.exe", &gCli},
                       {"--real-mp3s=", "FOLDER", &gRealMp3s}});
}
