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
      {"malformed lines by number", "* head\n" + Rows("%F %L") + "abc\n300 1 2 3 4\n400 x\n100 5\n", true, false,
       {12, 13, 14, 15}},
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

}  // namespace
}  // namespace dsptune
