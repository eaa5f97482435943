#include "autoeq/Measurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace dsptune {
namespace {

// Ten rising points in the given row format (printf-like: %F frequency, %L level, %P phase).
std::string Rows(const std::string& pattern, bool commaDecimal = false) {
  std::string text;
  for (int i = 0; i < 10; ++i) {
    std::string row = pattern;
    auto put = [&](const std::string& key, double v) {
      std::string s = std::to_string(v);
      s.erase(s.find_last_not_of('0') + 1);
      if (s.back() == '.') s += '0';
      if (commaDecimal) std::replace(s.begin(), s.end(), '.', ',');
      const std::size_t at = row.find(key);
      if (at != std::string::npos) row.replace(at, key.size(), s);
    };
    put("%F", 20.5 * (i + 1));
    put("%L", 70.25 - i);
    put("%P", -10.5 * i);
    text += row + "\n";
  }
  return text;
}

struct ParseCase {
  const char* name;
  std::string text;
  bool ok;
  bool phase;
  std::vector<int> malformedLines;
};

TEST(MeasurementTest, ReadsTheExportFormats) {
  const std::vector<ParseCase> cases = {
      {"spaces with phase", "* comment\n# another\n" + Rows("%F %L %P"), true, true, {}},
      {"spaces without phase", Rows("%F\t%L"), true, false, {}},
      {"tabs and comma decimals", Rows("%F\t%L\t%P", true), true, true, {}},
      {"semicolons and comma decimals", Rows("%F;%L;%P", true), true, true, {}},
      {"spaces and comma decimals", Rows("%F %L", true), true, false, {}},
      {"comma separated", "Frequency,SPL,Phase\n" + Rows("%F,%L,%P"), true, true, {}},
      {"comma and space separated", Rows("%F, %L"), true, false, {}},
      {"CSV header with semicolons", "freq;dB\n" + Rows("%F;%L", true), true, false, {}},
      {"CRLF and BOM", "\xEF\xBB\xBF" "* x\r\n" "20 1\r\n30 2\r\n40 3\r\n50 4\r\n60 5\r\n70 6\r\n80 7\r\n90 8\r\n", true,
       false, {}},
      {"malformed lines by number",
       "* head\n" + Rows("%F %L") + "abc\n300 1 2 3 4\n400 x\n100 5\n500 1e300\n600 nan\n700 -inf\n800 1;;2\n0 1\n",
       true, false, {12, 13, 14, 15, 16, 17, 18, 19, 20}},
      {"second header line is malformed", "f dB\nfreq level\n" + Rows("%F %L"), true, false, {2}},
      {"too few points", "20 1\n30 2\n40 3\n", false, false, {}},
      {"empty", "", false, false, {}},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MeasurementFile m = ParseMeasurement(c.text, "room.txt");
    EXPECT_EQ(m.ok, c.ok);
    if (!c.ok) {
      EXPECT_NE(m.error[kTextEnglish].find("room.txt"), std::string::npos);
      continue;
    }
    std::vector<int> lines;
    for (const auto& p : m.malformed) lines.push_back(p.line);
    EXPECT_EQ(lines, c.malformedLines);
    EXPECT_EQ(m.notes.size(), c.malformedLines.size());
    ASSERT_GE(m.measurement.Size(), kMinMeasurementPoints);
    EXPECT_EQ(m.measurement.phaseDeg.empty(), !c.phase);
    if (m.measurement.frequencyHz.front() == 20.5) {  // the generated rows: decimals read exactly
      EXPECT_DOUBLE_EQ(m.measurement.levelDb.front(), 70.25);
      EXPECT_DOUBLE_EQ(m.measurement.frequencyHz[1], 41.0);
      if (c.phase) {
        EXPECT_DOUBLE_EQ(m.measurement.phaseDeg[1], -10.5);
      }
    }
  }
}

Measurement Flat(double fromHz, double toHz, double db, int perOctave = 48) {
  Measurement m;
  for (double f = fromHz; f <= toHz * 1.000001; f *= std::exp2(1.0 / perOctave)) {
    m.frequencyHz.push_back(f);
    m.levelDb.push_back(db);
  }
  return m;
}

TEST(MeasurementTest, SmoothingNamesAndTheirWindows) {
  const struct {
    const char* text;
    bool ok;
    SmoothingKind kind;
    int fraction;
  } rows[] = {
      {"none", true, SmoothingKind::kNone, 0},   {"1/1", true, SmoothingKind::kOctave, 1},
      {"1/3", true, SmoothingKind::kOctave, 3},  {"1/6", true, SmoothingKind::kOctave, 6},
      {"1/12", true, SmoothingKind::kOctave, 12}, {"1/24", true, SmoothingKind::kOctave, 24},
      {"1/48", true, SmoothingKind::kOctave, 48}, {"var", true, SmoothingKind::kVariable, 0},
      {"1/5", false, {}, 0}, {"1/0", false, {}, 0}, {"1/", false, {}, 0}, {"2/3", false, {}, 0},
      {"1/3x", false, {}, 0}, {"", false, {}, 0}, {"1/-3", false, {}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    Smoothing s{SmoothingKind::kOctave, 99};
    EXPECT_EQ(ParseSmoothing(row.text, s), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(s.kind, row.kind);
    EXPECT_EQ(s.fraction, row.fraction);
    // A flat response stays flat whatever the window.
    const Measurement flat = SmoothMeasurement(Flat(20, 20000, 71.5), s);
    for (double db : flat.levelDb) EXPECT_NEAR(db, 71.5, 1e-9);
  }

  // One point 20 dB up among 0 dB points, 48 a octave: each window holds the power mean,
  // so a wider window leaves a lower, wider peak, and the level away from it stays 0 dB.
  Measurement spike = Flat(20, 20000, 0.0);
  const std::size_t at = 48 * 5;  // 640 Hz
  spike.levelDb[at] = 20.0;
  double previous = 20.0 + 1e-6;
  for (int n : {48, 24, 12, 6, 3, 1}) {
    SCOPED_TRACE(n);
    const Measurement s = SmoothMeasurement(spike, {SmoothingKind::kOctave, n});
    // The window of the spike's own point holds 48/n + 1 points (one for 1/48).
    const int points = int(std::lround(48.0 / n)) | 1;
    EXPECT_NEAR(s.levelDb[at], 10 * std::log10((points - 1 + 100.0) / points), 1e-9);
    EXPECT_LT(s.levelDb[at], previous);
    previous = s.levelDb[at];
    EXPECT_NEAR(s.levelDb[at + 48], 0.0, 1e-9);  // an octave away
  }
  // Variable smoothing: fine in the bass, a third of an octave at the top.
  Measurement low = Flat(20, 20000, 0.0), high = low;
  low.levelDb[48 * 1] = 20.0;                       // 40 Hz
  const std::size_t top = low.frequencyHz.size() - 48;  // about 10 kHz
  high.levelDb[top] = 20.0;
  const Smoothing variable{SmoothingKind::kVariable, 0};
  EXPECT_NEAR(SmoothMeasurement(low, variable).levelDb[48], 20.0, 1e-9);
  EXPECT_NEAR(SmoothMeasurement(high, variable).levelDb[top],
              SmoothMeasurement(high, {SmoothingKind::kOctave, 3}).levelDb[top], 0.3);
}

TEST(MeasurementTest, PositionsArePowerAveragedOverTheRangeAllCover) {
  const Measurement a = Flat(20, 20000, 0.0), b = Flat(30, 10000, -10.0, 24);
  std::vector<BilingualText> notes;
  const Measurement m = PrepareMeasurements({a, b}, {SmoothingKind::kOctave, 6}, notes);
  ASSERT_FALSE(m.Empty());
  EXPECT_GE(m.LowestHz(), 30.0);
  EXPECT_LE(m.HighestHz(), 10000.0);
  EXPECT_TRUE(Covers(m, 31, 9900));
  EXPECT_FALSE(Covers(m, 20, 9900));
  for (double db : m.levelDb) EXPECT_NEAR(db, 10 * std::log10((1.0 + 0.1) / 2), 1e-9);  // not the −5 dB mean of dB
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0][kTextEnglish].find("power average"), std::string::npos);
  EXPECT_NE(notes[1][kTextEnglish].find("1/6 octave"), std::string::npos);
  EXPECT_FALSE(notes[0][kTextChinese].empty());
  // Ranges that do not meet average to nothing, and say so.
  notes.clear();
  EXPECT_TRUE(PrepareMeasurements({Flat(20, 100, 0), Flat(200, 400, 0)}, {}, notes).Empty());
  ASSERT_EQ(notes.size(), 1u);
  // One measurement is taken as it is; levels between points are linear in log-frequency.
  EXPECT_TRUE(AverageMeasurements({a}).levelDb == a.levelDb);
  Measurement two;
  two.frequencyHz = {100, 400};
  two.levelDb = {0, 10};
  EXPECT_DOUBLE_EQ(LevelAt(two, 200), 5.0);
  EXPECT_DOUBLE_EQ(LevelAt(two, 50), 0.0);
  EXPECT_DOUBLE_EQ(LevelAt(two, 1000), 10.0);
}

TEST(MeasurementTest, AFileThatCannotBeReadIsAnErrorThatNamesIt) {
  const MeasurementFile m = ReadMeasurementFile("/nonexistent/left.txt");
  EXPECT_FALSE(m.ok);
  EXPECT_NE(m.error[kTextEnglish].find("/nonexistent/left.txt"), std::string::npos);
}

}  // namespace
}  // namespace dsptune
