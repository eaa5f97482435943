#pragma once
// Fits the bands of one equaliser to a measurement so that measurement + EQ approaches a
// target, within what the device can store: band types "PEQ", "LS" and "HS"; frequency
// in whole hertz, 20..20000 Hz and inside the fit range; gain in 0.1 dB steps within
// ±15 dB and at most the boost limit; Q in 0.001 steps, 0.1..30 for "PEQ" and
// 0.1..0.707 for the shelves (the device takes 2, but a shelf above 0.707 overshoots the
// other way, so a cut would boost). Every band of the result is a band record as the
// device stores it, and the predicted response is designed from those records with
// DesignBiquad at kDeviceSampleRate, as the device is told to run them.
//
// Nothing here reads the device image: the caller says which slots the fit may set and
// which bands play with it unchanged (autoeq/DeviceFit.h builds that from the live
// image). Usage:
//   FitSetup setup = ...;                       // or AutoEqSetupFor(eq, options, channel)
//   FitOptions options; options.lowHz = 20; options.highHz = 300; options.maxBoostDb = 0;
//   FitResult r = FitEq(prepared, target, setup, options);
//   if (!r.ok) print(r.error[language]);
//   for (const FittedBand& b : r.bands) ... b.slot, b.record ...
//   print(FitReportText(r, language));          // autoeq/FitReport.h
#include <vector>

#include "autoeq/Measurement.h"
#include "autoeq/Target.h"
#include "model/EqLayout.h"     // BandRecord
#include "model/SettingsDiff.h"  // BilingualText

namespace dsptune {

// The device's band limits as a fit uses them.
inline constexpr double kFitMinHz = 20.0, kFitMaxHz = 20000.0;
inline constexpr double kFitMaxGainDb = 15.0;
inline constexpr double kFitMinQ = 0.1, kFitMaxPeakQ = 30.0, kFitMaxShelfQ = 0.707;
inline constexpr double kDefaultMaxBoostDb = 0.0;  // cuts only: the usual practice for room dips
inline constexpr int kDefaultFitPointsPerOctave = 48;

struct FitOptions {
  double lowHz = kFitMinHz, highHz = kFitMaxHz;  // fit range
  // Range the measurement is aligned to the target over (by mean level); 0, 0 = the fit range.
  double alignLowHz = 0.0, alignHighHz = 0.0;
  int bands = -1;                 // at most this many bands; -1 = every slot the setup frees
  double maxBoostDb = kDefaultMaxBoostDb;  // highest band gain, 0..15 dB; 0 = cuts only
  bool keepExistingBands = false; // used by AutoEqSetupFor: fit only the flat bands
  bool allowShelves = true;       // "LS"/"HS" as well as "PEQ"
  int pointsPerOctave = kDefaultFitPointsPerOctave;  // density of the fit grid
};

// A band that plays with the fit and stays as it is (a kept band, a crossover section,
// the chain before a channel EQ), as the device stores it.
struct FixedBand {
  int eq = -1;
  int slot = -1;
  BandRecord record;
};

struct FitSetup {
  int eq = -1;                     // the EQ the bands are for (reports, device glue)
  std::vector<int> freeSlots;      // band numbers the fit may set, rising
  std::vector<FixedBand> fixed;    // responses added to the measurement before fitting
  BilingualText chainName;         // "Mic A EQ → CH3 EQ" when the chain is included; empty otherwise
  std::vector<BilingualText> notes;  // what the setup decided (bands kept, crossover held ...)
};

enum class FitLimit {
  kFrequencyLow,   // at the lower end of the fit range (or 20 Hz)
  kFrequencyHigh,  // at the upper end of the fit range (or 20000 Hz)
  kGainCut,        // at -15 dB
  kGainBoost,      // at the boost limit
  kQLow,           // at 0.1
  kQHigh,          // at the type's highest Q
};

struct FittedBand {
  int slot = -1;
  BandRecord record;               // exactly what the device stores; a flat "PEQ" when unused
  bool used = false;               // false: the slot is set flat (no band was worth it)
  std::vector<FitLimit> limits;    // every limit that holds the band
};

// Curves (dB), for plots and overlays: FitResult::curves on the fit grid (48 points an
// octave over the fit range), FitCurvesAt on any frequencies.
struct FitCurves {
  std::vector<double> frequencyHz;
  std::vector<double> measurementDb;  // aligned, with the fixed bands added
  std::vector<double> targetDb;
  std::vector<double> eqDb;           // the fitted bands alone
  std::vector<double> predictedDb;    // measurementDb + eqDb
};

struct FitResult {
  bool ok = false;
  BilingualText error;
  int eq = -1;
  // One per free slot of the setup, in its order: the first min(K, slots) hold the fitted
  // bands by rising frequency, the rest are flat "PEQ" bands (used false) at the slot's
  // default frequency, so the fit replaces every free band of the EQ.
  std::vector<FittedBand> bands;
  double alignmentDb = 0.0;            // added to the measurement to meet the target's mean
  double alignLowHz = 0.0, alignHighHz = 0.0;
  double lowHz = 0.0, highHz = 0.0;    // fit range
  double maxBoostDb = 0.0;
  double rmsBeforeDb = 0.0, maxBeforeDb = 0.0;  // deviation from the target over the fit range
  double rmsAfterDb = 0.0, maxAfterDb = 0.0;
  double peakBoostDb = 0.0;            // highest level of the fitted EQ anywhere 20..20000 Hz (≥ 0)
  double suggestedPreampDb = 0.0;      // −peakBoostDb rounded down to 0.1 dB; 0 when nothing boosts
  BilingualText chainName;
  BilingualText targetName;            // TargetName(target)
  std::vector<BilingualText> notes;    // preparation notes, then the setup's, in order
  FitCurves curves;
};

// Fits. Errors (ok false, nothing fitted): the fit range is not inside 20..20000 Hz or
// is empty, the measurement does not cover it (or the alignment range) or has fewer than
// kMinMeasurementPoints points in it, the setup frees no slot, a file target does not
// cover it. `preparationNotes` (PrepareMeasurements, a target file's malformed lines)
// open the result's notes, so the report says everything that was done.
// Pure: no global state, so it may run on a worker thread (a fit takes a few hundred
// milliseconds for 15 bands over the audio band).
FitResult FitEq(const Measurement& measurement, const Target& target, const FitSetup& setup,
                const FitOptions& options, const std::vector<BilingualText>& preparationNotes = {});

// The result's curves at any frequencies (a plot over the whole measurement, the EQ
// graph's grid): the measurement aligned as the fit aligned it with the fixed bands
// added, the target, the fitted bands and their sum with the measurement. Outside the
// measurement's range its end values are held.
FitCurves FitCurvesAt(const FitResult& result, const Measurement& measurement, const Target& target,
                      const FitSetup& setup, const std::vector<double>& hz);

// The magnitude (dB) of a set of band records in series at each frequency, designed as
// the device runs them (DesignBiquad at kDeviceSampleRate, no extra gain).
std::vector<double> BandRecordsResponseDb(const std::vector<BandRecord>& records, const std::vector<double>& hz);

// A flat band record: "PEQ", 0 dB, Q 1.41 at `hz`.
BandRecord FlatBandRecord(int hz);

}  // namespace dsptune
