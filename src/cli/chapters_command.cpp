#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "io/file.h"
#include "split/chapter_tracks.h"
#include "split/cue_sheet.h"
#include "split/track_time_list.h"
#include "tags/chapter_copy.h"
#include "tags/chapters.h"

namespace partwell::cli {
namespace {

struct ChaptersOptions {
  std::string source;
  std::string cue;
  std::string times;
  std::string output;
};

// h:mm:ss.mmm
std::string MillisecondText(uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u.%03u", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000);
  return text;
}

int ListChapters(const std::string& path) {
  File file = File::OpenForReading(path);
  if (!file.IsOpen()) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), SystemErrorText(file.LastError()).c_str());
    return kExitFailed;
  }
  std::optional<SourceTags> tags = ReadSourceTags(file);
  if (!tags) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ReadFailureText(file).c_str());
    return kExitFailed;
  }
  PrintChapters(ReadChapters(tags->id3v2));
  return kExitDone;
}

// The track list the options give, as the split reads it.
bool ReadTrackList(const ChaptersOptions& options, std::vector<TrackEntry>& entries) {
  TrackTimeList times;
  if (options.cue.empty()) {
    AddTimes(options.times, times);
  } else {
    CueSheetResult sheet = ReadCueSheetFile(options.cue, options.source);
    if (!sheet.ok() || !ReplaceTrackTimes(sheet.entries, times)) {
      std::fprintf(
          stderr, "The CUE sheet could not be used.\n%s: %s\n", options.cue.c_str(),
          sheet.ok() ? "the track list refused a time of the sheet" : sheet.refusal->c_str());
      return false;
    }
  }
  entries = times.Snapshot();
  return true;
}

int WriteChapters(const ChaptersOptions& options) {
  std::vector<TrackEntry> entries;
  if (!ReadTrackList(options, entries)) return kExitFailed;
  if (entries.size() > kMaxWrittenChapters) {
    std::fprintf(stderr, "At most %zu chapters are written; the list has %zu.\n",
                 kMaxWrittenChapters, entries.size());
    return kExitFailed;
  }
  std::optional<uint32_t> played = PlayedMilliseconds(options.source);
  if (!played) {
    std::fprintf(stderr, "%s: no MPEG audio whose length could be read\n", options.source.c_str());
    return kExitFailed;
  }
  std::string failure = WriteCopyWithChapters(options.source, options.output,
                                              ChapterMarksOfEntries(entries, *played));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

void PrintChapters(const ChapterList& list) {
  std::printf("Chapters: %zu\n", list.chapters.size());
  for (size_t i = 0; i < list.chapters.size(); ++i) {
    const Chapter& chapter = list.chapters[i];
    std::printf("%zu\t%s\t%s\t%s\t%s\n", i + 1, chapter.id.c_str(),
                MillisecondText(chapter.startMs).c_str(), MillisecondText(chapter.endMs).c_str(),
                chapter.title.c_str());
  }
  for (const ChapterTable& table : list.tables) {
    std::printf("Table %s:%s%s", table.id.c_str(), table.topLevel ? " top-level" : "",
                table.ordered ? " ordered" : "");
    for (const std::string& child : table.children) std::printf(" %s", child.c_str());
    std::printf("\n");
  }
}

void AddChaptersCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "chapters",
      "Lists the chapters of FILE's ID3v2 tag (number, id, start, end, title; then the tables "
      "of contents), or with --cue or --times and --output writes a copy of FILE with those "
      "chapters in its leading tag and the audio bytes unchanged.");
  auto options = std::make_shared<ChaptersOptions>();
  command->add_option("FILE", options->source, "The MP3 file")->required();
  auto* cue = command->add_option("--cue", options->cue,
                                  "A CUE sheet whose INDEX 01 times and titles give the chapters");
  auto* times = command->add_option(
      "--times", options->times,
      "Comma-separated chapter start times, mmm:ss.pp; 0:00 is added before the first when "
      "missing");
  auto* output = command->add_option("--output", options->output,
                                     "The copy to write (replaced when it exists; never FILE)");
  cue->excludes(times);
  command->footer(
      "Examples:\n"
      "  mp3partwell chapters book.mp3\n"
      "  mp3partwell chapters book.mp3 --cue book.cue --output book-chapters.mp3\n"
      "  mp3partwell chapters show.mp3 --times 0:00,12:30,40:05.50 --output show-marked.mp3");
  command->callback([options, cue, times, output, &exitCode] {
    const bool given = cue->count() + times->count() > 0;
    if (given != (output->count() > 0)) {
      throw CLI::ValidationError("--output", "--cue or --times goes with --output");
    }
    exitCode = given ? WriteChapters(*options) : ListChapters(options->source);
  });
}

}  // namespace partwell::cli
