#include "test_media.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "window/job_control_win.h"
#include "window/main_window_win.h"
#include "window/message_box_win.h"

namespace partwell::test {

std::string WinePath(const std::string& unixPath) {
  if (unixPath.size() > 1 && unixPath[1] == ':') return unixPath;
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

int RunTestsWith(int argc, char** argv, const std::vector<NamedArgument>& named) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string usage;
  bool complete = true;
  for (const NamedArgument& argument : named) {
    std::string name = argument.name;
    for (int i = 1; i < argc; ++i) {
      if (name.compare(0, name.size(), argv[i], name.size()) == 0) {
        *argument.value = argv[i] + name.size();
      }
    }
    complete = complete && !argument.value->empty();
    usage += " " + name + argument.what;
  }
  if (!complete) {
    std::fprintf(stderr, "usage: %s%s\n", argv[0], usage.c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}

std::string MakeTempFolder(const std::string& name) {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "partwell-" + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const std::string& file : FilesIn(folder)) DeleteFileA((folder + "\\" + file).c_str());
  return folder;
}

Bytes MakeNoise(size_t size, unsigned seed) {
  Bytes bytes(size);
  unsigned state = seed * 2654435761u + 1;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>((state >> 16) % 0xF0);  // never 0xFF: no frame sync
  }
  return bytes;
}

Bytes MakeMp3(int frames, bool trailer, size_t leading) {
  Bytes bytes = MakeNoise(leading, 7);
  Bytes body = MakeNoise(413, 11);
  for (int i = 0; i < frames; ++i) {
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x00};
    bytes.insert(bytes.end(), header, header + 4);
    body[static_cast<size_t>(i) % body.size()] ^= 0x5A;  // frames differ from each other
    bytes.insert(bytes.end(), body.begin(), body.end());
  }
  if (trailer) {
    Bytes tag(128, 0);
    std::memcpy(tag.data(), "TAGA title", 10);
    bytes.insert(bytes.end(), tag.begin(), tag.end());
  }
  return bytes;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

Bytes ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  Bytes bytes(GetFileSize(file, nullptr));
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void ProgramWindows::SetUp() {
  InitWindowControls();
  list_ = MakePropertyList();
  main_ = CreateMainWindow(list_.get());
  ASSERT_NE(main_, nullptr);
  split_ = static_cast<HWND>(FindProperty(list_.get(), kSplitWindowKey));
  join_ = static_cast<HWND>(FindProperty(list_.get(), kMergeWindowKey));
  help_ = static_cast<HWND>(FindProperty(list_.get(), kHelpWindowKey));
  about_ = static_cast<HWND>(FindProperty(list_.get(), kAboutWindowKey));
  ShowWindow(main_, SW_SHOW);
}

void ProgramWindows::TearDown() {
  if (IsWindow(main_)) DestroyWindow(main_);
  wt::PumpUntil([] { return false; }, 20);  // swallows the WM_QUIT that WM_DESTROY posted
}

void ProgramWithSource::SetUp() {
  ProgramWindows::SetUp();
  folder_ = MakeTempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  source_ = Path("concert.mp3");
  sourceBytes_ = MakeMp3(400, true, 100);
  WriteBytes(source_, sourceBytes_);
}

void Click(HWND page, int id) { SendDlgItemMessageA(page, id, BM_CLICK, 0, 0); }

void PressKey(HWND window, WPARAM key, BYTE modifier) {
  BYTE state[256];
  GetKeyboardState(state);
  if (modifier) state[modifier] = 0x80;
  SetKeyboardState(state);
  SendMessageA(window, WM_KEYDOWN, key, 0);
  if (modifier) state[modifier] = 0;
  SetKeyboardState(state);
}

std::string Text(HWND page, int id) { return wt::ItemText(page, id); }

void SetText(HWND page, int id, const std::string& text) {
  SetDlgItemTextA(page, id, text.c_str());
}

std::vector<std::string> ListItems(HWND page) {
  std::vector<std::string> items;
  LRESULT count = SendDlgItemMessageA(page, IDC_LIST, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[1024] = "";
    SendDlgItemMessageA(page, IDC_LIST, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

int Selection(HWND page) {
  return static_cast<int>(SendDlgItemMessageA(page, IDC_LIST, LB_GETCURSEL, 0, 0));
}

std::string AnswerMessageBox(const std::function<void()>& trigger, DWORD timeoutMs) {
  std::string text;
  wt::DialogAnswerer answer(
      kMessageCaption,
      [&](HWND box) {
        text = wt::MessageBoxText(box);
        wt::PressButton(box, IDOK);
      },
      timeoutMs);
  if (trigger) trigger();
  wt::PumpUntil([&] { return answer.done(); }, timeoutMs + 500);
  answer.Wait();
  wt::PumpUntil([] { return false; }, 20);  // let the box go away
  return text;
}

struct MessageBoxAnswerer::State {
  std::mutex mutex;
  std::vector<std::string> texts;
  std::set<HWND> answered;
  std::atomic<bool> stop{false};
  std::thread thread;
};

MessageBoxAnswerer::MessageBoxAnswerer() : state_(new State) {
  state_->thread = std::thread([state = state_] {
    while (!state->stop) {
      HWND box = wt::FindOwnDialog(kMessageCaption);
      if (box && !state->answered.count(box)) {
        std::string text = wt::MessageBoxText(box);
        {
          std::lock_guard<std::mutex> lock(state->mutex);
          state->texts.push_back(text);
        }
        state->answered.insert(box);
        wt::PressButton(box, IDOK);
      }
      Sleep(10);
    }
  });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  state_->stop = true;
  state_->thread.join();
  // A box answered may still be closing: the next answerer would take it for a new one.
  wt::PumpUntil([&] {
    for (HWND box : state_->answered) {
      if (IsWindow(box)) return false;
    }
    return true;
  });
  delete state_;
}

std::vector<std::string> MessageBoxAnswerer::Texts() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->texts;
}

bool MessageBoxAnswerer::WaitFor(size_t count, DWORD timeoutMs) {
  return wt::PumpUntil([&] { return Texts().size() >= count; }, timeoutMs);
}

bool PageIsIdle(HWND page, const char* idleCaption) {
  if (Text(page, IDC_ACTION) != idleCaption || Text(page, IDC_STATUS) != kIdleStatus) return false;
  if (IsStarting(page)) return false;
  // "Overview..." waits for a source to be chosen.
  struct Check {
    bool enabled = true;
    bool withoutSource;
  } check{true, Text(page, IDC_SOURCE).empty()};
  EnumChildWindows(
      page,
      [](HWND child, LPARAM parameter) -> BOOL {
        auto* check = reinterpret_cast<Check*>(parameter);
        bool waits = check->withoutSource && GetDlgCtrlID(child) == IDC_OVERVIEW;
        if (!IsWindowEnabled(child) && !waits) check->enabled = false;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&check));
  return check.enabled;
}

std::string RunJob(HWND page, DWORD timeoutMs) {
  std::string text = AnswerMessageBox([&] { Click(page, IDC_ACTION); }, timeoutMs);
  return text;
}

namespace {

struct TextHook {
  std::string text;
  std::function<void()> action;
  WNDPROC original = nullptr;
};
std::map<HWND, TextHook> gHooks;

LRESULT CALLBACK HookedProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  TextHook& hook = gHooks[control];
  WNDPROC original = hook.original;
  LRESULT result = CallWindowProcA(original, control, message, wParam, lParam);
  if (message == WM_SETTEXT && lParam && hook.action &&
      hook.text == reinterpret_cast<const char*>(lParam)) {
    std::function<void()> action = std::move(hook.action);
    hook.action = nullptr;
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    action();
  }
  return result;
}

}  // namespace

void WhenTextSet(HWND page, int id, const std::string& text, std::function<void()> action) {
  HWND control = GetDlgItem(page, id);
  TextHook& hook = gHooks[control];
  hook.text = text;
  hook.action = std::move(action);
  hook.original = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookedProc)));
}

std::string ChooseSplitSource(HWND split, const std::string& path, std::string* message) {
  wt::DialogAnswerer answer("Select An MP3 Source File",
                            [&](HWND dialog) { TypeFileName(dialog, path); });
  if (message) {
    *message = AnswerMessageBox([&] { Click(split, IDC_BROWSE); });
  } else {
    Click(split, IDC_BROWSE);
  }
  EXPECT_TRUE(answer.Wait());
  return Text(split, IDC_SOURCE);
}

void ClickAndCancel(HWND page, int id, const std::string& title) {
  wt::DialogAnswerer cancel(title, [](HWND dialog) { wt::PressButton(dialog, IDCANCEL); });
  Click(page, id);
  EXPECT_TRUE(cancel.Wait()) << title;
}

void TypeFileName(HWND dialog, const std::string& name) {
  HWND field = GetDlgItem(dialog, cmb13);
  if (!field) field = GetDlgItem(dialog, edt1);
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  wt::PressButton(dialog, IDOK);
}

bool NavigateTo(HWND dialog, const std::string& folder) {
  auto current = [&] {
    char path[MAX_PATH] = "";
    SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof path, reinterpret_cast<LPARAM>(path));
    return std::string(path);
  };
  if (current() == folder) return true;
  TypeFileName(dialog, folder);
  ULONGLONG end = GetTickCount64() + 5000;
  while (current() != folder) {
    if (GetTickCount64() > end) return false;
    Sleep(10);
  }
  return true;
}

}  // namespace partwell::test
