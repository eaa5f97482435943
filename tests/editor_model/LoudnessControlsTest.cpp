// The features dialog's controls without widgets: ranges and value texts, the exact
// writes of every slider and box, and the positions and ticks shown for the model
// (defaults, stored values, and damaged or out-of-range values).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "editors/model/LoudnessControls.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using S = LoudnessSlider;
using B = LoudnessBox;

std::vector<std::uint8_t> WordBytes(std::uint32_t word) {
  return {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word)};
}
std::vector<std::uint8_t> FloatBytes(float value) { return WordBytes(FloatBits(value)); }
std::vector<std::uint8_t> PercentBytes(int ui) { return WordBytes(UiValueToWord(ConversionKind::Percent, ui)); }

std::vector<std::uint8_t> RecordBytes(const CompressorValues& v) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (std::uint8_t b : WordBytes(word)) bytes.push_back(b);
  return bytes;
}

class LoudnessControlsTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  LoudnessControlsTest() {
    // The link installs its own writer when it first starts; band writes start it.
    ResetLinkState();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    writer.sent.clear();
  }
  std::vector<test::SentWrite> DspWrites() const {
    std::vector<test::SentWrite> out;
    for (const test::SentWrite& w : writer.sent)
      if (w.kind == test::SentWrite::Dsp) out.push_back(w);
    return out;
  }
};

TEST(LoudnessControlsTexts, RangesAndValueTexts) {
  struct Case {
    S slider;
    int min, max;
    bool hidden;
    int position;
    const char* text;
  };
  const Case cases[] = {
      {S::kLowFrequency, 70, 450, false, 200, "200Hz"},   {S::kLowGain, 0, 12, false, 12, "12dB"},
      {S::kMidFrequency, 800, 5000, false, 800, "800Hz"}, {S::kMidGain, 0, 12, false, 0, "0dB"},
      {S::kHighFrequency, 3200, 18000, false, 18000, "18000Hz"},
      {S::kHighGain, 0, 12, false, 5, "5dB"},             {S::kHarmonicGain, 0, 100, false, 36, "36%"},
      {S::kHarmony, 0, 100, false, 100, "100%"},          {S::kHarmonicMix, 0, 100, false, 0, "0%"},
      {S::kHarmonicLevel, 0, 100, true, 55, "55%"},       {S::kMicBassBoost, 0, 40, false, 12, "12dB"},
      {S::kLpfFrequency, 20, 300, false, 80, "80Hz"},     {S::kLpfDelay, 0, 20, false, 20, "20ms"},
      {S::kLpfGain, 0, 300, false, 300, "300%"},          {S::kSubVolume, 0, 100, false, 45, "45%"},
      {S::kValidLevel, -60, 0, false, -60, "-60dB"},      {S::kInputRatio, 10, 300, true, 45, "4.5:1"},
      {S::kInputAttack, 1, 100, false, 60, "60ms"},       {S::kInputRelease, 1, 1000, false, 1000, "1000ms"},
  };
  static_assert(std::size(cases) == kLoudnessSliderCount);
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.slider));
    const LoudnessSliderRange range = LoudnessRange(c.slider);
    EXPECT_EQ(range.min, c.min);
    EXPECT_EQ(range.max, c.max);
    EXPECT_EQ(range.hidden, c.hidden);
    EXPECT_EQ(LoudnessValueText(c.slider, c.position), c.text);
  }
  EXPECT_EQ(LoudnessValueText(S(kLoudnessSliderCount), 5), "");
  EXPECT_EQ(LoudnessRange(S(-1)).max, 0);
}

TEST_F(LoudnessControlsTest, DefaultImageShowsItsValues) {
  const int positions[kLoudnessSliderCount] = {200, 3, 1500, 3, 3200, 5, 36, 100, 100, 100,
                                               0,   100, 0, 0, 0, 0, 40, 60, 600};
  for (int i = 0; i < kLoudnessSliderCount; ++i) EXPECT_EQ(LoudnessPosition(S(i)), positions[i]) << i;
  const bool ticked[kLoudnessBoxCount] = {false, true, false, false, false};
  for (int i = 0; i < kLoudnessBoxCount; ++i) EXPECT_EQ(LoudnessTicked(B(i)), ticked[i]) << i;
  EXPECT_TRUE(writer.sent.empty());
}

// One single-value record per slider move, in the conversion of its parameter; a
// position outside the range is held at its end.
TEST_F(LoudnessControlsTest, SingleValueSlidersWriteTheirParameter) {
  struct Case {
    S slider;
    int position;
    int block, address;
    std::vector<std::uint8_t> bytes;
    int shownAfter;
  };
  const Case cases[] = {
      {S::kLowFrequency, 450, 14, 0x00, FloatBytes(450.0f), 450},
      {S::kLowFrequency, 10, 14, 0x00, FloatBytes(70.0f), 70},
      {S::kLowGain, 12, 14, 0x01, FloatBytes(12.0f), 12},
      {S::kMidFrequency, 2500, 14, 0x02, FloatBytes(2500.0f), 2500},
      {S::kMidGain, 0, 14, 0x03, FloatBytes(0.0f), 0},
      {S::kHighFrequency, 18000, 14, 0x04, test::Bytes({0x46, 0x8C, 0xA0, 0x00}), 18000},
      {S::kHighGain, 7, 14, 0x05, FloatBytes(7.0f), 7},
      {S::kHarmonicGain, 65, 14, 0x06, PercentBytes(65), 65},
      {S::kHarmony, 0, 14, 0x07, test::Bytes({0, 0, 0, 0}), 0},
      {S::kHarmonicMix, 50, 14, 0x08, PercentBytes(50), 50},
      {S::kHarmonicLevel, 100, 14, 0x09, PercentBytes(100), 100},
      {S::kLpfDelay, 20, 4, 0x27, test::Bytes({0, 0, 0x03, 0xC0}), 20},  // 960 samples
      {S::kLpfDelay, 25, 4, 0x27, test::Bytes({0, 0, 0x03, 0xC0}), 20},
      {S::kLpfDelay, 1, 4, 0x27, test::Bytes({0, 0, 0, 48}), 1},
      {S::kLpfGain, 300, 4, 0x28, PercentBytes(300), 300},
      {S::kSubVolume, 45, 1, 0x0D, PercentBytes(45), 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(int(c.slider)) + " at " + std::to_string(c.position));
    writer.sent.clear();
    WriteLoudnessSlider(c.slider, c.position);
    ASSERT_EQ(writer.sent.size(), 1u);
    EXPECT_EQ(writer.sent[0].kind, test::SentWrite::Dsp);
    EXPECT_EQ(writer.sent[0].block, c.block);
    EXPECT_EQ(writer.sent[0].address, c.address);
    EXPECT_EQ(writer.sent[0].bytes, c.bytes);
    EXPECT_EQ(LoudnessPosition(c.slider), c.shownAfter);
  }
}

TEST_F(LoudnessControlsTest, BassBoostIsTheNegatedSubwooferDecayLevel) {
  WriteLoudnessSlider(S::kMicBassBoost, 12);
  ASSERT_FALSE(writer.sent.empty());
  EXPECT_EQ(writer.sent[0].kind, test::SentWrite::Live);
  EXPECT_EQ(writer.sent[0].offset, 1410);
  EXPECT_EQ(writer.sent[0].bytes, FloatBytes(-12.0f));
  std::vector<int> falling;
  for (const test::SentWrite& w : DspWrites()) falling.push_back(w.address);
  EXPECT_EQ(falling, (std::vector<int>{0x47, 0x45, 0x44, 0x2C, 0x2A, 0x29}));
  EXPECT_EQ(EditorSnapshot().subwooferDecayLevel, -12.0f);
  EXPECT_EQ(LoudnessPosition(S::kMicBassBoost), 12);

  // Back to no boost: the rising order, and exactly the default bytes (+0.0, not -0.0).
  writer.sent.clear();
  WriteLoudnessSlider(S::kMicBassBoost, 0);
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0, 0, 0, 0}));
  std::vector<int> rising;
  for (const test::SentWrite& w : DspWrites()) rising.push_back(w.address);
  EXPECT_EQ(rising, (std::vector<int>{0x44, 0x47, 0x45, 0x29, 0x2C, 0x2A}));
  EXPECT_EQ(ReadLiveBytes(1410, 4), test::Bytes({0, 0, 0, 0}));
}

TEST_F(LoudnessControlsTest, BassExtensionFrequencyRewritesMusicSlotTen) {
  // The coefficients go straight to the link, past the model's writer.
  test::RecordingTransport transport;
  {
    LinkState& link = CurrentLink();
    link.transport = &transport;
    link.kind = LinkKind::Usb;
    link.connected = true;
  }
  WriteLoudnessSlider(S::kLpfFrequency, 80);
  CurrentLink().transport = nullptr;
  CurrentLink().connected = false;
  const std::vector<test::TransportCall> calls = transport.Calls();
  ASSERT_EQ(calls.size(), 1u);
  const BiquadCoefficients c = DesignBiquad(kFilterLowPass, 80.0, 0.0, double(0.707f), 0.0, kDeviceSampleRate);
  std::vector<std::uint8_t> coefficients = {0x09, 0x00, 0x04, 0x0A, 0x05};
  for (double v : {-c.a1, -c.a2, c.b0, c.b1, c.b2})
    for (std::uint8_t b : FloatBytes(float(v))) coefficients.push_back(b);
  EXPECT_EQ(std::vector<std::uint8_t>(calls[0].bytes.begin(), calls[0].bytes.begin() + 25), coefficients);

  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].kind, test::SentWrite::Live);
  EXPECT_EQ(writer.sent[0].offset, 476);
  // gain field 150 (0 dB), 80 Hz, Q field 707, type 2 (low-pass)
  const auto record = test::Bytes({0x00, 0x96, 0x00, 0x50, 0x02, 0xC3, 0x02});
  EXPECT_EQ(writer.sent[0].bytes, record);
  EXPECT_EQ(ReadLiveBytes(476, 7), record);
  EXPECT_EQ(LoudnessPosition(S::kLpfFrequency), 80);

  WriteLoudnessSlider(S::kLpfFrequency, 5000);
  EXPECT_EQ(ReadLiveBytes(476, 7), test::Bytes({0x00, 0x96, 0x01, 0x2C, 0x02, 0xC3, 0x02}));  // held at 300 Hz
}

// The moved value replaces one of the stored four; the times go as whole milliseconds
// and the written values become the stored ones.
TEST_F(LoudnessControlsTest, MusicCompressorSlidersWriteOneRecord) {
  WriteCompressorRecord(CompressorTarget::Music, 0, {-12.5f, 3.5f, 59.9998f, 600.4f});
  struct Step {
    S slider;
    int position;
    CompressorValues written;
  };
  const Step steps[] = {
      {S::kValidLevel, -20, {-20.0f, 3.5f, 60.0f, 600.0f}},
      {S::kInputRatio, 45, {-20.0f, 4.5f, 60.0f, 600.0f}},
      {S::kInputAttack, 25, {-20.0f, 4.5f, 25.0f, 600.0f}},
      {S::kInputRelease, 1000, {-20.0f, 4.5f, 25.0f, 1000.0f}},
      {S::kInputRatio, 0, {-20.0f, 1.0f, 25.0f, 1000.0f}},  // held at 1.0:1
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(int(s.slider));
    writer.sent.clear();
    WriteLoudnessSlider(s.slider, s.position);
    ASSERT_EQ(writer.sent.size(), 1u);
    EXPECT_EQ(writer.sent[0].block, 4);
    EXPECT_EQ(writer.sent[0].address, 0x0E);
    EXPECT_EQ(writer.sent[0].bytes, RecordBytes(s.written));
    const CompressorValues stored = EditorSnapshot().musicCompressor;
    EXPECT_EQ(stored.threshold, s.written.threshold);
    EXPECT_EQ(stored.ratio, s.written.ratio);
    EXPECT_EQ(stored.attackMs, s.written.attackMs);
    EXPECT_EQ(stored.releaseMs, s.written.releaseMs);
  }
  EXPECT_EQ(ReadImageBytes(1945 + 3, 28), RecordBytes({-20.0f, 1.0f, 25.0f, 1000.0f}));
}

TEST_F(LoudnessControlsTest, BoxesWriteTheirSwitches) {
  struct Case {
    B box;
    bool ticked;
    std::vector<std::pair<int, int>> addresses;  // block, address
    int value;
  };
  const Case cases[] = {
      {B::kExciterEq, true, {{14, 0x0A}}, 1},           {B::kExciterEq, false, {{14, 0x0A}}, 0},
      {B::kExciter, false, {{14, 0x0B}}, 0},            {B::kExciter, true, {{14, 0x0B}}, 1},
      {B::kMicMaxBass, true, {{1, 0x2B}, {1, 0x46}}, 0}, {B::kMicMaxBass, false, {{1, 0x2B}, {1, 0x46}}, 1},
      {B::kAutoSubDecay, true, {{1, 0x0C}}, 1},         {B::kAutoSubDecay, false, {{1, 0x0C}}, 0},
      {B::kAutoMusicInput, true, {{4, 0x0F}}, 0},       {B::kAutoMusicInput, false, {{4, 0x0F}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(int(c.box)) + (c.ticked ? " ticked" : " unticked"));
    writer.sent.clear();
    WriteLoudnessBox(c.box, c.ticked);
    ASSERT_EQ(writer.sent.size(), c.addresses.size());
    for (std::size_t i = 0; i < c.addresses.size(); ++i) {
      EXPECT_EQ(writer.sent[i].block, c.addresses[i].first);
      EXPECT_EQ(writer.sent[i].address, c.addresses[i].second);
      EXPECT_EQ(writer.sent[i].bytes, test::Bytes({0, 0, 0, c.value}));
    }
    EXPECT_EQ(LoudnessTicked(c.box), c.ticked);
  }
}

TEST_F(LoudnessControlsTest, TicksFollowOnlyTheTickedValue) {
  SetParameter(14, 0x0A, 2);  // a byte no tick writes
  EXPECT_FALSE(LoudnessTicked(B::kExciterEq));
  SetParameter(4, 0x0F, 2);
  EXPECT_FALSE(LoudnessTicked(B::kAutoMusicInput));
  // "Mic Max Bass" follows path A's switch.
  SetParameter(1, 0x2B, 0);
  SetParameter(1, 0x46, 1);
  EXPECT_TRUE(LoudnessTicked(B::kMicMaxBass));
  EXPECT_FALSE(LoudnessTicked(B(kLoudnessBoxCount)));
}

TEST_F(LoudnessControlsTest, PositionsOfStoredValuesStayInTheirRanges) {
  const auto storeFloat = [](int offset, float value) {
    std::uint8_t bytes[4];
    PutFloat(bytes, value);
    StoreImageBytes(offset + 3, bytes);
  };
  storeFloat(3434, std::numeric_limits<float>::quiet_NaN());  // low frequency
  storeFloat(3441, 3.6f);                                      // low gain, rounded
  storeFloat(3448, 9000.0f);                                   // mid frequency above its range
  storeFloat(3462, -std::numeric_limits<float>::infinity());  // high frequency
  StoreImageBytes(2123 + 3, WordBytes(UiValueToWord(ConversionKind::Percent, 450)));  // LPF gain
  StoreImageBytes(476 + 2, test::Bytes({0x03, 0xE8}));                                 // slot 10 at 1000 Hz
  const auto storeLevel = [](float value) {
    std::uint8_t bytes[4];
    PutFloat(bytes, value);
    StoreImageBytes(1410, bytes);
  };
  storeLevel(-55.0f);
  ApplyImage();
  EXPECT_EQ(LoudnessPosition(S::kLowFrequency), 70);
  EXPECT_EQ(LoudnessPosition(S::kLowGain), 4);
  EXPECT_EQ(LoudnessPosition(S::kMidFrequency), 5000);
  EXPECT_EQ(LoudnessPosition(S::kHighFrequency), 3200);
  EXPECT_EQ(LoudnessPosition(S::kLpfGain), 300);
  EXPECT_EQ(LoudnessPosition(S::kLpfFrequency), 300);
  EXPECT_EQ(LoudnessPosition(S::kMicBassBoost), 40);

  storeLevel(3.0f);  // a level above 0 dB is no boost
  ApplyImage();
  EXPECT_EQ(LoudnessPosition(S::kMicBassBoost), 0);
  EXPECT_TRUE(writer.sent.empty());
}

TEST_F(LoudnessControlsTest, UnknownControlsWriteNothing) {
  WriteLoudnessSlider(S(kLoudnessSliderCount), 5);
  WriteLoudnessSlider(S(-1), 5);
  WriteLoudnessBox(B(kLoudnessBoxCount), true);
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(LoudnessPosition(S(kLoudnessSliderCount)), 0);
}

}  // namespace
}  // namespace dsptune
