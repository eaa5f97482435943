#include <gtest/gtest.h>

#include <cmath>

#include "model/BigEndian.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "model/RecordFormulas.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::Bytes;
using test::SentWrite;

std::vector<std::uint8_t> Word(std::uint32_t w) {
  std::vector<std::uint8_t> b(4);
  PutU32(b.data(), w);
  return b;
}

class DerivedRecordsTest : public ::testing::Test, protected test::ModelFixtureBase {
 protected:
  std::vector<int> DspAddresses() const {
    std::vector<int> out;
    for (const SentWrite& s : writer.sent)
      if (s.kind == SentWrite::Dsp) out.push_back(s.address);
    return out;
  }
};

TEST_F(DerivedRecordsTest, ShiftFrequencyWritesSwitchIncrementAndDelay) {
  SetShiftFrequency(0, 5);
  ASSERT_EQ(writer.sent.size(), 3u);
  EXPECT_EQ(writer.sent[0].address, 0x28);
  EXPECT_EQ(writer.sent[0].bytes, Bytes({0, 0, 0, 0}));
  EXPECT_EQ(writer.sent[1].address, 0x26);
  EXPECT_NEAR(GetFloat(writer.sent[1].bytes.data()), 0.000654498f, 1e-9f);
  EXPECT_EQ(writer.sent[2].address, 0x27);
  EXPECT_EQ(GetU32(writer.sent[2].bytes.data()), 1200u);
  EXPECT_EQ(FloatFromUi(UiValue(1, 0x27)), 25.0f) << "UI value follows the record";

  writer.sent.clear();
  SetShiftFrequency(1, 1);
  ASSERT_EQ(writer.sent.size(), 1u) << "1 Hz means off: only the switch";
  EXPECT_EQ(writer.sent[0].address, 0x43);
  EXPECT_EQ(writer.sent[0].bytes, Bytes({0, 0, 0, 1}));

  ApplyImage();
  EXPECT_EQ(EditorSnapshot().shiftFrequency[1], 1);
  EXPECT_EQ(EditorSnapshot().shiftFrequency[0], 5);
}

TEST_F(DerivedRecordsTest, SixValueRecordsCarryTheirBlocksConstants) {
  const auto mic = SixValueGainWords(0.0f, SixValueBlock::Microphone);
  const auto out = SixValueGainWords(0.0f, SixValueBlock::OutputChannel);
  EXPECT_EQ(mic, (std::array<std::uint32_t, 6>{0x3F800000, 0x3F800000, 0x3F7D554A, 0xBFFEA8DC, 0x3F800000, 0x3F800000}));
  EXPECT_EQ(out[2], 0x3F7EFF25u);
  EXPECT_EQ(out[3], 0xBFFF7EF1u);
  const auto minus6 = SixValueGainWords(-6.0f, SixValueBlock::OutputChannel);
  EXPECT_NEAR(BitsFloat(minus6[0]), 0.501187f, 1e-5f);
  const float e = std::pow(10.0f, (0.0022594517f * 36.0f - 0.79990202f * 6.0f) / 20.0f);
  EXPECT_NEAR(BitsFloat(minus6[1]), e, 1e-6f);
  EXPECT_EQ(minus6[4], minus6[0]);
  EXPECT_EQ(minus6[5], minus6[1]);

  WriteChannelSixValueGain(3, -6.0f);
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].block, 7);
  EXPECT_EQ(writer.sent[0].address, 0x1D);
  EXPECT_EQ(writer.sent[0].bytes.size(), 24u);
}

TEST_F(DerivedRecordsTest, SubwooferDecayOrderDependsOnDirectionAndHoldsCoalescing) {
  SetSubwooferDecayLevel(-6.0f);  // falling from 0
  ASSERT_GE(writer.sent.size(), 2u);
  EXPECT_EQ(writer.sent[0].kind, SentWrite::Live);
  EXPECT_EQ(writer.sent[0].offset, 1410);
  EXPECT_EQ(writer.sent[0].bytes, Word(FloatBits(-6.0f)));
  EXPECT_EQ(writer.sent[1].kind, SentWrite::Coalescing);
  EXPECT_FALSE(writer.sent[1].coalescing);
  EXPECT_EQ(DspAddresses(), (std::vector<int>{0x47, 0x45, 0x44, 0x2C, 0x2A, 0x29}));
  EXPECT_EQ(writer.sent.back().kind, SentWrite::Coalescing);
  EXPECT_TRUE(writer.sent.back().coalescing);
  const float g = std::pow(10.0f, -6.0f / 20.0f);
  EXPECT_NEAR(GetFloat(writer.sent[3].bytes.data()), g, 1e-6f);      // 0x45 = g
  EXPECT_NEAR(GetFloat(writer.sent[4].bytes.data()), 1 / g, 1e-5f);  // 0x44 = 1/g
  EXPECT_EQ(EditorSnapshot().subwooferDecayUi, -6);

  writer.sent.clear();
  SetSubwooferDecayLevel(-3.0f);  // rising
  EXPECT_EQ(DspAddresses(), (std::vector<int>{0x44, 0x47, 0x45, 0x29, 0x2C, 0x2A}));
  EXPECT_EQ(ReadLiveBytes(1410, 4), Word(FloatBits(-3.0f)));
}

TEST_F(DerivedRecordsTest, SsvcSettingsEncodeSignedTenths) {
  const std::pair<float, int> rows[] = {{0.0f, 0x80}, {-1.0f, 0x8A}, {1.0f, 0x0A}, {-0.5f, 0x85},
                                        {0.5f, 0x05}, {2.34f, 0x17}, {-0.04f, 0x80}};
  for (const auto& [v, byte] : rows) EXPECT_EQ(EncodeSignedTenths(v), byte) << v;
  EXPECT_FLOAT_EQ(DecodeSignedTenths(0x8A), -1.0f);

  SsvcSettings s;
  s.roomWidth = 6;
  s.roomLength = 300;  // only the low byte goes to the device
  s.listenerX = -1.0f;
  s.speakers[0] = {1.0f, -0.5f};
  WriteSsvcSettings(s);
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].offset, 1390);
  const auto& b = writer.sent[0].bytes;
  ASSERT_EQ(b.size(), 20u);
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 6), Bytes({6, 44, 0x8A, 0x80, 0x0A, 0x85}));
  EXPECT_EQ(ReadLiveBytes(1390, 20), b);
}

TEST_F(DerivedRecordsTest, SsvcResetRewritesLevelsChannelRecordsAndSettings) {
  ResetSsvc();
  ASSERT_EQ(writer.sent.size(), 10u);
  EXPECT_EQ(writer.sent[0].offset, 1358);
  EXPECT_EQ(writer.sent[0].bytes, std::vector<std::uint8_t>(32, 0));
  for (int c = 1; c <= 8; ++c) EXPECT_EQ(writer.sent[std::size_t(c)].block, c + 4);
  EXPECT_EQ(writer.sent[9].offset, 1390);
  EXPECT_EQ(writer.sent[9].bytes, Bytes({4, 4, 0, 0, 0x8A, 0x0A, 0, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A, 0, 0x8A, 0x0A, 0x8A,
                                         0x85, 0, 5, 0}));
}

TEST_F(DerivedRecordsTest, LocateSelectorGoesToTheLiveBlockThenBlock4) {
  SetSsvcLocateSelector(8);
  ASSERT_EQ(writer.sent.size(), 2u);
  EXPECT_EQ(writer.sent[0].offset, 1414);
  EXPECT_EQ(writer.sent[0].bytes, Bytes({8}));
  EXPECT_EQ(writer.sent[1].block, 4);
  EXPECT_EQ(writer.sent[1].address, 0x26);
  EXPECT_EQ(writer.sent[1].bytes, Bytes({0, 0, 0, 8}));
}

TEST_F(DerivedRecordsTest, MusicPitchIsSentButTheImageChangesOnlyFromTheDevice) {
  const auto before = ReadImageBytes(1997, 7);
  SetMusicPitch(3);
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].bytes, Bytes({0, 0, 0, 8}));
  EXPECT_EQ(ReadImageBytes(1997, 7), before);
  // The device's answer carries the new record; the read-back gives +3.
  StoreImageBytes(2000, Bytes({0, 0, 0, 8}));
  ApplyImage();
  EXPECT_EQ(EditorSnapshot().musicPitch, 3);
}

TEST_F(DerivedRecordsTest, CompressorRecordRoundTripsThroughTheEditorValues) {
  WriteCompressorRecord(CompressorTarget::Channel, 2, {-12.0f, 8.0f, 5.0f, 250.0f});
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].block, 6);
  EXPECT_EQ(writer.sent[0].address, 0x1B);
  const auto& b = writer.sent[0].bytes;
  ASSERT_EQ(b.size(), 28u);
  EXPECT_FLOAT_EQ(GetFloat(&b[8]), 0.875f);
  EXPECT_FLOAT_EQ(GetFloat(&b[12]), 20.0f);
  EXPECT_FLOAT_EQ(GetFloat(&b[16]), 0.05f);
  EXPECT_NEAR(GetFloat(&b[20]), 1.0 - std::exp(-1.0 / 240.0), 1e-7);
  ApplyImage();
  const CompressorValues v = EditorSnapshot().channelLimiters[1];
  EXPECT_FLOAT_EQ(v.threshold, -12.0f);
  EXPECT_NEAR(v.ratio, 8.0f, 1e-4f);
  EXPECT_NEAR(v.attackMs, 5.0f, 1e-3f);
  EXPECT_NEAR(v.releaseMs, 250.0f, 0.1f);
}

TEST_F(DerivedRecordsTest, InputSourceByteIsTheLastValueByteOfItsRecord) {
  EXPECT_EQ(InputSourceByte(), 11);
  SetInputSourceByte(3);
  EXPECT_EQ(ReadImageBytes(2014, 4), Bytes({0, 0, 0, 3}));
  EXPECT_TRUE(writer.sent.empty());
}

}  // namespace
}  // namespace dsptune
