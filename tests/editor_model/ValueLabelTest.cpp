// Value labels read the stored value, not the slider position: the formats, and the
// stored texts of the limiter, record level and features controls for values beyond
// their sliders' ranges. Also the band editor's logarithmic frequency slider and the
// surround page's position levels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "editors/model/CompressorControls.h"
#include "editors/model/EqBandEditing.h"
#include "editors/model/LoudnessControls.h"
#include "editors/model/RecordOutput.h"
#include "editors/model/SurroundRoom.h"
#include "editors/model/ValueLabel.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

TEST(ValueLabel, FormatsEachUnit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    ValueUnit unit;
    double value;
    const char* text;
  };
  const Case cases[] = {
      {ValueUnit::kDecibels, -70.0, "-70dB"},
      {ValueUnit::kDecibels, 0.0, "0dB"},
      {ValueUnit::kDecibels, -0.3, "0dB"},  // no "-0dB"
      {ValueUnit::kDecibels, nan, "--dB"},
      {ValueUnit::kRatio, 3.9999998, "4.0:1"},
      {ValueUnit::kRatio, 45.0, "45.0:1"},
      {ValueUnit::kMilliseconds, 59.99998, "60ms"},
      {ValueUnit::kMilliseconds, 2000.0, "2000ms"},
      {ValueUnit::kTenthMilliseconds, 0.5, "0.5ms"},
      {ValueUnit::kTenthMilliseconds, 200.0, "200.0ms"},
      {ValueUnit::kTenthMilliseconds, -inf, "--ms"},
      {ValueUnit::kPercent, 120.0, "120%"},
      {ValueUnit::kHertz, 60.0, "60Hz"},
      {ValueUnit::kLevelDecibels, -3.7082, "-3.7dB"},
      {ValueUnit::kLevelDecibels, 3.0, "+3.0dB"},
      {ValueUnit::kLevelDecibels, -0.01, "+0.0dB"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueLabelText(c.unit, c.value), c.text) << c.value;
}

class StoredLabels : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  StoredLabels() { LoadDefaultImage(); }
};

TEST_F(StoredLabels, LimiterFieldsShowTheStoredValuesBeyondTheSliders) {
  struct Case {
    CompressorValues values;
    std::array<const char*, 4> texts;
    CompressorPositions positions;
  };
  const Case cases[] = {
      {{-70.0f, 45.0f, 0.4f, 2000.0f}, {"-70dB", "45.0:1", "0ms", "2000ms"}, {-60, 300, 1, 1000}},
      {{-12.0f, 4.0f, 10.0f, 100.0f}, {"-12dB", "4.0:1", "10ms", "100ms"}, {-12, 40, 10, 100}},
  };
  for (const Case& c : cases) {
    const auto texts = CompressorStoredTexts(c.values);
    for (int i = 0; i < kCompressorSliders; ++i) EXPECT_EQ(texts[std::size_t(i)], c.texts[std::size_t(i)]) << i;
    EXPECT_EQ(CompressorSliderPositions(c.values), c.positions);
  }
}

TEST_F(StoredLabels, RecordLevelAndFeaturesShowTheStoredValues) {
  SetParameter(kRecordBlock, kRecordLevelAddresses[kRecordLevel], 120);
  EXPECT_EQ(RecordLevelPosition(kRecordLevel), 100);
  EXPECT_EQ(RecordLevelStoredText(kRecordLevel), "120%");
  EXPECT_EQ(RecordLevelStoredText(kRecordLevels), "");

  using S = LoudnessSlider;
  SetParameter(14, 0x00, UiFromFloat(60.0f));  // low band below its slider's 70 Hz
  SetParameter(14, 0x01, UiFromFloat(15.0f));  // gain above its slider's 12 dB
  struct Case {
    S slider;
    int position;
    const char* text;
  };
  const Case cases[] = {{S::kLowFrequency, 70, "60Hz"}, {S::kLowGain, 12, "15dB"}};
  for (const Case& c : cases) {
    EXPECT_EQ(LoudnessPosition(c.slider), c.position);
    EXPECT_EQ(LoudnessStoredText(c.slider), c.text);
  }
  WriteCompressorRecord(CompressorTarget::Music, 0, {-70.0f, 4.0f, 20.0f, 300.0f});
  EXPECT_EQ(LoudnessPosition(S::kValidLevel), -60);
  EXPECT_EQ(LoudnessStoredText(S::kValidLevel), "-70dB");
  EXPECT_EQ(LoudnessStoredText(S::kInputRatio), "4.0:1");
  EXPECT_EQ(LoudnessStoredText(S(kLoudnessSliderCount)), "");
}

TEST(FrequencySlider, LogarithmicWithWholeHertz) {
  EXPECT_EQ(FrequencyAtSliderPosition(0), 20);
  EXPECT_EQ(FrequencyAtSliderPosition(kFrequencySliderSteps), 20000);
  EXPECT_EQ(FrequencyAtSliderPosition(-5), 20);
  EXPECT_EQ(FrequencyAtSliderPosition(kFrequencySliderSteps + 5), 20000);
  // The same number of steps in every octave, at the bottom as at the top.
  const int perOctaveLow = FrequencySliderPosition(80.0) - FrequencySliderPosition(40.0);
  const int perOctaveHigh = FrequencySliderPosition(16000.0) - FrequencySliderPosition(8000.0);
  EXPECT_EQ(perOctaveLow, perOctaveHigh);
  EXPECT_GE(perOctaveLow, 20);
  // Each step up never goes down and moves by under 3.1 %.
  for (int p = 1; p <= kFrequencySliderSteps; ++p) {
    const int below = FrequencyAtSliderPosition(p - 1), at = FrequencyAtSliderPosition(p);
    EXPECT_GE(at, below) << p;
    EXPECT_LE(at, below * 1.031 + 1) << p;
  }
  struct Case {
    double hz;
    int position;
  };
  const Case cases[] = {{20.0, 0}, {0.0, 0}, {std::nan(""), 0}, {19.0, 0}, {20000.0, kFrequencySliderSteps},
                        {48000.0, kFrequencySliderSteps}};
  for (const Case& c : cases) EXPECT_EQ(FrequencySliderPosition(c.hz), c.position) << c.hz;
  // A position shown for a frequency gives back a frequency within half a step.
  for (double hz : {31.0, 1000.0, 1234.0, 15000.0}) {
    const double back = FrequencyAtSliderPosition(FrequencySliderPosition(hz));
    EXPECT_NEAR(std::log2(back / hz), 0.0, 0.5 / 23.9) << hz;
  }
}

class PositionLevels : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  PositionLevels() { LoadDefaultImage(); }
};

TEST_F(PositionLevels, ChannelHoldsTheLevelItsSpeakerWasGiven) {
  for (int c = 0; c < kOutputChannelCount; ++c) EXPECT_EQ(ChannelPositionLevelDb(c), 0.0f) << c;
  MoveListener(-1.0f, 1.0f);  // onto speaker 1 (front left, CH2 by default): +3 dB
  const int frontLeft = FirstChannelWithRole(ReadChannelRoles(), kRoleFrontLeft);
  ASSERT_GE(frontLeft, 0);
  EXPECT_FLOAT_EQ(ChannelPositionLevelDb(frontLeft), 3.0f);
  const int sub = FirstChannelWithRole(ReadChannelRoles(), kRoleSub);
  EXPECT_NEAR(ChannelPositionLevelDb(sub), 3.0 - 3.0 * std::sqrt(5.0), 1e-5);
  EXPECT_EQ(ChannelPositionLevelDb(-1), 0.0f);
  EXPECT_EQ(ChannelPositionLevelDb(kOutputChannelCount), 0.0f);
}

}  // namespace
}  // namespace dsptune
