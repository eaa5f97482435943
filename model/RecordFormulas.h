#pragma once
// Pure builders for the multi-value and derived DSP records. The default image and
// the editors' write routines both use them, so a default record is exactly what
// an editor would write for the default settings.
#include <array>
#include <cstdint>

namespace dsptune {

inline constexpr double kTwoPi = 6.283185307179586;

// Compressor / limiter record: [threshold, 0, 1 - 1/ratio, 20, 0.05,
// 1 - exp(-1/(attack x 48)), 1 - exp(-1/(release x 48))], times in ms at 48000 Hz.
// The exponentials are evaluated in double precision and stored as floats.
std::array<std::uint32_t, 7> CompressorRecordWords(float threshold, float ratio, float attackMs,
                                                   float releaseMs);

struct CompressorValues {
  float threshold = 0.0f;  // dB
  float ratio = 1.0f;
  float attackMs = 1.0f;
  float releaseMs = 1.0f;
};

// Inverse of CompressorRecordWords for the editor: ratio = 1/(1 - v2),
// attack = -1/ln(1 - v5)/48, release = -1/ln(1 - v6)/48.
CompressorValues DecodeCompressorRecord(const std::array<std::uint32_t, 7>& words);

// Six-value gain record for a level g in dB: [d, e, C1, C2, d, e] with d = 10^(g/20)
// and e = 10^((0.0022594517 g^2 + 0.79990202 g)/20), products in single precision.
// The constants C1, C2 differ between the microphone block and the output channels.
enum class SixValueBlock { Microphone, OutputChannel };
std::array<std::uint32_t, 6> SixValueGainWords(float levelDb, SixValueBlock block);

// Shift frequency f in Hz as the DSP's phase increment 2 pi f / 48000 (double, stored as float).
float ShiftFrequencyIncrement(int hz);
// Delay that goes with a shift frequency: (1000/(4f) - 25) ms as a sample count (0 when negative).
std::uint32_t ShiftFrequencyDelaySamples(int hz);

// Signed tenths byte of the SSVC settings record (sign-magnitude; 0x8A = -1.0).
std::uint8_t EncodeSignedTenths(float value);
float DecodeSignedTenths(std::uint8_t byte);

}  // namespace dsptune
