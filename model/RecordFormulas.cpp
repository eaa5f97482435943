#include "model/RecordFormulas.h"

#include <algorithm>
#include <cmath>

#include "model/BigEndian.h"
#include "model/SaturatingCast.h"

namespace dsptune {

std::array<std::uint32_t, 7> CompressorRecordWords(float threshold, float ratio, float attackMs,
                                                   float releaseMs) {
  const double attack = 1.0 - std::exp(-1.0 / (static_cast<double>(attackMs) * 48.0));
  const double release = 1.0 - std::exp(-1.0 / (static_cast<double>(releaseMs) * 48.0));
  const float slope = 1.0f - 1.0f / ratio;
  return {FloatBits(threshold),         FloatBits(0.0f),
          FloatBits(slope),             FloatBits(20.0f),
          FloatBits(0.05f),             FloatBits(static_cast<float>(attack)),
          FloatBits(static_cast<float>(release))};
}

CompressorValues DecodeCompressorRecord(const std::array<std::uint32_t, 7>& words) {
  CompressorValues v;
  v.threshold = BitsFloat(words[0]);
  v.ratio = static_cast<float>(1.0 / (1.0 - static_cast<double>(BitsFloat(words[2]))));
  v.attackMs = static_cast<float>(-1.0 / std::log(1.0 - static_cast<double>(BitsFloat(words[5]))) / 48.0);
  v.releaseMs = static_cast<float>(-1.0 / std::log(1.0 - static_cast<double>(BitsFloat(words[6]))) / 48.0);
  return v;
}

std::array<std::uint32_t, 6> SixValueGainWords(float g, SixValueBlock block) {
  const float d = static_cast<float>(std::pow(10.0, static_cast<double>(g / 20.0f)));
  const float exponent = (0.0022594517f * g * g + 0.79990202f * g) / 20.0f;
  const float e = static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
  const bool mic = block == SixValueBlock::Microphone;
  const std::uint32_t c1 = mic ? 0x3F7D554Au : 0x3F7EFF25u;
  const std::uint32_t c2 = mic ? 0xBFFEA8DCu : 0xBFFF7EF1u;
  return {FloatBits(d), FloatBits(e), c1, c2, FloatBits(d), FloatBits(e)};
}

float ShiftFrequencyIncrement(int hz) { return static_cast<float>(kTwoPi * hz / 48000.0); }

std::uint32_t ShiftFrequencyDelaySamples(int hz) {
  const double ms = 1000.0 / (4.0 * hz) - 25.0;
  const double samples = ms * 48.0 + 0.5;
  return SaturatingCast<std::uint32_t>(samples);
}

std::uint8_t EncodeSignedTenths(float v) {
  const float biased = v > 0.0f ? v + 0.05f : v - 0.05f;
  const float tenths = biased * 10.0f;
  // |trunc(t)| = trunc(|t|); taking the magnitude first keeps -inf from saturating to
  // INT_MIN, whose magnitude is no int.
  const int magnitude = std::min(SaturatingCast<int>(std::fabs(tenths)), 0x7F);
  return static_cast<std::uint8_t>(magnitude | (biased < 0.0f ? 0x80 : 0x00));
}

float DecodeSignedTenths(std::uint8_t byte) {
  const float value = static_cast<float>(byte & 0x7F) / 10.0f;
  return (byte & 0x80) ? -value : value;
}

}  // namespace dsptune
