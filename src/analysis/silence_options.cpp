#include "analysis/silence_options.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "text/ascii.h"

namespace partwell {
namespace {

// A decimal number: an optional sign, digits with at most one point or comma, at least
// one digit. The value is read as the command line's option parser reads it (strtold, cast
// to double), so that the same text gives the same settings in both programs.
std::optional<double> ParseDecimal(const std::string& text) {
  std::string number(TrimBlanks(text));
  size_t at = number.empty() || (number[0] != '-' && number[0] != '+') ? 0 : 1;
  bool digits = false;
  bool point = false;
  for (; at < number.size(); ++at) {
    char& c = number[at];
    if (IsDigit(c)) {
      digits = true;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
      c = '.';
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  return static_cast<double>(std::strtold(number.c_str(), nullptr));
}

std::optional<double> DecimalWithin(const std::string& text, double lowest, double highest) {
  std::optional<double> value = ParseDecimal(text);
  if (value && (*value < lowest || *value > highest)) return std::nullopt;
  return value;
}

// A whole number of at most four digits, without a sign.
std::optional<int> ParseCount(const std::string& text) {
  std::string number(TrimBlanks(text));
  if (number.empty() || number.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : number) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

ParsedSilenceOptions Refuse(SilenceField field, const char* refusal) {
  ParsedSilenceOptions parsed;
  parsed.badField = field;
  parsed.refusal = refusal;
  return parsed;
}

}  // namespace

SilenceSettings SettingsOf(const SilenceOptions& options) {
  SilenceSettings settings;
  settings.thresholdDb = static_cast<float>(options.thresholdDb);
  settings.tracks = options.tracks;
  if (options.minPauseSeconds > 0) {
    settings.minPause = static_cast<int>(std::lround(options.minPauseSeconds * 100));
  } else if (options.speech) {
    settings.minPause = kSpeechMinPause;
  } else if (options.tracks > 0) {
    settings.minPause = kTracksMinPause;
  }
  return settings;
}

ParsedSilenceOptions ParseSilenceOptions(const SilenceOptionsText& text) {
  ParsedSilenceOptions parsed;
  std::optional<double> threshold =
      DecimalWithin(text.threshold, kLowestThresholdDb, kHighestThresholdDb);
  if (!threshold) {
    return Refuse(SilenceField::kThreshold,
                  "The threshold must be a number of dBFS from -119 to 0, such as -48.");
  }
  parsed.options.thresholdDb = *threshold;
  if (!TrimBlanks(text.tracks).empty()) {
    std::optional<int> tracks = ParseCount(text.tracks);
    if (!tracks || *tracks < 2 || *tracks > kMostTracks) {
      return Refuse(SilenceField::kTracks,
                    "The number of tracks must be a whole number from 2 to 999, or left empty "
                    "to find every pause.");
    }
    parsed.options.tracks = *tracks;
    return parsed;
  }
  if (text.speech) {
    parsed.options.speech = true;
    return parsed;
  }
  std::optional<double> minPause =
      DecimalWithin(text.minPause, kShortestPauseSeconds, kLongestPauseSeconds);
  if (!minPause) {
    return Refuse(SilenceField::kMinPause,
                  "The minimum pause must be a number of seconds from 0.05 to 600, such as 0.5.");
  }
  parsed.options.minPauseSeconds = *minPause;
  return parsed;
}

}  // namespace partwell
