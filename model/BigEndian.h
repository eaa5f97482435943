#pragma once
// Device numbers are big-endian; DSP values are IEEE-754 single-precision floats.
#include <bit>
#include <cstdint>

namespace dsptune {

inline std::uint16_t GetU16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v >> 8);
  p[1] = std::uint8_t(v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v >> 24);
  p[1] = std::uint8_t(v >> 16);
  p[2] = std::uint8_t(v >> 8);
  p[3] = std::uint8_t(v);
}
inline std::uint32_t FloatBits(float f) { return std::bit_cast<std::uint32_t>(f); }
inline float BitsFloat(std::uint32_t w) { return std::bit_cast<float>(w); }
inline float GetFloat(const std::uint8_t* p) { return BitsFloat(GetU32(p)); }
inline void PutFloat(std::uint8_t* p, float f) { PutU32(p, FloatBits(f)); }

}  // namespace dsptune
