// The output channels without widgets: linked groups from roles and link boxes, the
// writes behind every per-channel control for one channel and for a linked group, the
// band split, delay and limiter rules, group band writes, pair comparison and
// synchronisation, and the reset of the channel equalisers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/BandSplit.h"
#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "editors/model/EqPanelModel.h"
#include "editors/model/OutputChannels.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using Address = std::pair<int, int>;  // block, address

BandRecord StoredBand(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return DecodeBandRecord(bytes.data());
}

ChannelSet Set(std::initializer_list<int> channels) {
  ChannelSet set{};
  for (int c : channels) set[std::size_t(c)] = true;
  return set;
}

class OutputChannelsTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  OutputChannelsTest() {
    // The link installs its own writer when it first starts; band writes start it.
    ResetLinkState();
    SetDeviceWriter(&writer);
    LoadDefaultImage();
    writer.sent.clear();
  }
  // (block, address) of every 0x09 write, in order.
  std::vector<Address> DspWrites() const {
    std::vector<Address> out;
    for (const test::SentWrite& w : writer.sent)
      if (w.kind == test::SentWrite::Dsp) out.emplace_back(w.block, w.address);
    return out;
  }
  // Offsets of the 0x85 writes, in order.
  std::vector<int> LiveWrites() const {
    std::vector<int> out;
    for (const test::SentWrite& w : writer.sent)
      if (w.kind == test::SentWrite::Live) out.push_back(w.offset);
    return out;
  }
};

TEST(OutputChannelRoles, LinkedGroupsFollowRolesAndBoxes) {
  const ChannelRoles defaults = {1, 0, 7, 6, 5, 4, 3, 2};  // CH1..CH8 at start
  const ChannelRoles twoSubs = {0, 1, 4, 4, 5, 5, 2, 3};
  const ChannelRoles threeLefts = {0, 0, 1, 2, 3, 4, 6, 7};
  struct Case {
    const char* name;
    ChannelRoles roles;
    LinkBoxes boxes;
    int current;
    ChannelSet expected;
  };
  const Case cases[] = {
      {"front linked, CH1 is CH-R", defaults, {true, false, false}, 0, Set({0, 1})},
      {"front linked, CH2 is CH-L", defaults, {true, false, false}, 1, Set({0, 1})},
      {"front not linked", defaults, {false, true, true}, 0, Set({0})},
      {"back pair CH3 CH4", defaults, {false, false, true}, 3, Set({2, 3})},
      {"side pair CH7 CH8", defaults, {false, true, false}, 6, Set({6, 7})},
      {"sub never linked", defaults, {true, true, true}, 4, Set({4})},
      {"centre never linked", defaults, {true, true, true}, 5, Set({5})},
      {"two subs stay alone", twoSubs, {true, true, true}, 2, Set({2})},
      {"every channel of the pair", threeLefts, {true, false, false}, 1, Set({0, 1, 2})},
      {"channel out of range", defaults, {true, true, true}, 8, Set({})},
  };
  for (const Case& c : cases) EXPECT_EQ(LinkedChannels(c.current, c.roles, c.boxes), c.expected) << c.name;

  EXPECT_EQ(PairChannels(2, defaults), (std::vector<int>{2, 3}));
  EXPECT_EQ(PairChannels(0, threeLefts), (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(PairChannels(3, defaults).empty());
  for (int role : {int(kRoleSub), int(kRoleCentre), -1, 8}) EXPECT_EQ(LinkPairOfRole(role), -1) << role;
}

TEST(OutputChannelRoles, LinkBoxesAreOptionRecordBytesZeroToTwo) {
  EXPECT_EQ(LinkBoxesFromRecord({1, 1, 1, 0, 0, 0, 0, 0}), (LinkBoxes{true, true, true}));
  EXPECT_EQ(LinkBoxesFromRecord({1, 0, 7, 0, 0, 0, 0, 0}), (LinkBoxes{true, false, true}));
  EXPECT_EQ(LinkBoxesFromRecord({1}), (LinkBoxes{true, false, false}));
  EXPECT_EQ(RecordWithLinkBoxes({1, 1, 1, 9, 0, 0, 0, 5}, {false, true, false}),
            (std::vector<std::uint8_t>{0, 1, 0, 9, 0, 0, 0, 5}));
  EXPECT_EQ(RecordWithLinkBoxes({}, {true, false, true}), (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 0, 0, 0}));
}

// Each control's write for one channel and for a linked pair: the (block, address)
// sequence sent and the UI value each channel then holds.
TEST_F(OutputChannelsTest, ControlWritesGoToTheirChannelOrGroup) {
  struct Case {
    const char* name;
    std::function<void()> write;
    std::vector<Address> sent;
    int address;
    std::vector<std::pair<int, int>> uiValues;  // channel, value
  };
  const ChannelSet one = Set({2});
  const ChannelSet pair = Set({0, 1});
  const Case cases[] = {
      {"mute ticked", [] { WriteChannelMute(3, true); }, {{8, 0x1A}}, 0x1A, {{3, 0}, {2, 100}}},
      {"mute cleared", [] { WriteChannelMute(3, false); }, {{8, 0x1A}}, 0x1A, {{3, 100}}},
      {"phase ticked", [] { WriteChannelPhase(7, true); }, {{12, 0x19}}, 0x19, {{7, -100}}},
      {"phase cleared", [] { WriteChannelPhase(0, false); }, {{5, 0x19}}, 0x19, {{0, 100}}},
      {"role", [] { WriteChannelRole(5, kRoleBackLeft); }, {{10, 0x10}}, 0x10, {{5, 6}, {4, 5}}},
      {"direct, one", [&] { WriteMixLevel(one, 0, 42); }, {{7, 0x14}}, 0x14, {{2, 42}, {3, 100}}},
      {"music, pair", [&] { WriteMixLevel(pair, 3, 7); }, {{5, 0x17}, {6, 0x17}}, 0x17, {{0, 7}, {1, 7}, {2, 100}}},
      {"reverb, pair", [&] { WriteMixLevel(pair, 1, 0); }, {{5, 0x15}, {6, 0x15}}, 0x15, {{0, 0}, {1, 0}}},
      {"echo, one", [&] { WriteMixLevel(one, 2, 100); }, {{7, 0x16}}, 0x16, {{2, 100}}},
      {"delay switch on", [&] { WriteDelaySwitch(pair, true); }, {{5, 0x13}, {6, 0x13}}, 0x13, {{0, 0}, {1, 0}, {2, 1}}},
      {"delay switch off", [&] { WriteDelaySwitch(one, false); }, {{7, 0x13}}, 0x13, {{2, 1}}},
      {"limiter switch on", [&] { WriteLimiterSwitch(pair, true); }, {{5, 0x1C}, {6, 0x1C}}, 0x1C, {{0, 0}, {1, 0}}},
      {"limiter switch off", [&] { WriteLimiterSwitch(one, false); }, {{7, 0x1C}}, 0x1C, {{2, 1}}},
      {"bad role", [] { WriteChannelRole(1, 8); }, {}, 0x10, {{1, 0}}},
      {"bad mix level", [&] { WriteMixLevel(pair, 4, 10); }, {}, 0x14, {{0, 100}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writer.sent.clear();
    c.write();
    EXPECT_EQ(DspWrites(), c.sent);
    for (const auto& [channel, value] : c.uiValues) EXPECT_EQ(UiValue(ChannelBlock(channel), std::uint8_t(c.address)), value);
  }
  // The raw values on the wire for the integer and percent kinds.
  writer.sent.clear();
  WriteChannelMute(0, true);
  WriteChannelRole(0, 3);
  WriteDelaySwitch(Set({0}), false);
  ASSERT_EQ(writer.sent.size(), 3u);
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0, 0, 0, 0}));
  EXPECT_EQ(writer.sent[1].bytes, test::Bytes({0, 0, 0, 3}));
  EXPECT_EQ(writer.sent[2].bytes, test::Bytes({0, 0, 0, 1}));
}

TEST_F(OutputChannelsTest, DelayIsWrittenOnlyWhenItChanges) {
  EXPECT_FLOAT_EQ(ChannelDelayMs(0), 2.0f);
  EXPECT_FALSE(WriteDelay(0, Set({0, 1}), 20));  // already 2.0 ms
  EXPECT_TRUE(writer.sent.empty());

  ASSERT_TRUE(WriteDelay(0, Set({0, 1}), 14));
  EXPECT_EQ(DspWrites(), (std::vector<Address>{{5, 0x12}, {6, 0x12}}));
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0, 0, 0, 67}));  // 1.4 ms x 48 + 0.5 samples
  EXPECT_FLOAT_EQ(ChannelDelayMs(1), 1.4f);

  // Only the current channel's delay decides: CH2 differs, CH1 does not.
  SetParameter(6, 0x12, std::int32_t(FloatBits(5.0f)));
  writer.sent.clear();
  EXPECT_FALSE(WriteDelay(0, Set({0, 1}), 14));
  EXPECT_TRUE(writer.sent.empty());
  ASSERT_TRUE(WriteDelay(0, Set({0}), 1000));
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0, 0, 0x12, 0xC0}));  // 100 ms = 4800 samples
  EXPECT_FLOAT_EQ(ChannelDelayMs(1), 5.0f);
}

TEST_F(OutputChannelsTest, BandSplitFlagAndPair) {
  // Radio: split on for both channels, each keeping its own pair.
  WriteBandSplit(1, 1, 3);  // CH2 at (800, 1300), split off
  writer.sent.clear();
  WriteBandSplitFlag(Set({0, 1}), 0);
  EXPECT_EQ(DspWrites(), (std::vector<Address>{{5, 0x11}, {6, 0x11}}));
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({0x3F, 0x80, 0, 0, 0x3F, 0x80, 0, 0}));
  EXPECT_EQ(StoredBand(kEqCh1, 13).frequency, 500);
  EXPECT_EQ(StoredBand(kEqCh1, 13).type, kFilterHighPass);
  EXPECT_EQ(StoredBand(kEqCh1 + 1, 13).frequency, 800);
  EXPECT_EQ(StoredBand(kEqCh1 + 1, 14).frequency, 1300);
  EXPECT_EQ(StoredBand(kEqCh1 + 1, 14).type, kFilterLowPass);
  EXPECT_EQ(StoredBand(kEqCh1 + 1, 14).qField, 707);
  EXPECT_EQ(EditorSnapshot().bandSplitFlag[1], 0);

  // Slider: pair 25 for both, each keeping its own flag.
  WriteBandSplit(0, 1, 0);
  writer.sent.clear();
  WriteSplitPair(Set({0, 1}), 25);
  EXPECT_EQ(SplitPairIndex(0), 25);
  EXPECT_EQ(SplitPairIndex(1), 25);
  EXPECT_EQ(StoredBand(kEqCh1, 13).frequency, 3000);
  EXPECT_EQ(StoredBand(kEqCh1, 14).frequency, 3500);
  EXPECT_EQ(StoredBand(kEqCh1, 13).type, kFilterPeq);      // CH1 split off
  EXPECT_EQ(StoredBand(kEqCh1 + 1, 13).type, kFilterHighPass);  // CH2 split on
  EXPECT_EQ(LiveWrites(), (std::vector<int>{EqBandOffset(7, 13), EqBandOffset(7, 14), EqBandOffset(8, 13),
                                            EqBandOffset(8, 14)}));

  // A slot 13 frequency of no pair reads as pair 0.
  StoreEqBand(kEqCh1 + 2, 13, 0.0f, 850, 0.707f, 1);
  EXPECT_EQ(SplitPairIndex(2), 0);
}

TEST_F(OutputChannelsTest, LimiterTakesTheCurrentChannelsValuesForTheGroup) {
  CompressorValues ch2;
  ch2.threshold = -12.0f;
  ch2.ratio = 4.0f;
  ch2.attackMs = 20.0f;
  ch2.releaseMs = 300.0f;
  WriteCompressorRecord(CompressorTarget::Channel, 2, ch2);
  writer.sent.clear();

  struct Case {
    LimiterControl control;
    int value;
    float threshold, ratio, attack, release;
  };
  const Case cases[] = {
      {LimiterControl::kThreshold, -30, -30.0f, 4.0f, 20.0f, 300.0f},
      {LimiterControl::kRatio, 15, -30.0f, 1.5f, 20.0f, 300.0f},
      {LimiterControl::kAttack, 100, -30.0f, 1.5f, 100.0f, 300.0f},
      {LimiterControl::kRelease, 1, -30.0f, 1.5f, 100.0f, 1.0f},
  };
  for (const Case& c : cases) {
    writer.sent.clear();
    const CompressorValues v = WriteLimiter(1, Set({1, 4}), c.control, c.value);
    EXPECT_EQ(DspWrites(), (std::vector<Address>{{6, 0x1B}, {9, 0x1B}}));
    const auto words = CompressorRecordWords(c.threshold, c.ratio, c.attack, c.release);
    std::vector<std::uint8_t> expected(28);
    for (std::size_t i = 0; i < 7; ++i) PutU32(&expected[4 * i], words[i]);
    EXPECT_EQ(writer.sent[0].bytes, expected);
    EXPECT_EQ(writer.sent[1].bytes, expected);
    for (int ch : {1, 4}) {
      const CompressorValues stored = EditorSnapshot().channelLimiters[std::size_t(ch)];
      EXPECT_EQ(stored.threshold, v.threshold);
      EXPECT_EQ(stored.ratio, c.ratio);
      EXPECT_EQ(stored.attackMs, c.attack);
      EXPECT_EQ(stored.releaseMs, c.release);
    }
  }

  // Times read back from the record are whole milliseconds again, never one less
  // (15 ms and 500 ms read back a hair below).
  WriteLimiter(0, Set({0}), LimiterControl::kAttack, 15);
  WriteLimiter(0, Set({0}), LimiterControl::kRelease, 500);
  ApplyImage();
  ASSERT_LT(EditorSnapshot().channelLimiters[0].releaseMs, 500.0f);
  const CompressorValues v = WriteLimiter(0, Set({0}), LimiterControl::kThreshold, -6);
  EXPECT_EQ(v.attackMs, 15.0f);
  EXPECT_EQ(v.releaseMs, 500.0f);
  EXPECT_NEAR(v.ratio, 30.0f, 1e-3f);
}

TEST_F(OutputChannelsTest, GroupBandWriteCarriesTheCascadeSections) {
  EqPanelModel panel;
  panel.SetClientSize(642, 338);
  panel.SetEqNumber(kEqCh1 + 2);
  panel.SetBandFrequency(9, 250.0f);
  panel.ApplyMenuType(9, 2);  // "LP": 18, 20, 1, 1
  panel.SetBandGain(4, 3.5f);
  panel.SetBandFrequency(4, 612.7f);

  WriteBandToGroup(*panel.BandAt(4), Set({2}));
  EXPECT_EQ(LiveWrites(), (std::vector<int>{EqBandOffset(9, 4)}));
  EXPECT_EQ(StoredBand(9, 4).frequency, 612);
  EXPECT_EQ(StoredBand(9, 4).gainField, 185);

  writer.sent.clear();
  WriteBandToGroup(*panel.BandAt(9), Set({2, 3}));
  EXPECT_EQ(LiveWrites(), (std::vector<int>{EqBandOffset(9, 9), EqBandOffset(9, 10), EqBandOffset(9, 11),
                                            EqBandOffset(9, 12), EqBandOffset(10, 9), EqBandOffset(10, 10),
                                            EqBandOffset(10, 11), EqBandOffset(10, 12)}));
  for (int eq : {9, 10}) {
    EXPECT_EQ(StoredBand(eq, 9).type, 18);
    EXPECT_EQ(StoredBand(eq, 10).type, 20);
    EXPECT_EQ(StoredBand(eq, 11).type, 1);
    EXPECT_EQ(StoredBand(eq, 10).frequency, 250);
  }
}

TEST_F(OutputChannelsTest, ResetGivesTheSubwooferItsLowPass) {
  WriteEqBand(kEqCh1 + 4, 2, 1, 300, 6.0f, 2.0f);
  WriteEqBand(kEqCh1 + 5, 2, 1, 300, 6.0f, 2.0f);
  const ChannelRoles roles = {1, 0, 7, 6, 5, 4, 3, 2};  // CH6 is the sub
  ResetChannelEqs(Set({4, 5}), roles);
  EXPECT_EQ(StoredBand(kEqCh1 + 4, 2).gainField, 150);
  EXPECT_EQ(StoredBand(kEqCh1 + 4, 9).type, 1);
  EXPECT_EQ(StoredBand(kEqCh1 + 5, 2).frequency, 250);
  for (int b : {9, 10}) {
    EXPECT_EQ(StoredBand(kEqCh1 + 5, b).type, b == 9 ? 18 : 20);
    EXPECT_EQ(StoredBand(kEqCh1 + 5, b).frequency, 100);
  }
}

TEST_F(OutputChannelsTest, LinkingComparesAndSyncsEveryItem) {
  const std::vector<int> backPair = {2, 3};  // CH3 and CH4 hold the back roles at start
  EXPECT_FALSE(ChannelsDiffer(backPair));
  EXPECT_FALSE(ChannelsDiffer({2}));

  // One difference per item, each set on CH4 (the second channel).
  struct Item {
    const char* name;
    std::function<void()> change;
    std::function<bool(const ChannelDifference&)> flagged;
  };
  const ChannelSet ch4 = Set({3});
  const Item items[] = {
      {"mix", [&] { WriteMixLevel(ch4, 2, 50); }, [](const ChannelDifference& d) { return d.mix[2]; }},
      {"eq bypass", [] { SetParameter(8, 0x0F, 1); }, [](const ChannelDifference& d) { return d.eqBypass; }},
      {"delay switch", [&] { WriteDelaySwitch(ch4, true); }, [](const ChannelDifference& d) { return d.delaySwitch; }},
      {"split pair", [&] { WriteSplitPair(ch4, 4); }, [](const ChannelDifference& d) { return d.splitPair; }},
      {"split flag", [&] { WriteBandSplitFlag(ch4, 0); }, [](const ChannelDifference& d) { return d.splitFlag; }},
      {"delay", [&] { WriteDelay(3, ch4, 55); }, [](const ChannelDifference& d) { return d.delay; }},
      {"limiter", [&] { WriteLimiter(3, ch4, LimiterControl::kRatio, 20); },
       [](const ChannelDifference& d) { return d.limiter; }},
      {"limiter switch", [&] { WriteLimiterSwitch(ch4, true); },
       [](const ChannelDifference& d) { return d.limiterSwitch; }},
      {"band", [] { WriteEqBand(10, 6, 1, 2000, -4.0f, 1.41f); }, [](const ChannelDifference& d) { return d.bands[6]; }},
  };
  for (const Item& item : items) {
    SCOPED_TRACE(item.name);
    item.change();
    const ChannelDifference d = CompareSettings(ReadChannelSettings(2), ReadChannelSettings(3));
    EXPECT_TRUE(item.flagged(d));
    EXPECT_TRUE(ChannelsDiffer(backPair));
    // Sync from the first channel undoes exactly this change.
    writer.sent.clear();
    SyncLinkedChannels(backPair);
    EXPECT_FALSE(writer.sent.empty());
    for (const test::SentWrite& w : writer.sent) {  // only CH4 is written
      if (w.kind == test::SentWrite::Dsp) {
        EXPECT_EQ(w.block, 8);
      }
      if (w.kind == test::SentWrite::Live) {
        EXPECT_GE(w.offset, EqBandOffset(10, 0));
      }
    }
    EXPECT_FALSE(ChannelsDiffer(backPair));
  }

  // Several differences at once are all written in one sync; the first channel is the source.
  WriteMixLevel(Set({2}), 0, 10);
  WriteEqBand(9, 0, 4, 40, 5.0f, 0.7f);
  WriteDelay(2, Set({2}), 300);
  SyncLinkedChannels(backPair);
  EXPECT_EQ(UiValue(8, 0x14), 10);
  EXPECT_EQ(StoredBand(10, 0).type, 4);
  EXPECT_FLOAT_EQ(ChannelDelayMs(3), 30.0f);
  EXPECT_FALSE(ChannelsDiffer(backPair));
}

}  // namespace
}  // namespace dsptune
