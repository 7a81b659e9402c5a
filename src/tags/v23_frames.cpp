#include "tags/v23_frames.h"

#include "tags/id3v2_text.h"
#include "text/ascii.h"

namespace partwell {
namespace {

using Bytes = std::vector<unsigned char>;

struct IdPair {
  const char* v22;
  const char* v23;
};
// Every v2.2 frame but CRM (encrypted meta frames) and LNK (links name v2.2 ids).
constexpr IdPair kV22Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"},
    {"ETC", "ETCO"}, {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"},
    {"PIC", "APIC"}, {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"},
    {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"},
    {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"}, {"TFT", "TFLT"},
    {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"},
    {"TPB", "TPUB"}, {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"},
    {"TSS", "TSSE"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"},
    {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"},
};

constexpr const char* kV24OnlyIds[] = {
    "ASPI", "EQU2", "RVA2", "SEEK", "SIGN", "TDEN", "TDOR", "TDRC", "TDRL",
    "TDTG", "TIPL", "TMCL", "TMOO", "TPRO", "TSOA", "TSOP", "TSOT", "TSST",
};

// How a frame that holds text is laid out after its encoding byte, field by field:
//   a digit: that many bytes; 'l': a Latin-1 string with its zero byte; 'b': the rest (all
//   three kept as they are); 's': a string in the frame's encoding with its terminator;
//   '*': the rest, strings in the frame's encoding.
struct Layout {
  const char* id;
  const char* fields;
};
constexpr Layout kLayouts[] = {
    {"TXXX", "s*"},   {"WXXX", "sb"}, {"COMM", "3s*"}, {"USLT", "3s*"},     {"APIC", "l1sb"},
    {"GEOB", "lssb"}, {"USER", "3*"}, {"OWNE", "l8*"}, {"COMR", "l8l1ssb"}, {"IPLS", "*"},
};

bool IsTextFrame(std::string_view id) { return !id.empty() && id[0] == 'T'; }

const char* LayoutOf(std::string_view id) {
  for (const Layout& layout : kLayouts) {
    if (id == layout.id) return layout.fields;
  }
  return IsTextFrame(id) ? "*" : nullptr;
}

// A v2.2 picture names its image format in three letters where v2.3 has a MIME type.
bool GivePictureMimeType(Bytes& content) {
  if (content.size() < 5) return false;
  std::string format(content.begin() + 1, content.begin() + 4);
  std::string mime;
  if (format == "-->") {  // a link to the picture, the same in v2.3
    mime = format;
  } else if (format == "JPG") {
    mime = "image/jpeg";
  } else {
    mime = "image/";
    for (char c : format) mime += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  Bytes picture;
  picture.reserve(content.size() + mime.size());
  picture.push_back(content[0]);
  picture.insert(picture.end(), mime.begin(), mime.end());
  picture.push_back(0);
  picture.insert(picture.end(), content.begin() + 4, content.end());
  content.swap(picture);
  return true;
}

// A v2.4 time stamp ("2003", "2003-05-01T20:15") as a v2.3 year: its first four digits.
bool YearOfTimeStamp(const char* yearId, std::string& id, Bytes& content) {
  if (content.empty() || !IsTextEncoding(content[0])) return false;
  std::vector<std::string> values = DecodeStrings(content[0], ByteView(content).substr(1));
  if (values.empty() || values[0].size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (values[0][i] < '0' || values[0][i] > '9') return false;
  }
  content.assign({kLatin1});
  content.insert(content.end(), values[0].begin(), values[0].begin() + 4);
  id = yearId;
  return true;
}

// The values of a v2.4 text frame as the one string of a v2.3 frame: joined by '/', and in
// a genre, numbers as the "(17)" references a v2.3 genre begins with.
std::string JoinValues(std::string_view id, const std::vector<std::string>& values) {
  std::string references, names;
  for (const std::string& value : values) {
    bool number = id == "TCON" && !value.empty() &&
                  value.find_first_not_of("0123456789") == std::string::npos;
    if (number || (id == "TCON" && (value == "RX" || value == "CR"))) {
      references += "(" + value + ")";
    } else {
      names += (names.empty() ? "" : "/") + value;
    }
  }
  return references + names;
}

// One field of a frame read by its layout: bytes kept as they are, or strings.
struct Field {
  char kind = 'b';
  std::string_view raw;
  std::vector<std::string> strings;
};

bool ReadFields(const char* layout, unsigned char encoding, std::string_view rest,
                std::vector<Field>& fields) {
  for (const char* kind = layout; *kind; ++kind) {
    Field field;
    field.kind = *kind;
    if (*kind >= '1' && *kind <= '9') {
      size_t length = static_cast<size_t>(*kind - '0');
      if (rest.size() < length) return false;
      field.raw = rest.substr(0, length);
    } else if (*kind == 'l') {
      size_t end = rest.find('\0');
      if (end == std::string_view::npos) return false;
      field.raw = rest.substr(0, end + 1);
    } else if (*kind == 's') {
      std::optional<size_t> length = TerminatedLength(encoding, rest);
      if (!length) return false;
      field.strings.push_back(DecodeString(encoding, rest.substr(0, *length)));
      rest.remove_prefix(*length + TerminatorLength(encoding));
    } else if (*kind == '*') {
      field.strings = DecodeStrings(encoding, rest);
      rest = {};
    } else {
      field.raw = rest;
    }
    rest.remove_prefix(field.raw.size());
    fields.push_back(std::move(field));
  }
  return true;
}

bool WriteAgain(const char* layout, std::string_view id, Bytes& content) {
  std::vector<Field> fields;
  if (!ReadFields(layout, content[0], ByteView(content).substr(1), fields)) return false;
  std::vector<std::string> texts;
  for (const Field& field : fields)
    texts.insert(texts.end(), field.strings.begin(), field.strings.end());
  unsigned char encoding = EncodingFor(texts);
  Bytes out{encoding};
  for (const Field& field : fields) {
    if (field.kind == 's') {
      AppendString(out, encoding, field.strings[0], true);
    } else if (field.kind == '*' && id == "IPLS") {  // a list of names in v2.3 as well
      for (const std::string& name : field.strings) AppendString(out, encoding, name, true);
    } else if (field.kind == '*') {
      AppendString(out, encoding, JoinValues(id, field.strings), false);
    } else {
      out.insert(out.end(), field.raw.begin(), field.raw.end());
    }
  }
  content.swap(out);
  return true;
}

}  // namespace

std::string_view V23IdOfV22Id(std::string_view id) {
  for (const IdPair& pair : kV22Ids) {
    if (id == pair.v22) return pair.v23;
  }
  return {};
}

bool ConvertToV23(int version, std::string& id, Bytes& content) {
  if (version == 2 && id == "APIC" && !GivePictureMimeType(content)) return false;
  if (version == 4 && TableContains(kV24OnlyIds, id)) {
    if (id == "TDRC") return YearOfTimeStamp("TYER", id, content);
    if (id == "TDOR") return YearOfTimeStamp("TORY", id, content);
    if (id != "TIPL" && id != "TMCL") return false;
    id = "IPLS";
  }
  const char* layout = LayoutOf(id);
  if (!layout) return true;  // no text in it: the same in v2.3
  if (content.empty() || !IsTextEncoding(content[0])) return false;
  bool v23Encoding = content[0] == kLatin1 || content[0] == kUtf16;
  bool listed = version == 4 && (IsTextFrame(id) || id == "IPLS");
  if (v23Encoding && !listed) return true;
  return WriteAgain(layout, id, content);
}

}  // namespace partwell
