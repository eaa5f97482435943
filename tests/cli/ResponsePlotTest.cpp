// The SVG graph autoeq --plot draws (tools/cli/ResponsePlot.h), read back with a real XML
// parser: whatever the names and levels, the document is well-formed and no line is
// drawn outside the plot's frame.
#include <expat.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/ResponsePlot.h"

namespace dsptune {
namespace {

using cli::PlotSeries;
using cli::ResponsePlot;

struct Drawn {
  double frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
  std::vector<std::pair<double, double>> points;  // every vertex of every polyline
  std::string text;                                // every text element's characters
  int polylines = 0;
};

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  Drawn& d = *static_cast<Drawn*>(data);
  const auto attribute = [attributes](const char* wanted) -> std::string {
    for (int i = 0; attributes[i]; i += 2)
      if (std::string(attributes[i]) == wanted) return attributes[i + 1];
    return {};
  };
  const std::string element = name;
  if (element == "rect" && attribute("fill") == "none") {
    d.frameLeft = std::stod(attribute("x")), d.frameTop = std::stod(attribute("y"));
    d.frameRight = d.frameLeft + std::stod(attribute("width")), d.frameBottom = d.frameTop + std::stod(attribute("height"));
  } else if (element == "polyline") {
    ++d.polylines;
    std::istringstream in(attribute("points"));
    for (std::string pair; in >> pair;) {
      const std::size_t comma = pair.find(',');
      d.points.emplace_back(std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1)));
    }
  }
}

void OnText(void* data, const XML_Char* text, int length) { static_cast<Drawn*>(data)->text.append(text, std::size_t(length)); }

TEST(ResponsePlotSvg, WellFormedAndLinesStayInsideTheFrame) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  ResponsePlot plot;
  plot.title = "Room <A> & \"B\"";
  plot.lowHz = 20, plot.highHz = 20000, plot.shadeLowHz = 20, plot.shadeHighHz = 300, plot.shadeLabel = "fit range";
  PlotSeries deep{"Measurement & more", "#777", false, {}}, flat{"目标 <target>", "#2ca02c", true, {}};
  for (double f = 10; f <= 30000; f *= 1.05) {
    // A null far below everything else, a gap of readings that are not numbers, points
    // outside the frequency axis at both ends.
    const double null = -120 * std::exp(-std::pow(std::log2(f / 90) * 8, 2));
    deep.points.emplace_back(f, f > 500 && f < 700 ? nan : f > 5000 && f < 5300 ? -inf : 6 + null);
    flat.points.emplace_back(f, 0);
  }
  plot.series = {deep, flat};
  const std::string svg = cli::ResponsePlotSvg(plot);

  Drawn drawn;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &drawn);
  XML_SetElementHandler(parser, OnStart, [](void*, const XML_Char*) {});
  XML_SetCharacterDataHandler(parser, OnText);
  const bool parsed = XML_Parse(parser, svg.data(), int(svg.size()), 1) == XML_STATUS_OK;
  EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser)) << " at line " << XML_GetCurrentLineNumber(parser);
  XML_ParserFree(parser);
  ASSERT_TRUE(parsed);

  for (const char* shown : {"Room <A> & \"B\"", "Measurement & more", "目标 <target>", "fit range", "20k"})
    EXPECT_NE(drawn.text.find(shown), std::string::npos) << shown;
  ASSERT_GT(drawn.frameRight, drawn.frameLeft);
  EXPECT_GE(drawn.polylines, 3) << "the gaps split the measurement's line";
  ASSERT_FALSE(drawn.points.empty());
  for (const auto& [x, y] : drawn.points) {
    EXPECT_TRUE(x >= drawn.frameLeft - 0.05 && x <= drawn.frameRight + 0.05) << x;
    EXPECT_TRUE(y >= drawn.frameTop - 0.05 && y <= drawn.frameBottom + 0.05) << y;
  }
}

}  // namespace
}  // namespace dsptune
