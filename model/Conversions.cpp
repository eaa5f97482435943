#include "model/Conversions.h"

#include <cmath>

#include "model/BigEndian.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

// The device rule reads a scaled float back by a single-precision multiply and a
// truncation toward zero. A word that is not a number reads as 0 and one beyond the
// UI value's range as its nearest end.
std::int32_t ReadScaled(std::uint32_t word, float scale) {
  const float product = BitsFloat(word) * scale;
  return SaturatingCast<std::int32_t>(product);
}

// Moves `value` ulp by ulp until the truncating read-back gives `ui`. The rule's
// float is at most a few ulps away from one that does, so the walk is short.
float NudgeToReadBack(float value, std::int32_t ui, float scale) {
  for (int step = 0; step < 64; ++step) {
    const std::int32_t back = ReadScaled(FloatBits(value), scale);
    if (back == ui) return value;
    value = std::nextafter(value, back < ui ? INFINITY : -INFINITY);
  }
  return value;
}

}  // namespace

std::int32_t UiFromFloat(float value) { return static_cast<std::int32_t>(FloatBits(value)); }
float FloatFromUi(std::int32_t ui) { return BitsFloat(static_cast<std::uint32_t>(ui)); }

std::uint32_t MillisecondsToSamples(float ms) {
  return SaturatingCast<std::uint32_t>(static_cast<double>(ms) * 48.0 + 0.5);
}

float SamplesToMilliseconds(std::uint32_t samples) {
  return static_cast<float>(static_cast<double>(samples) * 1000.0 / 48000.0);
}

std::int32_t WordToUiValue(ConversionKind kind, std::uint32_t word) {
  switch (kind) {
    case ConversionKind::Percent: return ReadScaled(word, 100.0f);
    case ConversionKind::Raw: return static_cast<std::int32_t>(word);
    case ConversionKind::Byte: return static_cast<std::int32_t>(word & 0xFF);
    case ConversionKind::Milliseconds: return UiFromFloat(SamplesToMilliseconds(word));
    case ConversionKind::PerTenThousand: return ReadScaled(word, 10000.0f);
    case ConversionKind::None: break;
  }
  return 0;
}

std::uint32_t UiValueToWord(ConversionKind kind, std::int32_t ui) {
  switch (kind) {
    case ConversionKind::Percent: {
      if (ui == 0) return 0;
      // Single-precision division, the small bias added in double, as the device tool does.
      const float plain = static_cast<float>(ui) / 100.0f;
      const float rule = static_cast<float>(static_cast<double>(plain) + 0.0000001);
      if (ReadScaled(FloatBits(rule), 100.0f) == ui) return FloatBits(rule);
      // The bias points toward zero for negative values; start from the plain quotient instead.
      return FloatBits(NudgeToReadBack(plain, ui, 100.0f));
    }
    case ConversionKind::Raw: return static_cast<std::uint32_t>(ui);
    case ConversionKind::Byte: return static_cast<std::uint32_t>(ui) & 0xFF;
    case ConversionKind::Milliseconds: return MillisecondsToSamples(FloatFromUi(ui));
    case ConversionKind::PerTenThousand: {
      const float rule = static_cast<float>(ui) / 10000.0f;
      return FloatBits(NudgeToReadBack(rule, ui, 10000.0f));
    }
    case ConversionKind::None: break;
  }
  return 0;
}

}  // namespace dsptune
