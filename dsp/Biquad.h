#pragma once
// The one biquad designer of the application. The EQ graphs and the device write path
// both call DesignBiquad, so the curve the user sees is built from exactly the
// coefficients the device is told to run. Pure functions: no state, no I/O.
#include <cstdint>

namespace dsptune {

// Filter-type code stored with every band (one byte in the band record).
// 1..5 are the user band types; 6..21 are crossover sections (even codes low-pass,
// odd codes high-pass); 0, negative codes and codes above 21 are off (flat).
using EqFilterType = std::int32_t;
enum : EqFilterType {
  kFilterOff = 0,
  kFilterPeq = 1,
  kFilterLowPass = 2,
  kFilterHighPass = 3,
  kFilterLowShelf = 4,
  kFilterHighShelf = 5,
};
inline constexpr EqFilterType kHighestFilterType = 21;

// y[n] = b0·x[n] + b1·x[n−1] + b2·x[n−2] − a1·y[n−1] − a2·y[n−2]; a0 is normalised to 1.
struct BiquadCoefficients {
  double b0, b1, b2, a1, a2;
};

// The device's processing rate; every band is designed and evaluated at it.
inline constexpr double kDeviceSampleRate = 48000.0;

// Designs one second-order section.
//   f0          centre, corner or crossover frequency in Hz (0 < f0 < sampleRate / 2)
//   gainDb      dB; the peak/shelf gain of codes 1, 4, 5 and a flat scale on every
//               low-/high-pass section (codes 2, 3, 6..21)
//   q           used by codes 0..5 and the off codes only, and must be > 0 there;
//               crossover sections 6..21 have their own fixed Q and ignore it
//   extraGainDb dB; scales the peaking section (code 1) and the off section only
//   sampleRate  Hz, > 0
// Inputs outside this contract yield the unity section {1, 0, 0, 0, 0} rather than
// non-finite coefficients, so one bad band cannot poison a summed curve or the device.
BiquadCoefficients DesignBiquad(EqFilterType type, double f0, double gainDb, double q, double extraGainDb,
                                double sampleRate);

// Magnitude of the section at frequency f (Hz, 0 <= f < sampleRate / 2) in dB.
double BiquadMagnitudeDb(const BiquadCoefficients& c, double f, double sampleRate);

// BiquadMagnitudeDb split at its only transcendental frequency term, for callers that
// evaluate many sections on one fixed grid: BiquadMagnitudeDb(c, f, fs) is exactly
// BiquadMagnitudeDbAtPhi(c, BiquadPhi(f, fs)), bit for bit.
double BiquadPhi(double f, double sampleRate);  // sin²(π·f/fs), 0..1
double BiquadMagnitudeDbAtPhi(const BiquadCoefficients& c, double phi);

// Short menu name: "PEQ", "LP", "HP", "LS", "HS" for 1..5, "XO-LP<code>" or
// "XO-HP<code>" for the crossover sections 6..21, "OFF" for everything else.
// The text is static and never null.
const char* FilterTypeName(EqFilterType type);

}  // namespace dsptune
