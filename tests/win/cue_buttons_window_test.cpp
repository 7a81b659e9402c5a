// The Split page's CUE sheet buttons, through the real open and save dialogs: import,
// export and back, the warnings, and cancelled dialogs.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <algorithm>
#include <cstdio>

#include "split/track_entry.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

const char kImportTitle[] = "Import Track Times From A .CUE File";
const char kExportTitle[] = "Export Track Times To A .CUE File";
const char kImportFailed[] = "The track times could not be imported from this .CUE file:";
const char kExportFailed[] = "The track times could not be exported to this .CUE file:";

// The disc texts the page keeps with its list, as "title|performer".
std::string DiscOf(HWND split) {
  return PageDiscTexts(split).title + "|" + PageDiscTexts(split).performer;
}

class CueButtons : public ProgramWithSource {
 protected:
  void WriteSheet(const std::string& name, const std::string& text) {
    WriteBytes(Path(name), Bytes(text.begin(), text.end()));
  }
  std::string ReadSheet(const std::string& name) {
    Bytes bytes = ReadBytes(Path(name));
    return std::string(bytes.begin(), bytes.end());
  }

  // Adds typed times, then names the entries in list order ("artist|title" each).
  void FillList(std::initializer_list<const char*> times,
                std::initializer_list<std::pair<const char*, const char*>> names = {}) {
    for (const char* time : times) {
      SetText(split_, IDC_TIME, time);
      Click(split_, IDC_ADD);
    }
    size_t i = 0;
    for (const auto& name : names) {
      TrackEntry& entry = PageTrackTimes(split_)[i++];
      SetTrackText(entry.artist, name.first);
      SetTrackText(entry.title, name.second);
    }
  }

  // The list as a split reads it: each list box item's text, and the artist and title of
  // the entry that the item carries, which must be the model's entry at that place.
  std::vector<std::string> Rows() {
    TrackTimeList& times = PageTrackTimes(split_);
    std::vector<std::string> items = ListItems(split_);
    EXPECT_EQ(items.size(), times.size());
    std::vector<std::string> rows;
    for (size_t i = 0; i < std::min(items.size(), times.size()); ++i) {
      EXPECT_EQ(SendDlgItemMessageA(split_, IDC_LIST, LB_GETITEMDATA, i, 0),
                reinterpret_cast<LRESULT>(&times[i]));
      rows.push_back(items[i] + "|" + times[i].artist + "|" + times[i].title);
    }
    return rows;
  }

  // Clicks `button`, types `name` into the dialog captioned `title` and returns the texts
  // of the message boxes that followed (each answered with OK). With `replace`, the
  // dialog's question whether to replace an existing file is expected and answered Yes.
  std::vector<std::string> UseDialog(int button, const char* title, const std::string& name,
                                     bool replace = false) {
    MessageBoxAnswerer boxes;
    bool asked = false;
    wt::DialogAnswerer answer(title, [&](HWND dialog) {
      TypeFileName(dialog, name);
      for (ULONGLONG end = GetTickCount64() + 5000; replace && GetTickCount64() < end;) {
        // The question is a message box captioned like the dialog that asks it.
        for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", title));) {
          if (box == dialog || !IsWindowVisible(box) || !GetDlgItem(box, 0xFFFF)) continue;
          asked = true;
          wt::PressButton(box, IDYES);
          return;
        }
        Sleep(10);
      }
    });
    Click(split_, button);
    EXPECT_TRUE(answer.Wait()) << title;
    EXPECT_EQ(asked, replace) << name;
    return boxes.Texts();
  }
  std::vector<std::string> Import(const std::string& name) {
    return UseDialog(IDC_CUE_IMPORT, kImportTitle, Path(name));
  }
  std::vector<std::string> Export(const std::string& name, bool replace = false) {
    return UseDialog(IDC_CUE_EXPORT, kExportTitle, Path(name), replace);
  }
};

TEST_F(CueButtons, ImportFillsTheListWithTimesArtistsAndTitlesThatNameTheTracks) {
  ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
  FillList({"0:01"});
  // Two files: only the chosen source's tracks are taken. The disc's performer is the
  // artist of the tracks without one; the disc's title names no track.
  WriteSheet("concert.cue",
             "REM written by hand\r\n"
             "PERFORMER \"The Band\"\r\n"
             "TITLE \"Live\"\r\n"
             "FILE \"warmup.mp3\" MP3\r\n"
             "  TRACK 01 AUDIO\r\n"
             "    TITLE \"Soundcheck\"\r\n"
             "    INDEX 01 00:00:00\r\n"
             "FILE \"concert.mp3\" MP3\r\n"
             "  TRACK 02 AUDIO\r\n"
             "    TITLE \"Opening\"\r\n"
             "    INDEX 01 00:00:00\r\n"
             "  TRACK 03 AUDIO\r\n"
             "    TITLE \"Caf\xC3\xA9 Song\"\r\n"
             "    PERFORMER Guest\r\n"
             "    INDEX 00 00:03:00\r\n"
             "    INDEX 01 00:03:37\r\n"
             "  TRACK 04 AUDIO\r\n"
             "    TITLE \"Encore: Reprise\"\r\n"
             "    INDEX 01 00:07:00\r\n");
  EXPECT_EQ(Import("concert.cue"), std::vector<std::string>{});
  EXPECT_EQ(Rows(), (std::vector<std::string>{"000:00.00|The Band|Opening",
                                              "000:03.49|Guest|Caf\xC3\xA9 Song",
                                              "000:07.00|The Band|Encore: Reprise"}));
  EXPECT_EQ(Selection(split_), -1);
  // The disc's title and performer stay for tagged tracks until the list is cleared or a
  // source is chosen.
  EXPECT_EQ(DiscOf(split_), "Live|The Band");

  std::string out = folder_ + "\\out";
  CreateDirectoryA(out.c_str(), nullptr);
  SetText(split_, IDC_FOLDER, out + "\\");
  SetText(split_, IDC_DESTINATION_NAME, "%track% %artist% - %title%");
  EXPECT_EQ(RunJob(split_), "Track creation completed successfully.");
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"01 The Band - Opening.mp3",
                                                    "02 Guest - Caf\xC3\xA9 Song.mp3",
                                                    "03 The Band - Encore_ Reprise.mp3"}));

  // A long sheet, one track a second, fills the list at once (a list box redrawn at every
  // line took over a minute).
  std::string many;
  for (int i = 0; i < 10000; ++i) {
    char track[80];
    std::snprintf(track, sizeof track, "TRACK %d AUDIO\nINDEX 01 %d:%02d:00\n", i + 1, i / 60,
                  i % 60);
    many += track;
  }
  WriteSheet("many.cue", many);
  Click(split_, IDC_CLEAR);
  EXPECT_EQ(DiscOf(split_), "|");
  EXPECT_EQ(Import("concert.cue"), std::vector<std::string>{});
  ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
  EXPECT_EQ(DiscOf(split_), "|");
  EXPECT_EQ(Import("concert.cue"), std::vector<std::string>{});
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(Import("many.cue"), std::vector<std::string>{});
  EXPECT_EQ(DiscOf(split_), "|");
  EXPECT_LT(GetTickCount64() - start, 10000u);
  std::vector<std::string> rows = Rows();
  ASSERT_EQ(rows.size(), 10000u);
  EXPECT_EQ(rows[9999], "166:39.00||");
}

TEST_F(CueButtons, ExportWritesASheetThatImportsBackToTheSameList) {
  // Times on whole frames (4 hundredths are 3 frames), text beyond plain ASCII.
  const std::vector<std::string> list = {"000:00.00||", "001:00.00|S\xC3\xBC\xC3\x9F|One",
                                         "002:30.48||Two", "100:00.04|Band|"};
  for (bool withSource : {false, true}) {
    SCOPED_TRACE(withSource ? "with a source" : "without a source");
    if (withSource) {
      ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
    }
    Click(split_, IDC_CLEAR);
    FillList({"1:00", "2:30.48", "100:00.04"},
             {{"", ""}, {"S\xC3\xBC\xC3\x9F", "One"}, {"", "Two"}, {"Band", ""}});
    ASSERT_EQ(Rows(), list);

    std::string name = withSource ? "with-source" : "Bl\xC3\xA4tter ohne Quelle";
    EXPECT_EQ(Export(name), std::vector<std::string>{});  // the extension is added
    std::string sheet = ReadSheet(name + ".cue");
    EXPECT_EQ(sheet.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(sheet.find("FILE \"concert.mp3\" MP3\r\n") != std::string::npos, withSource);
    EXPECT_NE(sheet.find("INDEX 01 100:00:03\r\n"), std::string::npos);

    Click(split_, IDC_CLEAR);
    EXPECT_EQ(Import(name + ".cue"), std::vector<std::string>{});
    EXPECT_EQ(Rows(), list);
  }
}

TEST_F(CueButtons, WarningsNameTheSheetAndTheReasonAndLeaveEverythingAsItWas) {
  // A list imported from a sheet with a disc title, then edited.
  WriteSheet("disc.cue", "TITLE Kept\nTRACK 1 AUDIO\nINDEX 01 0:0:0\n");
  EXPECT_EQ(Import("disc.cue"), std::vector<std::string>{});
  FillList({"0:30", "1:00"}, {{"Kept", "Zero"}, {"Kept", "Half"}, {"Kept", "One"}});
  const std::vector<std::string> before = Rows();
  WriteSheet("two-files.cue",
             "FILE a.mp3 MP3\nTRACK 1 AUDIO\nINDEX 01 0:0:0\n"
             "FILE b.mp3 MP3\nTRACK 2 AUDIO\nINDEX 01 0:1:0\n");
  WriteSheet("bad-index.cue", "TRACK 01 AUDIO\nTITLE x\nINDEX 01 99:99:99\n");
  WriteSheet("junk.cue", std::string("\x01\xFF\xFE junk \x80\x81 TRACK", 17));
  WriteSheet("empty.cue", "");
  const struct {
    const char* sheet;
    const char* reason;
  } refused[] = {
      {"two-files.cue",
       "The sheet is for 2 files (\"a.mp3\", \"b.mp3\"); choose the source file first."},
      {"bad-index.cue", "Line 3: malformed INDEX "},
      {"junk.cue", "The sheet holds no track with an INDEX 01."},
      {"empty.cue", "The sheet holds no track with an INDEX 01."},
  };
  for (const auto& c : refused) {
    std::vector<std::string> boxes = Import(c.sheet);
    ASSERT_EQ(boxes.size(), 1u) << c.sheet;
    EXPECT_EQ(boxes[0].rfind(std::string(kImportFailed) + "\n\n" + Path(c.sheet) + "\n\n", 0), 0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find(c.reason), std::string::npos) << boxes[0];
    EXPECT_EQ(Rows(), before) << c.sheet;
    EXPECT_EQ(DiscOf(split_), "Kept|") << c.sheet;
  }

  // Export: never over the source; a sheet that cannot be replaced says why.
  ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
  FillList({"0:30"}, {{"Kept", "Zero"}});
  const std::vector<std::string> withSource = Rows();
  WriteSheet("locked.cue", "REM kept\r\n");
  // Held open with no sharing, as another program may hold it.
  HANDLE lock = CreateFileA(Path("locked.cue").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const struct {
    const char* target;
    const char* reason;
  } failed[] = {{"concert.mp3", "The sheet would replace the source file."},
                {"locked.cue", "Cannot create the sheet: "}};
  for (const auto& c : failed) {
    std::vector<std::string> boxes = Export(c.target, true);
    ASSERT_EQ(boxes.size(), 1u) << c.target;
    EXPECT_EQ(boxes[0].rfind(std::string(kExportFailed) + "\n\n" + Path(c.target) + "\n\n", 0), 0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find(c.reason), std::string::npos) << boxes[0];
  }
  CloseHandle(lock);
  EXPECT_EQ(ReadBytes(source_), sourceBytes_);
  EXPECT_EQ(ReadSheet("locked.cue"), "REM kept\r\n");
  EXPECT_EQ(Rows(), withSource);

  // An empty list is refused before any dialog opens.
  Click(split_, IDC_CLEAR);
  std::vector<std::string> files = FilesIn(folder_);
  EXPECT_EQ(AnswerMessageBox([&] { Click(split_, IDC_CUE_EXPORT); }),
            "The track time list is empty: there is nothing to export.  Please add track "
            "times first.");
  EXPECT_EQ(FilesIn(folder_), files);
}

TEST_F(CueButtons, CancellingEitherDialogChangesNothing) {
  FillList({"0:30"}, {{"Kept", "Zero"}});
  const std::vector<std::string> before = Rows();
  std::vector<std::string> files = FilesIn(folder_);
  ClickAndCancel(split_, IDC_CUE_IMPORT, kImportTitle);
  ClickAndCancel(split_, IDC_CUE_EXPORT, kExportTitle);
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(FilesIn(folder_), files);
}

}  // namespace
}  // namespace partwell::test
