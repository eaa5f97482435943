#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

#include "model/BandSplit.h"
#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "model/BigEndian.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

class EqBandStoreTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  EqBandStoreTest() { UseLink(LinkKind::Usb); }

  // Packets in send order, command code first.
  std::vector<std::vector<std::uint8_t>> Packets() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& c : transport.Calls()) out.push_back(c.bytes);
    return out;
  }
  static BandRecord LiveBand(int eq, int band) {
    return DecodeBandRecord(ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize).data());
  }
  int CountCode(std::uint8_t code) const {
    int n = 0;
    for (const auto& p : Packets()) n += !p.empty() && p[0] == code;
    return n;
  }
};

TEST_F(EqBandStoreTest, WriteEqBandSendsTheDesignedCoefficientsThenTheRecord) {
  WriteEqBand(kEqMusic, 2, kFilterPeq, 125, 6.0f, 1.41f);
  const auto packets = Packets();
  ASSERT_EQ(packets.size(), 2u);
  const auto& coeff = packets[0];
  ASSERT_EQ(coeff.size(), 25u);
  EXPECT_EQ(std::vector<std::uint8_t>(coeff.begin(), coeff.begin() + 5),
            (std::vector<std::uint8_t>{0x09, 0x00, 4, 0x02, 5}));
  const BiquadCoefficients c = DesignBiquad(kFilterPeq, 125.0, 6.0f, 1.41f, 0.0, 48000.0);
  const float expected[] = {float(-c.a1), float(-c.a2), float(c.b0), float(c.b1), float(c.b2)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(GetU32(&coeff[5 + 4 * std::size_t(i)]), FloatBits(expected[i])) << i;

  // The record goes to offset 420 with the 0x85 live write.
  EXPECT_EQ(packets[1], (std::vector<std::uint8_t>{0x85, 0x01, 0xA4, 7, 0x00, 0xD2, 0x00, 0x7D, 0x05, 0x82, 1}));
  EXPECT_EQ(LiveBand(kEqMusic, 2).gainField, 210);
}

TEST_F(EqBandStoreTest, BandRecordFieldsAreEncodedAsTheDeviceExpects) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const struct {
    float gain, q;
    int gainField, qField;
  } rows[] = {{-0.1f, 1.41f, 149, 1410}, {0.0f, 0.1f, 150, 100}, {15.0f, 30.0f, 300, 30000}, {-15.0f, 0.707f, 0, 707},
              // Values no field can hold are held in 0..65535; not a number gives 0.
              {6540.0f, 65.6f, 65535, 65535}, {-16.0f, -0.5f, 0, 0},
              {kNaN, kNaN, 0, 0}, {kInf, kInf, 65535, 65535}, {-kInf, -kInf, 0, 0},
              {1e10f, 1e10f, 65535, 65535}, {-1e10f, -1e10f, 0, 0},
              {FLT_MAX, FLT_MAX, 65535, 65535}, {-FLT_MAX, -FLT_MAX, 0, 0}};
  for (const auto& r : rows) {
    const BandRecord rec = MakeBandRecord(r.gain, 1000, r.q, 1);
    EXPECT_EQ(rec.gainField, r.gainField) << r.gain;
    EXPECT_EQ(rec.qField, r.qField) << r.q;
  }
}

TEST_F(EqBandStoreTest, CoefficientAddressesFollowTheEqTables) {
  const struct {
    int eq, band;
    std::uint8_t block, address;
    int offset;
  } rows[] = {{kEqReverbB, 3, 3, 15, 378}, {kEqCh1, 0, 5, 0, 483}, {kEqCh8, 12, 12, 12, 1302},
              {kEqMicB, 14, 1, 0x2D + 14, 203}, {kEqRecord, 4, 13, 4, 1351}, {kEqEchoB, 0, 2, 14, 259}};
  for (const auto& r : rows) {
    transport.Clear();
    WriteEqBand(r.eq, r.band, kFilterPeq, 1000, 0.0f, 1.41f);
    const auto packets = Packets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0][2], r.block) << "EQ " << r.eq;
    EXPECT_EQ(packets[0][3], r.address) << "EQ " << r.eq;
    EXPECT_EQ((packets[1][1] << 8) | packets[1][2], r.offset) << "EQ " << r.eq;
  }
}

TEST_F(EqBandStoreTest, CopyCountsFollowSourceAndDestination) {
  const struct {
    int src, dst, copied, resent;
  } rows[] = {{kEqMicA, kEqMusic, 10, 10}, {kEqCh1, 8, 13, 13}, {kEqMusic, 9, 9, 13}, {kEqCh1, kEqReverbA, 7, 7}};
  for (const auto& r : rows) {
    FreshLink();
    UseLink(LinkKind::Usb);
    LoadDefaultImage();
    // Mark every source band so copied records can be told from untouched ones.
    for (int b = 0; b < EqLayoutOf(r.src).recordSlots; ++b) {
      const BandRecord old = LiveBand(r.src, b);
      std::array<std::uint8_t, kBandRecordSize> bytes{};
      EncodeBandRecordBytes(BandRecord{std::uint16_t(200 + b), old.frequency, 900, 1}, bytes.data());
      StoreLiveBytes(EqBandOffset(r.src, b), bytes);
    }
    const auto reverbB = ReadLiveBytes(EqBandOffset(kEqReverbB, 0), 49);
    transport.Clear();
    ASSERT_EQ(CopyEq(r.src, r.dst), 1);
    int copied = 0;
    for (int b = 0; b < EqLayoutOf(r.dst).recordSlots; ++b) copied += LiveBand(r.dst, b).gainField == 200 + b;
    EXPECT_EQ(copied, r.copied) << r.src << " -> " << r.dst;
    EXPECT_EQ(CountCode(0x09), r.resent) << r.src << " -> " << r.dst;
    EXPECT_EQ(CountCode(0x85), r.resent);
    EXPECT_EQ(ReadLiveBytes(EqBandOffset(kEqReverbB, 0), 49), reverbB) << "neighbour untouched";
  }
}

TEST_F(EqBandStoreTest, CopyOntoItselfResendsAndRangeErrorsChangeNothing) {
  const auto before = LiveBlockSnapshot();
  ASSERT_EQ(CopyEq(kEqRecord, kEqRecord), 1);
  EXPECT_EQ(CountCode(0x09), 5);
  EXPECT_EQ(LiveBlockSnapshot(), before);

  transport.Clear();
  EXPECT_EQ(CopyEq(16, 0), 0);
  EXPECT_EQ(CopyEq(0, -1), 0);
  EXPECT_TRUE(Packets().empty());
  EXPECT_EQ(LiveBlockSnapshot(), before);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"CopyEq src over range", "CopyEq dst over range"}));
}

TEST_F(EqBandStoreTest, ResetsWriteTheirDefaultTables) {
  ResetEqToDefaults(kEqEchoA);
  EXPECT_EQ(CountCode(0x09), 7);
  const int freqs[] = {50, 100, 200, 400, 800, 1600, 3200};
  for (int b = 0; b < 7; ++b) {
    const BandRecord r = LiveBand(kEqEchoA, b);
    EXPECT_EQ(r.frequency, freqs[b]);
    EXPECT_EQ(r.qField, 1410);
    EXPECT_EQ(r.gainField, 150);
    EXPECT_EQ(r.type, 1);
  }

  transport.Clear();
  ResetSubChannelEq(12);
  EXPECT_EQ(CountCode(0x09), 13);
  EXPECT_EQ(LiveBand(12, 2).frequency, 250);
  EXPECT_EQ(LiveBand(12, 9).type, 18);
  EXPECT_EQ(LiveBand(12, 10).type, 20);
  EXPECT_EQ(LiveBand(12, 11).type, 1);
  EXPECT_EQ(LiveBand(12, 9).frequency, 100);
}

TEST_F(EqBandStoreTest, ReplayResendsWhatTheRecordsHold) {
  ReplayEq(kEqEchoB);
  const auto packets = Packets();
  ASSERT_EQ(packets.size(), 14u);
  // Band 6 of the echo B defaults: 5000 Hz high shelf at +3 dB, Q 0.707.
  const BiquadCoefficients c = DesignBiquad(kFilterHighShelf, 5000.0, 3.0f, 0.707f, 0.0, 48000.0);
  EXPECT_EQ(GetU32(&packets[12][13]), FloatBits(float(c.b0)));
}

TEST_F(EqBandStoreTest, BandSplitPicksTheMatchingCrossoverPair) {
  const struct {
    int slot13Freq, flag;
    int hp, lp, hpType, lpType;
    float mixSecond;
  } rows[] = {{800, 0, 800, 1300, 3, 2, 1.0f}, {850, 0, 500, 1000, 3, 2, 1.0f}, {3000, 1, 3000, 3500, 1, 1, 0.0f}};
  for (const auto& r : rows) {
    FreshLink();
    UseLink(LinkKind::Usb);
    LoadDefaultImage();
    std::array<std::uint8_t, kBandRecordSize> bytes{};
    EncodeBandRecordBytes(BandRecord{150, std::uint16_t(r.slot13Freq), 707, 1}, bytes.data());
    StoreLiveBytes(EqBandOffset(9, 13), bytes);  // channel 3
    transport.Clear();
    SetOutputBandSplit(3, r.flag);
    const BandRecord hp = LiveBand(9, 13), lp = LiveBand(9, 14);
    EXPECT_EQ(hp.frequency, r.hp);
    EXPECT_EQ(lp.frequency, r.lp);
    EXPECT_EQ(hp.type, r.hpType);
    EXPECT_EQ(lp.type, r.lpType);
    EXPECT_EQ(hp.qField, 707);
    const auto packets = Packets();
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(packets[0][0], 0x09);
    EXPECT_EQ(packets[0][2], 7);
    EXPECT_EQ(packets[0][3], 0x11);
    EXPECT_EQ(GetFloat(&packets[0][9]), r.mixSecond);
    EXPECT_EQ(packets[1][3], 13);
    EXPECT_EQ(packets[3][3], 14);
    EXPECT_EQ(EditorSnapshot().bandSplitFlag[2], r.flag);
  }
}

}  // namespace
}  // namespace dsptune
