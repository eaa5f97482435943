// The fit against the device image: the slots it may set, what plays with them, and the
// band records an import of the fit writes and reads back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "autoeq/DeviceFit.h"
#include "autoeq/FitReport.h"
#include "dsp/Biquad.h"
#include "dsp/FilterFile.h"
#include "editors/model/ChannelChain.h"
#include "editors/model/OutputChannels.h"
#include "link/LinkState.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

constexpr int kCh3 = 2;

std::vector<std::uint8_t> StoredBytes(int eq, int band) { return ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize); }

// A room with a few modes, 1/48 octave over 15 Hz..22 kHz.
Measurement Room() {
  Measurement m;
  for (double f = 15.0; f <= 22000.0; f *= std::exp2(1.0 / 48.0)) {
    double level = 80.0;
    for (const auto& [hz, q, db] : {std::array<double, 3>{45, 5, 8}, {70, 8, 6}, {130, 5, -5}, {2000, 2, 3}})
      level += BiquadMagnitudeDb(DesignBiquad(kFilterPeq, hz, db, q, 0.0, kDeviceSampleRate), f, kDeviceSampleRate);
    m.frequencyHz.push_back(f);
    m.levelDb.push_back(level);
  }
  return m;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> out;
  for (int b = from; b < to; ++b) out.push_back(b);
  return out;
}

class DeviceFitTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  DeviceFitTest() {
    ResetLinkState();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    writer.sent.clear();
  }
};

TEST_F(DeviceFitTest, FreeSlotsAreTheBandsAnImportFillsLessTheCrossoverAndTheKeptOnes) {
  FitOptions keep;
  keep.keepExistingBands = true;
  const struct {
    const char* name;
    int eq;
    bool sub;  // the channel's subwoofer layout: band 9 heads a crossover
    bool keepExisting;
    std::vector<int> free;
  } rows[] = {
      {"Mic A EQ", kEqMicA, false, false, Range(0, 15)},
      {"Echo A EQ", kEqEchoA, false, false, Range(0, 7)},
      {"Music EQ", kEqMusic, false, false, Range(0, 10)},
      {"Record EQ", kEqRecord, false, false, Range(0, 5)},
      {"channel EQ with a plain tenth band", ChannelEq(kCh3), false, false, Range(0, 10)},
      {"channel EQ with its crossover", ChannelEq(kCh3), true, false, Range(0, 9)},
      {"keeping Mic A's set bands", kEqMicA, false, true, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14}},
  };
  WriteEqBand(kEqMicA, 3, kFilterPeq, 100, -6.0f, 2.0f);
  WriteEqBand(kEqMicA, 12, kFilterHighShelf, 6300, 4.0f, 0.7f);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.sub) ResetSubChannelEq(row.eq);
    FitOptions options;
    options.keepExistingBands = row.keepExisting;
    const FitSetup setup = AutoEqSetupFor(row.eq, options);
    EXPECT_EQ(setup.eq, row.eq);
    EXPECT_EQ(setup.freeSlots, row.free);
    if (row.keepExisting) {
      ASSERT_EQ(setup.fixed.size(), 2u);
      EXPECT_EQ(setup.fixed[0].slot, 3);
      EXPECT_EQ(setup.fixed[1].slot, 12);
      ASSERT_EQ(setup.notes.size(), 1u);
      EXPECT_EQ(setup.notes[0][kTextEnglish], "bands 4, 13 are kept as set; only the flat bands are fitted");
    } else {
      EXPECT_TRUE(setup.fixed.empty());
    }
  }
  // Nothing to fit: no EQ 16, and a chain belongs to its own channel's EQ.
  EXPECT_TRUE(AutoEqSetupFor(16, FitOptions{}).freeSlots.empty());
  const FitSetup wrong = AutoEqSetupFor(kEqMicA, FitOptions{}, kCh3);
  EXPECT_TRUE(wrong.freeSlots.empty());
  ASSERT_FALSE(wrong.notes.empty());
  EXPECT_FALSE(FitEq(Room(), Target{}, wrong, FitOptions{}).ok);
}

TEST_F(DeviceFitTest, KeptBandsStayBitIdenticalAndTheImportWritesExactlyTheFit) {
  WriteEqBand(kEqMicA, 3, kFilterPeq, 100, -6.0f, 2.0f);
  WriteEqBand(kEqMicA, 12, kFilterHighShelf, 6300, 4.0f, 0.7f);
  const std::vector<std::uint8_t> band3 = StoredBytes(kEqMicA, 3), band12 = StoredBytes(kEqMicA, 12);
  FitOptions options;
  options.keepExistingBands = true;
  options.maxBoostDb = 3.0;
  const FitSetup setup = AutoEqSetupFor(kEqMicA, options);
  const FitResult r = FitEq(Room(), Target{}, setup, options);
  ASSERT_TRUE(r.ok) << r.error[kTextEnglish];
  for (const FittedBand& b : r.bands) EXPECT_TRUE(b.slot != 3 && b.slot != 12);
  const FilterImportPlan plan = AutoEqImportPlan(setup, r);
  ASSERT_TRUE(plan.Usable());
  ASSERT_EQ(plan.records.size(), 15u);
  EXPECT_EQ(ApplyFilterImport(plan), 15);
  EXPECT_EQ(StoredBytes(kEqMicA, 3), band3);
  EXPECT_EQ(StoredBytes(kEqMicA, 12), band12);
  EXPECT_TRUE(HoldsFilterImport(plan, kEqMicA));
  for (const FittedBand& b : r.bands) {
    const BandRecord s = DecodeBandRecord(StoredBytes(kEqMicA, b.slot).data());
    EXPECT_EQ(s.gainField, b.record.gainField);
    EXPECT_EQ(s.frequency, b.record.frequency);
    EXPECT_EQ(s.qField, b.record.qField);
    EXPECT_EQ(s.type, b.record.type);
  }
  // The stored EQ as a filter set reads back into the same records: nothing was rounded.
  const FilterImportPlan again = PlanFilterImport(kEqMicA, ParseFilterFile(ExportEqFilters(kEqMicA)));
  ASSERT_EQ(again.records.size(), plan.records.size());
  for (std::size_t b = 0; b < plan.records.size(); ++b) {
    EXPECT_EQ(again.records[b].gainField, plan.records[b].gainField) << b;
    EXPECT_EQ(again.records[b].frequency, plan.records[b].frequency) << b;
    EXPECT_EQ(again.records[b].qField, plan.records[b].qField) << b;
    EXPECT_EQ(again.records[b].type, plan.records[b].type) << b;
  }
  // A failed fit plans nothing.
  EXPECT_FALSE(AutoEqImportPlan(setup, FitResult{}).Usable());
}

TEST_F(DeviceFitTest, AChainFitIncludesTheSourceEqAndTheCrossoverAndLeavesTheCrossoverAlone) {
  const int eq = ChannelEq(kCh3);
  WriteEqBand(kEqMicA, 3, kFilterPeq, 60, -4.0f, 3.0f);  // the routed source path's EQ
  ResetSubChannelEq(eq);                                  // a 100 Hz low-pass crossover on band 9
  const std::vector<std::uint8_t> head = StoredBytes(eq, 9), section = StoredBytes(eq, 10);
  ASSERT_EQ(RoutedChainSource(kCh3), ChainSource::kMicA);
  FitOptions options;
  options.lowHz = 20;
  options.highHz = 90;
  const FitSetup setup = AutoEqSetupFor(eq, options, kCh3);
  EXPECT_EQ(setup.freeSlots, Range(0, 9));
  EXPECT_EQ(setup.chainName, ChainName(kCh3, ChainSource::kMicA));
  const auto fixedFrom = [&](int from) {
    return int(std::count_if(setup.fixed.begin(), setup.fixed.end(), [&](const FixedBand& b) { return b.eq == from; }));
  };
  EXPECT_EQ(fixedFrom(kEqMicA), 15);
  EXPECT_EQ(fixedFrom(eq), 4);  // the head and its three sections

  const Measurement room = Room();
  const FitResult r = FitEq(room, Target{}, setup, options);
  ASSERT_TRUE(r.ok) << r.error[kTextEnglish];
  // What the fit starts from is the measurement through the chain, point by point.
  const std::vector<double>& hz = r.curves.frequencyHz;
  for (std::size_t i = 0; i < hz.size(); i += 20) {
    double through = LevelAt(room, hz[i]) + r.alignmentDb;
    for (const FixedBand& b : setup.fixed)
      through += BiquadMagnitudeDb(
          DesignBiquad(b.record.type, b.record.frequency, b.record.GainDb(), b.record.Q(), 0.0, kDeviceSampleRate),
          hz[i], kDeviceSampleRate);
    EXPECT_NEAR(r.curves.measurementDb[i], through, 1e-9);
  }
  // Aligned as it plays: through the chain, the mean over the fit range meets the target's.
  double mean = 0.0;
  for (std::size_t i = 0; i < hz.size(); ++i) mean += r.curves.measurementDb[i] - r.curves.targetDb[i];
  EXPECT_NEAR(mean / double(hz.size()), 0.0, 1e-9);
  EXPECT_LT(r.rmsAfterDb, r.rmsBeforeDb);
  bool chainSaid = false;
  for (const BilingualText& line : FitReportLines(r)) chainSaid = chainSaid || line[kTextEnglish].find("chain") != std::string::npos;
  EXPECT_TRUE(chainSaid);

  const FilterImportPlan plan = AutoEqImportPlan(setup, r);
  ASSERT_EQ(plan.records.size(), 9u);  // band 9 stays the crossover's
  ApplyFilterImport(plan);
  EXPECT_EQ(StoredBytes(eq, 9), head);
  EXPECT_EQ(StoredBytes(eq, 10), section);
  EXPECT_TRUE(HoldsFilterImport(plan, eq));
}

}  // namespace
}  // namespace dsptune
