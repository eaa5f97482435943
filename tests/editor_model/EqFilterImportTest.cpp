// A filter file into an equaliser and back: the band each filter becomes, the limits and
// what is reported about them, the frames the device receives, and the round trip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "dsp/FilterFile.h"
#include "editors/model/EqFilterImport.h"
#include "link/LinkState.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

BandRecord Stored(int eq, int band) {
  return DecodeBandRecord(ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize).data());
}

bool SameRecord(const BandRecord& a, const BandRecord& b) {
  return a.gainField == b.gainField && a.frequency == b.frequency && a.qField == b.qField && a.type == b.type;
}

std::string Describe(const BandRecord& r) {
  return "type " + std::to_string(r.type) + " " + std::to_string(r.frequency) + " Hz gain field " +
         std::to_string(r.gainField) + " Q field " + std::to_string(r.qField);
}

class EqFilterImportTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  EqFilterImportTest() {
    ResetLinkState();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    writer.sent.clear();
  }
};

TEST_F(EqFilterImportTest, FiltersBecomeBandsWithTheirLimitsReported) {
  const BandRecord flat250{150, 250, 1410, 1};  // band 5 of Mic A EQ at its default
  const struct {
    const char* name;
    int eq;
    const char* text;
    std::vector<BandRecord> firstBands;
    std::vector<std::string> english;  // the notes, in line order
  } rows[] = {
      {"every type, rounded, the rest flat",
       kEqMicA,
       "Filter 1: ON PK Fc 125.4 Hz Gain -4.54 dB Q 2.1004\n"
       "Filter 2: ON LS Fc 80 Hz Gain 3 dB Q 0.9\n"
       "Filter 3: ON HSC Fc 8000 Hz Gain -2 dB Q 0.7\n"
       "Filter 4: ON LP Fc 12000 Hz\n"
       "Filter 5: ON HPQ Fc 30 Hz Q 1.3\n",
       {{105, 125, 2100, 1}, {180, 80, 900, 4}, {130, 8000, 700, 5}, {150, 12000, 707, 2}, {150, 30, 1300, 3}, flat250},
       {}},
      {"values held at the band's limits",
       kEqMicA,
       "Filter 1: ON PK Fc 10 Hz Gain -18 dB Q 40\n"
       "Filter 2: ON LSC Fc 25000 Hz Gain 15.04 dB Q 3\n",
       {{0, 20, 30000, 1}, {300, 20000, 2000, 4}},
       {"Line 1: frequency 10 Hz held at 20 Hz", "Line 1: gain -18.0 dB held at -15.0 dB",
        "Line 1: Q 40.000 held at 30.000", "Line 2: frequency 25000 Hz held at 20000 Hz",
        "Line 2: Q 3.000 held at 2.000"}},
      {"more filters than bands, unknown and OFF",
       kEqEchoA,
       "Preamp: -6 dB\n"
       "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1\nFilter 2: ON BP Fc 100 Hz Q 1\nFilter 3: OFF PK Fc 100 Hz Gain 9 dB Q 1\n"
       "Filter 4: ON PK Fc 200 Hz Gain 1 dB Q 1\nFilter 5: ON PK Fc 300 Hz Gain 1 dB Q 1\n"
       "Filter 6: ON PK Fc 400 Hz Gain 1 dB Q 1\nFilter 7: ON PK Fc 500 Hz Gain 1 dB Q 1\n"
       "Filter 8: ON PK Fc 600 Hz Gain 1 dB Q 1\nFilter 9: ON PK Fc 700 Hz Gain 1 dB Q 1\n"
       "Filter 10: ON PK Fc 800 Hz Gain 1 dB Q 1\nFilter: ON PK Fc 900 Hz Gain 1 dB Q 1\nFilter 12: ON PK Fc\n",
       {{160, 100, 1000, 1}, {160, 200, 1000, 1}},
       {"Line 1: preamp -6.0 dB not applied",
        "Line 3: filter type \"BP\" is not one the device runs; skipped",
        "Line 11: more filters than the 7 bands of Echo A EQ; not imported",
        "Line 12: more filters than the 7 bands of Echo A EQ; not imported",
        "Line 13: cannot read this line: Filter 12: ON PK Fc"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FilterImportPlan plan = PlanFilterImport(row.eq, ParseFilterFile(row.text));
    ASSERT_TRUE(plan.Usable());
    ASSERT_EQ(int(plan.records.size()), FilterBandCount(row.eq));
    for (std::size_t b = 0; b < row.firstBands.size(); ++b)
      EXPECT_TRUE(SameRecord(plan.records[b], row.firstBands[b])) << "band " << b << ": " << Describe(plan.records[b]);
    std::vector<std::string> english;
    for (const ImportNote& n : plan.notes) {
      english.push_back(n.text[kTextEnglish]);
      EXPECT_EQ(n.text[kTextChinese].rfind("第" + std::to_string(n.line) + "行：", 0), 0u) << n.text[kTextChinese];
    }
    EXPECT_EQ(english, row.english);
  }
}

TEST_F(EqFilterImportTest, TheDeviceGetsTheFramesOfNormalBandEdits) {
  const FilterImportPlan plan =
      PlanFilterImport(kEqCh1 + 2, ParseFilterFile("Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10\r\n"
                                                   "Filter 2: ON HS Fc 6000 Hz Gain 2.5 dB Q 0.7\r\n"));
  EXPECT_EQ(ApplyFilterImport(plan), 9);
  const std::vector<test::SentWrite> imported = writer.sent;

  LoadDefaultImage();
  writer.sent.clear();
  const int eq = kEqCh1 + 2;
  WriteEqBand(eq, 0, kFilterPeq, 125, -4.5f, 2.1f);
  WriteEqBand(eq, 1, kFilterHighShelf, 6000, 2.5f, 0.7f);
  const auto defaults = DefaultEqFrequencies(eq);
  for (int b = 2; b < 9; ++b) WriteEqBand(eq, b, kFilterPeq, defaults[std::size_t(b)], 0.0f, kDefaultBandQ);

  ASSERT_EQ(imported.size(), writer.sent.size());
  for (std::size_t i = 0; i < imported.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(imported[i].kind, writer.sent[i].kind);
    EXPECT_EQ(imported[i].block, writer.sent[i].block);
    EXPECT_EQ(imported[i].address, writer.sent[i].address);
    EXPECT_EQ(imported[i].offset, writer.sent[i].offset);
    EXPECT_EQ(imported[i].bytes, writer.sent[i].bytes);
  }
}

TEST_F(EqFilterImportTest, AFileWithoutAUsableFilterChangesNothing) {
  for (const char* text : {"", "Filter Settings file\nPreamp: -3 dB\n", "Filter 1: OFF PK Fc 100 Hz Gain 3 dB Q 1\n",
                           "Filter 1: ON BP Fc 100 Hz Q 1\nFilter 2: ON PK Fc x Hz Gain 1 dB Q 1\n"}) {
    SCOPED_TRACE(text);
    const LiveBlockBytes before = LiveBlockSnapshot();
    const FilterImportPlan plan = PlanFilterImport(kEqMusic, ParseFilterFile(text));
    EXPECT_FALSE(plan.Usable());
    ASSERT_FALSE(plan.notes.empty());
    EXPECT_EQ(plan.notes.back().kind, ImportNoteKind::kNoUsableFilter);
    EXPECT_EQ(ApplyFilterImport(plan), 0);
    EXPECT_TRUE(writer.sent.empty());
    EXPECT_EQ(LiveBlockSnapshot(), before);
  }
}

TEST_F(EqFilterImportTest, ImportingAnExportGivesTheSameBands) {
  const struct {
    int eq;
    std::vector<BandRecord> bands;
  } rows[] = {
      {kEqMicA, {{105, 125, 2100, 1}, {180, 80, 900, 4}, {149, 8000, 707, 5}, {150, 12000, 707, 2}, {150, 31, 1299, 3},
                 {0, 20, 30000, 1}, {300, 20000, 100, 1}}},
      {kEqCh1 + 2, {{120, 63, 4000, 1}, {175, 2500, 1414, 1}}},
      {kEqRecord, {{141, 440, 1234, 1}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.eq);
    LoadDefaultImage();
    if (IsChannelEq(row.eq)) ResetSubChannelEq(row.eq);  // a crossover the import must keep
    for (std::size_t b = 0; b < row.bands.size(); ++b) WriteEqBandRecord(row.eq, int(b), row.bands[b]);
    std::vector<BandRecord> before;
    for (int b = 0; b < EqLayoutOf(row.eq).recordSlots; ++b) before.push_back(Stored(row.eq, b));

    const std::string text = ExportEqFilters(row.eq);
    const FilterImportPlan plan = PlanFilterImport(row.eq, ParseFilterFile(text));
    EXPECT_TRUE(plan.notes.empty()) << plan.notes.front().text[kTextEnglish];
    EXPECT_EQ(ApplyFilterImport(plan), FilterBandCount(row.eq));
    for (int b = 0; b < EqLayoutOf(row.eq).recordSlots; ++b)
      EXPECT_TRUE(SameRecord(Stored(row.eq, b), before[std::size_t(b)])) << "band " << b;
  }
}

}  // namespace
}  // namespace dsptune
