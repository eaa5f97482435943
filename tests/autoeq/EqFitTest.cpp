// The fit on made-up measurements: what it refuses, what it may store, what it never does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "autoeq/EqFit.h"
#include "autoeq/FitReport.h"
#include "dsp/Biquad.h"
#include "model/EqLayout.h"

namespace dsptune {
namespace {

struct Mode {
  double hz, q, db;
};

// A room: peaking-shaped modes on a flat 75 dB, 1/48 octave from 15 Hz to 22 kHz.
Measurement Room(const std::vector<Mode>& modes, double fromHz = 15.0, double toHz = 22000.0) {
  Measurement m;
  m.name = "room";
  for (double f = fromHz; f <= toHz; f *= std::exp2(1.0 / 48.0)) {
    double level = 75.0;
    for (const Mode& mode : modes)
      level += BiquadMagnitudeDb(DesignBiquad(kFilterPeq, mode.hz, mode.db, mode.q, 0.0, kDeviceSampleRate), f,
                                 kDeviceSampleRate);
    m.frequencyHz.push_back(f);
    m.levelDb.push_back(level);
  }
  return m;
}

FitSetup Slots(int count) {
  FitSetup setup;
  setup.eq = kEqMicA;
  for (int b = 0; b < count; ++b) setup.freeSlots.push_back(b);
  return setup;
}

FitOptions Options(double lo, double hi, double maxBoost) {
  FitOptions o;
  o.lowHz = lo;
  o.highHz = hi;
  o.maxBoostDb = maxBoost;
  return o;
}

std::vector<BandRecord> UsedRecords(const FitResult& r) {
  std::vector<BandRecord> out;
  for (const FittedBand& b : r.bands)
    if (b.used) out.push_back(b.record);
  return out;
}

// The EQ's level on a dense sweep of the audio band and at each band's own frequency.
double HighestLevelDb(const std::vector<BandRecord>& records) {
  std::vector<double> hz;
  for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 192.0)) hz.push_back(f);
  for (const BandRecord& r : records) hz.push_back(r.frequency);
  const std::vector<double> db = BandRecordsResponseDb(records, hz);
  return *std::max_element(db.begin(), db.end());
}

const Target kFlat{};

TEST(EqFitTest, RefusesWhatItCannotFitHonestly) {
  const Measurement room = Room({{60, 5, 6}}, 15.0, 1000.0);
  Measurement sparse;  // 1/3 octave: too few points in 100..200 Hz
  for (double f = 20.0; f < 20000.0; f *= std::exp2(1.0 / 3.0)) {
    sparse.frequencyHz.push_back(f);
    sparse.levelDb.push_back(70.0);
  }
  Target shortTarget;
  shortTarget.kind = TargetKind::kFile;
  shortTarget.curve = Room({}, 100.0, 500.0);
  FitOptions badAlign = Options(20, 300, 0);
  badAlign.alignLowHz = 500;
  badAlign.alignHighHz = 5000;
  const struct {
    const char* name;
    const Measurement& m;
    const Target& target;
    FitSetup setup;
    FitOptions options;
    const char* english;  // a word of the error
  } rows[] = {
      {"range below 20 Hz", room, kFlat, Slots(5), Options(10, 300, 0), "20..20000"},
      {"range upside down", room, kFlat, Slots(5), Options(300, 100, 0), "low below high"},
      {"range not covered", room, kFlat, Slots(5), Options(20, 2000, 0), "covers only"},
      {"too few points in range", sparse, kFlat, Slots(5), Options(100, 200, 0), "measurement points"},
      {"no free slot", room, kFlat, Slots(0), Options(20, 300, 0), "no band"},
      {"target file too short", room, shortTarget, Slots(5), Options(20, 300, 0), "target curve"},
      {"alignment range not measured", room, kFlat, Slots(5), badAlign, "alignment range"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FitResult r = FitEq(row.m, row.target, row.setup, row.options);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.bands.empty());
    EXPECT_NE(r.error[kTextEnglish].find(row.english), std::string::npos) << r.error[kTextEnglish];
    EXPECT_FALSE(r.error[kTextChinese].empty());
    EXPECT_NE(FitReportText(r, kTextEnglish).find(r.error[kTextEnglish]), std::string::npos);
  }
}

TEST(EqFitTest, EveryBandIsStoredExactlyAsPredictedWithinTheDeviceLimits) {
  const Measurement room = Room({{23, 20, 9}, {45, 4, 8}, {80, 7, -6}, {350, 3, 3}, {2500, 3, 4}, {9000, 0.8, -5},
                                 {19000, 2, 6}});
  const FitResult r = FitEq(room, kFlat, Slots(15), Options(20, 20000, 6));
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.bands.size(), 15u);
  std::vector<BandRecord> used;
  for (const FittedBand& b : r.bands) {
    SCOPED_TRACE(b.slot);
    std::array<std::uint8_t, kBandRecordSize> bytes{};
    EncodeBandRecordBytes(b.record, bytes.data());
    const BandRecord back = DecodeBandRecord(bytes.data());
    EXPECT_EQ(back.gainField, b.record.gainField);
    EXPECT_EQ(back.frequency, b.record.frequency);
    EXPECT_EQ(back.qField, b.record.qField);
    EXPECT_EQ(back.type, b.record.type);
    // The editors' own encoding of the decoded values gives the same fields.
    const BandRecord edited = MakeBandRecord(b.record.GainDb(), b.record.frequency, b.record.Q(), b.record.type);
    EXPECT_EQ(edited.gainField, b.record.gainField);
    EXPECT_EQ(edited.frequency, b.record.frequency);
    EXPECT_TRUE(b.record.type == kFilterPeq || b.record.type == kFilterLowShelf || b.record.type == kFilterHighShelf);
    EXPECT_GE(b.record.frequency, 20);
    EXPECT_LE(b.record.frequency, 20000);
    EXPECT_LE(b.record.GainDb(), 6.0f + 1e-4f);
    EXPECT_GE(b.record.GainDb(), -15.0f - 1e-4f);
    EXPECT_GE(b.record.qField, 100);
    EXPECT_LE(b.record.qField, b.record.type == kFilterPeq ? 30000 : 707);
    if (b.used) used.push_back(b.record);
  }
  EXPECT_GE(used.size(), 7u);
  // The predicted curve is the designer's response of exactly these records.
  const std::vector<double> eq = BandRecordsResponseDb(used, r.curves.frequencyHz);
  for (std::size_t i = 0; i < eq.size(); ++i) {
    double sum = 0.0;
    for (const BandRecord& b : used)
      sum += BiquadMagnitudeDb(DesignBiquad(b.type, b.frequency, b.GainDb(), b.Q(), 0.0, kDeviceSampleRate),
                               r.curves.frequencyHz[i], kDeviceSampleRate);
    EXPECT_EQ(r.curves.eqDb[i], sum);
    EXPECT_DOUBLE_EQ(r.curves.predictedDb[i], r.curves.measurementDb[i] + sum);
  }
  EXPECT_LT(r.rmsAfterDb, 0.35 * r.rmsBeforeDb);
  EXPECT_LT(r.maxAfterDb, r.maxBeforeDb);
}

TEST(EqFitTest, CutsOnlyNeverBoostsAndADeepNullGetsNoHugeBoost) {
  // A −30 dB null at 88 Hz among peaks: least squares alone would pour gain into it.
  const Measurement room = Room({{47, 6, 7}, {88, 12, -30}, {125, 6, 6}, {190, 4, 4}, {900, 1, -4}, {5000, 0.7, 5}});
  for (double maxBoost : {0.0, 3.0}) {
    for (const auto& range : {std::array<double, 2>{20, 300}, std::array<double, 2>{20, 20000}}) {
      SCOPED_TRACE(std::to_string(maxBoost) + " dB boost, up to " + std::to_string(range[1]) + " Hz");
      const FitResult r = FitEq(room, kFlat, Slots(10), Options(range[0], range[1], maxBoost));
      ASSERT_TRUE(r.ok);
      for (const FittedBand& b : r.bands) EXPECT_LE(b.record.GainDb(), maxBoost + 1e-4);
      const double highest = HighestLevelDb(UsedRecords(r));
      if (maxBoost == 0.0) {
        EXPECT_LE(highest, 1e-9);
        EXPECT_EQ(r.peakBoostDb, 0.0);
        EXPECT_EQ(r.suggestedPreampDb, 0.0);
      } else {
        // The limit holds the stored bands' sum, not only each band, as the report shows
        // it in tenths (a 1/192-octave probe may find a hair more than the fit's own).
        EXPECT_LE(highest, maxBoost + 0.06);
        EXPECT_NEAR(r.peakBoostDb, highest, 0.05);
        EXPECT_LE(r.suggestedPreampDb, -highest + 1e-9);
      }
      EXPECT_LT(r.rmsAfterDb, r.rmsBeforeDb);
    }
  }
}

TEST(EqFitTest, FixedBandsPlayWithTheFitAndBoundBandsAreReported) {
  // The measurement has a 12 dB peak at 100 Hz; a fixed band already cuts 6 dB of it.
  const Measurement room = Room({{100, 4, 12}});
  FitSetup setup = Slots(3);
  setup.fixed.push_back({kEqMicA, 5, MakeBandRecord(-6.0f, 100, 4.0f, kFilterPeq)});
  FitOptions options = Options(20, 1000, 0);
  options.alignLowHz = 500;  // where the room is flat
  options.alignHighHz = 1000;
  options.bands = 1;
  const FitResult r = FitEq(room, kFlat, setup, options);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.bands.size(), 3u);
  EXPECT_TRUE(r.bands[0].used);
  EXPECT_FALSE(r.bands[1].used);
  EXPECT_FALSE(r.bands[2].used);
  EXPECT_EQ(r.bands[1].record.gainField, 150);
  EXPECT_EQ(r.bands[1].record.frequency, 40);  // Mic A band 2's default
  // Not exactly half of the room's +12 dB: a peaking band's width changes with its gain.
  EXPECT_NEAR(r.bands[0].record.GainDb(), -6.0, 0.5);
  EXPECT_NEAR(r.bands[0].record.frequency, 100, 2);
  EXPECT_LT(r.rmsAfterDb, 0.1);

  // A mode narrower than any band can be: the Q limit holds the band, and the report says so.
  const FitResult narrow = FitEq(Room({{1000, 60, 10}}), kFlat, Slots(1), Options(500, 2000, 0));
  ASSERT_TRUE(narrow.ok);
  const std::vector<FitLimit>& limits = narrow.bands[0].limits;
  EXPECT_NE(std::find(limits.begin(), limits.end(), FitLimit::kQHigh), limits.end());
  bool said = false;
  for (const BilingualText& line : FitReportLines(narrow))
    said = said || line[kTextEnglish].find("Q at its upper limit") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST(EqFitTest, TheMeasurementIsAlignedToTheTargetByItsMeanOverTheAlignmentRange) {
  Target house;
  house.kind = TargetKind::kHouse;
  house.house = {6.0, 120.0, -0.5};
  const Measurement room = Room({});  // flat 75 dB
  FitOptions options = Options(20, 20000, 0);
  options.alignLowHz = 1000;
  options.alignHighHz = 2000;
  const FitResult r = FitEq(room, house, Slots(5), options);
  ASSERT_TRUE(r.ok);
  // Over 1..2 kHz the target's mean is the tilt's, −0.25 dB, and the bass rise's tail,
  // 6/(1 + (f/120)²) averaged over the octave in log-frequency: +0.046 dB.
  EXPECT_NEAR(r.alignmentDb, -75.0 - 0.25 + 0.046, 0.002);
  // The fit adds the bass rise and the tilt with shelves and peaks, as far as it can with cuts only.
  EXPECT_LT(r.rmsAfterDb, r.rmsBeforeDb);
  bool told = false;
  for (const BilingualText& line : FitReportLines(r))
    told = told || line[kTextEnglish].find("-75.2 dB") != std::string::npos;
  EXPECT_TRUE(told);
}

}  // namespace
}  // namespace dsptune
