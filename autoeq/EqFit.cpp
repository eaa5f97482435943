#include "autoeq/EqFit.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "autoeq/BandSolver.h"
#include "dsp/Biquad.h"
#include "model/EqBandStore.h"

namespace dsptune {
namespace {

using autoeq_detail::BandParams;
using autoeq_detail::BandProblem;

// A band is added only while it lowers the mean squared deviation by at least this
// (dB²) and by this share of it: where the rest cannot be helped (a dip with cuts only)
// a string of narrow bands each shaving a little off would be noise, not correction.
constexpr double kWorthABand = 1e-4, kWorthABandShare = 0.01;
// Candidate places tried for each new band: the largest deviation areas of the residual.
constexpr int kPeakCandidates = 3;
constexpr int kPolishPasses = 4;
// Optimiser iterations: to compare candidate places, to settle one new band, for the
// joint refinement after every few bands, and for the final joint refinement.
constexpr int kScreeningSteps = 5, kBandSteps = 15, kBandsBetweenJointSteps = 4, kFinalSteps = 60;

FitResult Failed(BilingualText error) {
  FitResult r;
  r.error = std::move(error);
  return r;
}

// lo·(hi/lo)^(i/steps), steps = ceil(octaves · perOctave): both ends on the grid.
std::vector<double> LogGrid(double lo, double hi, int perOctave) {
  const int steps = std::max(1, int(std::ceil(std::log2(hi / lo) * perOctave - 1e-9)));
  std::vector<double> grid;
  for (int i = 0; i <= steps; ++i) grid.push_back(lo * std::pow(hi / lo, double(i) / steps));
  return grid;
}

void AddRecordDb(const BandProblem& p, const BandRecord& r, double sign, std::vector<double>& out) {
  const BiquadCoefficients c =
      DesignBiquad(r.type, double(r.frequency), double(r.GainDb()), double(r.Q()), 0.0, kDeviceSampleRate);
  for (std::size_t i = 0; i < p.phi.size(); ++i) out[i] += sign * BiquadMagnitudeDbAtPhi(c, p.phi[i]);
}

// Peaking bands where the residual has the largest areas of one sign (a cut where the
// room is too loud; a boost only when boosts are allowed), centred on the largest
// deviation with a Q from the width at half of it.
std::vector<BandParams> PeakCandidates(const BandProblem& p, const std::vector<double>& residual,
                                       const std::vector<double>& hz) {
  struct Run {
    std::size_t from, to;
    double area;
  };
  std::vector<Run> runs;
  const std::size_t n = residual.size();
  for (std::size_t i = 0; i < n;) {
    const bool negative = residual[i] < 0.0;
    std::size_t j = i;
    double area = 0.0;
    while (j < n && (residual[j] < 0.0) == negative) area += std::fabs(residual[j++]);
    if (negative || p.maxGainDb > 0.0) runs.push_back({i, j, area});
    i = j;
  }
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.area > b.area; });
  std::vector<BandParams> out;
  for (std::size_t r = 0; r < runs.size() && int(out.size()) < kPeakCandidates; ++r) {
    std::size_t peak = runs[r].from;
    for (std::size_t i = runs[r].from; i < runs[r].to; ++i)
      if (std::fabs(residual[i]) > std::fabs(residual[peak])) peak = i;
    const double half = std::fabs(residual[peak]) / 2.0;
    std::size_t left = peak, right = peak;
    while (left > runs[r].from && std::fabs(residual[left - 1]) > half) --left;
    while (right + 1 < runs[r].to && std::fabs(residual[right + 1]) > half) ++right;
    const double octaves = std::max(std::log2(hz[right] / hz[left]), 1.0 / 48.0);
    const double q = std::sqrt(std::exp2(octaves)) / (std::exp2(octaves) - 1.0);
    BandParams b{kFilterPeq, std::log(hz[peak]), residual[peak], std::log(q)};
    autoeq_detail::ClampBand(p, b);
    out.push_back(b);
  }
  return out;
}

// Shelves at both ends of the range, at the mean residual of the end octave.
std::vector<BandParams> ShelfCandidates(const BandProblem& p, const std::vector<double>& residual,
                                        const std::vector<double>& hz) {
  std::vector<BandParams> out;
  if (std::log2(hz.back() / hz.front()) < 2.0) return out;
  double low = 0.0, high = 0.0;
  int nLow = 0, nHigh = 0;
  for (std::size_t i = 0; i < hz.size(); ++i) {
    if (hz[i] <= hz.front() * 2.0) low += residual[i], ++nLow;
    if (hz[i] >= hz.back() / 2.0) high += residual[i], ++nHigh;
  }
  BandParams ls{kFilterLowShelf, std::log(hz.front() * 2.0), low / std::max(nLow, 1), std::log(0.707)};
  BandParams hs{kFilterHighShelf, std::log(hz.back() / 2.0), high / std::max(nHigh, 1), std::log(0.707)};
  for (BandParams b : {ls, hs}) {
    autoeq_detail::ClampBand(p, b);
    if (b.gainDb != 0.0) out.push_back(b);
  }
  return out;
}

// Bands placed one at a time where the remaining deviation is largest, each refined on
// its own, all refined together after every few.
std::vector<BandParams> PlaceBands(const BandProblem& p, const std::vector<double>& hz, int count,
                                   bool allowShelves) {
  std::vector<BandParams> bands;
  std::vector<double> current(p.phi.size(), 0.0);
  double error = autoeq_detail::SquaredErrorOfSum(p, current);
  const double worth = kWorthABand * double(p.phi.size());
  for (int k = 0; k < count; ++k) {
    BandProblem single = p;
    for (std::size_t i = 0; i < single.wanted.size(); ++i) single.wanted[i] = p.wanted[i] - current[i];
    single.heldDb = current;
    std::vector<BandParams> candidates = PeakCandidates(p, single.wanted, hz);
    if (allowShelves) {
      const std::vector<BandParams> shelves = ShelfCandidates(p, single.wanted, hz);
      candidates.insert(candidates.end(), shelves.begin(), shelves.end());
    }
    // A few steps tell the candidates apart; only the best one is taken further.
    double best = error;
    std::vector<BandParams> chosen;
    for (const BandParams& c : candidates) {
      std::vector<BandParams> one{c};
      const double e = autoeq_detail::RefineBands(single, one, false, kScreeningSteps);
      if (e < best) {
        best = e;
        chosen = one;
      }
    }
    if (chosen.empty()) break;
    if (autoeq_detail::RefineBands(single, chosen, false, kBandSteps) > error - std::max(worth, kWorthABandShare * error))
      break;
    bands.push_back(chosen.front());
    if (bands.size() % kBandsBetweenJointSteps == 0) autoeq_detail::RefineBands(p, bands, false, kBandSteps);
    std::fill(current.begin(), current.end(), 0.0);
    for (const BandParams& b : bands)
      autoeq_detail::AddBandDb(p, b.type, std::exp(b.logHz), b.gainDb, std::exp(b.logQ), current);
    error = autoeq_detail::SquaredErrorOfSum(p, current);
  }
  autoeq_detail::RefineBands(p, bands, false, kFinalSteps);
  return bands;
}

struct FieldLimits {
  int lowHz, highHz;
  int minGain, maxGain;  // gain fields
};

int MaxQField(int type) { return type == kFilterPeq ? int(std::lround(kFitMaxPeakQ * 1000)) : int(std::lround(kFitMaxShelfQ * 1000)); }

BandRecord Quantised(const BandParams& b, const FieldLimits& l) {
  BandRecord r;
  r.type = std::uint8_t(b.type);
  r.frequency = std::uint16_t(std::clamp(int(std::lround(std::exp(b.logHz))), l.lowHz, l.highHz));
  r.gainField = std::uint16_t(std::clamp(int(std::lround((b.gainDb + kFitMaxGainDb) * 10.0)), l.minGain, l.maxGain));
  r.qField = std::uint16_t(std::clamp(int(std::lround(std::exp(b.logQ) * 1000.0)), 100, MaxQField(b.type)));
  return r;
}

// Each band's fields moved one step at a time while that lowers the deviation: the
// continuous optimum rounded to the device's steps is not always the best storable band.
void PolishRecords(const BandProblem& p, const FieldLimits& l, std::vector<BandRecord>& records) {
  std::vector<double> sum(p.phi.size(), 0.0);
  for (const BandRecord& r : records) AddRecordDb(p, r, 1.0, sum);
  double error = autoeq_detail::SquaredErrorOfSum(p, sum);
  std::vector<double> without(p.phi.size()), trial(p.phi.size());
  for (int pass = 0; pass < kPolishPasses; ++pass) {
    bool moved = false;
    for (BandRecord& r : records) {
      without = sum;
      AddRecordDb(p, r, -1.0, without);
      const int qStep = std::max(1, int(r.qField) / 100);
      const int moves[][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, qStep}, {0, 0, -qStep},
                              {0, 0, 1}, {0, 0, -1}};
      for (const auto& m : moves) {
        BandRecord c = r;
        const int hz = int(r.frequency) + m[0], gain = int(r.gainField) + m[1], q = int(r.qField) + m[2];
        if (hz < l.lowHz || hz > l.highHz || gain < l.minGain || gain > l.maxGain || q < 100 || q > MaxQField(r.type))
          continue;
        c.frequency = std::uint16_t(hz);
        c.gainField = std::uint16_t(gain);
        c.qField = std::uint16_t(q);
        trial = without;
        AddRecordDb(p, c, 1.0, trial);
        const double e = autoeq_detail::SquaredErrorOfSum(p, trial);
        if (e < error) {
          error = e;
          r = c;
          sum = trial;
          moved = true;
          without = sum;
          AddRecordDb(p, r, -1.0, without);
        }
      }
    }
    if (!moved) break;
  }
}

std::vector<FitLimit> LimitsOf(const BandRecord& r, const FieldLimits& l) {
  std::vector<FitLimit> out;
  if (r.frequency == l.lowHz) out.push_back(FitLimit::kFrequencyLow);
  if (r.frequency == l.highHz) out.push_back(FitLimit::kFrequencyHigh);
  if (r.gainField == l.minGain) out.push_back(FitLimit::kGainCut);
  if (r.gainField == l.maxGain) out.push_back(FitLimit::kGainBoost);
  if (r.qField == 100) out.push_back(FitLimit::kQLow);
  if (r.qField == MaxQField(r.type)) out.push_back(FitLimit::kQHigh);
  return out;
}

int DefaultHz(int eq, int slot) {
  const auto defaults = DefaultEqFrequencies(eq);
  return slot >= 0 && std::size_t(slot) < defaults.size() ? defaults[std::size_t(slot)] : 1000;
}

}  // namespace

BandRecord FlatBandRecord(int hz) {
  BandRecord r;
  r.gainField = 150;
  r.frequency = std::uint16_t(std::clamp(hz, 20, 20000));
  r.qField = std::uint16_t(std::lround(kDefaultBandQ * 1000.0f));
  r.type = std::uint8_t(kFilterPeq);
  return r;
}

std::vector<double> BandRecordsResponseDb(const std::vector<BandRecord>& records, const std::vector<double>& hz) {
  std::vector<double> out(hz.size(), 0.0);
  for (const BandRecord& r : records) {
    const BiquadCoefficients c =
        DesignBiquad(r.type, double(r.frequency), double(r.GainDb()), double(r.Q()), 0.0, kDeviceSampleRate);
    for (std::size_t i = 0; i < hz.size(); ++i) out[i] += BiquadMagnitudeDb(c, hz[i], kDeviceSampleRate);
  }
  return out;
}

namespace {

// The EQ as it will play: the fitted bands and the EQ's own bands kept beside them.
std::vector<BandRecord> WholeEq(const std::vector<BandRecord>& fitted, const FitSetup& setup) {
  std::vector<BandRecord> all = fitted;
  for (const FixedBand& b : setup.fixed)
    if (b.eq == setup.eq) all.push_back(b.record);
  return all;
}

// Where the EQ's largest boost is looked for: the audio band, and every band's own
// frequency, where a narrow peak is.
std::vector<double> BoostProbe(const std::vector<BandRecord>& bands) {
  std::vector<double> probe = LogGrid(kFitMinHz, kFitMaxHz, 96);
  for (const BandRecord& b : bands) probe.push_back(b.frequency);
  return probe;
}

// The solver holds the boost limit on the bands' sum as a penalty, and the storable
// 0.1 dB steps can add to it, so the stored bands may boost a little beyond the limit
// (3.1 dB for a 3 dB limit). Takes the band that adds most where the EQ boosts most down
// a step at a time until the whole EQ, as stored, keeps to the limit.
void HoldBoostLimit(std::vector<BandRecord>& records, const FitSetup& setup, double maxBoostDb) {
  constexpr double kShown = 0.05;  // the report shows tenths: a limit of 3.0 dB allows 3.04
  constexpr int kMaxSteps = 2000;  // 15 bands from +15 dB down to 0 in tenths is 2250 at worst
  for (int step = 0; step < kMaxSteps; ++step) {
    const std::vector<BandRecord> all = WholeEq(records, setup);
    const std::vector<double> probe = BoostProbe(all);
    const std::vector<double> levels = BandRecordsResponseDb(all, probe);
    const auto peak = std::max_element(levels.begin(), levels.end());
    if (peak == levels.end() || *peak < maxBoostDb + kShown) return;
    const std::vector<double> at{probe[std::size_t(peak - levels.begin())]};
    BandRecord* loudest = nullptr;
    double most = 0.0;
    for (BandRecord& b : records) {
      if (b.gainField <= 150) continue;  // a cut or a flat band adds no boost to lower
      const double own = BandRecordsResponseDb({b}, at)[0];
      if (own > most) {
        most = own;
        loudest = &b;
      }
    }
    if (!loudest) return;  // the boost is the kept bands' own: nothing fitted to lower
    --loudest->gainField;
  }
}

}  // namespace

FitResult FitEq(const Measurement& measurement, const Target& target, const FitSetup& setup,
                const FitOptions& options, const std::vector<BilingualText>& preparationNotes) {
  const double lo = options.lowHz, hi = options.highHz;
  if (!(lo >= kFitMinHz && hi <= kFitMaxHz && lo < hi))
    return Failed({"拟合范围须在20–20000 Hz之内且下限低于上限", "the fit range must lie within 20..20000 Hz, low below high"});
  if (!Covers(measurement, lo, hi))
    return Failed({"测量只覆盖" + HzText(measurement.LowestHz()) + "–" + HzText(measurement.HighestHz()) + " Hz，未覆盖拟合范围" +
                       HzText(lo) + "–" + HzText(hi) + " Hz",
                   "the measurement covers only " + HzText(measurement.LowestHz()) + "-" + HzText(measurement.HighestHz()) +
                       " Hz, not the fit range " + HzText(lo) + "-" + HzText(hi) + " Hz"});
  const int inside = int(std::count_if(measurement.frequencyHz.begin(), measurement.frequencyHz.end(),
                                       [&](double f) { return f >= lo && f <= hi; }));
  if (inside < kMinMeasurementPoints)
    return Failed({"拟合范围内只有" + std::to_string(inside) + "个测量点，至少需要" + std::to_string(kMinMeasurementPoints) + "个",
                   "only " + std::to_string(inside) + " measurement points in the fit range; at least " +
                       std::to_string(kMinMeasurementPoints) + " are needed"});
  if (target.kind == TargetKind::kFile && !Covers(target.curve, lo, hi))
    return Failed({"目标曲线未覆盖拟合范围" + HzText(lo) + "–" + HzText(hi) + " Hz",
                   "the target curve does not cover the fit range " + HzText(lo) + "-" + HzText(hi) + " Hz"});
  if (setup.freeSlots.empty()) return Failed({"没有可拟合的频段", "no band is free for the fit"});
  const double alignLo = options.alignLowHz > 0.0 ? options.alignLowHz : lo;
  const double alignHi = options.alignHighHz > 0.0 ? options.alignHighHz : hi;
  if (!(alignLo < alignHi) || !Covers(measurement, alignLo, alignHi))
    return Failed({"对齐范围" + HzText(alignLo) + "–" + HzText(alignHi) + " Hz不在测量范围内",
                   "the alignment range " + HzText(alignLo) + "-" + HzText(alignHi) + " Hz is not inside the measurement"});

  FitResult r;
  r.ok = true;
  r.eq = setup.eq;
  r.lowHz = lo;
  r.highHz = hi;
  r.maxBoostDb = std::isfinite(options.maxBoostDb) ? std::clamp(options.maxBoostDb, 0.0, kFitMaxGainDb) : 0.0;
  r.chainName = setup.chainName;
  r.targetName = TargetName(target);
  r.notes = preparationNotes;
  r.notes.insert(r.notes.end(), setup.notes.begin(), setup.notes.end());
  r.alignLowHz = alignLo;
  r.alignHighHz = alignHi;
  const int perOctave = std::clamp(options.pointsPerOctave, 1, 960);

  // Aligned is what plays before the fitted bands: the measurement through the fixed
  // bands (a chain's crossover moves the mean as much as the room does).
  std::vector<BandRecord> fixed;
  for (const FixedBand& b : setup.fixed) fixed.push_back(b.record);
  double offset = 0.0;
  const std::vector<double> alignGrid = LogGrid(alignLo, alignHi, perOctave);
  const std::vector<double> alignFixedDb = BandRecordsResponseDb(fixed, alignGrid);
  for (std::size_t i = 0; i < alignGrid.size(); ++i)
    offset += TargetLevelDb(target, alignGrid[i]) - LevelAt(measurement, alignGrid[i]) - alignFixedDb[i];
  r.alignmentDb = offset / double(alignGrid.size());

  FitCurves& c = r.curves;
  c.frequencyHz = LogGrid(lo, hi, perOctave);
  const std::vector<double> fixedDb = BandRecordsResponseDb(fixed, c.frequencyHz);
  BandProblem problem;
  for (std::size_t i = 0; i < c.frequencyHz.size(); ++i) {
    const double f = c.frequencyHz[i];
    c.measurementDb.push_back(LevelAt(measurement, f) + r.alignmentDb + fixedDb[i]);
    c.targetDb.push_back(TargetLevelDb(target, f));
    problem.phi.push_back(BiquadPhi(f, kDeviceSampleRate));
    problem.wanted.push_back(c.targetDb[i] - c.measurementDb[i]);
  }
  FieldLimits limits;
  limits.lowHz = int(std::ceil(std::max(lo, kFitMinHz) - 1e-9));
  limits.highHz = std::max(limits.lowHz, int(std::floor(std::min(hi, kFitMaxHz) + 1e-9)));
  limits.minGain = 0;
  limits.maxGain = 150 + int(std::floor(r.maxBoostDb * 10.0 + 1e-9));
  problem.lowHz = limits.lowHz;
  problem.highHz = std::max(double(limits.highHz), problem.lowHz + 1e-6);
  problem.minGainDb = -kFitMaxGainDb;
  problem.maxGainDb = (limits.maxGain - 150) / 10.0;

  const int slots = int(setup.freeSlots.size());
  const int count = options.bands < 0 ? slots : std::min(options.bands, slots);
  std::vector<BandParams> bands = PlaceBands(problem, c.frequencyHz, count, options.allowShelves);
  // Whole hertz first, then gain and Q again around them, then the storable steps.
  for (BandParams& b : bands) b.logHz = std::log(std::clamp(std::round(std::exp(b.logHz)), problem.lowHz, problem.highHz));
  autoeq_detail::RefineBands(problem, bands, true, 50);
  std::vector<BandRecord> records;
  for (const BandParams& b : bands) records.push_back(Quantised(b, limits));
  PolishRecords(problem, limits, records);
  HoldBoostLimit(records, setup, problem.maxGainDb);
  // A band that ends at 0 dB (peaking or shelf) plays nothing: the slot stays flat.
  records.erase(std::remove_if(records.begin(), records.end(), [](const BandRecord& b) { return b.gainField == 150; }),
                records.end());
  std::stable_sort(records.begin(), records.end(),
                   [](const BandRecord& a, const BandRecord& b) { return a.frequency < b.frequency; });
  for (int s = 0; s < slots; ++s) {
    FittedBand band;
    band.slot = setup.freeSlots[std::size_t(s)];
    if (std::size_t(s) < records.size()) {
      band.record = records[std::size_t(s)];
      band.used = true;
      band.limits = LimitsOf(band.record, limits);
    } else {
      band.record = FlatBandRecord(DefaultHz(setup.eq, band.slot));
    }
    r.bands.push_back(band);
  }

  c.eqDb = BandRecordsResponseDb(records, c.frequencyHz);
  double before = 0.0, after = 0.0;
  for (std::size_t i = 0; i < c.frequencyHz.size(); ++i) {
    c.predictedDb.push_back(c.measurementDb[i] + c.eqDb[i]);
    const double d0 = c.measurementDb[i] - c.targetDb[i], d1 = c.predictedDb[i] - c.targetDb[i];
    before += d0 * d0;
    after += d1 * d1;
    r.maxBeforeDb = std::max(r.maxBeforeDb, std::fabs(d0));
    r.maxAfterDb = std::max(r.maxAfterDb, std::fabs(d1));
  }
  r.rmsBeforeDb = std::sqrt(before / double(c.frequencyHz.size()));
  r.rmsAfterDb = std::sqrt(after / double(c.frequencyHz.size()));

  // The whole EQ as it will play (the fitted bands and the EQ's own bands kept beside
  // them) over the audio band and at every band's own frequency, where a narrow peak is.
  const std::vector<BandRecord> eqBands = WholeEq(records, setup);
  for (double level : BandRecordsResponseDb(eqBands, BoostProbe(eqBands))) r.peakBoostDb = std::max(r.peakBoostDb, level);
  if (r.peakBoostDb >= 0.05) r.suggestedPreampDb = -std::ceil(r.peakBoostDb * 10.0 - 1e-9) / 10.0;
  else r.peakBoostDb = 0.0;
  return r;
}

FitCurves FitCurvesAt(const FitResult& result, const Measurement& measurement, const Target& target,
                      const FitSetup& setup, const std::vector<double>& hz) {
  FitCurves c;
  c.frequencyHz = hz;
  std::vector<BandRecord> fixed, fitted;
  for (const FixedBand& b : setup.fixed) fixed.push_back(b.record);
  for (const FittedBand& b : result.bands)
    if (b.used) fitted.push_back(b.record);
  const std::vector<double> fixedDb = BandRecordsResponseDb(fixed, hz);
  c.eqDb = BandRecordsResponseDb(fitted, hz);
  for (std::size_t i = 0; i < hz.size(); ++i) {
    c.measurementDb.push_back(LevelAt(measurement, hz[i]) + result.alignmentDb + fixedDb[i]);
    c.targetDb.push_back(TargetLevelDb(target, hz[i]));
    c.predictedDb.push_back(c.measurementDb[i] + c.eqDb[i]);
  }
  return c;
}

}  // namespace dsptune
