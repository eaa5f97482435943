#include "editors/model/RecordOutput.h"

#include <algorithm>
#include <cmath>

#include "model/EqBandStore.h"
#include "editors/model/ValueLabel.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

bool IsLevel(int level) { return level >= 0 && level < kRecordLevels; }
bool IsSlider(int slider) { return slider >= 0 && slider < kCompressorSliders; }

int HoldInRange(int slider, int position) {
  const CompressorSliderRange& range = kCompressorSliderRanges[std::size_t(slider)];
  return std::clamp(position, range.min, range.max);
}

}  // namespace

std::string RecordLevelText(int percent) { return ValueLabelText(ValueUnit::kPercent, percent); }

std::string RecordLevelStoredText(int level) {
  if (!IsLevel(level)) return {};
  return ValueLabelText(ValueUnit::kPercent, double(UiValue(kRecordBlock, kRecordLevelAddresses[std::size_t(level)])));
}

int RecordLevelPosition(int level) {
  if (!IsLevel(level)) return 0;
  return std::clamp(int(UiValue(kRecordBlock, kRecordLevelAddresses[std::size_t(level)])), 0, kRecordLevelMax);
}

void WriteRecordLevel(int level, int position) {
  if (!IsLevel(level)) return;
  SetParameter(kRecordBlock, kRecordLevelAddresses[std::size_t(level)], std::clamp(position, 0, kRecordLevelMax));
}

CompressorPositions RecordCompressorPositions(const CompressorValues& values) {
  CompressorPositions positions = CompressorSliderPositions(values);
  if (std::isfinite(values.threshold))
    positions[kCompThreshold] = HoldInRange(kCompThreshold, SaturatingCast<int>(values.threshold));
  return positions;
}

CompressorPositions RecordCompressorPositions() { return RecordCompressorPositions(EditorSnapshot().recordLimiter); }

CompressorValues WithCompressorSlider(CompressorValues v, int slider, int position) {
  if (!IsSlider(slider)) return v;
  const int held = HoldInRange(slider, position);
  switch (slider) {
    case kCompThreshold: v.threshold = float(held); break;
    case kCompRatio: v.ratio = float(held) / 10.0f; break;
    case kCompAttack: v.attackMs = float(held); break;
    case kCompRelease: v.releaseMs = float(held); break;
    default: break;
  }
  return v;
}

CompressorValues WriteRecordCompressorSlider(int slider, int position) {
  const CompressorValues stored = EditorSnapshot().recordLimiter;
  if (!IsSlider(slider)) return stored;
  const CompressorValues v = WithCompressorSlider(stored, slider, position);
  WriteCompressorRecord(CompressorTarget::Record, 0, v);
  return v;
}

bool RecordLimiterOn() { return UiValue(kRecordBlock, kRecordLimiterSwitchAddress) == 0; }

void WriteRecordLimiterSwitch(bool on) { SetParameter(kRecordBlock, kRecordLimiterSwitchAddress, on ? 0 : 1); }

bool RecordEqBypassed() { return UiValue(kRecordBlock, kRecordEqBypassAddress) != 0; }

void SetRecordEqBypass(bool bypassed) { SetParameter(kRecordBlock, kRecordEqBypassAddress, bypassed ? 1 : 0); }

void WriteRecordEqBand(const EqBand& band) {
  WriteEqBand(kRecordEqNumber, band.index, band.type, SaturatingCast<int>(band.frequency), band.gain, band.q, 0.0f);
}

void ResetRecordEq() { ResetEqToDefaults(kRecordEqNumber); }

}  // namespace dsptune
