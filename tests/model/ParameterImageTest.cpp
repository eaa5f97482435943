#include <gtest/gtest.h>

#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::Bytes;

class ParameterImageTest : public ::testing::Test, protected test::ModelFixtureBase {};

TEST_F(ParameterImageTest, DefaultRecordAreaParsesWithoutGapsInto232Records) {
  const ParameterImageBytes& image = DefaultImage();
  ASSERT_EQ(image.size(), 3518u);
  int offset = kRecordAreaOffset, records = 0;
  std::vector<std::pair<int, int>> keys;
  while (offset < kImageSize) {
    keys.emplace_back(image[std::size_t(offset)], image[std::size_t(offset + 1)]);
    offset += 3 + 4 * image[std::size_t(offset + 2)];
    ++records;
  }
  EXPECT_EQ(offset, kImageSize);
  EXPECT_EQ(records, 232);
  EXPECT_EQ(keys.front(), std::make_pair(1, 0x04));
  EXPECT_EQ(keys.back(), std::make_pair(14, 0x0B));
  EXPECT_EQ(ParameterTable().size(), 230u);
}

TEST_F(ParameterImageTest, DefaultImageHoldsTheTabledRecordsAtTheirOffsets) {
  const ParameterImageBytes& image = DefaultImage();
  struct Row {
    int offset;
    std::vector<std::uint8_t> bytes;
  };
  const Row rows[] = {
      {1520, Bytes({1, 0x21, 1, 0, 0, 0, 0})},                  // Mic A EQ bypass
      {1555, Bytes({1, 0x26, 1})},                              // shift frequency, 5 Hz below
      {1562, Bytes({1, 0x27, 1, 0, 0, 0x04, 0xB0})},            // 25 ms = 1200 samples
      {1597, Bytes({1, 0x2C, 6, 0x3F, 0x80, 0, 0, 0x3F, 0x80, 0, 0, 0x3F, 0x7D, 0x55, 0x4A, 0xBF, 0xFE, 0xA8, 0xDC})},
      {1756, Bytes({2, 0x0B, 1, 0, 0, 0x2E, 0x50})},            // echo time 247 ms = 11856
      {1983, Bytes({4, 0x10, 1, 0, 0, 0, 0})},                  // carried, never written
      {1990, Bytes({4, 0x11, 1, 0xC1, 0xC8, 0, 0})},            // -25.0
      {1997, Bytes({4, 0x15, 1, 0, 0, 0, 5})},                  // music pitch + 5
      {2011, Bytes({4, 0x17, 1, 0, 0, 0, 11})},                 // input source
      {2130, Bytes({5, 0x0F, 1, 0, 0, 0, 0})},                  // CH1 first record
      {2144, Bytes({5, 0x11, 2, 0x3F, 0x80, 0, 0, 0, 0, 0, 0})},
      {2130 + 126, Bytes({5, 0x1D, 6, 0x3F, 0x80, 0, 0, 0x3F, 0x80, 0, 0, 0x3F, 0x7E, 0xFF, 0x25, 0xBF, 0xFF, 0x7E, 0xF1})},
      {3354, Bytes({13, 0x05, 1, 0, 0, 0, 0})},
      {3434, Bytes({14, 0x00, 1, 0x43, 0x48, 0, 0})},           // 200.0 Hz
      {3511, Bytes({14, 0x0B, 1, 0, 0, 0, 1})},
      {1390, Bytes({4, 4, 0, 0, 0x8A, 0x0A, 0, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A, 0, 0x8A, 0x0A, 0x8A, 0x85, 0, 5, 0})},
      {EqBandOffset(kEqMicA, 8), Bytes({0, 150, 0x03, 0xE6, 0x05, 0x86, 1})},  // 998 Hz, Q 1.414
      {EqBandOffset(kEqEchoB, 6), Bytes({0, 180, 0x13, 0x88, 0x02, 0xC3, 5})}, // 5000 Hz HS +3 dB
      {476, Bytes({0, 150, 0, 100, 0x02, 0xC3, 2})},                           // Music extra slot
      {EqBandOffset(12, 9), Bytes({0, 150, 0, 100, 0x02, 0xC3, 18})},          // CH6 low-pass
      {EqBandOffset(kEqCh8, 14), Bytes({0, 150, 0x03, 0xE8, 0x02, 0xC3, 1})},
      {EqBandOffset(kEqRecord, 4), Bytes({0, 150, 0x01, 0xF4, 0x05, 0x86, 1})},
  };
  for (const Row& r : rows) {
    const std::vector<std::uint8_t> actual(image.begin() + r.offset, image.begin() + r.offset + long(r.bytes.size()));
    EXPECT_EQ(actual, r.bytes) << "at offset " << r.offset;
  }
  // The shift frequency word is the 5 Hz phase increment 2 pi 5 / 48000.
  EXPECT_NEAR(GetFloat(&image[1558]), 0.000654498f, 1e-9f);
  // Output channel source selections CH1..CH8.
  const int sources[] = {1, 0, 7, 6, 5, 4, 3, 2};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(image[std::size_t(2130 + 153 * c + 7 + 6)], sources[c]) << "CH" << c + 1;
}

TEST_F(ParameterImageTest, ApplyImageDerivesUiAndEditorValuesFromTheDefaults) {
  LoadDefaultImage();
  EXPECT_EQ(UiValue(2, 0x09), 65);                   // echo level
  EXPECT_EQ(UiValue(1, 0x08), 20);                   // noise gate 0.002
  EXPECT_EQ(FloatFromUi(UiValue(2, 0x0B)), 247.0f);  // echo time
  EXPECT_EQ(UiValue(4, 0x17), 11);
  EXPECT_EQ(FloatFromUi(UiValue(14, 0x02)), 1500.0f);
  EXPECT_EQ(UiValue(4, 0x15), 0) << "music pitch has no UI slot";
  const EditorValues ev = EditorSnapshot();
  EXPECT_EQ(ev.shiftFrequency[0], 5);
  EXPECT_EQ(ev.shiftFrequency[1], 5);
  EXPECT_EQ(ev.musicPitch, 0);
  EXPECT_EQ(ev.bandSplitFlag[0], 1) << "default mix pair 1.0, 0.0 means split off";
  EXPECT_NEAR(ev.musicCompressor.ratio, 4.0f, 1e-4f);
  EXPECT_NEAR(ev.musicCompressor.attackMs, 60.0f, 0.01f);
  EXPECT_NEAR(ev.musicCompressor.releaseMs, 600.0f, 0.5f);
  EXPECT_NEAR(ev.channelLimiters[7].ratio, 30.0f, 0.01f);
  EXPECT_NEAR(ev.recordLimiter.releaseMs, 100.0f, 0.05f);
  EXPECT_EQ(ev.ssvc.roomWidth, 4);
  EXPECT_FLOAT_EQ(ev.ssvc.speakers[6][0], -0.5f);
  EXPECT_FLOAT_EQ(ev.ssvc.speakers[0][1], 1.0f);
}

TEST_F(ParameterImageTest, ApplyImageReadsStoredDeviceValues) {
  const std::pair<int, std::vector<std::uint8_t>> stores[] = {
      {1745, Bytes({0x3F, 0x26, 0x66, 0x66})},  // echo A level 0.65
      {1453, Bytes({0x3B, 0x03, 0x12, 0x6F})},  // noise gate 0.002
      {1523, Bytes({0x00, 0x00, 0x01, 0x07})},  // Mic A bypass byte
      {1572, Bytes({0, 0, 0, 1})},              // path A shift frequency off
      {2000, Bytes({0, 0, 0, 8})},              // pitch +3
      {2151, Bytes({0, 0, 0, 0})},              // CH1 mix pair second value 0: split off
      {2304, Bytes({0x3F, 0x80, 0, 0})},        // CH2 second value 1.0: split on
  };
  for (const auto& [offset, bytes] : stores) StoreImageBytes(offset, bytes);
  ApplyImage();
  EXPECT_EQ(UiValue(2, 0x09), 65);
  EXPECT_EQ(UiValue(1, 0x08), 20);
  EXPECT_EQ(UiValue(1, 0x21), 7);
  const EditorValues ev = EditorSnapshot();
  EXPECT_EQ(ev.shiftFrequency[0], 1);
  EXPECT_EQ(ev.musicPitch, 3);
  EXPECT_EQ(ev.bandSplitFlag[0], 1);
  EXPECT_EQ(ev.bandSplitFlag[1], 0);
}

TEST_F(ParameterImageTest, SetParameterConvertsStoresAndSendsOneValue) {
  SetParameter(4, 0x17, 3);
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].block, 4);
  EXPECT_EQ(writer.sent[0].address, 0x17);
  EXPECT_EQ(writer.sent[0].bytes, Bytes({0, 0, 0, 3}));
  EXPECT_EQ(ReadImageBytes(2014, 4), Bytes({0, 0, 0, 3}));
  EXPECT_EQ(UiValue(4, 0x17), 3);

  SetParameter(2, 0x0B, UiFromFloat(247.0f));
  EXPECT_EQ(writer.sent.back().bytes, Bytes({0, 0, 0x2E, 0x50}));
}

TEST_F(ParameterImageTest, SetParameterIgnoresAddressesWithoutAUsableEntry) {
  const ParameterImageBytes before = ImageSnapshot();
  SetParameter(4, 0x10, 1);   // record without table entry
  SetParameter(4, 0x15, 3);   // entry without image link
  SetParameter(1, 0x2C, 1);   // kind none
  SetParameter(9, 0x77, 1);   // nothing there
  SetParameter(15, 0x00, 1);  // no such block
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(ImageSnapshot(), before);
}

TEST_F(ParameterImageTest, WriteDspRecordCopiesOnlyIntoItsOwnRecord) {
  const std::vector<std::uint8_t> eight(8 * 4, 0xAB);
  const ParameterImageBytes before = ImageSnapshot();
  WriteDspRecord(5, 0x11, eight, 8);  // the mix pair holds two values
  const ParameterImageBytes after = ImageSnapshot();
  EXPECT_EQ(ReadImageBytes(2147, 8), std::vector<std::uint8_t>(8, 0xAB));
  EXPECT_TRUE(std::equal(after.begin() + 2155, after.end(), before.begin() + 2155)) << "next record untouched";
  ASSERT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(writer.sent[0].bytes.size(), 32u);

  WriteDspRecord(4, 0x26, Bytes({0, 0, 0, 8}), 1);  // no record: sent only
  EXPECT_EQ(writer.sent.size(), 2u);
}

TEST_F(ParameterImageTest, LiveBlockWritesAreBoundedAndCommittedOnRequest) {
  EXPECT_TRUE(WriteLiveBytes(0, Bytes({0, 0x96, 0x01, 0xF4, 0x05, 0x86, 1})));
  EXPECT_FALSE(WriteLiveBytes(1420, Bytes({1, 2, 3})));
  EXPECT_FALSE(WriteLiveBytes(0, std::vector<std::uint8_t>(57, 1)));
  EXPECT_FALSE(WriteLiveBytes(-1, Bytes({1})));
  EXPECT_EQ(writer.sent.size(), 1u);
  EXPECT_EQ(ReadImageBytes(2, 2), Bytes({0, 25})) << "image changes only on commit";
  EXPECT_EQ(ReadLiveBytes(2, 2), Bytes({0x01, 0xF4}));
  CommitLiveBlock();
  EXPECT_EQ(ReadImageBytes(0, 7), ReadLiveBytes(0, 7));
}

TEST_F(ParameterImageTest, StoresOutsideTheAreasAreCutOrIgnored) {
  StoreImageBytes(3516, Bytes({1, 2, 3, 4}));
  EXPECT_EQ(ReadImageBytes(3516, 4), Bytes({1, 2}));
  const ParameterImageBytes before = ImageSnapshot();
  StoreImageBytes(3518, Bytes({9}));
  StoreImageBytes(-5, Bytes({9}));
  EXPECT_EQ(ImageSnapshot(), before);
  StoreLiveBytes(1420, Bytes({7, 7, 7}));
  EXPECT_EQ(ReadLiveBytes(1420, 5), Bytes({7, 7}));
}

TEST(EqBandOffsetTest, MatchesTheEqualiserLayout) {
  const struct {
    int eq, band, offset;
  } rows[] = {{0, 0, 0}, {0, 14, 98}, {1, 0, 105}, {5, 3, 378}, {6, 10, 476}, {7, 0, 483},
              {7, 13, 574}, {14, 12, 1302}, {15, 0, 1323}, {15, 4, 1351}, {16, 2, 14}, {-1, 1, 7}};
  for (const auto& r : rows) EXPECT_EQ(EqBandOffset(r.eq, r.band), r.offset) << "EQ " << r.eq << " band " << r.band;
}

}  // namespace
}  // namespace dsptune
