#include "dsp/Biquad.h"

#include <cmath>

namespace dsptune {
namespace {

// Written as literal doubles, not derived expressions, so that the coefficients sent
// to the device never depend on how a compiler or libm rounds π and its fractions.
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

// Fixed-Q crossover sections: Q = 1/(2·sin(angle)) for the Butterworth pole angles.
constexpr double kAnglePiOver6 = 0.5235987755982988;
constexpr double kAnglePiOver2 = 1.5707963267948966;
constexpr double kAnglePiOver8 = 0.39269908169872414;
constexpr double kAngle3PiOver8 = 1.1780972450961724;

// Chebyshev type I pole pair: 0.1 dB ripple (10^(ripple/10) with ripple = 0.1) and
// the second-order pole angle 3π/4.
constexpr double kChebyshevRippleExponent = 0.010000000000000002;
constexpr double kChebyshevPoleAngle = 2.356194490192345;

constexpr BiquadCoefficients kUnity{1.0, 0.0, 0.0, 0.0, 0.0};

bool IsCrossoverSection(EqFilterType type) { return type >= 6 && type <= kHighestFilterType; }

bool UsesBandQ(EqFilterType type) { return !IsCrossoverSection(type); }

// The single place where the designer's contract is checked.
bool InputsInContract(EqFilterType type, double f0, double gainDb, double q, double extraGainDb,
                      double sampleRate) {
  if (!(std::isfinite(sampleRate) && sampleRate > 0.0)) return false;
  if (!(f0 > 0.0 && f0 < sampleRate / 2)) return false;  // also rejects NaN
  if (!std::isfinite(gainDb) || !std::isfinite(extraGainDb)) return false;
  if (UsesBandQ(type) && !(std::isfinite(q) && q > 0.0)) return false;
  return true;
}

BiquadCoefficients Normalised(double a0, double b0, double b1, double b2, double a1, double a2) {
  return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// Second-order low- or high-pass (the rows of codes 2 and 3), gain g as a flat scale.
BiquadCoefficients SecondOrderPass(bool lowPass, double c, double s, double g, double q) {
  const double alpha = s / (2 * q);
  const double a0 = 1 + alpha;
  if (lowPass) return Normalised(a0, g * (1 - c) / 2, g * (1 - c), g * (1 - c) / 2, -2 * c, 1 - alpha);
  return Normalised(a0, g * (1 + c) / 2, -g * (1 + c), g * (1 + c) / 2, -2 * c, 1 - alpha);
}

double FixedCrossoverQ(EqFilterType type) {
  switch (type & ~1) {  // a low-pass code and its high-pass partner share the Q
    case 8: return 1 / std::pow(3.0, 0.5);
    case 12: return 1 / std::pow(2.0, 0.5);
    case 14: return 1 / (2 * std::sin(kAnglePiOver6));
    case 16: return 1 / (2 * std::sin(kAnglePiOver2));
    case 18: return 1 / (2 * std::sin(kAnglePiOver8));
    default: return 1 / (2 * std::sin(kAngle3PiOver8));  // 20
  }
}

// Bilinear transform of 1/(s+1), prewarped to f0 (codes 10, 11).
BiquadCoefficients FirstOrderPass(bool lowPass, double c, double s, double g) {
  const double a0 = 1 + c + s;
  const double a1 = (s - c - 1) / a0;
  if (lowPass) {
    const double b = g * s / a0;
    return {b, b, 0.0, a1, 0.0};
  }
  const double b0 = g * (1 + c) / a0;
  return {b0, -b0, 0.0, a1, 0.0};
}

// Chebyshev type I, 0.1 dB ripple, from the fixed analogue pole pair (codes 6, 7).
// The passband (DC for the low-pass, Nyquist for the high-pass) sits 0.1 dB below g.
BiquadCoefficients ChebyshevPass(bool lowPass, double f0, double sampleRate, double g) {
  const double t = std::tan(kPi * f0 / sampleRate);
  const double K = lowPass ? t : 1 / t;
  const double eps = std::sqrt(std::pow(10.0, kChebyshevRippleExponent) - 1);
  // Not the textbook asinh(1/ε)/2 ≈ 1.289: the established response of these sections
  // (0.1 dB passband dip, about −37.5 dB a decade above a low-pass corner) rests on ≈ 0.990.
  const double v = 0.5 * std::sqrt(std::log(1 / (eps * eps) + 1 + 1 / eps));
  const double p = std::sinh(v) * K;
  const double r = std::sin(kChebyshevPoleAngle) * K;
  const double k = std::cos(kChebyshevPoleAngle);
  const double D = 1 - 2 * k * p + p * p + r * r;
  const double a1 = 2 * (r * r + p * p - 1) / D;
  const double a2 = (1 + 2 * k * p + p * p + r * r) / D;
  const double b = g * (r * r + p * p) / D * std::sqrt(1 / (1 + eps * eps));
  return {b, lowPass ? 2 * b : -2 * b, b, lowPass ? a1 : -a1, a2};
}

}  // namespace

BiquadCoefficients DesignBiquad(EqFilterType type, double f0, double gainDb, double q, double extraGainDb,
                                double sampleRate) {
  if (!InputsInContract(type, f0, gainDb, q, extraGainDb, sampleRate)) return kUnity;

  const double w0 = kTwoPi * f0 / sampleRate;
  const double c = std::cos(w0);
  const double s = std::sin(w0);
  const double G = std::pow(10.0, gainDb / 20);
  const double A = std::pow(10.0, gainDb / 40);
  const bool lowPass = (type % 2) == 0;  // meaningful for 6..21 only

  switch (type) {
    case kFilterPeq: {
      const double alpha = s / (2 * q);
      const double E = std::pow(10.0, extraGainDb / 20);
      return Normalised(1 + alpha / A, (1 + alpha * A) * E, -2 * c * E, (1 - alpha * A) * E, -2 * c,
                        1 - alpha / A);
    }
    case kFilterLowPass: return SecondOrderPass(true, c, s, G, q);
    case kFilterHighPass: return SecondOrderPass(false, c, s, G, q);
    case kFilterLowShelf: {
      const double m = std::sqrt(A) * s / q;  // 2·√A·α
      return Normalised((A + 1) + (A - 1) * c + m, A * ((A + 1) - (A - 1) * c + m), 2 * A * ((A - 1) - (A + 1) * c),
                        A * ((A + 1) - (A - 1) * c - m), -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - m);
    }
    case kFilterHighShelf: {
      const double m = std::sqrt(A) * s / q;  // 2·√A·α
      return Normalised((A + 1) - (A - 1) * c + m, A * ((A + 1) + (A - 1) * c + m), -2 * A * ((A - 1) + (A + 1) * c),
                        A * ((A + 1) + (A - 1) * c - m), 2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - m);
    }
    case 6:
    case 7: return ChebyshevPass(lowPass, f0, sampleRate, G);
    case 10:
    case 11: return FirstOrderPass(lowPass, c, s, G);
    default: break;
  }
  if (IsCrossoverSection(type)) return SecondOrderPass(lowPass, c, s, G, FixedCrossoverQ(type));

  // Off: an all-pass, so a disabled band keeps a flat magnitude (scaled by I).
  const double alpha = s / (2 * q);
  const double I = std::pow(10.0, extraGainDb / 40);
  return Normalised(1 + alpha, (1 - alpha) * I, -2 * c * I, (1 + alpha) * I, -2 * c, 1 - alpha);
}

double BiquadPhi(double f, double sampleRate) {
  const double h = std::sin(kPi * f / sampleRate);
  return h * h;
}

double BiquadMagnitudeDbAtPhi(const BiquadCoefficients& c, double phi) {
  const double bSum = c.b0 + c.b1 + c.b2;
  const double aSum = 1 + c.a1 + c.a2;
  const double n = bSum * bSum - 4 * (c.b0 * c.b1 + 4 * c.b0 * c.b2 + c.b1 * c.b2) * phi + 16 * c.b0 * c.b2 * phi * phi;
  const double d = aSum * aSum - 4 * (c.a1 + 4 * c.a2 + c.a1 * c.a2) * phi + 16 * c.a2 * phi * phi;
  return 10 * std::log10(n) - 10 * std::log10(d);
}

double BiquadMagnitudeDb(const BiquadCoefficients& c, double f, double sampleRate) {
  return BiquadMagnitudeDbAtPhi(c, BiquadPhi(f, sampleRate));
}

const char* FilterTypeName(EqFilterType type) {
  static constexpr const char* kNames[kHighestFilterType + 1] = {
      "OFF",      "PEQ",      "LP",       "HP",       "LS",       "HS",       "XO-LP6",   "XO-HP7",
      "XO-LP8",   "XO-HP9",   "XO-LP10",  "XO-HP11",  "XO-LP12",  "XO-HP13",  "XO-LP14",  "XO-HP15",
      "XO-LP16",  "XO-HP17",  "XO-LP18",  "XO-HP19",  "XO-LP20",  "XO-HP21",
  };
  if (type < 0 || type > kHighestFilterType) return kNames[kFilterOff];
  return kNames[type];
}

}  // namespace dsptune
