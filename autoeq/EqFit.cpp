#include "autoeq/EqFit.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "dsp/Biquad.h"
#include "dsp/FilterFile.h"  // FormatFixed

namespace dsptune {
namespace {

double RecordDb(const BandRecord& r, double phi) {
  const BiquadCoefficients c =
      DesignBiquad(r.type, double(r.frequency), double(r.GainDb()), double(r.Q()), 0.0, kDeviceSampleRate);
  return BiquadMagnitudeDbAtPhi(c, phi);
}

std::string Hz(double v) { return FormatFixed(v, v < 100.0 ? 1 : 0); }

FitResult Failed(BilingualText error) {
  FitResult r;
  r.error = std::move(error);
  return r;
}

}  // namespace

BandRecord FlatBandRecord(int hz) {
  BandRecord r;
  r.gainField = 150;
  r.frequency = std::uint16_t(std::clamp(hz, 20, 20000));
  r.qField = 1410;
  r.type = 1;
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

FitResult FitEq(const Measurement& measurement, const Target& target, const FitSetup& setup,
                const FitOptions& options) {
  const double lo = options.lowHz, hi = options.highHz;
  if (!(lo >= kFitMinHz && hi <= kFitMaxHz && lo < hi))
    return Failed({"拟合范围须在20–20000 Hz之内且下限低于上限", "the fit range must lie within 20..20000 Hz, low below high"});
  if (!Covers(measurement, lo, hi))
    return Failed({"测量只覆盖" + Hz(measurement.LowestHz()) + "–" + Hz(measurement.HighestHz()) + " Hz，未覆盖拟合范围" +
                       Hz(lo) + "–" + Hz(hi) + " Hz",
                   "the measurement covers only " + Hz(measurement.LowestHz()) + "-" + Hz(measurement.HighestHz()) +
                       " Hz, not the fit range " + Hz(lo) + "-" + Hz(hi) + " Hz"});
  const int inside = int(std::count_if(measurement.frequencyHz.begin(), measurement.frequencyHz.end(),
                                       [&](double f) { return f >= lo && f <= hi; }));
  if (inside < kMinMeasurementPoints)
    return Failed({"拟合范围内只有" + std::to_string(inside) + "个测量点", "only " + std::to_string(inside) +
                                                                       " measurement points in the fit range"});
  if (setup.freeSlots.empty()) return Failed({"没有可拟合的频段", "no band is free for the fit"});

  FitResult r;
  r.ok = true;
  r.eq = setup.eq;
  r.lowHz = lo;
  r.highHz = hi;
  r.maxBoostDb = options.maxBoostDb;
  r.chainName = setup.chainName;
  r.notes = setup.notes;
  const int perOctave = std::max(options.pointsPerOctave, 1);
  const int steps = std::max(1, int(std::ceil(std::log2(hi / lo) * perOctave)));
  FitCurves& c = r.curves;
  std::vector<BandRecord> fixed;
  for (const FixedBand& b : setup.fixed) fixed.push_back(b.record);
  for (int i = 0; i <= steps; ++i) c.frequencyHz.push_back(lo * std::pow(hi / lo, double(i) / steps));
  const std::vector<double> fixedDb = BandRecordsResponseDb(fixed, c.frequencyHz);
  r.alignLowHz = options.alignLowHz > 0.0 ? options.alignLowHz : lo;
  r.alignHighHz = options.alignHighHz > 0.0 ? options.alignHighHz : hi;
  double sum = 0.0;
  int n = 0;
  for (double f = r.alignLowHz; f <= r.alignHighHz * 1.0000001; f *= std::exp2(1.0 / perOctave), ++n)
    sum += TargetLevelDb(target, f) - LevelAt(measurement, f);
  r.alignmentDb = n > 0 ? sum / n : 0.0;
  for (std::size_t i = 0; i < c.frequencyHz.size(); ++i) {
    const double f = c.frequencyHz[i];
    c.measurementDb.push_back(LevelAt(measurement, f) + r.alignmentDb + fixedDb[i]);
    c.targetDb.push_back(TargetLevelDb(target, f));
  }
  std::vector<BandRecord> records;
  for (int slot : setup.freeSlots) {
    FittedBand b;
    b.slot = slot;
    b.record = FlatBandRecord(1000);
    r.bands.push_back(b);
    records.push_back(b.record);
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
  (void)RecordDb;
  return r;
}

}  // namespace dsptune
