#pragma once
// The static input/output characteristic of a compressor or limiter and its place on
// the transfer-curve graph. Levels are in dB; both axes run from -90 dB to +6 dB.
// Plain maths shared by the graph widget and its tests: no drawing, no device access.
#include <array>

namespace dsptune {

inline constexpr float kCurveMinDb = -90.0f;   // left end of the input axis, bottom of the output axis
inline constexpr float kCurveMaxDb = 6.0f;     // right end of the input axis, top of the output axis
inline constexpr float kCurveSpanDb = 96.0f;

// The four numbers the curve is drawn from, and whether the processor is switched on.
struct CompressorCurve {
  float threshold = -15.0f;   // T: input level where compression starts
  float lowerBreak = -5.0f;   // L: input level below which the lower slope applies
  float upperSlope = 1.0f;    // output dB per input dB above T (1 / ratio)
  float lowerSlope = 1.0f;    // output dB per input dB below L
  bool on = false;            // the graph shows "OFF" while false
};

// The break point the curve really bends at on its lower side. A lower break above the
// threshold would make the unity stretch run backwards and draw two overlapping
// curves; the unity stretch then has no length and the lower break sits at T.
float EffectiveLowerBreak(const CompressorCurve& curve);

// Output level for an input level x: T + (x - T) * upper slope at and above T, x
// between the lower break and T, L - (L - x) * lower slope below the lower break.
float CurveOutputLevel(const CompressorCurve& curve, float inputDb);

struct CurvePoint {
  float input = 0.0f;
  float output = 0.0f;
};

// The polyline the graph draws, as three straight segments between four points:
// input -90 dB, the lower break, the threshold and input +6 dB. The break points are
// held inside the axis (so a segment outside it has no length, as the first one does
// for L = -90), and each point's output is CurveOutputLevel of its input.
std::array<CurvePoint, 4> CurvePolyline(const CompressorCurve& curve);

// Upper slope of a ratio given in tenths (the ratio slider: 10..300 for 1.0:1 to
// 30.0:1): 10 / tenths. Anything below 1.0:1 counts as 1.0:1, so the curve never
// rises faster than its input and a zero never divides.
float UpperSlopeFromRatioTenths(int tenths);

// Where the graph draws, for a client area of width x height pixels: the plot's left
// edge at 40, its top at 20, W = width - 60 wide and H = height - 45 high. 96 dB
// span the plot in both directions.
struct CurvePlot {
  static constexpr int kLeft = 40;
  static constexpr int kTop = 20;
  static constexpr int kRightMargin = 20;   // W = width - kLeft - kRightMargin
  static constexpr int kBottomMargin = 25;  // H = height - kTop - kBottomMargin

  static CurvePlot ForClient(int width, int height);

  double left = kLeft;
  double top = kTop;
  double width = 0.0;   // W
  double height = 0.0;  // H

  double Right() const { return left + width; }
  double Bottom() const { return top + height; }
  // x pixel of an input level: left + (v + 90) * W / 96.
  double InputX(double inputDb) const;
  // y pixel of an output level: top + (6 - v) * H / 96. Levels above +6 dB land above
  // the plot rather than being mirrored back into it.
  double OutputY(double outputDb) const;
};

// Grid levels: horizontal lines at these output levels, vertical lines at these input
// levels, each with its label (output labels left of the plot, input labels below it).
inline constexpr std::array<int, 11> kCurveOutputGridDb = {6, 0, -10, -20, -30, -40, -50, -60, -70, -80, -90};
inline constexpr std::array<int, 6> kCurveInputGridDb = {-90, -70, -50, -30, -10, 6};
extern const std::array<const char*, 11> kCurveOutputLabels;  // "+6dB", "0dB", .. "-90dB"
extern const std::array<const char*, 6> kCurveInputLabels;    // "-90dB" .. "-10dB", "6dB"

// The output range the shaded band spans: the curve's outputs at input -90 dB and at
// +6 dB, lower one first.
struct OutputSpan {
  float low = 0.0f;
  float high = 0.0f;
};
OutputSpan CurveOutputSpan(const CompressorCurve& curve);

}  // namespace dsptune
