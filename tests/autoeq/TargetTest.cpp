// Targets: their shapes, their names and the target texts that are refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "autoeq/Target.h"

namespace dsptune {
namespace {

TEST(TargetTest, ShapesOfFlatHouseAndFileTargets) {
  Target t;
  BilingualText error;
  ASSERT_TRUE(ParseTarget("flat", t, error));
  EXPECT_EQ(TargetLevelDb(t, 37.0), 0.0);
  EXPECT_EQ(TargetName(t)[kTextEnglish], "flat");

  ASSERT_TRUE(ParseTarget("house:6,120,-0.5", t, error));
  ASSERT_EQ(t.kind, TargetKind::kHouse);
  EXPECT_NEAR(TargetLevelDb(t, 20.0) - TargetLevelDb(t, 20.0 * 1.0001), 0.0, 1e-3);  // the rise is flat far below
  EXPECT_NEAR(TargetLevelDb(t, 120.0), 3.0 - 0.5 * std::log2(0.12), 1e-9);        // half the rise at the corner
  EXPECT_NEAR(TargetLevelDb(t, 1000.0), 6.0 / (1 + 1 / 0.0144), 1e-9);
  EXPECT_NEAR(TargetLevelDb(t, 16000.0), -2.0, 0.01);  // four octaves of tilt
  EXPECT_EQ(TargetName(t)[kTextEnglish], "house curve: +6.0 dB below 120 Hz, -0.50 dB/octave");
  EXPECT_FALSE(TargetName(t)[kTextChinese].empty());

  const std::string path = ::testing::TempDir() + "autoeq-target.txt";
  {
    std::ofstream out(path);
    out << "* target\n20 6\n40 6\n80 5\n160 3\n320 1\n640 0\n1280 0\n2560 -1\n5120 -2\n20000 -3\nbad line\n";
  }
  std::vector<BilingualText> notes;
  ASSERT_TRUE(ParseTarget(path, t, error, notes));
  EXPECT_EQ(t.kind, TargetKind::kFile);
  EXPECT_DOUBLE_EQ(TargetLevelDb(t, 160.0), 3.0);
  EXPECT_NEAR(TargetLevelDb(t, 113.137084989848), 4.0, 1e-9);  // halfway in log-frequency
  EXPECT_EQ(TargetName(t)[kTextEnglish], "target file autoeq-target.txt");
  ASSERT_EQ(notes.size(), 1u);  // line 12
  EXPECT_EQ(notes[0][kTextEnglish].rfind("Line 12: ", 0), 0u);
  std::remove(path.c_str());
}

TEST(TargetTest, RefusedTargetsSayWhy) {
  const struct {
    const char* text;
    const char* english;
  } rows[] = {
      {"house:6,120", "house:BASS_DB"},     {"house:6,120,-0.5,1", "house:BASS_DB"},
      {"house:a,120,0", "house:BASS_DB"},   {"house:6,,0", "house:BASS_DB"},
      {"house:6,10,0", "corner frequency"}, {"house:6,30000,0", "corner frequency"},
      {"house:60,100,0", "bass rise"},      {"house:6,100,9", "tilt"},
      {"house:nan,100,0", "house:BASS_DB"}, {"/nonexistent/target.txt", "cannot open"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    Target t;
    BilingualText error;
    EXPECT_FALSE(ParseTarget(row.text, t, error));
    EXPECT_NE(error[kTextEnglish].find(row.english), std::string::npos) << error[kTextEnglish];
    EXPECT_FALSE(error[kTextChinese].empty());
  }
}

}  // namespace
}  // namespace dsptune
