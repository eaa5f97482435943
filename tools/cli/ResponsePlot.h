#pragma once
// Frequency responses drawn as one graph in SVG: a logarithmic frequency axis, a dB axis,
// one line per series and a legend. Plain text out, no drawing library: the command line
// builds without Qt, and the same text is what a PNG is rendered from
// (tools/cli/PlotRaster.h).
#include <string>
#include <utility>
#include <vector>

namespace dsptune::cli {

struct PlotSeries {
  std::string name;    // the legend's text
  std::string colour;  // an SVG colour, "#1f77b4"
  bool dashed = false;
  std::vector<std::pair<double, double>> points;  // (Hz, dB), rising frequency
};

struct ResponsePlot {
  std::string title;
  std::string frequencyLabel = "Frequency (Hz)";
  std::string levelLabel = "Level (dB)";
  double lowHz = 20.0, highHz = 20000.0;  // the frequency axis, 0 < lowHz < highHz
  // A band of the axis shaded behind the lines (the fit range), none when both are 0.
  double shadeLowHz = 0.0, shadeHighHz = 0.0;
  std::string shadeLabel;
  std::vector<PlotSeries> series;
};

// The graph's size in pixels (the SVG's user units).
inline constexpr int kPlotWidth = 960;
inline constexpr int kPlotHeight = 540;

// The graph as an SVG document (UTF-8). The dB axis spans every series inside the
// frequency axis, rounded out to whole steps of its grid; a line leaving the axis is cut
// at its edge rather than drawn past it. Texts are escaped for XML.
std::string ResponsePlotSvg(const ResponsePlot& plot);

}  // namespace dsptune::cli
