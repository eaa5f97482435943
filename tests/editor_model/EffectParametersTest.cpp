// The nine reverb/echo rows of the mic and music page: ranges, display formats, the
// exact records each write sends for path A and path B, and read-back from the model.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editors/model/EffectParameters.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"
#include "model/ParameterTable.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::Bytes;
using test::SentWrite;

struct Dsp {
  int block, address;
  std::vector<std::uint8_t> value;
};

class EffectParametersTest : public ::testing::Test, protected test::ModelFixtureBase {
 protected:
  EffectParametersTest() {
    LoadDefaultImage();
    writer.sent.clear();
  }
  std::vector<Dsp> DspWrites() const {
    std::vector<Dsp> out;
    for (const SentWrite& w : writer.sent) {
      EXPECT_EQ(w.kind, SentWrite::Dsp) << "only single records are expected";
      out.push_back({w.block, w.address, w.bytes});
    }
    return out;
  }
};

void ExpectWrites(const std::vector<Dsp>& got, const std::vector<Dsp>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].block, want[i].block);
    EXPECT_EQ(got[i].address, want[i].address);
    EXPECT_EQ(got[i].value, want[i].value);
  }
}

TEST(EffectRowsTable, NamesAndRangesInListOrder) {
  struct Want {
    const char *english, *chinese;
    int minimum, maximum;
  };
  const Want want[] = {
      {"Reverb Level", "混响电平", 0, 100},       {"Reverb Predelay", "混响预延时", 2, 200},
      {"Reverb Time", "混响时长", 0, 100},        {"Echo Level", "回声电平", 0, 100},
      {"Echo Predelay", "回声预延时", 2, 200},    {"Echo Time", "回声间隔", 160, 260},
      {"Echo Start Vol", "回声起始音量", 40, 100}, {"Echo Vol Decay", "回声衰减比例", 20, 90},
      {"Shift Frequency", "话筒移频", 1, 8},
  };
  ASSERT_EQ(EffectRows().size(), std::size(want));
  for (int row = 0; row < kEffectRowCount; ++row) {
    SCOPED_TRACE(row);
    EXPECT_STREQ(EffectRowName(row, 1), want[row].english);
    EXPECT_STREQ(EffectRowName(row, 0), want[row].chinese);
    EXPECT_EQ(ClampEffectValue(row, -1000), want[row].minimum);
    EXPECT_EQ(ClampEffectValue(row, 1000), want[row].maximum);
  }
  EXPECT_EQ(EffectRowAt(-1), nullptr);
  EXPECT_EQ(EffectRowAt(kEffectRowCount), nullptr);
  EXPECT_STREQ(EffectRowName(9, 1), "");
}

TEST(EffectRowsTable, DisplayFormats) {
  struct Case {
    int row, value, language;
    const char* text;
  };
  const Case cases[] = {
      {kReverbLevel, 65, 1, "65%"},       {kReverbPredelay, 2, 1, "2ms"},
      {kReverbTime, 0, 1, "40ms"},        {kReverbTime, 100, 1, "5000ms"},
      {kReverbTime, 56, 0, "2818ms"},     {kEchoTime, 247, 0, "247ms"},
      {kEchoVolumeDecay, 50, 0, "50%"},   {kShiftFrequency, 1, 1, "Off"},
      {kShiftFrequency, 0, 0, "关闭"},     {kShiftFrequency, 1, 0, "关闭"},
      {kShiftFrequency, 5, 1, "5Hz"},     {kShiftFrequency, 8, 0, "8Hz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatEffectValue(c.row, c.value, c.language), c.text);
  }
}

TEST_F(EffectParametersTest, DefaultsReadBackForBothHalves) {
  const int defaults[kEffectRowCount] = {12, 2, 56, 65, 2, 247, 88, 50, 5};
  for (int half : {kEffectHalfA, kEffectHalfB}) {
    for (int row = 0; row < kEffectRowCount; ++row) EXPECT_EQ(ReadEffectValue(row, half), defaults[row]) << row;
  }
  EXPECT_EQ(ReadEffectValue(9, 0), 0);
  EXPECT_EQ(ReadEffectValue(0, 2), 0);
}

TEST_F(EffectParametersTest, EachRowWritesItsRecordsForEachHalf) {
  struct Case {
    int row, half, value;
    std::vector<Dsp> want;
    int readBack;
  };
  const std::vector<Case> cases = {
      {kReverbLevel, 0, 50, {{3, 0x08, Bytes({0x3F, 0x00, 0x00, 0x02})}}, 50},
      {kReverbLevel, 1, 0, {{3, 0x14, Bytes({0, 0, 0, 0})}}, 0},
      // Milliseconds go out as sample counts at 48000 Hz.
      {kReverbPredelay, 0, 10, {{3, 0x09, Bytes({0, 0, 0x01, 0xE0})}}, 10},
      {kReverbPredelay, 1, 200, {{3, 0x15, Bytes({0, 0, 0x25, 0x80})}}, 200},
      // Both reverb time words always get the same value.
      {kReverbTime, 0, 0, {{3, 0x0A, Bytes({0, 0, 0, 0})}, {3, 0x0B, Bytes({0, 0, 0, 0})}}, 0},
      {kReverbTime, 0, 100, {{3, 0x0A, Bytes({0x3F, 0x80, 0, 0x01})}, {3, 0x0B, Bytes({0x3F, 0x80, 0, 0x01})}}, 100},
      {kReverbTime, 1, 100, {{3, 0x16, Bytes({0x3F, 0x80, 0, 0x01})}, {3, 0x17, Bytes({0x3F, 0x80, 0, 0x01})}}, 100},
      {kEchoLevel, 0, 65, {{2, 0x09, Bytes({0x3F, 0x26, 0x66, 0x68})}}, 65},
      {kEchoLevel, 1, 30, {{2, 0x17, Bytes({0x3E, 0x99, 0x99, 0x9D})}}, 30},
      {kEchoPredelay, 1, 2, {{2, 0x18, Bytes({0, 0, 0, 0x60})}}, 2},
      {kEchoTime, 1, 200, {{2, 0x19, Bytes({0, 0, 0x25, 0x80})}}, 200},
      // Out-of-range values are clamped to the row's slider range first.
      {kEchoTime, 0, 100, {{2, 0x0B, Bytes({0, 0, 0x1E, 0x00})}}, 160},
      {kEchoTime, 0, 999, {{2, 0x0B, Bytes({0, 0, 0x30, 0xC0})}}, 260},
      {kEchoStartVolume, 0, 100, {{2, 0x0C, Bytes({0x3F, 0x80, 0, 0x01})}}, 100},
      {kEchoStartVolume, 1, 10, {{2, 0x1A, Bytes({0x3E, 0xCC, 0xCC, 0xD0})}}, 40},
      {kEchoVolumeDecay, 1, 50, {{2, 0x1B, Bytes({0x3F, 0x00, 0x00, 0x02})}}, 50},
      // Shift frequency: 1 is off and writes only the off flag.
      {kShiftFrequency, 0, 1, {{1, 0x28, Bytes({0, 0, 0, 1})}}, 1},
      {kShiftFrequency, 1, 0, {{1, 0x43, Bytes({0, 0, 0, 1})}}, 1},
      // Otherwise: flag 0, phase increment 2 pi f / 48000, delay (1000/(4f) - 25) ms in samples.
      {kShiftFrequency, 0, 5,
       {{1, 0x28, Bytes({0, 0, 0, 0})}, {1, 0x26, Bytes({0x3A, 0x2B, 0x92, 0xA6})}, {1, 0x27, Bytes({0, 0, 0x04, 0xB0})}},
       5},
      {kShiftFrequency, 1, 8,
       {{1, 0x43, Bytes({0, 0, 0, 0})}, {1, 0x41, Bytes({0x3A, 0x89, 0x42, 0x1E})}, {1, 0x42, Bytes({0, 0, 0x01, 0x2C})}},
       8},
      {kShiftFrequency, 0, 2,
       {{1, 0x28, Bytes({0, 0, 0, 0})}, {1, 0x26, Bytes({0x39, 0x89, 0x42, 0x1E})}, {1, 0x27, Bytes({0, 0, 0x12, 0xC0})}},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " half " << c.half << " value " << c.value);
    writer.sent.clear();
    ASSERT_TRUE(WriteEffectValue(c.row, c.half, c.value));
    ExpectWrites(DspWrites(), c.want);
    EXPECT_EQ(ReadEffectValue(c.row, c.half), c.readBack);
  }
}

TEST_F(EffectParametersTest, WritingOneHalfLeavesTheOtherAlone) {
  ASSERT_TRUE(WriteEffectValue(kEchoTime, kEffectHalfB, 180));
  EXPECT_EQ(ReadEffectValue(kEchoTime, kEffectHalfA), 247);
  ASSERT_TRUE(WriteEffectValue(kShiftFrequency, kEffectHalfA, 1));
  EXPECT_EQ(ReadEffectValue(kShiftFrequency, kEffectHalfB), 5);
}

TEST_F(EffectParametersTest, BadRowOrHalfWritesNothing) {
  EXPECT_FALSE(WriteEffectValue(-1, 0, 10));
  EXPECT_FALSE(WriteEffectValue(kEffectRowCount, 0, 10));
  EXPECT_FALSE(WriteEffectValue(kReverbLevel, 2, 10));
  EXPECT_FALSE(WriteEffectValue(kShiftFrequency, -1, 5));
  EXPECT_EQ(StepEffectValue(kReverbLevel, 2, 1), 0);
  EXPECT_TRUE(writer.sent.empty());
}

TEST_F(EffectParametersTest, StepsStayInRangeAndWriteOnlyChanges) {
  EXPECT_EQ(StepEffectValue(kEchoStartVolume, kEffectHalfA, +1), 89);
  EXPECT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(StepEffectValue(kEchoStartVolume, kEffectHalfA, +50), 100);
  writer.sent.clear();
  EXPECT_EQ(StepEffectValue(kEchoStartVolume, kEffectHalfA, +1), 100);  // at the top: no write
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(StepEffectValue(kShiftFrequency, kEffectHalfB, -1), 4);
  EXPECT_EQ(StepEffectValue(kShiftFrequency, kEffectHalfB, -10), 1);
  ASSERT_FALSE(writer.sent.empty());
  EXPECT_EQ(writer.sent.back().address, 0x43);  // the last step only switched it off
  EXPECT_EQ(ReadEffectValue(kShiftFrequency, kEffectHalfB), 1);
}

TEST_F(EffectParametersTest, StoredValueOutsideTheRangeStepsBackIntoIt) {
  // A device image may hold an echo time below the slider's range (here 100 ms).
  SetParameter(2, 0x0B, 0x42C80000);  // 100.0f as the UI value's float bits
  EXPECT_EQ(ReadEffectValue(kEchoTime, kEffectHalfA), 100);
  EXPECT_EQ(StepEffectValue(kEchoTime, kEffectHalfA, +1), 160);
  EXPECT_EQ(ReadEffectValue(kEchoTime, kEffectHalfA), 160);
}

// What the command line and any other path may set is what these sliders can reach.
TEST(EffectParameterRangesTest, RowsHaveTheLimitsOfTheParametersTheyWrite) {
  for (int row = 0; row < kEffectRowCount; ++row) {
    const EffectRow* r = EffectRowAt(row);
    if (r->format == EffectFormat::kShiftFrequency) continue;
    for (int half : {kEffectHalfA, kEffectHalfB}) {
      SCOPED_TRACE(std::string(r->english) + (half ? " B" : " A"));
      const std::uint8_t address = r->address[std::size_t(half)];
      for (int copy = 0; copy <= (r->pairedAddress ? 1 : 0); ++copy) {
        const ParameterLimits* limits = LimitsOf(*FindParameter(r->block, std::uint8_t(address + copy)));
        ASSERT_NE(limits, nullptr);
        EXPECT_EQ(limits->range.step, 1.0);
        EXPECT_EQ(limits->range.MinimumSteps(), r->minimum);
        EXPECT_EQ(limits->range.MaximumSteps(), r->maximum);
        EXPECT_EQ(limits->range.unit, r->asFloat ? DisplayUnit::Milliseconds : DisplayUnit::Percent);
      }
    }
  }
}

}  // namespace
}  // namespace dsptune
