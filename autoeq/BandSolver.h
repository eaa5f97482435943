#pragma once
// Inside the auto-EQ library only: the continuous least-squares problem behind a fit and
// the optimiser that solves it. Bands are solved in log-frequency, dB and log-Q, so one
// step means the same at 20 Hz as at 20 kHz, and every parameter has a box bound.
#include <vector>

namespace dsptune::autoeq_detail {

struct BandParams {
  int type = 1;         // kFilterPeq, kFilterLowShelf or kFilterHighShelf
  double logHz = 0.0;   // natural log of the frequency in Hz
  double gainDb = 0.0;
  double logQ = 0.0;    // natural log of Q
};

struct BandProblem {
  std::vector<double> phi;     // BiquadPhi of every fit point at kDeviceSampleRate
  std::vector<double> wanted;  // dB the solved bands should add at each point
  double lowHz = 20.0, highHz = 20000.0;  // frequency bounds (whole hertz)
  double minGainDb = -15.0, maxGainDb = 0.0;
  // The boost limit holds the summed bands too, not only each band: several bands at the
  // limit stacked into a deep null would otherwise boost far beyond it. Above maxGainDb
  // (when it is > 0) each point adds boostWeight · excess as one more residual.
  double boostWeight = 10.0;
  // Level (dB) of bands placed already but not being solved: taken out of `wanted`, yet
  // still part of the sum the boost limit holds. Empty: none.
  std::vector<double> heldDb;
};

// The band's bounds in solver units: {logHz, gain, logQ} low and high.
void BandBounds(const BandProblem& problem, int type, double low[3], double high[3]);
// Moves a band inside its bounds.
void ClampBand(const BandProblem& problem, BandParams& band);

// Adds the band's magnitude (dB), designed with DesignBiquad at kDeviceSampleRate, at
// every point of the problem to `out`.
void AddBandDb(const BandProblem& problem, int type, double hz, double gainDb, double q, std::vector<double>& out);

// Sum of squared differences between the bands' summed response and problem.wanted, plus
// the squared boost-limit residuals.
double SquaredError(const BandProblem& problem, const std::vector<BandParams>& bands);
// The same for a summed response already computed at every point.
double SquaredErrorOfSum(const BandProblem& problem, const std::vector<double>& sum);

// Bounded Levenberg-Marquardt on all bands at once; the types stay. With holdFrequency
// each band keeps its frequency and only gain and Q move. Returns the squared error.
double RefineBands(const BandProblem& problem, std::vector<BandParams>& bands, bool holdFrequency = false,
                   int maxIterations = 100);

}  // namespace dsptune::autoeq_detail
