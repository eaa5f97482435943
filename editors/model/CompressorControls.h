#pragma once
// The limiter page of the output channels without widgets: its four sliders (ranges,
// value texts, positions for a channel's stored values), what a slider does to the
// transfer-curve graph, and the writes behind the sliders and the "Comp ON" box.
// Channels are numbered 0..7; channel c's limiter is block c + 5, address 0x1B, and its
// switch address 0x1C of the same block. Every write goes to the one chosen channel.
#include <array>
#include <string>

#include "dsp/CompressorCurve.h"
#include "model/RecordFormulas.h"

namespace dsptune {

enum CompressorSlider : int { kCompThreshold = 0, kCompRatio = 1, kCompAttack = 2, kCompRelease = 3 };
inline constexpr int kCompressorSliders = 4;
using CompressorPositions = std::array<int, kCompressorSliders>;

struct CompressorSliderRange {
  int min = 0;
  int max = 0;
  int pageStep = 1;
};
// Threshold -60..0 dB, ratio 10..300 in tenths (1.0:1 to 30.0:1), attack 1..100 ms,
// release 1..1000 ms.
inline constexpr std::array<CompressorSliderRange, kCompressorSliders> kCompressorSliderRanges = {
    {{-60, 0, 5}, {10, 300, 5}, {1, 100, 5}, {1, 1000, 50}}};

// Where the sliders stand before any channel's values are shown: 0 dB, 1.0:1, 1 ms, 100 ms.
inline constexpr CompressorPositions kCompressorOpeningPositions = {0, 10, 1, 100};

// The graph's lower side on this page: no lower break inside the axis, unity below it.
inline constexpr float kCompressorLowerBreak = -90.0f;
inline constexpr float kCompressorLowerSlope = 1.0f;

// Text of a slider's value field: "%.0fdB", "%.1f:1" of position / 10, "%.0fms".
// Empty for an unknown slider.
std::string CompressorValueText(int slider, int position);
// The four value fields of stored limiter values, each showing the value itself (a
// threshold of -70 dB reads "-70dB" while its slider stands at -60).
std::array<std::string, kCompressorSliders> CompressorStoredTexts(const CompressorValues& values);

// Slider positions that show stored limiter values: threshold dB, ratio x 10, attack and
// release ms, each rounded to the nearest step and held inside its slider's range.
CompressorPositions CompressorSliderPositions(const CompressorValues& values);

// The graph for slider positions: T = threshold, upper slope = 10 / ratio position,
// lower break -90 dB, lower slope 1.0, and the on flag.
CompressorCurve CompressorCurveFor(const CompressorPositions& positions, bool on);
// A moved slider's effect on the graph: the threshold sets T, the ratio the upper
// slope; the times leave the curve as it is.
void ApplySliderToCurve(CompressorCurve& curve, int slider, int position);

// The chosen channel's limiter values with the moved one replaced by the slider value
// (ratio = position / 10; a position outside the slider's range is held at its end),
// attack and release in whole milliseconds, written as its
// limiter record and kept as its limiter editor values. Returns the values written;
// an unknown channel or slider writes nothing and returns the defaults.
CompressorValues WriteChannelCompressorSlider(int channel, int slider, int position);

// The channel's limiter switch: on while address 0x1C holds 0.
bool ChannelLimiterOn(int channel);
// Writes address 0x1C of the channel: 0 when on, 1 when off.
void WriteChannelLimiterSwitch(int channel, bool on);

}  // namespace dsptune
