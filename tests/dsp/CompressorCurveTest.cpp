// The compressor transfer curve: its output levels and drawn polyline for the curve
// shapes the graph shows (unity, compressed, threshold at 0 dB, an expanding lower
// side, a lower break above the threshold, breaks outside the axis), the ratio slider's
// slope, the value-to-pixel mapping, the shaded output span and the grid labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dsp/CompressorCurve.h"

namespace dsptune {
namespace {

CompressorCurve Curve(float threshold, float lowerBreak, float upperSlope, float lowerSlope = 1.0f) {
  CompressorCurve c;
  c.threshold = threshold;
  c.lowerBreak = lowerBreak;
  c.upperSlope = upperSlope;
  c.lowerSlope = lowerSlope;
  return c;
}

TEST(CompressorCurveTest, StartsAsTheGraphOpens) {
  const CompressorCurve c;
  EXPECT_EQ(c.threshold, -15.0f);
  EXPECT_EQ(c.lowerBreak, -5.0f);
  EXPECT_EQ(c.upperSlope, 1.0f);
  EXPECT_EQ(c.lowerSlope, 1.0f);
  EXPECT_FALSE(c.on);
}

TEST(CompressorCurveTest, PolylineAndOutputLevels) {
  struct Case {
    const char* name;
    CompressorCurve curve;
    std::array<CurvePoint, 4> points;            // -90, lower break, threshold, +6
    std::vector<std::pair<float, float>> levels;  // input -> output
  };
  const Case cases[] = {
      {"ratio 1 is the unity line", Curve(-15, -90, 1.0f),
       {{{-90, -90}, {-90, -90}, {-15, -15}, {6, 6}}},
       {{-90, -90}, {-40, -40}, {0, 0}, {6, 6}}},
      {"threshold -30, ratio 4", Curve(-30, -90, 0.25f),
       {{{-90, -90}, {-90, -90}, {-30, -30}, {6, -21}}},
       {{-50, -50}, {-30, -30}, {-10, -25}, {6, -21}}},
      {"threshold 0, ratio 2", Curve(0, -90, 0.5f),
       {{{-90, -90}, {-90, -90}, {0, 0}, {6, 3}}},
       {{-3, -3}, {0, 0}, {4, 2}}},
      {"expanding below -60", Curve(-20, -60, 0.5f, 2.0f),
       {{{-90, -120}, {-60, -60}, {-20, -20}, {6, -7}}},
       {{-70, -80}, {-60, -60}, {-40, -40}, {-10, -15}}},
      // The graph's own starting numbers put the lower break above the threshold; the
      // unity stretch has no length then and the curve stays one line.
      {"lower break above threshold, ratio 1", Curve(-15, -5, 1.0f),
       {{{-90, -90}, {-15, -15}, {-15, -15}, {6, 6}}},
       {{-60, -60}, {-10, -10}, {6, 6}}},
      {"lower break above threshold, ratio 4", Curve(-30, -5, 0.25f),
       {{{-90, -90}, {-30, -30}, {-30, -30}, {6, -21}}},
       {{-10, -25}, {-5, -23.75f}, {-50, -50}}},
      {"breaks below the axis", Curve(-120, -150, 0.5f),
       {{{-90, -105}, {-90, -105}, {-90, -105}, {6, -57}}},
       {{-90, -105}, {-120, -120}}},
      {"threshold above the axis", Curve(10, -90, 0.5f),
       {{{-90, -90}, {-90, -90}, {6, 6}, {6, 6}}},
       {{6, 6}, {12, 11}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::array<CurvePoint, 4> points = CurvePolyline(c.curve);
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_FLOAT_EQ(points[i].input, c.points[i].input) << "point " << i;
      EXPECT_FLOAT_EQ(points[i].output, c.points[i].output) << "point " << i;
    }
    for (const auto& [in, out] : c.levels) EXPECT_FLOAT_EQ(CurveOutputLevel(c.curve, in), out) << "input " << in;
  }
}

TEST(CompressorCurveTest, UpperSlopeFromTheRatioSlider) {
  const std::pair<int, float> cases[] = {{10, 1.0f}, {40, 0.25f}, {20, 0.5f}, {300, 1.0f / 30.0f},
                                         {5, 1.0f},  {0, 1.0f},   {-20, 1.0f}};
  for (const auto& [tenths, slope] : cases) EXPECT_FLOAT_EQ(UpperSlopeFromRatioTenths(tenths), slope) << tenths;
}

TEST(CompressorCurveTest, LevelsToPixels) {
  const CurvePlot plot = CurvePlot::ForClient(600, 445);  // W 540, H 400
  EXPECT_EQ(plot.left, 40.0);
  EXPECT_EQ(plot.top, 20.0);
  EXPECT_EQ(plot.width, 540.0);
  EXPECT_EQ(plot.height, 400.0);
  EXPECT_EQ(plot.Right(), 580.0);
  EXPECT_EQ(plot.Bottom(), 420.0);
  const std::pair<double, double> xs[] = {{-90, 40}, {6, 580}, {-42, 310}, {-10, 490}};
  for (const auto& [db, x] : xs) EXPECT_DOUBLE_EQ(plot.InputX(db), x) << db;
  const std::pair<double, double> ys[] = {{6, 20}, {-90, 420}, {0, 45}, {-42, 220}};
  for (const auto& [db, y] : ys) EXPECT_DOUBLE_EQ(plot.OutputY(db), y) << db;
  // Above +6 dB is above the plot, not folded back into it.
  EXPECT_DOUBLE_EQ(plot.OutputY(12), -5.0);

  const CurvePlot tiny = CurvePlot::ForClient(30, 10);
  EXPECT_EQ(tiny.width, 0.0);
  EXPECT_EQ(tiny.height, 0.0);
  EXPECT_DOUBLE_EQ(tiny.InputX(6), 40.0);
}

TEST(CompressorCurveTest, ShadedSpanCoversTheCurvesOutputs) {
  struct Case {
    CompressorCurve curve;
    float low, high;
  };
  const Case cases[] = {
      {Curve(-15, -90, 1.0f), -90, 6},
      {Curve(-30, -90, 0.25f), -90, -21},
      {Curve(0, -90, 1.0f / 30.0f), -90, 0.2f},
      {Curve(-20, -60, 0.5f, 2.0f), -120, -7},
      {Curve(-20, -60, 1.0f, 0.5f), -75, 6},
  };
  for (const Case& c : cases) {
    const OutputSpan span = CurveOutputSpan(c.curve);
    EXPECT_FLOAT_EQ(span.low, c.low);
    EXPECT_FLOAT_EQ(span.high, c.high);
  }
}

TEST(CompressorCurveTest, GridLevelsAndLabels) {
  ASSERT_EQ(kCurveOutputGridDb.size(), kCurveOutputLabels.size());
  ASSERT_EQ(kCurveInputGridDb.size(), kCurveInputLabels.size());
  for (std::size_t i = 0; i < kCurveOutputGridDb.size(); ++i) {
    const int db = kCurveOutputGridDb[i];
    EXPECT_EQ(std::string(kCurveOutputLabels[i]), (db > 0 ? "+" : "") + std::to_string(db) + "dB");
  }
  for (std::size_t i = 0; i < kCurveInputGridDb.size(); ++i)
    EXPECT_EQ(std::string(kCurveInputLabels[i]), std::to_string(kCurveInputGridDb[i]) + "dB");
  EXPECT_EQ(std::string(kCurveOutputLabels.front()), "+6dB");
  EXPECT_EQ(std::string(kCurveInputLabels.back()), "6dB");
}

}  // namespace
}  // namespace dsptune
