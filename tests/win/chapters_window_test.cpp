// Chapters through the pages: the Split page's "Use Chapters" fills the list from the chosen
// source's chapters (and says why not without a source or chapters), and the Join page's
// "One chapter per file" gives the joined file one chapter per source.
#include "test_media.h"  // first: <windows.h> before the other system headers

#include <string_view>

#include "tags/chapters.h"
#include "window/track_list_box_win.h"

namespace partwell::test {
namespace {

const char kNoChapters[] = "The track times could not be taken from the chapters of this file:";

ChapterList ChaptersOf(const std::string& path) {
  Bytes bytes = ReadBytes(path);
  return ReadChapters(
      ParseId3v2Tag(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

class ChapterControls : public ProgramWithSource {};

TEST_F(ChapterControls, UseChaptersReplacesTheListByTheSourcesChapters) {
  EXPECT_NE(AnswerMessageBox([&] { Click(split_, IDC_CHAPTERS); }).find("choose a source"),
            std::string::npos);
  // The source has no tag: a warning, and the list stays.
  ASSERT_EQ(ChooseSplitSource(split_, source_), source_);
  SetText(split_, IDC_TIME, "0:05");
  Click(split_, IDC_ADD);
  EXPECT_NE(AnswerMessageBox([&] { Click(split_, IDC_CHAPTERS); }).find(kNoChapters),
            std::string::npos);
  EXPECT_EQ(ListItems(split_).size(), 2u);

  std::vector<unsigned char> tag =
      BuildTagWithChapters({}, {{"Prologue", 1230, 4000}, {"Part Two", 4000, 10000}});
  Bytes withChapters(tag.begin(), tag.end());
  withChapters.insert(withChapters.end(), sourceBytes_.begin(), sourceBytes_.end());
  std::string book = Path("book.mp3");
  WriteBytes(book, withChapters);
  ASSERT_EQ(ChooseSplitSource(split_, book), book);
  Click(split_, IDC_CHAPTERS);
  // A first chapter after 0:00 gets the zero marker before it, as a sheet's would.
  EXPECT_EQ(ListItems(split_), (std::vector<std::string>{"000:00.00", "000:01.23", "000:04.00"}));
  EXPECT_STREQ(PageTrackTimes(split_)[1].title, "Prologue");
  EXPECT_STREQ(PageTrackTimes(split_)[2].title, "Part Two");
}

TEST_F(ChapterControls, OneChapterPerFileWritesAChapterPerSource) {
  for (bool checked : {false, true}) {
    SCOPED_TRACE(checked ? "checked" : "not checked");
    SendDlgItemMessageA(join_, IDC_LIST, LB_RESETCONTENT, 0, 0);
    for (const char* name : {"first part.mp3", "second.mp3"}) {
      WriteBytes(Path(name), MakeMp3(100, false));
      SendDlgItemMessageA(join_, IDC_LIST, LB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(Path(name).c_str()));
    }
    CheckDlgButton(join_, IDC_ONE_CHAPTER_PER_FILE, checked ? BST_CHECKED : BST_UNCHECKED);
    std::string destination = Path(checked ? "with.mp3" : "without.mp3");
    SetText(join_, IDC_DESTINATION_NAME, destination);
    EXPECT_EQ(RunJob(join_), "Track joining completed successfully.");
    ChapterList chapters = ChaptersOf(destination);
    if (!checked) {
      EXPECT_TRUE(chapters.chapters.empty());
      continue;
    }
    ASSERT_EQ(chapters.chapters.size(), 2u);
    EXPECT_EQ(chapters.chapters[0].title, "first part");
    EXPECT_EQ(chapters.chapters[1].title, "second");
    EXPECT_EQ(chapters.chapters[0].startMs, 0u);
    // 100 frames of 1152 samples at 44.1 kHz, no tag to trim by.
    EXPECT_EQ(chapters.chapters[1].startMs, 2612u);
  }
}

}  // namespace
}  // namespace partwell::test
