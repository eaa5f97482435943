// The listening room without widgets: levels from distances, the exact writes after a
// moved listener or speaker, a new room size, "Center" and "Reset", the channel a role
// reaches, and the numbers and texts of the page's edits and spins.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "editors/model/EqBandEditing.h"
#include "editors/model/SurroundRoom.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using test::SentWrite;

std::vector<std::uint8_t> GainBytes(float db) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : SixValueGainWords(db, SixValueBlock::OutputChannel))
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(word >> shift));
  return bytes;
}

float Entry(int channel) { return GetFloat(ReadLiveBytes(kSsvcLevelsOffset + 4 * channel, 4).data()); }

class SurroundRoomTest : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  SurroundRoomTest() {
    LoadDefaultImage();
    writer.sent.clear();
  }
  // "L<offset>" for a live write, "D<block>/<address>" for a record write.
  std::vector<std::string> Trace() const {
    std::vector<std::string> out;
    for (const SentWrite& w : writer.sent) {
      if (w.kind == SentWrite::Live) out.push_back("L" + std::to_string(w.offset));
      if (w.kind == SentWrite::Dsp) out.push_back("D" + std::to_string(w.block) + "/" + std::to_string(w.address));
    }
    return out;
  }
};

// Worked out by hand from level = 3 - 3d.
TEST(SurroundLevel, LevelFromDistance) {
  struct Row {
    double lx, ly, sx, sy, db;
  } rows[] = {
      {0, 0, 0, 0, 3.0},                              // at the listener's place
      {0, 0, 1, 0, 0.0},                              // 1 m
      {0, 0, 0, -2, -3.0},                            // 2 m
      {-1, 1, 0, -1, 3.0 - 3.0 * 2.2360679775},       // SUB after the listener moved to (-1, +1)
      {0, 0, 3, 4, -12.0},                            // 5 m
      {0.5, 0, -0.5, 0, 0.0},                         // SL seen from SR's place
      {-5, -5, 5, 5, 3.0 - 3.0 * 14.142135623731},    // corner to corner of a 10 m room
  };
  for (const Row& r : rows) EXPECT_FLOAT_EQ(PositionLevelDb(r.lx, r.ly, r.sx, r.sy), float(r.db)) << r.sx << "," << r.sy;
}

TEST(SurroundLevel, SpeakerTableAndRoleSearch) {
  const int roles[8] = {kRoleFrontLeft, kRoleCentre, kRoleFrontRight, kRoleBackLeft,
                        kRoleSub,       kRoleBackRight, kRoleSideLeft, kRoleSideRight};
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(Speaker(n).role, roles[n - 1]);
  EXPECT_STREQ(Speaker(5).panelLabel, "超低(SUB)");
  EXPECT_EQ(Speaker(4).labelColour, 0x4169E1u);
  EXPECT_STREQ(RoleName(kRoleSub, 1), "CH-SUB");
  EXPECT_STREQ(RoleName(kRoleBackRight, 0), "后环绕右");
  EXPECT_STREQ(RoleName(9, 1), "");

  EXPECT_EQ(FirstChannelWithRole({1, 0, 7, 6, 5, 4, 3, 2}, kRoleFrontLeft), 1);
  EXPECT_EQ(FirstChannelWithRole({3, 3, 3, 3, 3, 3, 3, 3}, kRoleSideRight), 0);
  EXPECT_EQ(FirstChannelWithRole({1, 1, 1, 1, 1, 1, 1, 1}, kRoleFrontLeft), -1);
}

TEST(SurroundTexts, NumbersAndTexts) {
  struct Text {
    double metres;
    const char* text;
  } texts[] = {{1.0, "+1.0m"}, {-0.5, "-0.5m"}, {0.0, "+0.0m"}, {2.0, "+2.0m"}, {-4.96, "-5.0m"}, {0.04, "+0.0m"}};
  for (const Text& t : texts) EXPECT_EQ(MetresText(t.metres), t.text);

  struct Read {
    const char* text;
    double number;
  } reads[] = {{"+1.0m", 1.0}, {"-0.5m", -0.5}, {"abc", 0.0}, {"  2.5", 2.5}, {"9", 9.0},
               {".5m", 0.5},   {"-", 0.0},      {"nan", 0.0}, {"1,5", 1.0}, {"", 0.0}};
  for (const Read& r : reads) EXPECT_DOUBLE_EQ(LeadingNumber(r.text), r.number) << r.text;

  struct Whole {
    const char* text;
    int number;
  } wholes[] = {{"12", 12}, {"0", 0}, {"abc", 0}, {"7m", 7}, {"-3", -3}, {"4.9m", 4}, {"99999999999", 1000000}};
  for (const Whole& w : wholes) EXPECT_EQ(LeadingInteger(w.text), w.number) << w.text;

  EXPECT_EQ(RoomSizeText(10), "10m");
  EXPECT_EQ(ClampRoomSize(12), 10);
  EXPECT_EQ(ClampRoomSize(0), 1);
  EXPECT_DOUBLE_EQ(ClampToRoom(9.0, 4), 2.0);
  EXPECT_DOUBLE_EQ(ClampToRoom(-9.0, 5), -2.5);
  EXPECT_DOUBLE_EQ(ClampToRoom(1.3, 4), 1.3);
}

TEST(SurroundTexts, SpinPositions) {
  struct Row {
    double metres;
    int tenths;
  } rows[] = {{0.7f, 7}, {-0.7f, -7}, {0.77, 7}, {-0.29, -2}, {2.0, 20}, {0.05, 0}, {-5.0, -50}, {0.3f, 3},
              {1e10, std::numeric_limits<int>::max()}, {-1e10, std::numeric_limits<int>::min()},
              {std::numeric_limits<double>::quiet_NaN(), 0}, {-std::numeric_limits<double>::infinity(), 0}};
  for (const Row& r : rows) EXPECT_EQ(SpinTenths(r.metres), r.tenths) << r.metres;
  // Every stored tenth reads back as itself.
  for (int t = -50; t <= 50; ++t) EXPECT_EQ(SpinTenths(DecodeSignedTenths(EncodeSignedTenths(t / 10.0f))), t);

  EXPECT_EQ(SpinLimit(4), 20);
  EXPECT_EQ(SteppedSpinPosition(19, +1, 4), 20);
  EXPECT_EQ(SteppedSpinPosition(20, +1, 4), 20);
  EXPECT_EQ(SteppedSpinPosition(-20, -1, 4), -20);
  EXPECT_EQ(SteppedSpinPosition(35, -1, 4), 20);  // out of a shrunk room: back to its edge
  // A far-off stored coordinate steps back into the room rather than past the int end.
  EXPECT_EQ(SteppedSpinPosition(std::numeric_limits<int>::max(), +1, 4), 20);
  EXPECT_EQ(SteppedSpinPosition(std::numeric_limits<int>::min(), -1, 4), -20);
  EXPECT_EQ(SteppedRoomSize(10, +1), 10);
  EXPECT_EQ(SteppedRoomSize(1, -1), 1);
  EXPECT_EQ(SteppedRoomSize(4, +3), 5);
}

// With the defaults (roles CH1..CH8 = R, L, SBR, SBL, CEN, SUB, SR, SL) the listener
// moved to (-1, +1): the record first, then each speaker's entry area and gain record.
TEST_F(SurroundRoomTest, ListenerMoveWritesRecordThenEveryLevel) {
  MoveListener(-1.0f, 1.0f);
  const std::vector<std::string> want = {"L1390", "L1358", "D6/29",  "L1358", "D9/29", "L1358", "D5/29",
                                         "L1358", "D8/29", "L1358", "D10/29", "L1358", "D7/29", "L1358",
                                         "D12/29", "L1358", "D11/29"};
  EXPECT_EQ(Trace(), want);
  EXPECT_EQ(writer.sent[0].bytes, test::Bytes({4, 4, 0x8A, 0x0A, 0x8A, 0x0A, 0x80, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A,
                                               0x80, 0x8A, 0x0A, 0x8A, 0x85, 0x80, 0x05, 0x80}));
  EXPECT_FLOAT_EQ(Entry(1), 3.0f);  // L on CH2
  EXPECT_NEAR(Entry(5), -3.7082f, 1e-4);  // SUB on CH6
  EXPECT_EQ(writer.sent[2].bytes, GainBytes(3.0f));
  EXPECT_EQ(writer.sent[10].bytes, GainBytes(PositionLevelDb(-1, 1, 0, -1)));
  // Every entry area sent is the whole 32 bytes as stored at that moment.
  EXPECT_EQ(writer.sent[15].bytes, ReadLiveBytes(kSsvcLevelsOffset, 32));
  EXPECT_FLOAT_EQ(EditorSnapshot().ssvc.listenerX, -1.0f);
}

TEST_F(SurroundRoomTest, SpeakerMoveWritesOnlyItsLevel) {
  MoveSpeaker(5, 0.25f, -1.9f);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"L1390", "L1358", "D10/29"}));
  EXPECT_EQ(writer.sent[0].bytes[12], 0x03);  // 0.25 → 0.3 in tenths
  EXPECT_EQ(writer.sent[0].bytes[13], 0x93);  // -1.9
  const SsvcSettings s = EditorSnapshot().ssvc;
  EXPECT_FLOAT_EQ(s.speakers[4][0], 0.25f);  // the unrounded metres stay in the values
  EXPECT_FLOAT_EQ(Entry(5), PositionLevelDb(0, 0, 0.25, -1.9f));
  for (int c : {0, 1, 2, 3, 4, 6, 7}) EXPECT_FLOAT_EQ(Entry(c), 0.0f);
  MoveRoomMarker(0, 0.5f, 0.0f);  // marker 0 is the listener
  EXPECT_FLOAT_EQ(EditorSnapshot().ssvc.listenerX, 0.5f);
  MoveSpeaker(9, 1.0f, 1.0f);  // no such speaker
  MoveSpeaker(0, 1.0f, 1.0f);
  EXPECT_EQ(writer.sent.size(), 3u + 17u);
}

// Two channels with the same role: the lower-numbered one gets the level, the other
// keeps its entry and record. A role nobody has gets nothing.
TEST_F(SurroundRoomTest, RoleSearchPicksTheFirstChannel) {
  MoveSpeaker(1, -0.5f, 0.0f);  // CH2 (front left) gets +1.5 dB
  SetParameter(5, 0x10, kRoleFrontLeft);  // now CH1 is front left as well
  writer.sent.clear();
  MoveSpeaker(1, 0.0f, 0.0f);
  // Only CH1's record: CH2's record and entry keep the +1.5 dB.
  EXPECT_EQ(Trace(), (std::vector<std::string>{"L1390", "L1358", "D5/29"}));
  EXPECT_FLOAT_EQ(Entry(0), 3.0f);
  EXPECT_FLOAT_EQ(Entry(1), 1.5f);
  EXPECT_EQ(writer.sent[2].bytes, GainBytes(3.0f));

  for (int c = 0; c < 8; ++c) SetParameter(std::uint8_t(c + 5), 0x10, kRoleFrontRight);
  writer.sent.clear();
  EXPECT_EQ(ApplySpeakerLevel(1), -1);
  MoveSpeaker(1, 1.0f, 1.0f);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"L1390"}));
  EXPECT_FLOAT_EQ(Entry(0), 3.0f);
}

TEST_F(SurroundRoomTest, RoomSizeSendsOnlyTheRecord) {
  MoveSpeaker(3, 2.5f, 1.0f);
  writer.sent.clear();
  StoreRoomSize(2, 7);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"L1390"}));
  EXPECT_EQ(writer.sent[0].bytes[0], 2);
  EXPECT_EQ(writer.sent[0].bytes[1], 7);
  EXPECT_EQ(writer.sent[0].bytes[8], 0x19);  // +2.5 stays, outside the 2 m room
  EXPECT_FLOAT_EQ(EditorSnapshot().ssvc.speakers[2][0], 2.5f);
}

TEST_F(SurroundRoomTest, CenterSendsTheRecordTwiceThenEveryLevel) {
  MoveListener(1.5f, -1.2f);
  writer.sent.clear();
  CenterListener();
  const std::vector<std::string> trace = Trace();
  ASSERT_EQ(trace.size(), 2u + 16u);
  EXPECT_EQ(trace[0], "L1390");
  EXPECT_EQ(trace[1], "L1390");
  EXPECT_EQ(writer.sent[0].bytes[2], 0x80);  // X = 0 first, Y still -1.2
  EXPECT_EQ(writer.sent[0].bytes[3], 0x8C);
  EXPECT_EQ(writer.sent[1].bytes[3], 0x80);
  for (int n = 1; n <= 8; ++n) EXPECT_FLOAT_EQ(Entry(FirstChannelWithRole(ReadChannelRoles(), Speaker(n).role)),
                                               SpeakerLevelDb(EditorSnapshot().ssvc, n));
  EXPECT_FLOAT_EQ(Entry(1), 3.0f - 3.0f * std::sqrt(2.0f));
}

// Channel by channel: the entry area with this channel's entry zeroed (the later ones
// still hold their levels) and the 0 dB record; then the defaults, rebuilt and sent.
TEST_F(SurroundRoomTest, ResetZeroesChannelByChannelThenRestoresTheDefaults) {
  SetParameter(5, 0x18, 250);
  SetSsvcLocateSelector(3);
  StoreRoomSize(7, 9);
  MoveListener(2.0f, 2.0f);
  writer.sent.clear();
  ResetSurround();
  ASSERT_EQ(writer.sent.size(), 17u);
  for (int c = 0; c < 8; ++c) {
    const SentWrite& area = writer.sent[std::size_t(2 * c)];
    const SentWrite& gain = writer.sent[std::size_t(2 * c + 1)];
    EXPECT_EQ(area.offset, kSsvcLevelsOffset);
    ASSERT_EQ(area.bytes.size(), 32u);
    for (int e = 0; e < 8; ++e) {
      const float level = GetFloat(&area.bytes[std::size_t(4 * e)]);
      if (e <= c) EXPECT_EQ(level, 0.0f) << c << "/" << e;
      else EXPECT_NE(level, 0.0f) << c << "/" << e;
    }
    EXPECT_EQ(int(gain.block), c + 5);
    EXPECT_EQ(int(gain.address), 0x1D);
    ASSERT_EQ(gain.bytes.size(), 24u);
    const float want[6] = {1.0f, 1.0f, 0.9960807f, -1.9960614f, 1.0f, 1.0f};
    for (int v = 0; v < 6; ++v) EXPECT_FLOAT_EQ(GetFloat(&gain.bytes[std::size_t(4 * v)]), want[v]);
  }
  // The record is rebuilt from the decoded values, so zero goes out as 0x80.
  EXPECT_EQ(writer.sent[16].offset, kSsvcSettingsOffset);
  EXPECT_EQ(writer.sent[16].bytes, test::Bytes({4, 4, 0x80, 0x80, 0x8A, 0x0A, 0x80, 0x0A, 0x0A, 0x0A, 0x8A, 0x8A,
                                                0x80, 0x8A, 0x0A, 0x8A, 0x85, 0x80, 0x05, 0x80}));
  const SsvcSettings s = EditorSnapshot().ssvc;
  EXPECT_EQ(s.roomWidth, 4);
  EXPECT_EQ(s.roomLength, 4);
  for (int n = 1; n <= 8; ++n) {
    EXPECT_FLOAT_EQ(s.speakers[std::size_t(n - 1)][0], Speaker(n).defaultX);
    EXPECT_FLOAT_EQ(s.speakers[std::size_t(n - 1)][1], Speaker(n).defaultY);
  }
  EXPECT_EQ(UiValue(5, 0x18), 250);
  EXPECT_EQ(ReadLiveBytes(kSsvcLocateOffset, 1)[0], 3);
}

}  // namespace
}  // namespace dsptune
