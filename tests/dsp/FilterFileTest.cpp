// Filter-set text files: every line form the measurement tools write, the malformed ones,
// and the writer read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dsp/FilterFile.h"

namespace dsptune {
namespace {

struct Expected {
  bool on;
  FilterKind kind;
  double hz, gain, q;
  int number;
};

TEST(FilterFileTest, ReadsEveryLineForm) {
  const struct {
    const char* name;
    const char* line;
    Expected want;
  } rows[] = {
      {"peaking", "Filter 3: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10", {true, FilterKind::kPeaking, 125, -4.5, 2.1, 3}},
      {"wide spacing", "Filter  12:  ON  PK       Fc   63.0 Hz  Gain  -5.0 dB  Q  4.00",
       {true, FilterKind::kPeaking, 63, -5, 4, 12}},
      {"tabs and no number", "Filter:\tON\tPK\tFc 1000 Hz\tGain +2 dB\tQ 1", {true, FilterKind::kPeaking, 1000, 2, 1, -1}},
      {"comma decimals", "Filter 1: ON PK Fc 1000,5 Hz Gain -4,5 dB Q 2,10",
       {true, FilterKind::kPeaking, 1000.5, -4.5, 2.1, 1}},
      {"units glued", "Filter 2: ON PK Fc 125Hz Gain -3dB Q 0.7", {true, FilterKind::kPeaking, 125, -3, 0.7, 2}},
      {"lower case", "filter 4: on pk fc 200 hz gain 1 db q 3", {true, FilterKind::kPeaking, 200, 1, 3, 4}},
      {"shelf with Q", "Filter 5: ON LS Fc 80 Hz Gain 3 dB Q 0.9", {true, FilterKind::kLowShelf, 80, 3, 0.9, 5}},
      {"shelf without Q", "Filter 5: ON HS Fc 8000 Hz Gain -2 dB", {true, FilterKind::kHighShelf, 8000, -2, 0.7071, 5}},
      {"LSC", "Filter 6: ON LSC Fc 100 Hz Gain 4 dB Q 0.71", {true, FilterKind::kLowShelf, 100, 4, 0.71, 6}},
      {"HSC", "Filter 6: ON HSC Fc 9000 Hz Gain -1.5 dB Q 1.2", {true, FilterKind::kHighShelf, 9000, -1.5, 1.2, 6}},
      {"LP without Q", "Filter 7: ON LP Fc 120 Hz", {true, FilterKind::kLowPass, 120, 0, 0.7071, 7}},
      {"HP without Q", "Filter 7: ON HP Fc 30 Hz", {true, FilterKind::kHighPass, 30, 0, 0.7071, 7}},
      {"LPQ", "Filter 8: ON LPQ Fc 120 Hz Q 0.5", {true, FilterKind::kLowPass, 120, 0, 0.5, 8}},
      {"HPQ", "Filter 8: ON HPQ Fc 25 Hz Q 1.3", {true, FilterKind::kHighPass, 25, 0, 1.3, 8}},
      {"OFF", "Filter 9: OFF PK Fc 1000 Hz Gain 0.0 dB Q 1.00", {false, FilterKind::kPeaking, 1000, 0, 1, 9}},
      {"bandwidth in octaves", "Filter 10: ON PK Fc 500 Hz Gain 6 dB BW Oct 1", {true, FilterKind::kPeaking, 500, 6, 1.4142, 10}},
      {"unknown type", "Filter 11: ON BP Fc 500 Hz Q 2", {true, FilterKind::kUnknown, 500, 0, 2, 11}},
      {"shelf with a slope", "Filter 12: ON LS 12dB Fc 100 Hz Gain 3 dB", {true, FilterKind::kUnknown, 100, 3, 0.7071, 12}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FilterFile file = ParseFilterFile(row.line);
    ASSERT_EQ(file.filters.size(), 1u);
    EXPECT_TRUE(file.notes.empty());
    const FilterSpec& f = file.filters[0];
    EXPECT_EQ(f.line, 1);
    EXPECT_EQ(f.number, row.want.number);
    EXPECT_EQ(f.on, row.want.on);
    EXPECT_EQ(f.kind, row.want.kind);
    EXPECT_NEAR(f.frequencyHz, row.want.hz, 1e-9);
    EXPECT_NEAR(f.gainDb, row.want.gain, 1e-9);
    EXPECT_NEAR(f.q, row.want.q, 1e-4);
  }
}

TEST(FilterFileTest, ReportsMalformedLinesWithTheirNumbers) {
  const struct {
    const char* name;
    const char* line;
  } rows[] = {
      {"no state", "Filter 1: PK Fc 100 Hz Gain 1 dB Q 1"},
      {"nothing after the colon", "Filter 1:"},
      {"frequency not a number", "Filter 1: ON PK Fc abc Hz Gain 1 dB Q 1"},
      {"frequency missing", "Filter 1: ON PK Gain 1 dB Q 1"},
      {"zero frequency", "Filter 1: ON PK Fc 0 Hz Gain 1 dB Q 1"},
      {"peak without gain", "Filter 1: ON PK Fc 100 Hz Q 1"},
      {"peak without Q", "Filter 1: ON PK Fc 100 Hz Gain 1 dB"},
      {"negative Q", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q -1"},
      {"value missing at the end", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q"},
      {"unknown field", "Filter 1: ON PK Fc 100 Hz Gain 1 dB Q 1 Slope 2"},
      {"two decimal marks", "Filter 1: ON PK Fc 1.000,5 Hz Gain 1 dB Q 1"},
      {"infinite gain", "Filter 1: ON PK Fc 100 Hz Gain inf dB Q 1"},
      {"preamp without a number", "Preamp: loud"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string text = std::string("Room EQ V5.20\n\n") + row.line + "\n";
    const FilterFile file = ParseFilterFile(text);
    EXPECT_TRUE(file.filters.empty());
    ASSERT_EQ(file.notes.size(), 1u);
    EXPECT_EQ(file.notes[0].problem, FilterFileProblem::kMalformed);
    EXPECT_EQ(file.notes[0].line, 3);
    EXPECT_EQ(file.notes[0].text, row.line);
  }
}

TEST(FilterFileTest, AToolsWholeFileWithHeadersPreampAndLineEnds) {
  // The same file with LF, CRLF and CR line ends, behind a byte-order mark: the line
  // numbers stay those a text editor shows.
  const std::vector<std::string> lines = {
      "Filter Settings file",
      "",
      "Room EQ V5.20",
      "Dated: 12-Mar-2024 10:11:12",
      "Notes:",
      "Equaliser: Generic",
      "Average 1",
      "Preamp: -6,5 dB",
      "Filter  1: ON  PK       Fc   63.0 Hz  Gain  -5.0 dB  Q  4.00",
      "Filter  2: ON  None",
      "Filter  3: OFF PK       Fc   1000 Hz  Gain   0.0 dB  Q  1.00",
      "Filter  4: ON  PK       Fc    125 Hz  Gain  -4.5 dB  Q  2.10",
  };
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    SCOPED_TRACE(end == "\n" ? "LF" : end == "\r" ? "CR" : "CRLF");
    std::string text = "\xEF\xBB\xBF";
    for (const std::string& l : lines) text += l + end;
    const FilterFile file = ParseFilterFile(text);
    ASSERT_EQ(file.notes.size(), 1u);
    EXPECT_EQ(file.notes[0].problem, FilterFileProblem::kPreamp);
    EXPECT_EQ(file.notes[0].line, 8);
    EXPECT_DOUBLE_EQ(file.notes[0].value, -6.5);
    ASSERT_EQ(file.filters.size(), 3u);  // the unused slot is no filter
    EXPECT_EQ(file.filters[0].line, 9);
    EXPECT_FALSE(file.filters[1].on);
    EXPECT_EQ(file.filters[1].line, 11);
    EXPECT_EQ(file.filters[2].line, 12);
    EXPECT_DOUBLE_EQ(file.filters[2].q, 2.1);
  }
}

FilterSpec Spec(FilterKind kind, double hz, double gain, double q) {
  FilterSpec f;
  f.kind = kind;
  f.frequencyHz = hz;
  f.gainDb = gain;
  f.q = q;
  return f;
}

TEST(FilterFileTest, WrittenLinesReadBackAsWritten) {
  const struct {
    FilterSpec filter;
    const char* text;
  } rows[] = {
      {Spec(FilterKind::kPeaking, 125, -4.5, 2.1),
       "Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.100"},
      {Spec(FilterKind::kLowShelf, 80, 3, 0.7),
       "Filter 1: ON LSC Fc 80 Hz Gain 3.0 dB Q 0.700"},
      {Spec(FilterKind::kHighShelf, 9000, -0.04, 1.414),
       "Filter 1: ON HSC Fc 9000 Hz Gain 0.0 dB Q 1.414"},
      {Spec(FilterKind::kLowPass, 120, 0, 0.707), "Filter 1: ON LPQ Fc 120 Hz Q 0.707"},
      {Spec(FilterKind::kHighPass, 20000, 0, 2), "Filter 1: ON HPQ Fc 20000 Hz Q 2.000"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const std::string line = FormatFilterLine(1, row.filter);
    EXPECT_EQ(line, row.text);
    const FilterFile back = ParseFilterFile(line);
    ASSERT_EQ(back.filters.size(), 1u);
    EXPECT_EQ(back.filters[0].kind, row.filter.kind);
    EXPECT_NEAR(back.filters[0].frequencyHz, row.filter.frequencyHz, 0.5);
    EXPECT_NEAR(back.filters[0].gainDb, row.filter.gainDb, 0.05);
    EXPECT_NEAR(back.filters[0].q, row.filter.q, 0.0005);
  }
}

}  // namespace
}  // namespace dsptune
