#pragma once
// Band responses on the logarithmic frequency grid every EQ graph draws on.
#include <array>
#include <tuple>

#include "dsp/EqBand.h"

namespace dsptune {

inline constexpr int kResponsePoints = 512;
// The graphs' frequency axis, Hz. The grid runs from kGridMinHz (point 0) up to
// kGridMinHz·(kGridMaxHz/kGridMinHz)^(511/512) ≈ 22681 Hz, below the device's Nyquist.
inline constexpr double kGridMinHz = 18.0;
inline constexpr double kGridMaxHz = 23000.0;

static_assert(std::tuple_size_v<decltype(EqBand::response)> == kResponsePoints);

// Frequency of grid point i (0 <= i < kResponsePoints) in Hz:
// fMin·10^((i/512)·log10(fMax/fMin)) evaluated in double, rounded to float.
float ResponseGridFrequency(int i, double fMin = kGridMinHz, double fMax = kGridMaxHz);

// Fills band.response with the band's magnitude in dB at every grid point, designing
// it at kDeviceSampleRate with no extra gain. A type-0 band is left untouched.
// A cascade head (linkedCount > 0) first copies its frequency into each non-null
// linked section and computes that section too; the sections' own links are not
// followed (cascades are one level deep). For a "PEQ" band the point under its
// marker is pinned to the band's gain, so the drawn peak always reaches the value
// the user set; plotWidth (the plot's width in pixels) is used only to find that
// point, and a plotWidth <= 0 pins nothing.
// fMin, fMax: the graph's axis limits in Hz, 0 < fMin < fMax < kDeviceSampleRate / 2;
// with other limits the band is left untouched.
void ComputeBandResponse(EqBand& band, double fMin, double fMax, int plotWidth);

// Point-by-point sum of the responses of `count` bands whose type is not 0 (the summed
// curve of an equaliser). Adding dB values multiplies the sections' magnitudes.
void SumBandResponses(const EqBand* bands, int count, std::array<float, kResponsePoints>& out);

}  // namespace dsptune
