#include "editors/model/EffectParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/ParameterLimits.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

constexpr std::uint8_t kEchoBlock = 2;
constexpr std::uint8_t kReverbBlock = 3;

constexpr std::array<EffectRow, kEffectRowCount> kRows{{
    {"Reverb Level", "混响电平", kLevelRange.MinimumSteps(), kLevelRange.MaximumSteps(), EffectFormat::kPercent, kReverbBlock, {0x08, 0x14}, false, false},
    {"Reverb Predelay", "混响预延时", kEffectPredelayRange.MinimumSteps(), kEffectPredelayRange.MaximumSteps(), EffectFormat::kMilliseconds, kReverbBlock, {0x09, 0x15}, true, false},
    {"Reverb Time", "混响时长", kLevelRange.MinimumSteps(), kLevelRange.MaximumSteps(), EffectFormat::kReverbTime, kReverbBlock, {0x0A, 0x16}, false, true},
    {"Echo Level", "回声电平", kLevelRange.MinimumSteps(), kLevelRange.MaximumSteps(), EffectFormat::kPercent, kEchoBlock, {0x09, 0x17}, false, false},
    {"Echo Predelay", "回声预延时", kEffectPredelayRange.MinimumSteps(), kEffectPredelayRange.MaximumSteps(), EffectFormat::kMilliseconds, kEchoBlock, {0x0A, 0x18}, true, false},
    {"Echo Time", "回声间隔", kEchoTimeRange.MinimumSteps(), kEchoTimeRange.MaximumSteps(), EffectFormat::kMilliseconds, kEchoBlock, {0x0B, 0x19}, true, false},
    {"Echo Start Vol", "回声起始音量", kEchoStartVolumeRange.MinimumSteps(), kEchoStartVolumeRange.MaximumSteps(), EffectFormat::kPercent, kEchoBlock, {0x0C, 0x1A}, false, false},
    {"Echo Vol Decay", "回声衰减比例", kEchoVolumeDecayRange.MinimumSteps(), kEchoVolumeDecayRange.MaximumSteps(), EffectFormat::kPercent, kEchoBlock, {0x0D, 0x1B}, false, false},
    // Written through SetShiftFrequency (block 1); the addresses are its off flags.
    {"Shift Frequency", "话筒移频", 1, 8, EffectFormat::kShiftFrequency, 1, {0x28, 0x43}, false, false},
}};

bool IsHalf(int half) { return half == kEffectHalfA || half == kEffectHalfB; }

// A float UI value (milliseconds) as the whole number the list shows. Values the
// program wrote are whole already; a device value between two is shown rounded.
int WholeMilliseconds(std::int32_t ui) {
  const float ms = FloatFromUi(ui);
  if (!std::isfinite(ms)) return 0;
  return SaturatingRound<int>(ms);
}

}  // namespace

std::span<const EffectRow> EffectRows() { return kRows; }

const EffectRow* EffectRowAt(int row) {
  if (row < 0 || row >= kEffectRowCount) return nullptr;
  return &kRows[std::size_t(row)];
}

const char* EffectRowName(int row, int language) {
  const EffectRow* r = EffectRowAt(row);
  if (!r) return "";
  return language == 1 ? r->english : r->chinese;
}

int ClampEffectValue(int row, int value) {
  const EffectRow* r = EffectRowAt(row);
  return r ? std::clamp(value, r->minimum, r->maximum) : value;
}

int ReadEffectValue(int row, int half) {
  const EffectRow* r = EffectRowAt(row);
  if (!r || !IsHalf(half)) return 0;
  if (r->format == EffectFormat::kShiftFrequency) return EditorSnapshot().shiftFrequency[std::size_t(half)];
  const std::int32_t ui = UiValue(r->block, r->address[std::size_t(half)]);
  return r->asFloat ? WholeMilliseconds(ui) : int(ui);
}

bool WriteEffectValue(int row, int half, int value) {
  const EffectRow* r = EffectRowAt(row);
  if (!r || !IsHalf(half)) return false;
  value = ClampEffectValue(row, value);
  if (r->format == EffectFormat::kShiftFrequency) {
    SetShiftFrequency(half, value);
    return true;
  }
  const std::uint8_t address = r->address[std::size_t(half)];
  const std::int32_t ui = r->asFloat ? UiFromFloat(float(value)) : value;
  SetParameter(r->block, address, ui);
  if (r->pairedAddress) SetParameter(r->block, std::uint8_t(address + 1), ui);
  return true;
}

int StepEffectValue(int row, int half, int delta) {
  if (!EffectRowAt(row) || !IsHalf(half)) return 0;
  const int current = ReadEffectValue(row, half);
  // Widened so that a far-off stored value cannot overflow on the way back into range.
  const long long moved = static_cast<long long>(current) + delta;
  const int target = ClampEffectValue(
      row, int(std::clamp<long long>(moved, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
  if (target != current) WriteEffectValue(row, half, target);
  return target;
}

std::string FormatEffectValue(int row, int value, int language) {
  const EffectRow* r = EffectRowAt(row);
  char text[48];
  switch (r ? r->format : EffectFormat::kPercent) {
    case EffectFormat::kPercent:
      std::snprintf(text, sizeof text, "%d%%", value);
      break;
    case EffectFormat::kMilliseconds:
      std::snprintf(text, sizeof text, "%dms", value);
      break;
    case EffectFormat::kReverbTime:
      std::snprintf(text, sizeof text, "%.0fms", value * 49.6 + 40.0);
      break;
    case EffectFormat::kShiftFrequency:
      if (value == 0 || value == 1) return language == 1 ? "Off" : "关闭";
      std::snprintf(text, sizeof text, "%dHz", value);
      break;
  }
  return text;
}

}  // namespace dsptune
