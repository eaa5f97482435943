#include "autoeq/BandSolver.h"

// Ceres rather than NLopt or Eigen's LevenbergMarquardt: a fit is a bounded nonlinear
// least-squares problem (one residual per frequency, box limits on every band's
// frequency, gain and Q), which is what Ceres's trust-region Levenberg-Marquardt with
// parameter bounds solves directly. NLopt's bounded methods minimise the summed error as
// one number and converge more slowly on a least-squares problem; Eigen's solver has no
// bounds. Ceres stays behind this file: no other part of the program sees its types.
#include <ceres/ceres.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "dsp/Biquad.h"

namespace dsptune::autoeq_detail {
namespace {

constexpr double kMinQ = 0.1, kMaxPeakQ = 30.0, kMaxShelfQ = 0.707;
// Difference steps in solver units: small against any change that matters, large against
// double rounding of the designer's coefficients.
constexpr double kStep[3] = {1e-6, 1e-5, 1e-6};

void BandDb(const BandProblem& p, int type, const double* x, double* out) {
  const BiquadCoefficients c = DesignBiquad(type, std::exp(x[0]), x[1], std::exp(x[2]), 0.0, kDeviceSampleRate);
  for (std::size_t i = 0; i < p.phi.size(); ++i) out[i] = BiquadMagnitudeDbAtPhi(c, p.phi[i]);
}

bool HoldsBoost(const BandProblem& p) { return p.maxGainDb > 0.0 && p.boostWeight > 0.0; }

double BoostPenalty(const BandProblem& p, const std::vector<double>& sum) {
  if (!HoldsBoost(p)) return 0.0;
  double e = 0.0;
  for (std::size_t i = 0; i < sum.size(); ++i) {
    const double level = sum[i] + (p.heldDb.empty() ? 0.0 : p.heldDb[i]);
    const double over = p.boostWeight * std::max(0.0, level - p.maxGainDb);
    e += over * over;
  }
  return e;
}

// The summed response of the bands minus the wanted curve, and the boost-limit rows. The
// designer works in double only, so derivatives are numeric (ceres::NumericDiffCostFunction
// would step every band to move one): forward differences band by band, since a band's
// parameters change only that band's curve.
class BandsCost final : public ceres::CostFunction {
 public:
  BandsCost(const BandProblem& problem, std::vector<int> types) : problem_(problem), types_(std::move(types)) {
    set_num_residuals(int(problem.phi.size()) * (HoldsBoost(problem) ? 2 : 1));
    for (int type : types_) {
      mutable_parameter_block_sizes()->push_back(3);
      double low[3], high[3];
      BandBounds(problem, type, low, high);
      high_.push_back({high[0], high[1], high[2]});
    }
  }

  bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
    const std::size_t n = problem_.phi.size();
    const std::size_t bands = types_.size();
    // Each band's curve is kept for the derivatives, which step one band at a time.
    std::vector<double> curves(bands * n), stepped(n);
    for (std::size_t i = 0; i < n; ++i) residuals[i] = -problem_.wanted[i];
    for (std::size_t k = 0; k < bands; ++k) {
      double* curve = &curves[k * n];
      BandDb(problem_, types_[k], parameters[k], curve);
      for (std::size_t i = 0; i < n; ++i) residuals[i] += curve[i];
    }
    for (std::size_t i = 0; i < n; ++i)
      if (!std::isfinite(residuals[i])) return false;
    const bool boost = HoldsBoost(problem_);
    const double w = problem_.boostWeight;
    if (boost)
      for (std::size_t i = 0; i < n; ++i)
        residuals[n + i] = w * std::max(0.0, residuals[i] + problem_.wanted[i] + Held(i) - problem_.maxGainDb);
    if (jacobians == nullptr) return true;
    for (std::size_t k = 0; k < bands; ++k) {
      double* jacobian = jacobians[k];
      if (jacobian == nullptr) continue;
      const double* curve = &curves[k * n];
      double x[3] = {parameters[k][0], parameters[k][1], parameters[k][2]};
      for (int j = 0; j < 3; ++j) {
        // A forward step, away from the nearer bound so the designer stays in its range.
        const double keep = x[j];
        const double step = keep + kStep[j] > high_[k][std::size_t(j)] ? -kStep[j] : kStep[j];
        x[j] = keep + step;
        BandDb(problem_, types_[k], x, stepped.data());
        x[j] = keep;
        for (std::size_t i = 0; i < n; ++i) {
          const double d = (stepped[i] - curve[i]) / step;
          jacobian[i * 3 + std::size_t(j)] = d;
          if (boost) jacobian[(n + i) * 3 + std::size_t(j)] = residuals[n + i] > 0.0 ? w * d : 0.0;
        }
      }
    }
    return true;
  }

 private:
  double Held(std::size_t i) const { return problem_.heldDb.empty() ? 0.0 : problem_.heldDb[i]; }

  const BandProblem& problem_;
  std::vector<int> types_;
  std::vector<std::array<double, 3>> high_;  // each band's upper bounds
};

}  // namespace

void BandBounds(const BandProblem& p, int type, double low[3], double high[3]) {
  low[0] = std::log(p.lowHz);
  high[0] = std::log(p.highHz);
  low[1] = p.minGainDb;
  high[1] = p.maxGainDb;
  low[2] = std::log(kMinQ);
  high[2] = std::log(type == kFilterPeq ? kMaxPeakQ : kMaxShelfQ);
}

void ClampBand(const BandProblem& p, BandParams& band) {
  double low[3], high[3];
  BandBounds(p, band.type, low, high);
  band.logHz = std::clamp(band.logHz, low[0], high[0]);
  band.gainDb = std::clamp(band.gainDb, low[1], high[1]);
  band.logQ = std::clamp(band.logQ, low[2], high[2]);
}

void AddBandDb(const BandProblem& p, int type, double hz, double gainDb, double q, std::vector<double>& out) {
  const BiquadCoefficients c = DesignBiquad(type, hz, gainDb, q, 0.0, kDeviceSampleRate);
  for (std::size_t i = 0; i < p.phi.size(); ++i) out[i] += BiquadMagnitudeDbAtPhi(c, p.phi[i]);
}

double SquaredError(const BandProblem& p, const std::vector<BandParams>& bands) {
  std::vector<double> sum(p.phi.size(), 0.0);
  for (const BandParams& b : bands) AddBandDb(p, b.type, std::exp(b.logHz), b.gainDb, std::exp(b.logQ), sum);
  return SquaredErrorOfSum(p, sum);
}

double SquaredErrorOfSum(const BandProblem& p, const std::vector<double>& sum) {
  double e = 0.0;
  for (std::size_t i = 0; i < sum.size(); ++i) e += (sum[i] - p.wanted[i]) * (sum[i] - p.wanted[i]);
  return e + BoostPenalty(p, sum);
}

double RefineBands(const BandProblem& p, std::vector<BandParams>& bands, bool holdFrequency, int maxIterations) {
  if (bands.empty()) return SquaredError(p, bands);
  std::vector<int> types;
  std::vector<std::array<double, 3>> x;
  for (BandParams& b : bands) {
    ClampBand(p, b);
    types.push_back(b.type);
    x.push_back({b.logHz, b.gainDb, b.logQ});
  }
  ceres::Problem::Options problemOptions;
  problemOptions.cost_function_ownership = ceres::TAKE_OWNERSHIP;
  problemOptions.manifold_ownership = ceres::TAKE_OWNERSHIP;
  ceres::Problem problem(problemOptions);
  std::vector<double*> blocks;
  for (auto& v : x) blocks.push_back(v.data());
  problem.AddResidualBlock(new BandsCost(p, types), nullptr, blocks);
  for (std::size_t k = 0; k < bands.size(); ++k) {
    double low[3], high[3];
    BandBounds(p, types[k], low, high);
    for (int j = 0; j < 3; ++j) {
      problem.SetParameterLowerBound(blocks[k], j, low[j]);
      problem.SetParameterUpperBound(blocks[k], j, high[j]);
    }
    if (holdFrequency) problem.SetManifold(blocks[k], new ceres::SubsetManifold(3, {0}));
  }
  ceres::Solver::Options options;
  options.minimizer_type = ceres::TRUST_REGION;
  options.trust_region_strategy_type = ceres::LEVENBERG_MARQUARDT;
  options.linear_solver_type = ceres::DENSE_QR;
  options.max_num_iterations = maxIterations;
  options.function_tolerance = 1e-7;  // relative change of the cost: far below 0.01 dB RMS
  options.gradient_tolerance = 1e-12;
  options.parameter_tolerance = 1e-10;
  options.num_threads = 1;
  options.logging_type = ceres::SILENT;
  options.minimizer_progress_to_stdout = false;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  for (std::size_t k = 0; k < bands.size(); ++k) {
    bands[k].logHz = x[k][0];
    bands[k].gainDb = x[k][1];
    bands[k].logQ = x[k][2];
  }
  return SquaredError(p, bands);
}

}  // namespace dsptune::autoeq_detail
