#include "analysis/overview_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/loudness_levels.h"

namespace partwell {
namespace {

constexpr double kMargin = 40;  // left and right of the axis
constexpr double kTop = 40;     // the heading above the levels
constexpr double kLevelsHeight = 160;
constexpr double kMarkLabels = 18;  // the marks' numbers above the levels
constexpr double kAxisHeight = 30;  // ticks and their times
constexpr double kLegendHeight = 30;
// The levels drawn: from this far below full scale up to it.
constexpr double kLowestDrawnDb = -60;
// Ticks at least this far apart.
constexpr double kTickSpacing = 80;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // Control characters have no place in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

// "m:ss", or "h:mm:ss" from an hour on.
std::string AxisTime(int64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  }
  return text;
}

// The shortest step of ticks that keeps them kTickSpacing apart.
int64_t TickStep(const OverviewScale& scale) {
  static const int64_t kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,  300,
                                   600, 900, 1800, 3600, 7200, 10800, 21600, 43200};
  for (int64_t step : kSteps) {
    if (scale.X(static_cast<double>(step)) - scale.left() >= kTickSpacing) return step;
  }
  return 86400;
}

double LevelHeight(float db) {
  double share = (db - kLowestDrawnDb) / -kLowestDrawnDb;
  return std::clamp(share, 0.0, 1.0) * kLevelsHeight;
}

// One column per pixel: the loudest granule whose start falls in it.
std::string LevelsPath(const QuickLevels& levels, const OverviewScale& scale, double baseline) {
  const int columns = static_cast<int>(scale.right() - scale.left());
  std::vector<float> loudest(static_cast<size_t>(std::max(columns, 1)), kSilenceFloorDb);
  const double rate = std::max(levels.sampleRate, 1);
  for (size_t i = 0; i < levels.levelsDb.size(); ++i) {
    double seconds = static_cast<double>(levels.SampleOf(i)) / rate;
    if (seconds < 0 || seconds >= scale.seconds()) continue;
    size_t column =
        std::min(loudest.size() - 1, static_cast<size_t>(scale.X(seconds) - scale.left()));
    loudest[column] = std::max(loudest[column], levels.levelsDb[i]);
  }
  std::string path;
  for (size_t column = 0; column < loudest.size(); ++column) {
    double height = LevelHeight(loudest[column]);
    if (height <= 0) continue;
    path += "M" + Number(scale.left() + static_cast<double>(column) + 0.5) + " " +
            Number(baseline) + "v" + Number(-height);
  }
  return path;
}

}  // namespace

std::string OverviewSvg(const QuickLevels& levels, const OverviewPicture& picture) {
  const double width = std::clamp(picture.width, kNarrowestOverview, kWidestOverview);
  const double seconds =
      static_cast<double>(levels.timelineLength) / std::max(levels.sampleRate, 1);
  const OverviewScale scale(seconds, kMargin, width - kMargin);
  const double levelsTop = kTop + kMarkLabels;
  const double baseline = levelsTop + kLevelsHeight;
  const double legendTop = baseline + kAxisHeight;
  const double height = legendTop + kLegendHeight;

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(width) + "\" height=\"" +
         Number(height) + "\" viewBox=\"0 0 " + Number(width) + " " + Number(height) +
         "\" font-family=\"sans-serif\" font-size=\"11\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += "<text x=\"" + Number(kMargin) + "\" y=\"22\" font-size=\"14\">" + Escaped(picture.name) +
         " (" + AxisTime(static_cast<int64_t>(seconds)) + ")</text>\n";

  for (const OverviewPause& pause : picture.pauses) {
    double from = scale.X(static_cast<double>(pause.start) / 100);
    double to = scale.X(static_cast<double>(pause.end) / 100);
    svg += "<rect class=\"pause\" x=\"" + Number(from) + "\" y=\"" + Number(levelsTop) +
           "\" width=\"" + Number(std::max(to - from, 1.0)) + "\" height=\"" +
           Number(kLevelsHeight) + "\" fill=\"#f4c542\" fill-opacity=\"0.45\"/>\n";
  }
  svg += "<path class=\"levels\" d=\"" + LevelsPath(levels, scale, baseline) +
         "\" stroke=\"#3465a4\" stroke-width=\"1\" fill=\"none\"/>\n";

  svg += "<line class=\"axis\" x1=\"" + Number(scale.left()) + "\" y1=\"" + Number(baseline) +
         "\" x2=\"" + Number(scale.right()) + "\" y2=\"" + Number(baseline) +
         "\" stroke=\"#000000\"/>\n";
  const int64_t step = TickStep(scale);
  for (int64_t tick = 0; static_cast<double>(tick) <= seconds; tick += step) {
    double x = scale.X(static_cast<double>(tick));
    svg += "<line x1=\"" + Number(x) + "\" y1=\"" + Number(baseline) + "\" x2=\"" + Number(x) +
           "\" y2=\"" + Number(baseline + 5) + "\" stroke=\"#000000\"/>";
    svg += "<text x=\"" + Number(x) + "\" y=\"" + Number(baseline + 17) +
           "\" text-anchor=\"middle\">" + AxisTime(tick) + "</text>\n";
  }

  for (size_t i = 0; i < picture.marks.size(); ++i) {
    const OverviewMark& mark = picture.marks[i];
    double x = scale.X(static_cast<double>(mark.hundredths) / 100);
    std::string number = std::to_string(i + 1);
    svg += "<line class=\"mark\" x1=\"" + Number(x) + "\" y1=\"" + Number(levelsTop) + "\" x2=\"" +
           Number(x) + "\" y2=\"" + Number(baseline) +
           "\" stroke=\"#cc0000\" stroke-width=\"1.5\"/>";
    svg += "<text x=\"" + Number(x + 3) + "\" y=\"" + Number(levelsTop - 5) +
           "\" fill=\"#cc0000\" font-weight=\"bold\">" + number;
    if (!mark.title.empty()) {
      svg += " <tspan font-weight=\"normal\">" + Escaped(mark.title) + "</tspan>";
    }
    svg += "</text>\n";
  }

  // The legend.
  double x = kMargin;
  const double y = legendTop + 12;
  auto entry = [&](const std::string& swatch, const char* text) {
    svg += swatch + "<text x=\"" + Number(x + 18) + "\" y=\"" + Number(y + 4) + "\">" + text +
           "</text>\n";
    x += 150;
  };
  entry("<line x1=\"" + Number(x) + "\" y1=\"" + Number(y + 5) + "\" x2=\"" + Number(x) +
            "\" y2=\"" + Number(y - 7) + "\" stroke=\"#3465a4\" stroke-width=\"3\"/>",
        "level (quick, dBFS)");
  entry("<line x1=\"" + Number(x + 6) + "\" y1=\"" + Number(y + 5) + "\" x2=\"" + Number(x + 6) +
            "\" y2=\"" + Number(y - 7) + "\" stroke=\"#cc0000\" stroke-width=\"1.5\"/>",
        "track start");
  if (picture.showPauses) {
    entry("<rect x=\"" + Number(x) + "\" y=\"" + Number(y - 7) +
              "\" width=\"12\" height=\"12\" fill=\"#f4c542\" fill-opacity=\"0.45\"/>",
          "pause found");
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace partwell
