// A filter file into an equaliser and back: the band each filter becomes, the limits and
// what is reported about them, the frames the device receives, and the round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "dsp/FilterFile.h"
#include "editors/model/EqFilterImport.h"
#include "editors/model/OutputChannels.h"
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
       {"Line 1: frequency 125.4 Hz rounded to 125 Hz; the response differs by up to 0.04 dB"}},
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
  EXPECT_EQ(ApplyFilterImport(plan), 9);  // the tenth band, the crossover's head, is not given: kept
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
  const BandRecord kKeep{150, 0, 0, 0};  // the band stays as the image has it
  const struct {
    int eq;
    int written;  // bands the import writes
    std::vector<BandRecord> bands;
  } rows[] = {
      {kEqMicA, 15, {{105, 125, 2100, 1}, {180, 80, 900, 4}, {149, 8000, 707, 5}, {150, 12000, 707, 2}, {150, 31, 1299, 3},
                 {0, 20, 30000, 1}, {300, 20000, 100, 1}}},
      {kEqCh1 + 2, 9, {{120, 63, 4000, 1}, {175, 2500, 1414, 1}}},  // the crossover is no filter: kept
      // The tenth band as a plain shelf (its crossover sections flat at its frequency, as
      // the type menu leaves them): it goes out and comes back with the rest.
      {kEqCh1 + 4, 10,
       {{120, 63, 4000, 1}, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, kKeep, {190, 7000, 800, 5},
        {150, 7000, 1410, 1}, {150, 7000, 1410, 1}, {150, 7000, 1410, 1}}},
      {kEqRecord, 5, {{141, 440, 1234, 1}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.eq);
    LoadDefaultImage();
    if (row.eq == kEqCh1 + 2) ResetSubChannelEq(row.eq);  // a crossover the import must keep
    for (std::size_t b = 0; b < row.bands.size(); ++b)
      if (row.bands[b].type != 0) WriteEqBandRecord(row.eq, int(b), row.bands[b]);
    std::vector<BandRecord> before;
    for (int b = 0; b < EqLayoutOf(row.eq).recordSlots; ++b) before.push_back(Stored(row.eq, b));

    const std::string text = ExportEqFilters(row.eq);
    const FilterImportPlan plan = PlanFilterImport(row.eq, ParseFilterFile(text));
    EXPECT_TRUE(plan.notes.empty()) << plan.notes.front().text[kTextEnglish];
    EXPECT_EQ(ApplyFilterImport(plan), row.written);
    for (int b = 0; b < EqLayoutOf(row.eq).recordSlots; ++b)
      EXPECT_TRUE(SameRecord(Stored(row.eq, b), before[std::size_t(b)])) << "band " << b;
  }
}

// dB of one designed section at f, from its coefficients (not through the library's
// magnitude function).
double SectionDb(const BiquadCoefficients& c, double f) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * f / kDeviceSampleRate);
  const std::complex<double> z2 = z1 * z1;
  return 20.0 * std::log10(std::abs((c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2)));
}

// Largest difference between two sections on a fine logarithmic sweep of 20..20000 Hz.
double LargestDifference(const BiquadCoefficients& a, const BiquadCoefficients& b) {
  double most = 0.0;
  for (int i = 0; i <= 20000; ++i) {
    const double f = 20.0 * std::pow(1000.0, i / 20000.0);
    most = std::max(most, std::fabs(SectionDb(a, f) - SectionDb(b, f)));
  }
  return most;
}

TEST_F(EqFilterImportTest, ChannelEqsTakeTheTenthBandThePageEdits) {
  const int eq = kEqCh1 + 1;
  EXPECT_EQ(FilterBandCount(eq), 10);
  ResetSubChannelEq(eq);  // band 10 heads a crossover: a tenth filter replaces it
  std::string text;
  for (int n = 1; n <= 9; ++n) text += "Filter " + std::to_string(n) + ": ON PK Fc " + std::to_string(100 * n) + " Hz Gain 1 dB Q 1\n";
  text += "Filter 10: ON PK Fc 9000 Hz Gain -3 dB Q 2\nFilter 11: ON PK Fc 12000 Hz Gain 1 dB Q 1\n";
  const FilterImportPlan plan = PlanFilterImport(eq, ParseFilterFile(text));
  ASSERT_EQ(plan.notes.size(), 1u);
  EXPECT_EQ(plan.notes[0].text[kTextEnglish], "Line 11: more filters than the 10 bands of CH2 EQ; not imported");
  EXPECT_EQ(ApplyFilterImport(plan), 10);
  EXPECT_TRUE(SameRecord(Stored(eq, 9), {120, 9000, 2000, 1})) << Describe(Stored(eq, 9));
  // The crossover's sections go flat at the band's frequency, as the type menu leaves them,
  // so the band plays the filter alone.
  for (int b = 10; b <= 12; ++b) EXPECT_TRUE(SameRecord(Stored(eq, b), {150, 9000, 1410, 1})) << Describe(Stored(eq, b));

  // Export writes the tenth band while it is a plain band; a crossover has no filter line.
  EXPECT_NE(ExportEqFilters(eq).find("Filter 10: ON PK Fc 9000 Hz Gain -3.0 dB Q 2.000\n"), std::string::npos);
  // What shows that a device took the import: every record it writes, sections included.
  EXPECT_TRUE(HoldsFilterImport(plan, eq));
  EXPECT_FALSE(HoldsFilterImport(plan, eq + 1));
  WriteEqBandRecord(eq, 11, {150, 9000, 1410, 18});
  EXPECT_FALSE(HoldsFilterImport(plan, eq));
  ResetSubChannelEq(eq);
  const std::string sub = ExportEqFilters(eq);
  EXPECT_EQ(sub.find("Filter 10"), std::string::npos) << sub;
  EXPECT_EQ(ParseFilterFile(sub).filters.size(), 9u);
}

TEST_F(EqFilterImportTest, LinkedChannelsGetTheImportAsAHandEditReachesThem) {
  const std::string text = "Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10\nFilter 2: ON LS Fc 60 Hz Gain 3 dB Q 0.7\n";
  const int left = ChannelEq(0), right = ChannelEq(1);
  // What each channel's own import sends, one after the other.
  ApplyFilterImport(PlanFilterImport(left, ParseFilterFile(text)));
  ApplyFilterImport(PlanFilterImport(right, ParseFilterFile(text)));
  const std::vector<test::SentWrite> separately = writer.sent;

  LoadDefaultImage();
  writer.sent.clear();
  const FilterImportPlan plan = PlanFilterImport(left, ParseFilterFile(text));
  // The partner, and what is no partner of a channel EQ (itself, a mic EQ, no EQ): skipped.
  EXPECT_EQ(ApplyFilterImport(plan, {left, right, kEqMicA, 99}), 9);
  ASSERT_EQ(writer.sent.size(), separately.size());
  for (std::size_t i = 0; i < separately.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(writer.sent[i].block, separately[i].block);
    EXPECT_EQ(writer.sent[i].address, separately[i].address);
    EXPECT_EQ(writer.sent[i].offset, separately[i].offset);
    EXPECT_EQ(writer.sent[i].bytes, separately[i].bytes);
  }
  for (int b = 0; b < 13; ++b) EXPECT_TRUE(SameRecord(Stored(left, b), Stored(right, b))) << "band " << b;
  EXPECT_EQ(Stored(right, 0).frequency, 125);
}

// A value the device stores otherwise than given is reported with what it does to the
// band's response.
TEST_F(EqFilterImportTest, RoundedFrequenciesAndDroppedPassGainsAreReported) {
  const struct {
    const char* line;
    const char* english;  // the note up to its figure; "" for none
    const char* chinese;
    int type;
    double givenHz, givenGain, storedHz;
    double q;
  } rows[] = {
      {"Filter 1: ON PK Fc 100.5 Hz Gain -15 dB Q 30", "Line 1: frequency 100.5 Hz rounded to 101 Hz; the response differs by up to ",
       "第1行：频率100.5 Hz已取整为101 Hz，响应最多相差", kFilterPeq, 100.5, -15, 101, 30},
      {"Filter 1: ON PK Fc 1000.4 Hz Gain 6 dB Q 4", "Line 1: frequency 1000.4 Hz rounded to 1000 Hz; the response differs by up to ",
       "第1行：频率1000.4 Hz已取整为1000 Hz，响应最多相差", kFilterPeq, 1000.4, 6, 1000, 4},
      {"Filter 1: ON LP Fc 100 Hz Gain 3 dB", "Line 1: gain 3.0 dB not applied: the device's low-pass filter has no gain; the response differs by up to ",
       "第1行：增益3.0 dB未应用：设备的低通滤波器没有增益，响应最多相差", kFilterLowPass, 100, 3, 100, 0.7071},
      {"Filter 1: ON HPQ Fc 50 Hz Gain -2.5 dB Q 0.7", "Line 1: gain -2.5 dB not applied: the device's high-pass filter has no gain; the response differs by up to ",
       "第1行：增益-2.5 dB未应用：设备的高通滤波器没有增益，响应最多相差", kFilterHighPass, 50, -2.5, 50, 0.7},
      {"Filter 1: ON LP Fc 100 Hz Gain 0 dB", "", "", 0, 0, 0, 0, 0},
      {"Filter 1: ON PK Fc 125 Hz Gain 1 dB Q 1", "", "", 0, 0, 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const FilterImportPlan plan = PlanFilterImport(kEqMicA, ParseFilterFile(row.line));
    if (*row.english == 0) {
      EXPECT_TRUE(plan.notes.empty()) << plan.notes.front().text[kTextEnglish];
      continue;
    }
    ASSERT_EQ(plan.notes.size(), 1u);
    const std::string english = plan.notes[0].text[kTextEnglish];
    ASSERT_EQ(english.rfind(row.english, 0), 0u) << english;
    EXPECT_EQ(plan.notes[0].text[kTextChinese].rfind(row.chinese, 0), 0u) << plan.notes[0].text[kTextChinese];
    ASSERT_EQ(english.substr(english.size() - 3), " dB");
    const double stated = std::stod(english.substr(std::string(row.english).size()));
    const bool pass = row.type == kFilterLowPass || row.type == kFilterHighPass;
    const double expected =
        LargestDifference(DesignBiquad(row.type, row.givenHz, row.givenGain, row.q, 0.0, kDeviceSampleRate),
                          DesignBiquad(row.type, row.storedHz, pass ? 0.0 : row.givenGain, row.q, 0.0, kDeviceSampleRate));
    EXPECT_NEAR(stated, expected, 0.006);
  }
}

// Values far outside every range: held as before, and the notes say what was given.
TEST_F(EqFilterImportTest, HugeAndTinyValuesAreReportedAsGiven) {
  const FilterImportPlan plan = PlanFilterImport(kEqMicA, ParseFilterFile("Filter 1: ON PK Fc 1e308 Hz Gain 1e308 dB Q 1e300\n"
                                                                           "Filter 2: ON LS Fc 1e-300 Hz Gain -1e308 dB Q 1e-300\n"
                                                                           "Preamp: 1e308 dB\n"
                                                                           "Filter 4: ON PK Fc 0.0004 Hz Gain 0.00001 dB Q 0.0001\n"));
  std::vector<std::string> english;
  for (const ImportNote& n : plan.notes) english.push_back(n.text[kTextEnglish]);
  EXPECT_EQ(english, (std::vector<std::string>{
                         "Line 1: frequency 1e+308 Hz held at 20000 Hz",
                         "Line 1: gain 1e+308 dB held at 15.0 dB",
                         "Line 1: Q 1e+300 held at 30.000",
                         "Line 2: frequency 1e-300 Hz held at 20 Hz",
                         "Line 2: gain -1e+308 dB held at -15.0 dB",
                         "Line 2: Q 1e-300 held at 0.100",
                         "Line 3: preamp 1e+308 dB not applied",
                         "Line 4: frequency 0.0004 Hz held at 20 Hz",
                         "Line 4: Q 0.0001 held at 0.100",
                     }));
  EXPECT_NE(plan.notes[0].text[kTextChinese].find("1e+308 Hz"), std::string::npos);
  ASSERT_GE(plan.records.size(), 3u);
  EXPECT_TRUE(SameRecord(plan.records[0], {300, 20000, 30000, 1}));
  EXPECT_TRUE(SameRecord(plan.records[1], {0, 20, 100, 4}));
  EXPECT_TRUE(SameRecord(plan.records[2], {150, 20, 100, 1}));
}

}  // namespace
}  // namespace dsptune
