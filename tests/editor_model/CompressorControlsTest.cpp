// The limiter page without widgets: slider ranges and value texts, slider positions for
// stored limiter values, the graph a set of positions gives, and the exact bytes each
// slider and the limiter switch send for every output channel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "editors/model/CompressorControls.h"
#include "model/BigEndian.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

std::vector<std::uint8_t> RecordBytes(const CompressorValues& v) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(word >> shift));
  return bytes;
}

class CompressorControlsTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  CompressorControlsTest() { LoadDefaultImage(); }
};

TEST(CompressorPageTexts, ValueTextsAndRanges) {
  struct Case {
    int slider, position;
    const char* text;
  };
  const Case cases[] = {
      {kCompThreshold, -60, "-60dB"}, {kCompThreshold, 0, "0dB"},    {kCompThreshold, -15, "-15dB"},
      {kCompRatio, 10, "1.0:1"},      {kCompRatio, 40, "4.0:1"},     {kCompRatio, 300, "30.0:1"},
      {kCompRatio, 25, "2.5:1"},      {kCompAttack, 1, "1ms"},       {kCompAttack, 100, "100ms"},
      {kCompRelease, 1000, "1000ms"}, {kCompRelease, 100, "100ms"},  {4, 10, ""},
      {-1, 10, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CompressorValueText(c.slider, c.position), c.text) << c.slider << " " << c.position;

  const int ranges[kCompressorSliders][2] = {{-60, 0}, {10, 300}, {1, 100}, {1, 1000}};
  for (int i = 0; i < kCompressorSliders; ++i) {
    EXPECT_EQ(kCompressorSliderRanges[std::size_t(i)].min, ranges[i][0]) << i;
    EXPECT_EQ(kCompressorSliderRanges[std::size_t(i)].max, ranges[i][1]) << i;
  }
  EXPECT_EQ(kCompressorOpeningPositions, (CompressorPositions{0, 10, 1, 100}));
}

TEST(CompressorPageTexts, PositionsForStoredValues) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    CompressorValues values;
    CompressorPositions positions;
  };
  const Case cases[] = {
      {"channel default", {0.0f, 30.0f, 1.0f, 100.0f}, {0, 300, 1, 100}},
      {"read back from a device", {-15.4f, 3.99999f, 59.9998f, 600.2f}, {-15, 40, 60, 600}},
      {"outside the ranges", {-80.0f, 0.5f, 0.0f, 5000.0f}, {-60, 10, 1, 1000}},
      {"above the ranges", {3.0f, 45.0f, 250.0f, 1000.4f}, {0, 300, 100, 1000}},
      {"damaged record", {nan, inf, nan, -inf}, {-60, 300, 1, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(CompressorSliderPositions(c.values), c.positions) << c.name;
}

TEST(CompressorPageTexts, GraphFollowsThresholdAndRatioOnly) {
  CompressorCurve curve = CompressorCurveFor({-20, 40, 5, 300}, true);
  EXPECT_EQ(curve.threshold, -20.0f);
  EXPECT_FLOAT_EQ(curve.upperSlope, 0.25f);
  EXPECT_EQ(curve.lowerBreak, -90.0f);
  EXPECT_EQ(curve.lowerSlope, 1.0f);
  EXPECT_TRUE(curve.on);

  struct Step {
    int slider, position;
    float threshold, upperSlope;
  };
  const Step steps[] = {{kCompThreshold, -45, -45.0f, 0.25f}, {kCompRatio, 10, -45.0f, 1.0f},
                        {kCompRatio, 300, -45.0f, 1.0f / 30.0f}, {kCompAttack, 99, -45.0f, 1.0f / 30.0f},
                        {kCompRelease, 7, -45.0f, 1.0f / 30.0f}};
  for (const Step& s : steps) {
    ApplySliderToCurve(curve, s.slider, s.position);
    EXPECT_EQ(curve.threshold, s.threshold);
    EXPECT_FLOAT_EQ(curve.upperSlope, s.upperSlope);
    EXPECT_EQ(curve.lowerBreak, -90.0f);
  }
  EXPECT_FALSE(CompressorCurveFor(kCompressorOpeningPositions, false).on);
}

// Every slider of every channel writes that channel's limiter record once, with the
// channel's other three stored values, and keeps the written values as the channel's.
TEST_F(CompressorControlsTest, EverySliderWritesTheChosenChannelsLimiter) {
  struct Case {
    const char* name;
    int slider, position;
    // The stored values of channel c are {-10 - c, 2 + c, 5 + c, 200 + c}; the
    // expected record replaces one of them.
    CompressorValues (*expected)(int c);
  };
  const Case cases[] = {
      {"threshold", kCompThreshold, -33,
       [](int c) { return CompressorValues{-33.0f, 2.0f + c, 5.0f + c, 200.0f + c}; }},
      {"ratio 4.0:1", kCompRatio, 40, [](int c) { return CompressorValues{-10.0f - c, 4.0f, 5.0f + c, 200.0f + c}; }},
      {"ratio 1.0:1", kCompRatio, 10, [](int c) { return CompressorValues{-10.0f - c, 1.0f, 5.0f + c, 200.0f + c}; }},
      {"attack 20 ms", kCompAttack, 20,
       [](int c) { return CompressorValues{-10.0f - c, 2.0f + c, 20.0f, 200.0f + c}; }},
      {"release 1000 ms", kCompRelease, 1000,
       [](int c) { return CompressorValues{-10.0f - c, 2.0f + c, 5.0f + c, 1000.0f}; }},
      {"ratio below its range", kCompRatio, 0,
       [](int c) { return CompressorValues{-10.0f - c, 1.0f, 5.0f + c, 200.0f + c}; }},
  };
  for (const Case& k : cases) {
    for (int c = 0; c < 8; ++c) {
      SCOPED_TRACE(std::string(k.name) + ", CH" + std::to_string(c + 1));
      for (int other = 0; other < 8; ++other)
        WriteCompressorRecord(CompressorTarget::Channel, other + 1,
                              {-10.0f - other, 2.0f + other, 5.0f + other, 200.0f + other});
      writer.sent.clear();
      const CompressorValues want = k.expected(c);
      const CompressorValues got = WriteChannelCompressorSlider(c, k.slider, k.position);
      EXPECT_EQ(got.threshold, want.threshold);
      EXPECT_EQ(got.ratio, want.ratio);
      EXPECT_EQ(got.attackMs, want.attackMs);
      EXPECT_EQ(got.releaseMs, want.releaseMs);
      ASSERT_EQ(writer.sent.size(), 1u);
      EXPECT_EQ(writer.sent[0].kind, test::SentWrite::Dsp);
      EXPECT_EQ(writer.sent[0].block, c + 5);
      EXPECT_EQ(writer.sent[0].address, 0x1B);
      EXPECT_EQ(writer.sent[0].bytes, RecordBytes(want));
      const EditorValues editor = EditorSnapshot();
      EXPECT_EQ(editor.channelLimiters[std::size_t(c)].attackMs, want.attackMs);
      EXPECT_EQ(editor.channelLimiters[std::size_t((c + 1) % 8)].threshold, -10.0f - float((c + 1) % 8));
      // The image holds the record the device was sent.
      EXPECT_EQ(ReadImageBytes(2130 + 153 * c + 88 + 3, 28), RecordBytes(want));
    }
  }
}

TEST_F(CompressorControlsTest, StoredFractionsTravelAndTimesBecomeWholeMilliseconds) {
  WriteCompressorRecord(CompressorTarget::Channel, 3, {-15.5f, 3.5f, 59.9998f, 600.4f});
  writer.sent.clear();
  WriteChannelCompressorSlider(2, kCompThreshold, -20);
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].bytes, RecordBytes({-20.0f, 3.5f, 60.0f, 600.0f}));
  writer.sent.clear();
  WriteChannelCompressorSlider(2, kCompRatio, 25);
  EXPECT_EQ(writer.sent[0].bytes, RecordBytes({-20.0f, 2.5f, 60.0f, 600.0f}));
}

TEST_F(CompressorControlsTest, LimiterSwitchOfOneChannel) {
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE(c);
    EXPECT_FALSE(ChannelLimiterOn(c));  // the default switch value is 1: off
    writer.sent.clear();
    WriteChannelLimiterSwitch(c, true);
    ASSERT_EQ(writer.sent.size(), 1u);
    EXPECT_EQ(writer.sent[0].block, c + 5);
    EXPECT_EQ(writer.sent[0].address, 0x1C);
    EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0, 0, 0, 0}));
    EXPECT_TRUE(ChannelLimiterOn(c));
    EXPECT_FALSE(ChannelLimiterOn((c + 1) % 8));
    WriteChannelLimiterSwitch(c, false);
    EXPECT_EQ(writer.sent.back().bytes, test::Bytes({0, 0, 0, 1}));
    EXPECT_FALSE(ChannelLimiterOn(c));
  }
}

TEST_F(CompressorControlsTest, UnknownChannelOrSliderWritesNothing) {
  writer.sent.clear();
  WriteChannelCompressorSlider(8, kCompThreshold, -10);
  WriteChannelCompressorSlider(-1, kCompRatio, 40);
  WriteChannelCompressorSlider(0, 4, 40);
  WriteChannelLimiterSwitch(8, true);
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_FALSE(ChannelLimiterOn(8));
}

}  // namespace
}  // namespace dsptune
