#include "editors/model/CompressorControls.h"

#include <algorithm>
#include <cmath>

#include "editors/model/OutputChannels.h"
#include "editors/model/ValueLabel.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

bool IsChannel(int channel) { return channel >= 0 && channel < kOutputChannelCount; }
bool IsSlider(int slider) { return slider >= 0 && slider < kCompressorSliders; }

ChannelSet OnlyChannel(int channel) {
  ChannelSet set{};
  set[std::size_t(channel)] = true;
  return set;
}

int Position(int slider, float value) {
  const CompressorSliderRange& range = kCompressorSliderRanges[std::size_t(slider)];
  // A NaN from a damaged record shows as the slider's lowest position.
  if (std::isnan(value)) return range.min;
  return std::clamp(SaturatingRound<int>(value), range.min, range.max);
}

}  // namespace

namespace {

// A slider's value in the unit its field shows (the ratio slider counts tenths).
std::string FieldText(int slider, double value) {
  switch (slider) {
    case kCompThreshold: return ValueLabelText(ValueUnit::kDecibels, value);
    case kCompRatio: return ValueLabelText(ValueUnit::kRatio, value);
    case kCompAttack:
    case kCompRelease: return ValueLabelText(ValueUnit::kMilliseconds, value);
    default: return {};
  }
}

}  // namespace

std::string CompressorValueText(int slider, int position) {
  return FieldText(slider, slider == kCompRatio ? double(position) / 10.0 : double(position));
}

std::array<std::string, kCompressorSliders> CompressorStoredTexts(const CompressorValues& v) {
  return {FieldText(kCompThreshold, v.threshold), FieldText(kCompRatio, v.ratio), FieldText(kCompAttack, v.attackMs),
          FieldText(kCompRelease, v.releaseMs)};
}

CompressorPositions CompressorSliderPositions(const CompressorValues& v) {
  return {Position(kCompThreshold, v.threshold), Position(kCompRatio, v.ratio * 10.0f),
          Position(kCompAttack, v.attackMs), Position(kCompRelease, v.releaseMs)};
}

CompressorCurve CompressorCurveFor(const CompressorPositions& positions, bool on) {
  CompressorCurve curve;
  curve.lowerBreak = kCompressorLowerBreak;
  curve.lowerSlope = kCompressorLowerSlope;
  curve.on = on;
  ApplySliderToCurve(curve, kCompThreshold, positions[kCompThreshold]);
  ApplySliderToCurve(curve, kCompRatio, positions[kCompRatio]);
  return curve;
}

void ApplySliderToCurve(CompressorCurve& curve, int slider, int position) {
  if (slider == kCompThreshold) curve.threshold = float(position);
  else if (slider == kCompRatio) curve.upperSlope = UpperSlopeFromRatioTenths(position);
}

CompressorValues WriteChannelCompressorSlider(int channel, int slider, int position) {
  if (!IsChannel(channel) || !IsSlider(slider)) return {};
  static constexpr LimiterControl kControls[kCompressorSliders] = {
      LimiterControl::kThreshold, LimiterControl::kRatio, LimiterControl::kAttack, LimiterControl::kRelease};
  // Held in the slider's range: a ratio below 1.0:1 (or zero) would make a record the
  // device cannot use.
  const CompressorSliderRange& range = kCompressorSliderRanges[std::size_t(slider)];
  return WriteLimiter(channel, OnlyChannel(channel), kControls[slider], std::clamp(position, range.min, range.max));
}

bool ChannelLimiterOn(int channel) {
  return IsChannel(channel) && UiValue(ChannelBlock(channel), kChannelLimiterSwitch) == 0;
}

void WriteChannelLimiterSwitch(int channel, bool on) {
  if (IsChannel(channel)) WriteLimiterSwitch(OnlyChannel(channel), on);
}

}  // namespace dsptune
