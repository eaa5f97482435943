#include "tools/cli/ResponsePlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace dsptune::cli {
namespace {

// The plot area inside the picture: room for the title above, the dB labels on the left
// and the frequency labels and axis title below.
constexpr double kLeft = 78, kRight = kPlotWidth - 24, kTop = 52, kBottom = kPlotHeight - 62;
// A null tens of dB deep would squeeze everything else into a few pixels: the axis shows
// at most this much, counted down from the highest level, and the rest is cut.
constexpr double kMostDbShown = 70.0;
constexpr const char* kFont = "font-family=\"sans-serif\"";

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A text's width at `size` px, near enough to size the legend: CJK characters (three
// UTF-8 bytes) are about square, Latin ones a little over half as wide as high.
double TextWidth(const std::string& text, double size) {
  double width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    width += size * (length >= 3 ? 1.0 : 0.58);
    i += length;
  }
  return width;
}

std::string HertzLabel(double hz) {
  char text[16];
  if (hz >= 1000) std::snprintf(text, sizeof text, "%gk", hz / 1000);
  else std::snprintf(text, sizeof text, "%g", hz);
  return text;
}

struct Axes {
  double logLow, logHigh, lowDb, highDb;
  double X(double hz) const { return kLeft + (std::log10(hz) - logLow) / (logHigh - logLow) * (kRight - kLeft); }
  double Y(double db) const { return kBottom - (db - lowDb) / (highDb - lowDb) * (kBottom - kTop); }
};

// The grid step and the rounded-out range of the dB axis.
void LevelRange(const ResponsePlot& plot, double& lowDb, double& highDb, double& step) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const PlotSeries& s : plot.series)
    for (const auto& [hz, db] : s.points)
      if (hz >= plot.lowHz && hz <= plot.highHz && std::isfinite(db)) low = std::min(low, db), high = std::max(high, db);
  if (!std::isfinite(low)) low = -10, high = 10;
  low = std::max(low, high - kMostDbShown);
  // At least 12 dB, so a nearly flat line is not magnified into a dramatic one.
  if (high - low < 12) {
    const double middle = (high + low) / 2;
    low = middle - 6, high = middle + 6;
  }
  const double span = high - low;
  step = span <= 15 ? 2 : span <= 36 ? 5 : span <= 72 ? 10 : 20;
  lowDb = std::floor((low - 0.5) / step) * step;
  highDb = std::ceil((high + 0.5) / step) * step;
}

// The segment a-b cut to the plot area (Liang–Barsky); false when none of it is inside.
bool Clip(double& ax, double& ay, double& bx, double& by) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {ax - kLeft, kRight - ax, ay - kTop, kBottom - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double x0 = ax + t0 * dx, y0 = ay + t0 * dy;
  bx = ax + t1 * dx, by = ay + t1 * dy;
  ax = x0, ay = y0;
  return true;
}

// One series as polylines: a new one starts wherever the line left the plot area.
std::string SeriesLines(const PlotSeries& s, const Axes& axes) {
  std::string out, points;
  double lastX = 0, lastY = 0;
  const auto flush = [&] {
    if (points.empty()) return;
    out += "  <polyline fill=\"none\" stroke=\"" + Escaped(s.colour) + "\" stroke-width=\"2\"" +
           (s.dashed ? " stroke-dasharray=\"8,5\"" : "") + " stroke-linejoin=\"round\" points=\"" + points + "\"/>\n";
    points.clear();
  };
  for (std::size_t i = 1; i < s.points.size(); ++i) {
    const auto [f0, d0] = s.points[i - 1];
    const auto [f1, d1] = s.points[i];
    if (!(f0 > 0 && f1 > 0 && std::isfinite(d0) && std::isfinite(d1))) {
      flush();
      continue;
    }
    double ax = axes.X(f0), ay = axes.Y(d0), bx = axes.X(f1), by = axes.Y(d1);
    if (!Clip(ax, ay, bx, by)) {
      flush();
      continue;
    }
    if (points.empty() || std::abs(ax - lastX) > 0.01 || std::abs(ay - lastY) > 0.01) {
      flush();
      points = Number(ax) + "," + Number(ay);
    }
    points += " " + Number(bx) + "," + Number(by);
    lastX = bx, lastY = by;
  }
  flush();
  return out;
}

std::string Text(double x, double y, const std::string& text, const char* anchor, double size,
                 const std::string& more = "") {
  return "  <text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" " + kFont + " font-size=\"" + Number(size) +
         "\" text-anchor=\"" + anchor + "\" fill=\"#222\"" + more + ">" + Escaped(text) + "</text>\n";
}

std::string Line(double x0, double y0, double x1, double y1, const char* colour, double width) {
  return "  <line x1=\"" + Number(x0) + "\" y1=\"" + Number(y0) + "\" x2=\"" + Number(x1) + "\" y2=\"" + Number(y1) +
         "\" stroke=\"" + colour + "\" stroke-width=\"" + Number(width) + "\"/>\n";
}

}  // namespace

std::string ResponsePlotSvg(const ResponsePlot& plot) {
  Axes axes{std::log10(plot.lowHz), std::log10(plot.highHz), 0, 0};
  double step = 10;
  LevelRange(plot, axes.lowDb, axes.highDb, step);

  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\" width=\"" +
                    std::to_string(kPlotWidth) + "\" height=\"" + std::to_string(kPlotHeight) + "\" viewBox=\"0 0 " +
                    std::to_string(kPlotWidth) + " " + std::to_string(kPlotHeight) + "\">\n";
  svg += "  <rect x=\"0\" y=\"0\" width=\"" + std::to_string(kPlotWidth) + "\" height=\"" +
         std::to_string(kPlotHeight) + "\" fill=\"#ffffff\"/>\n";
  if (plot.shadeHighHz > plot.shadeLowHz && plot.shadeLowHz > 0) {
    const double x0 = std::clamp(axes.X(plot.shadeLowHz), kLeft, kRight);
    const double x1 = std::clamp(axes.X(plot.shadeHighHz), kLeft, kRight);
    svg += "  <rect x=\"" + Number(x0) + "\" y=\"" + Number(kTop) + "\" width=\"" + Number(x1 - x0) + "\" height=\"" +
           Number(kBottom - kTop) + "\" fill=\"#eef3fa\"/>\n";
    if (!plot.shadeLabel.empty()) svg += Text((x0 + x1) / 2, kTop + 16, plot.shadeLabel, "middle", 12, " font-style=\"italic\"");
  }

  // Frequency grid: every 1..9 of a decade, the 1, 2 and 5 labelled and drawn darker.
  for (double decade = std::pow(10.0, std::floor(axes.logLow)); decade <= plot.highHz; decade *= 10)
    for (int m = 1; m <= 9; ++m) {
      const double hz = decade * m;
      if (hz < plot.lowHz * 0.999 || hz > plot.highHz * 1.001) continue;
      const bool major = m == 1 || m == 2 || m == 5;
      const double x = axes.X(hz);
      svg += Line(x, kTop, x, kBottom, major ? "#c8c8c8" : "#e6e6e6", 1);
      if (major) svg += Text(x, kBottom + 18, HertzLabel(hz), "middle", 13);
    }
  for (double db = axes.lowDb; db <= axes.highDb + 1e-9; db += step) {
    const double y = axes.Y(db);
    svg += Line(kLeft, y, kRight, y, std::abs(db) < 1e-9 ? "#9a9a9a" : "#d4d4d4", 1);
    char label[16];
    std::snprintf(label, sizeof label, "%.0f", db + 0.0);  // + 0.0: no "-0"
    svg += Text(kLeft - 8, y + 4.5, label, "end", 13);
  }
  svg += "  <rect x=\"" + Number(kLeft) + "\" y=\"" + Number(kTop) + "\" width=\"" + Number(kRight - kLeft) +
         "\" height=\"" + Number(kBottom - kTop) + "\" fill=\"none\" stroke=\"#555\" stroke-width=\"1\"/>\n";
  svg += Text((kLeft + kRight) / 2, kPlotHeight - 18, plot.frequencyLabel, "middle", 14);
  svg += Text(20, (kTop + kBottom) / 2, plot.levelLabel, "middle", 14,
              " transform=\"rotate(-90 20 " + Number((kTop + kBottom) / 2) + ")\"");
  if (!plot.title.empty()) svg += Text((kLeft + kRight) / 2, 32, plot.title, "middle", 17, " font-weight=\"bold\"");

  for (const PlotSeries& s : plot.series) {
    svg += "  <g id=\"series-" + std::to_string(&s - plot.series.data() + 1) + "\">\n";
    svg += SeriesLines(s, axes);
    svg += "  </g>\n";
  }

  // The legend in the corner where it hides the fewest points of the lines; the lower
  // right, where room curves have least to show, when that is a tie.
  constexpr double kRow = 22, kSample = 30, kPad = 10, kSize = 13;
  double widest = 0;
  for (const PlotSeries& s : plot.series) widest = std::max(widest, TextWidth(s.name, kSize));
  const double w = kPad * 3 + kSample + widest, h = kPad * 2 + kRow * double(plot.series.size()) - 6;
  double lx = 0, ly = 0;
  int fewest = -1;
  for (const auto& [x, y] : {std::pair{kRight - 12 - w, kBottom - 12 - h}, std::pair{kRight - 12 - w, kTop + 12},
                             std::pair{kLeft + 12, kBottom - 12 - h}, std::pair{kLeft + 12, kTop + 12}}) {
    int hidden = 0;
    for (const PlotSeries& s : plot.series)
      for (const auto& [hz, db] : s.points) {
        if (!(hz > 0) || !std::isfinite(db)) continue;
        const double px = axes.X(hz), py = axes.Y(db);
        hidden += px >= x && px <= x + w && py >= y && py <= y + h;
      }
    if (fewest < 0 || hidden < fewest) fewest = hidden, lx = x, ly = y;
  }
  svg += "  <rect x=\"" + Number(lx) + "\" y=\"" + Number(ly) + "\" width=\"" + Number(w) + "\" height=\"" + Number(h) +
         "\" fill=\"#ffffff\" fill-opacity=\"0.9\" stroke=\"#999\" stroke-width=\"1\"/>\n";
  for (std::size_t i = 0; i < plot.series.size(); ++i) {
    const PlotSeries& s = plot.series[i];
    const double y = ly + kPad + 8 + kRow * double(i);
    svg += "  <line x1=\"" + Number(lx + kPad) + "\" y1=\"" + Number(y) + "\" x2=\"" + Number(lx + kPad + kSample) +
           "\" y2=\"" + Number(y) + "\" stroke=\"" + Escaped(s.colour) + "\" stroke-width=\"2.5\"" +
           (s.dashed ? " stroke-dasharray=\"8,5\"" : "") + "/>\n";
    svg += Text(lx + kPad * 2 + kSample, y + 4.5, s.name, "start", kSize);
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace dsptune::cli
