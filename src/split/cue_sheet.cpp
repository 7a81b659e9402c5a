#include "split/cue_sheet.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "io/file.h"
#include "split/track_time.h"
#include "split/track_time_list.h"
#include "text/ascii.h"
#include "text/unicode.h"

namespace partwell {
namespace {

constexpr int64_t kFramesPerSecond = 75;
constexpr int64_t kFramesPerMinute = 60 * kFramesPerSecond;
// 999:59:74, the last frame below 1000 minutes; it reads as 999:59.99, the list's last time.
constexpr int64_t kLastFrame = 1000 * kFramesPerMinute - 1;
// How much of a line or a name a refusal quotes.
constexpr size_t kQuotedBytes = 60;
// How many FILE names a refusal lists.
constexpr size_t kListedFileNames = 5;

int64_t HundredthsOfFrames(int64_t frames) { return (frames * 4 + 1) / 3; }
int64_t FramesOfHundredths(int64_t hundredths) { return (hundredths * 3 + 2) / 4; }

// ---- Text decoding -------------------------------------------------------------------

std::string DecodeSheet(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8OrLatin1(bytes.substr(3));
  if (bytes.substr(0, 2) == "\xFF\xFE") return Utf16ToUtf8(bytes.substr(2), false);
  if (bytes.substr(0, 2) == "\xFE\xFF") return Utf16ToUtf8(bytes.substr(2), true);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Latin1ToUtf8(bytes);
}

// ---- Lines and words -------------------------------------------------------------------

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Splits off the first word of `text` (which starts with no blank) and the blanks after it.
std::string_view TakeWord(std::string_view& text) {
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  text = TrimBlanks(text);
  return word;
}

void BlankControls(std::string& text) {
  for (char& c : text) {
    if (IsControl(c)) c = ' ';
  }
}

// A value: the text between the first and the last double quote, or the rest of the line
// when it is not quoted or its closing quote is missing. Control characters become spaces.
std::string ValueOf(std::string_view rest) {
  std::string_view value = rest;
  if (!rest.empty() && rest.front() == '"') {
    size_t close = rest.rfind('"');
    value = close > 0 ? rest.substr(1, close - 1) : rest.substr(1);
  }
  std::string text(value);
  BlankControls(text);
  return text;
}

// Text as a refusal quotes it: in double quotes, cut on a character boundary, controls
// blanked.
std::string Quoted(std::string_view text) {
  bool cut = text.size() > kQuotedBytes;
  text = text.substr(0, Utf8CutLength(text, kQuotedBytes));
  std::string quoted(text);
  BlankControls(quoted);
  return "\"" + quoted + (cut ? "...\"" : "\"");
}

std::string LinePrefix(size_t number) { return "line " + std::to_string(number) + ": "; }

std::string FrameTimeText(int64_t frames) {
  char text[40];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                static_cast<long long>(frames / kFramesPerMinute),
                static_cast<long long>(frames / kFramesPerSecond % 60),
                static_cast<long long>(frames % kFramesPerSecond));
  return text;
}

// Reads 1 to `maxDigits` digits; the value saturates at 1,000,000 so that no count of
// digits can overflow it.
bool ReadNumber(std::string_view& text, size_t maxDigits, int64_t& value) {
  size_t digits = 0;
  value = 0;
  while (digits < text.size() && IsDigit(text[digits])) {
    if (value < 1000000) value = value * 10 + (text[digits] - '0');
    ++digits;
  }
  text.remove_prefix(digits);
  return digits > 0 && digits <= maxDigits;
}

// The file part of a FILE value or of the source's path; either separator counts, since
// sheets are written on every system.
std::string_view FileNamePart(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view WithoutExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// ---- The reader ------------------------------------------------------------------------

constexpr int kNoFile = -1;

struct SheetTrack {
  std::string number;  // as written, for messages
  std::string title;
  std::string performer;
  size_t line = 0;       // the TRACK line
  size_t indexLine = 0;  // the INDEX 01 line, 0 while there is none
  int64_t frames = 0;
  int file = kNoFile;  // the FILE in effect at its INDEX 01
};

class SheetReader {
 public:
  // Each step gives its refusal, or nothing when the sheet may go on.
  std::optional<std::string> ReadLine(std::string_view line);
  CueSheetResult Finish(const std::string& sourcePath);
  void SetLineNumber(size_t number) { lineNumber_ = number; }
  const std::vector<std::string>& files() const { return files_; }

 private:
  std::optional<std::string> ReadTrack(std::string_view rest);
  std::optional<std::string> ReadIndex(std::string_view rest, std::string_view line);
  std::string Refuse(const std::string& why) const { return LinePrefix(lineNumber_) + why; }
  // Marks in `chosen` the FILE entries whose tracks are used, or gives the refusal.
  std::optional<std::string> ChooseFiles(const std::string& sourcePath,
                                         std::vector<bool>& chosen) const;

  size_t lineNumber_ = 0;
  std::string discTitle_;
  std::string discPerformer_;
  std::vector<std::string> files_;
  int currentFile_ = kNoFile;
  std::vector<SheetTrack> tracks_;
};

std::optional<std::string> SheetReader::ReadLine(std::string_view line) {
  std::string_view rest = TrimBlanks(line);
  if (rest.empty()) return std::nullopt;
  std::string_view command = TakeWord(rest);
  if (EqualsIgnoringCase(command, "FILE")) {
    std::string name = ValueOf(rest);
    if (rest.empty() || rest.front() != '"') {
      // Unquoted: the last word is the type when there are several.
      size_t blank = std::string_view(name).find_last_of(" \t");
      if (blank != std::string::npos) name = std::string(TrimBlanks(name.substr(0, blank)));
    }
    if (files_.size() == kMaxCueTracks) {
      return Refuse("more than " + std::to_string(kMaxCueTracks) + " FILE entries");
    }
    files_.push_back(name);
    currentFile_ = static_cast<int>(files_.size() - 1);
  } else if (EqualsIgnoringCase(command, "TRACK")) {
    return ReadTrack(rest);
  } else if (EqualsIgnoringCase(command, "INDEX")) {
    return ReadIndex(rest, line);
  } else if (EqualsIgnoringCase(command, "TITLE")) {
    // A title before the first track names the disc, which is not a track's title.
    (tracks_.empty() ? discTitle_ : tracks_.back().title) = ValueOf(rest);
  } else if (EqualsIgnoringCase(command, "PERFORMER")) {
    (tracks_.empty() ? discPerformer_ : tracks_.back().performer) = ValueOf(rest);
  }
  // REM and every other command: nothing to take.
  return std::nullopt;
}

std::optional<std::string> SheetReader::ReadTrack(std::string_view rest) {
  std::string_view numberText = TakeWord(rest);
  std::string_view digits = numberText;
  int64_t number = 0;
  if (!ReadNumber(digits, 9, number) || !digits.empty()) {
    return Refuse("a TRACK without a track number: expected TRACK nn AUDIO");
  }
  if (tracks_.size() == kMaxCueTracks) {
    return Refuse("more than " + std::to_string(kMaxCueTracks) + " tracks");
  }
  SheetTrack track;
  track.number = std::string(numberText);
  track.line = lineNumber_;
  tracks_.push_back(std::move(track));
  return std::nullopt;
}

std::optional<std::string> SheetReader::ReadIndex(std::string_view rest, std::string_view line) {
  auto malformed = [&](const char* more) -> std::optional<std::string> {
    return Refuse("malformed INDEX " + Quoted(TrimBlanks(line)) + ": expected INDEX nn mm:ss:ff" +
                  more);
  };
  std::string_view numberText = TakeWord(rest);
  int64_t number = 0;
  if (!ReadNumber(numberText, 2, number) || !numberText.empty()) return malformed("");
  std::string_view time = TakeWord(rest);
  if (time.empty() || !rest.empty()) return malformed("");
  std::string_view parse = time;
  int64_t minutes = 0, seconds = 0, frames = 0;
  if (!ReadNumber(parse, SIZE_MAX, minutes) || parse.empty() || parse.front() != ':') {
    return malformed("");
  }
  parse.remove_prefix(1);
  if (!ReadNumber(parse, 2, seconds)) return malformed("");
  if (!parse.empty()) {  // the frames may be missing
    if (parse.front() != ':') return malformed("");
    parse.remove_prefix(1);
    if (!ReadNumber(parse, 2, frames) || !parse.empty()) return malformed("");
  }
  if (seconds > 59 || frames >= kFramesPerSecond) {
    return malformed(" (seconds 00 to 59, frames 00 to 74)");
  }
  if (minutes >= 1000) {
    return Refuse("the time " + std::string(time) +
                  " is 1000 minutes or more; the latest time is 999:59:74");
  }
  if (tracks_.empty()) return Refuse("an INDEX before the first TRACK");
  if (number != 1) return std::nullopt;  // INDEX 00 (the pre-gap) and sub-indexes are no cut points
  SheetTrack& track = tracks_.back();
  if (track.indexLine != 0) {
    return Refuse("a second INDEX 01 for track " + track.number + " (the first is on line " +
                  std::to_string(track.indexLine) + ")");
  }
  track.indexLine = lineNumber_;
  track.frames = (minutes * 60 + seconds) * kFramesPerSecond + frames;
  track.file = currentFile_;
  return std::nullopt;
}

// Marks the FILE entries whose tracks are used: all of them when the sheet names at most
// one file, else those whose name is the source's (ignoring case), else those whose name
// without its extension is the source's without its own.
std::optional<std::string> SheetReader::ChooseFiles(const std::string& sourcePath,
                                                    std::vector<bool>& chosen) const {
  chosen.assign(files_.size(), true);
  std::vector<std::string_view> names;  // in the sheet's order, each once
  std::set<std::string> seen;
  for (const std::string& file : files_) {
    std::string_view name = FileNamePart(file);
    std::string key(name);
    for (char& c : key) c = AsciiUpper(c);
    if (seen.insert(key).second) names.push_back(name);
  }
  if (names.size() <= 1) return std::nullopt;

  std::string_view source = FileNamePart(sourcePath);
  for (bool stems : {false, true}) {
    bool any = false;
    for (size_t i = 0; i < files_.size(); ++i) {
      std::string_view name = FileNamePart(files_[i]);
      chosen[i] = stems ? EqualsIgnoringCase(WithoutExtension(name), WithoutExtension(source))
                        : EqualsIgnoringCase(name, source);
      any = any || chosen[i];
    }
    if (any && !source.empty()) return std::nullopt;
  }
  std::string list;
  for (size_t i = 0; i < names.size() && i < kListedFileNames; ++i) {
    list += (i ? ", " : "") + Quoted(names[i]);
  }
  if (names.size() > kListedFileNames) {
    list += " and " + std::to_string(names.size() - kListedFileNames) + " more";
  }
  return "the sheet is for " + std::to_string(names.size()) + " files (" + list + ")" +
         (source.empty() ? "; choose the source file first"
                         : " and none of them is " + Quoted(source));
}

CueSheetResult SheetReader::Finish(const std::string& sourcePath) {
  CueSheetResult result;
  result.discTitle = discTitle_;
  result.discPerformer = discPerformer_;
  result.files = files_;
  for (const SheetTrack& track : tracks_) {
    if (track.indexLine == 0) {
      result.refusal = LinePrefix(track.line) + "track " + track.number + " has no INDEX 01";
      return result;
    }
  }
  std::vector<bool> chosen;
  result.refusal = ChooseFiles(sourcePath, chosen);
  if (result.refusal) return result;

  const SheetTrack* previous = nullptr;
  for (const SheetTrack& track : tracks_) {
    if (track.file != kNoFile && !chosen[static_cast<size_t>(track.file)]) continue;
    if (previous && track.frames <= previous->frames) {
      result.refusal = LinePrefix(track.indexLine) + "track " + track.number + " starts at " +
                       FrameTimeText(track.frames) + ", not after track " + previous->number +
                       " at " + FrameTimeText(previous->frames);
      result.entries.clear();
      return result;
    }
    previous = &track;
    TrackEntry entry;
    SetTrackText(entry.title, track.title);
    SetTrackText(entry.artist, track.performer.empty() ? discPerformer_ : track.performer);
    entry.offset = static_cast<int32_t>(HundredthsOfFrames(track.frames));
    entry.cueFrames = static_cast<int32_t>(track.frames);
    SetTimeText(entry, FormatTimeText(TimePartsOfOffset(entry.offset)));
    result.entries.push_back(entry);
  }
  if (result.entries.empty()) {
    result.refusal = tracks_.empty()
                         ? "the sheet holds no track with an INDEX 01"
                         : "the sheet holds no track for " + Quoted(FileNamePart(sourcePath));
  }
  return result;
}

// ---- The writer ------------------------------------------------------------------------

// A value as written: in double quotes, a double quote inside it as ', controls as spaces.
std::string QuotedValue(const std::string& text) {
  std::string value = text;
  BlankControls(value);
  for (char& c : value) {
    if (c == '"') c = '\'';
  }
  return "\"" + value + "\"";
}

}  // namespace

CueSheetResult ReadCueSheet(std::string_view bytes, const std::string& sourcePath) {
  if (bytes.size() > kMaxCueSheetBytes) {
    CueSheetResult result;
    result.refusal = "the sheet is larger than " + std::to_string(kMaxCueSheetBytes >> 20) + " MB";
    return result;
  }
  std::string text = DecodeSheet(bytes);
  SheetReader reader;
  size_t number = 1;
  for (size_t start = 0; start <= text.size(); ++number) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    reader.SetLineNumber(number);
    if (std::optional<std::string> refusal =
            reader.ReadLine(std::string_view(text).substr(start, end - start))) {
      CueSheetResult result;
      result.files = reader.files();
      result.refusal = std::move(refusal);
      return result;
    }
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return reader.Finish(sourcePath);
}

bool CueFileNamesSource(const std::string& fileValue, const std::string& sourcePath) {
  std::string_view source = FileNamePart(sourcePath);
  return !source.empty() && EqualsIgnoringCase(FileNamePart(fileValue), source);
}

CueSheetResult ReadCueSheetFile(const std::string& sheetPath, const std::string& sourcePath) {
  CueSheetResult result;
  File file = File::OpenForReading(sheetPath);
  if (!file.IsOpen()) {
    result.refusal = "cannot open the sheet: " + SystemErrorText(file.LastError());
    return result;
  }
  // Read in pieces up to one byte beyond the limit, so that a larger sheet is refused.
  std::string bytes;
  char piece[65536];
  size_t got = sizeof piece;
  while (got == sizeof piece && bytes.size() <= kMaxCueSheetBytes) {
    if (!file.Read(piece, sizeof piece, got)) {
      result.refusal = "cannot read the sheet: " + SystemErrorText(file.LastError());
      return result;
    }
    bytes.append(piece, got);
  }
  return ReadCueSheet(bytes, sourcePath);
}

std::string WriteCueSheet(const std::vector<TrackEntry>& entries, const std::string& sourcePath) {
  // Frames rise strictly, so that no two tracks share a time; at the far end they are kept
  // at or below the last frame a sheet may hold.
  std::vector<int64_t> frames(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    int64_t offset = entries[i].offset < 0 ? 0 : entries[i].offset;
    frames[i] = FramesOfHundredths(offset);
    if (i > 0 && frames[i] <= frames[i - 1]) frames[i] = frames[i - 1] + 1;
  }
  for (size_t i = entries.size(); i-- > 0;) {
    int64_t limit = i + 1 < entries.size() ? frames[i + 1] - 1 : kLastFrame;
    if (frames[i] > limit) frames[i] = limit < 0 ? 0 : limit;
  }

  std::string text;
  std::string name(FileNamePart(sourcePath));
  if (!name.empty()) text += "FILE " + QuotedValue(name) + " MP3\r\n";
  for (size_t i = 0; i < entries.size(); ++i) {
    char track[40];
    std::snprintf(track, sizeof track, "  TRACK %02zu AUDIO\r\n", i + 1);
    text += track;
    if (entries[i].title[0]) text += "    TITLE " + QuotedValue(entries[i].title) + "\r\n";
    if (entries[i].artist[0]) text += "    PERFORMER " + QuotedValue(entries[i].artist) + "\r\n";
    text += "    INDEX 01 " + FrameTimeText(frames[i]) + "\r\n";
  }
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return "\xEF\xBB\xBF" + text;
  }
  return text;
}

std::optional<std::string> WriteCueSheetFile(const std::string& sheetPath,
                                             const std::vector<TrackEntry>& entries,
                                             const std::string& sourcePath) {
  if (!sourcePath.empty() && WouldReplace(sheetPath, sourcePath, IdentifyPath(sourcePath))) {
    return "the sheet would replace the source file";
  }
  std::string bytes = WriteCueSheet(entries, sourcePath);
  File file = File::CreateAlways(sheetPath);
  if (!file.IsOpen()) return "cannot create the sheet: " + SystemErrorText(file.LastError());
  if (!file.Write(bytes.data(), bytes.size()) || !file.Close()) {
    return "cannot write the sheet: " + SystemErrorText(file.LastError());
  }
  return std::nullopt;
}

bool ReplaceTrackTimes(const std::vector<TrackEntry>& entries, TrackTimeList& list) {
  list.ClearTrackList();
  bool all = true;
  for (const TrackEntry& entry : entries) {
    all = list.AddTrackTime(std::make_unique<TrackEntry>(entry)) && all;
  }
  return all;
}

}  // namespace partwell
