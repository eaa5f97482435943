// The record output page without widgets: the exact bytes of every level, switch,
// bypass and limiter write to block 13, the slider positions shown for stored limiter
// values (including values decoded from the device's record), and the record EQ's band
// writes and defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/EqBandStore.h"
#include "editors/model/RecordOutput.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

std::vector<std::uint8_t> Word(std::uint32_t w) {
  return {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w)};
}
// A percentage as SetParameter sends it.
std::vector<std::uint8_t> PercentWord(int percent) { return Word(UiValueToWord(ConversionKind::Percent, percent)); }

std::vector<std::uint8_t> RecordBytes(const CompressorValues& v) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (std::uint8_t b : Word(word)) bytes.push_back(b);
  return bytes;
}

BandRecord StoredBand(int eq, int band) {
  return DecodeBandRecord(ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize).data());
}

class RecordOutputTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  RecordOutputTest() {
    // The link installs its own writer the first time it is touched (a band write
    // touches it): have that happen before the test's writer goes in.
    CurrentLink();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
  }

  // The one write sent since the last clear.
  test::SentWrite OnlyWrite() {
    EXPECT_EQ(writer.sent.size(), 1u);
    return writer.sent.empty() ? test::SentWrite{} : writer.sent.back();
  }
};

TEST_F(RecordOutputTest, LevelWritesAndPositions) {
  struct Case {
    int level, position;
    std::uint8_t address;
    int sent;    // the percentage written
    int shown;   // slider position read back
  };
  const Case cases[] = {
      {kRecordDirect, 42, 0x06, 42, 42}, {kRecordReverb, 0, 0x07, 0, 0}, {kRecordEcho, 100, 0x08, 100, 100},
      {kRecordMusic, 7, 0x09, 7, 7},     {kRecordLevel, 55, 0x0C, 55, 55},
      // Positions outside the slider are held at its ends.
      {kRecordDirect, 150, 0x06, 100, 100}, {kRecordLevel, -5, 0x0C, 0, 0},
  };
  for (const Case& c : cases) {
    writer.sent.clear();
    WriteRecordLevel(c.level, c.position);
    const test::SentWrite w = OnlyWrite();
    EXPECT_EQ(w.block, kRecordBlock) << c.level;
    EXPECT_EQ(w.address, c.address) << c.level;
    EXPECT_EQ(w.bytes, PercentWord(c.sent)) << c.level << " " << c.position;
    EXPECT_EQ(RecordLevelPosition(c.level), c.shown) << c.level;
  }
  writer.sent.clear();
  WriteRecordLevel(5, 10);
  WriteRecordLevel(-1, 10);
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(RecordLevelPosition(5), 0);

  // Stored values beyond the slider (a mode file may hold them) show at its ends.
  SetParameter(kRecordBlock, 0x07, 250);
  EXPECT_EQ(RecordLevelPosition(kRecordReverb), 100);
  SetParameter(kRecordBlock, 0x07, -20);
  EXPECT_EQ(RecordLevelPosition(kRecordReverb), 0);

  EXPECT_EQ(RecordLevelText(0), "0%");
  EXPECT_EQ(RecordLevelText(100), "100%");
  // Defaults: every level at 100 %.
  ResetDataModel();
  LoadDefaultImage();
  for (int k = 0; k < kRecordLevels; ++k) EXPECT_EQ(RecordLevelPosition(k), 100) << k;
}

TEST_F(RecordOutputTest, SwitchAndBypassWrites) {
  // Defaults: the record switch is 1 (limiter off), the EQ not bypassed.
  EXPECT_FALSE(RecordLimiterOn());
  EXPECT_FALSE(RecordEqBypassed());
  struct Case {
    const char* name;
    void (*write)();
    std::uint8_t address;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"limiter on", [] { WriteRecordLimiterSwitch(true); }, 0x0B, 0},
      {"limiter off", [] { WriteRecordLimiterSwitch(false); }, 0x0B, 1},
      {"bypass", [] { SetRecordEqBypass(true); }, 0x05, 1},
      {"no bypass", [] { SetRecordEqBypass(false); }, 0x05, 0},
  };
  for (const Case& c : cases) {
    writer.sent.clear();
    c.write();
    const test::SentWrite w = OnlyWrite();
    EXPECT_EQ(w.block, kRecordBlock) << c.name;
    EXPECT_EQ(w.address, c.address) << c.name;
    EXPECT_EQ(w.bytes, Word(c.value)) << c.name;
  }
  WriteRecordLimiterSwitch(true);
  EXPECT_TRUE(RecordLimiterOn());
  SetRecordEqBypass(true);
  EXPECT_TRUE(RecordEqBypassed());
}

TEST_F(RecordOutputTest, LimiterSliderWritesKeepTheOtherValues) {
  WriteCompressorRecord(CompressorTarget::Record, 0, {-10.0f, 4.0f, 20.0f, 300.0f});
  const auto channelLimiters = EditorSnapshot().channelLimiters;
  struct Case {
    int slider, position;
    CompressorValues expected;
  };
  // Each row builds on the one before: the record keeps what earlier rows set.
  const Case cases[] = {
      {kCompThreshold, -24, {-24.0f, 4.0f, 20.0f, 300.0f}},
      {kCompRatio, 25, {-24.0f, 2.5f, 20.0f, 300.0f}},
      {kCompAttack, 5, {-24.0f, 2.5f, 5.0f, 300.0f}},
      {kCompRelease, 1000, {-24.0f, 2.5f, 5.0f, 1000.0f}},
      // Held in the slider's range: a ratio below 1:1 would give a record the device cannot use.
      {kCompRatio, 0, {-24.0f, 1.0f, 5.0f, 1000.0f}},
      {kCompThreshold, 12, {0.0f, 1.0f, 5.0f, 1000.0f}},
  };
  for (const Case& c : cases) {
    writer.sent.clear();
    const CompressorValues written = WriteRecordCompressorSlider(c.slider, c.position);
    const test::SentWrite w = OnlyWrite();
    EXPECT_EQ(w.block, kRecordBlock);
    EXPECT_EQ(w.address, kRecordLimiterAddress);
    EXPECT_EQ(w.bytes, RecordBytes(c.expected)) << c.slider << " " << c.position;
    EXPECT_EQ(written.threshold, c.expected.threshold);
    EXPECT_EQ(written.ratio, c.expected.ratio);
    const CompressorValues stored = EditorSnapshot().recordLimiter;
    EXPECT_EQ(stored.attackMs, c.expected.attackMs);
    EXPECT_EQ(stored.releaseMs, c.expected.releaseMs);
  }
  // The channel limiters are other records.
  for (std::size_t c = 0; c < channelLimiters.size(); ++c) {
    EXPECT_EQ(EditorSnapshot().channelLimiters[c].threshold, channelLimiters[c].threshold) << c;
    EXPECT_EQ(EditorSnapshot().channelLimiters[c].ratio, channelLimiters[c].ratio) << c;
  }
  writer.sent.clear();
  WriteRecordCompressorSlider(4, 10);
  EXPECT_TRUE(writer.sent.empty());
}

TEST_F(RecordOutputTest, PositionsOfStoredLimiterValues) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    CompressorValues values;
    CompressorPositions positions;
  };
  const Case cases[] = {
      {"threshold truncated", {-12.4f, 4.0f, 20.0f, 100.0f}, {-12, 40, 20, 100}},
      {"threshold toward zero", {-12.6f, 2.5f, 1.0f, 1.0f}, {-12, 25, 1, 1}},
      {"just under a step", {-3.0f, 3.9999998f, 19.9999f, 99.9996f}, {-3, 40, 20, 100}},
      {"held in range", {-80.0f, 50.0f, 0.0f, 5000.0f}, {-60, 300, 1, 1000}},
      {"above zero", {6.0f, 0.5f, 200.0f, 0.0f}, {0, 10, 100, 1}},
      {"damaged", {nan, nan, nan, nan}, {-60, 10, 1, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(RecordCompressorPositions(c.values), c.positions) << c.name;

  // Values as the device's record reads them back: the decoded ratio and times sit a
  // hair below what was written, and the page still shows what was written.
  for (const CompressorValues written : {CompressorValues{-12.0f, 3.3f, 20.0f, 300.0f},
                                         CompressorValues{-40.0f, 4.0f, 7.0f, 999.0f},
                                         CompressorValues{0.0f, 30.0f, 100.0f, 1.0f}}) {
    std::array<std::uint32_t, 7> words =
        CompressorRecordWords(written.threshold, written.ratio, written.attackMs, written.releaseMs);
    const CompressorPositions shown = RecordCompressorPositions(DecodeCompressorRecord(words));
    EXPECT_EQ(shown, (CompressorPositions{int(written.threshold), int(std::lround(written.ratio * 10.0f)),
                                          int(written.attackMs), int(written.releaseMs)}))
        << written.ratio << " " << written.attackMs;
  }
}

TEST_F(RecordOutputTest, RecordEqBandsAndDefaults) {
  EqBand band;
  band.index = 2;
  band.type = 4;
  band.frequency = 1234.7f;
  band.gain = -3.5f;
  band.q = 0.7f;
  writer.sent.clear();
  WriteRecordEqBand(band);
  // The record goes to the model and the device; the coefficients take the link.
  const test::SentWrite w = OnlyWrite();
  EXPECT_EQ(w.kind, test::SentWrite::Live);
  EXPECT_EQ(int(w.offset), EqBandOffset(kRecordEqNumber, 2));
  const BandRecord stored = StoredBand(kRecordEqNumber, 2);
  EXPECT_EQ(stored.frequency, 1234);  // whole hertz
  EXPECT_EQ(stored.gainField, 115);
  EXPECT_EQ(stored.qField, 700);
  EXPECT_EQ(stored.type, 4);

  // The record EQ has five bands: a sixth is never written (it would land in the next
  // block of the image).
  band.index = kRecordEqBands;
  writer.sent.clear();
  const auto before = ReadLiveBytes(EqBandOffset(kRecordEqNumber, 4) + kBandRecordSize, kBandRecordSize);
  WriteRecordEqBand(band);
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(ReadLiveBytes(EqBandOffset(kRecordEqNumber, 4) + kBandRecordSize, kBandRecordSize), before);

  ResetRecordEq();
  const int defaults[kRecordEqBands] = {50, 100, 200, 400, 800};
  for (int b = 0; b < kRecordEqBands; ++b) {
    const BandRecord r = StoredBand(kRecordEqNumber, b);
    EXPECT_EQ(r.frequency, defaults[b]) << b;
    EXPECT_EQ(r.gainField, 150) << b;
    EXPECT_EQ(r.qField, 1410) << b;
    EXPECT_EQ(r.type, 1) << b;
  }
}

}  // namespace
}  // namespace dsptune
