#include "dsp/CompressorCurve.h"

#include <algorithm>

namespace dsptune {

const std::array<const char*, 11> kCurveOutputLabels = {"+6dB",  "0dB",   "-10dB", "-20dB", "-30dB", "-40dB",
                                                        "-50dB", "-60dB", "-70dB", "-80dB", "-90dB"};
const std::array<const char*, 6> kCurveInputLabels = {"-90dB", "-70dB", "-50dB", "-30dB", "-10dB", "6dB"};

float EffectiveLowerBreak(const CompressorCurve& curve) { return std::min(curve.lowerBreak, curve.threshold); }

float CurveOutputLevel(const CompressorCurve& curve, float x) {
  const float t = curve.threshold;
  const float l = EffectiveLowerBreak(curve);
  if (x >= t) return t + (x - t) * curve.upperSlope;
  if (x >= l) return x;
  return l - (l - x) * curve.lowerSlope;
}

std::array<CurvePoint, 4> CurvePolyline(const CompressorCurve& curve) {
  const float t = std::clamp(curve.threshold, kCurveMinDb, kCurveMaxDb);
  const float l = std::clamp(EffectiveLowerBreak(curve), kCurveMinDb, t);
  const float inputs[4] = {kCurveMinDb, l, t, kCurveMaxDb};
  std::array<CurvePoint, 4> points{};
  for (std::size_t i = 0; i < points.size(); ++i) points[i] = {inputs[i], CurveOutputLevel(curve, inputs[i])};
  return points;
}

float UpperSlopeFromRatioTenths(int tenths) { return tenths <= 10 ? 1.0f : 10.0f / float(tenths); }

CurvePlot CurvePlot::ForClient(int width, int height) {
  CurvePlot plot;
  plot.width = std::max(0, width - kLeft - kRightMargin);
  plot.height = std::max(0, height - kTop - kBottomMargin);
  return plot;
}

double CurvePlot::InputX(double v) const { return left + (v - double(kCurveMinDb)) * width / double(kCurveSpanDb); }

double CurvePlot::OutputY(double v) const { return top + (double(kCurveMaxDb) - v) * height / double(kCurveSpanDb); }

OutputSpan CurveOutputSpan(const CompressorCurve& curve) {
  const float a = CurveOutputLevel(curve, kCurveMinDb);
  const float b = CurveOutputLevel(curve, kCurveMaxDb);
  return {std::min(a, b), std::max(a, b)};
}

}  // namespace dsptune
