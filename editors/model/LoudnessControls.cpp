#include "editors/model/LoudnessControls.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "editors/model/CompressorControls.h"
#include "editors/model/ValueLabel.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

// How a slider's position reaches the device.
enum class Route {
  kFloat,        // SetParameter with the position as a float (raw and millisecond kinds)
  kInteger,      // SetParameter with the position itself (percent kind)
  kDecayLevel,   // subwoofer decay level = -position dB
  kBandSlot,     // Music EQ slot 10 as a low-pass at position Hz
  kCompressor,   // one value of the music compressor record
};

enum class Format { kHz, kDb, kPercent, kMs, kCompressor };

struct SliderInfo {
  LoudnessSliderRange range;
  Format format;
  Route route;
  std::uint8_t block = 0;
  std::uint8_t address = 0;
  int compressorSlider = 0;  // CompressorSlider, for Route::kCompressor
};

constexpr std::uint8_t kExciterBlock = 14, kMicBlock = 1, kMusicBlock = 4;

// The sliders of single parameters take the ranges every other path is checked against.
constexpr LoudnessSliderRange Of(const ValueRange& r, bool hidden = false) {
  return {r.MinimumSteps(), r.MaximumSteps(), hidden};
}

constexpr std::array<SliderInfo, kLoudnessSliderCount> kSliders = {{
    {Of(kExciterLowRange), Format::kHz, Route::kFloat, kExciterBlock, 0x00},
    {Of(kExciterGainRange), Format::kDb, Route::kFloat, kExciterBlock, 0x01},
    {Of(kExciterMidRange), Format::kHz, Route::kFloat, kExciterBlock, 0x02},
    {Of(kExciterGainRange), Format::kDb, Route::kFloat, kExciterBlock, 0x03},
    {Of(kExciterHighRange), Format::kHz, Route::kFloat, kExciterBlock, 0x04},
    {Of(kExciterGainRange), Format::kDb, Route::kFloat, kExciterBlock, 0x05},
    {Of(kLevelRange), Format::kPercent, Route::kInteger, kExciterBlock, 0x06},
    {Of(kLevelRange), Format::kPercent, Route::kInteger, kExciterBlock, 0x07},
    {Of(kLevelRange), Format::kPercent, Route::kInteger, kExciterBlock, 0x08},
    {Of(kLevelRange, true), Format::kPercent, Route::kInteger, kExciterBlock, 0x09},
    {{0, 40}, Format::kDb, Route::kDecayLevel},
    {{20, 300}, Format::kHz, Route::kBandSlot},
    {Of(kBassExtensionDelayRange), Format::kMs, Route::kFloat, kMusicBlock, 0x27},
    {Of(kBassExtensionGainRange), Format::kPercent, Route::kInteger, kMusicBlock, 0x28},
    {Of(kLevelRange), Format::kPercent, Route::kInteger, kMicBlock, 0x0D},
    {{-60, 0}, Format::kCompressor, Route::kCompressor, 0, 0, kCompThreshold},
    {{10, 300, true}, Format::kCompressor, Route::kCompressor, 0, 0, kCompRatio},
    {{1, 100}, Format::kCompressor, Route::kCompressor, 0, 0, kCompAttack},
    {{1, 1000}, Format::kCompressor, Route::kCompressor, 0, 0, kCompRelease},
}};

struct BoxInfo {
  std::uint8_t block;
  std::uint8_t address;
  std::uint8_t tickedValue;  // the other state writes 1 - tickedValue
};
constexpr std::array<BoxInfo, kLoudnessBoxCount> kBoxes = {{
    {kExciterBlock, 0x0A, 1},
    {kExciterBlock, 0x0B, 1},
    {kMicBlock, 0x2B, 0},  // path B's switch 0x46 follows it
    {kMicBlock, 0x0C, 1},
    {kMusicBlock, 0x0F, 0},
}};
constexpr std::uint8_t kMicMaxBassPathB = 0x46;

const SliderInfo* Info(LoudnessSlider slider) {
  const int i = static_cast<int>(slider);
  return i >= 0 && i < kLoudnessSliderCount ? &kSliders[std::size_t(i)] : nullptr;
}

const BoxInfo* Info(LoudnessBox box) {
  const int i = static_cast<int>(box);
  return i >= 0 && i < kLoudnessBoxCount ? &kBoxes[std::size_t(i)] : nullptr;
}

// A stored value as a slider position: rounded and held in the range; not a number
// (a damaged image or file) shows as the lowest position.
int Position(const LoudnessSliderRange& range, double value) {
  if (std::isnan(value)) return range.min;
  return std::clamp(SaturatingRound<int>(value), range.min, range.max);
}

// The compressor record's times go out as whole milliseconds; the small allowance keeps
// a read-back such as 59.99998 ms at 60.
float WholeMs(float ms) { return std::trunc(ms + 0.001f); }

void WriteMusicCompressor(int compressorSlider, int position) {
  CompressorValues v = EditorSnapshot().musicCompressor;
  switch (compressorSlider) {
    case kCompThreshold: v.threshold = float(position); break;
    case kCompRatio: v.ratio = float(position) / 10.0f; break;
    case kCompAttack: v.attackMs = float(position); break;
    case kCompRelease: v.releaseMs = float(position); break;
    default: return;
  }
  v.attackMs = WholeMs(v.attackMs);
  v.releaseMs = WholeMs(v.releaseMs);
  WriteCompressorRecord(CompressorTarget::Music, 0, v);
}

}  // namespace

LoudnessSliderRange LoudnessRange(LoudnessSlider slider) {
  const SliderInfo* info = Info(slider);
  return info ? info->range : LoudnessSliderRange{};
}

namespace {

ValueUnit UnitOf(Format format) {
  switch (format) {
    case Format::kHz: return ValueUnit::kHertz;
    case Format::kDb: return ValueUnit::kDecibels;
    case Format::kPercent: return ValueUnit::kPercent;
    case Format::kMs: break;
    case Format::kCompressor: break;
  }
  return ValueUnit::kMilliseconds;
}

// The value the model stores behind a slider, in the slider's own steps (the music
// compressor's ratio in tenths); not a number when the stored record is missing.
double StoredValue(const SliderInfo& info) {
  switch (info.route) {
    case Route::kFloat: return FloatFromUi(UiValue(info.block, info.address));
    case Route::kInteger: return UiValue(info.block, info.address);
    case Route::kDecayLevel: return -double(EditorSnapshot().subwooferDecayLevel);
    case Route::kBandSlot: {
      const std::vector<std::uint8_t> record = ReadLiveBytes(EqBandOffset(kEqMusic, kBassExtensionSlot), kBandRecordSize);
      if (record.size() != std::size_t(kBandRecordSize)) break;
      return DecodeBandRecord(record.data()).frequency;
    }
    case Route::kCompressor: {
      const CompressorValues v = EditorSnapshot().musicCompressor;
      const float values[kCompressorSliders] = {v.threshold, v.ratio * 10.0f, v.attackMs, v.releaseMs};
      return values[info.compressorSlider];
    }
  }
  return std::nan("");
}

std::string FieldText(const SliderInfo& info, double value) {
  if (info.format == Format::kCompressor) {
    // The compressor's own formats; its fields show the stored value, not a position.
    if (info.compressorSlider == kCompRatio) return ValueLabelText(ValueUnit::kRatio, value / 10.0);
    return ValueLabelText(info.compressorSlider == kCompThreshold ? ValueUnit::kDecibels : ValueUnit::kMilliseconds,
                          value);
  }
  return ValueLabelText(UnitOf(info.format), value);
}

}  // namespace

std::string LoudnessValueText(LoudnessSlider slider, int position) {
  const SliderInfo* info = Info(slider);
  return info ? FieldText(*info, position) : std::string();
}

std::string LoudnessStoredText(LoudnessSlider slider) {
  const SliderInfo* info = Info(slider);
  return info ? FieldText(*info, StoredValue(*info)) : std::string();
}

int LoudnessPosition(LoudnessSlider slider) {
  const SliderInfo* info = Info(slider);
  return info ? Position(info->range, StoredValue(*info)) : 0;
}

bool LoudnessTicked(LoudnessBox box) {
  const BoxInfo* info = Info(box);
  return info && UiValue(info->block, info->address) == info->tickedValue;
}

void WriteLoudnessSlider(LoudnessSlider slider, int position) {
  const SliderInfo* info = Info(slider);
  if (!info) return;
  const int value = std::clamp(position, info->range.min, info->range.max);
  switch (info->route) {
    case Route::kFloat: SetParameter(info->block, info->address, UiFromFloat(float(value))); break;
    case Route::kInteger: SetParameter(info->block, info->address, value); break;
    // Negated as an integer first: a boost of 0 is a level of +0.0, the default bytes.
    case Route::kDecayLevel: SetSubwooferDecayLevel(float(-value)); break;
    case Route::kBandSlot:
      WriteEqBand(kEqMusic, kBassExtensionSlot, kFilterLowPass, value, 0.0f, kBassExtensionQ, 0.0f);
      break;
    case Route::kCompressor: WriteMusicCompressor(info->compressorSlider, value); break;
  }
}

void WriteLoudnessBox(LoudnessBox box, bool ticked) {
  const BoxInfo* info = Info(box);
  if (!info) return;
  const int value = ticked ? info->tickedValue : 1 - info->tickedValue;
  SetParameter(info->block, info->address, value);
  if (box == LoudnessBox::kMicMaxBass) SetParameter(info->block, kMicMaxBassPathB, value);
}

}  // namespace dsptune
