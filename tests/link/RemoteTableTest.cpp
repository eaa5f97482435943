// The remote code table as the link keeps it for one device: what a 0x62 answer fills on
// each kind of link, which keys count as this device's, and that a newly opened link
// starts with nothing an earlier device left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/OpenLink.h"
#include "tests/link/RecordingTransport.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

RemoteCodeTable Pattern(std::uint8_t seed) {
  RemoteCodeTable table{};
  for (int i = 0; i < kRemoteTableSize; ++i) table[std::size_t(i)] = std::uint8_t(seed + 7 * i);
  return table;
}

std::vector<int> KeysFrom(int first) {
  std::vector<int> keys;
  for (int key = first; key <= kLastRemoteKey; ++key) keys.push_back(key);
  return keys;
}

class RemoteTableTest : public ::testing::Test, protected test::LinkFixtureBase {};

// A network frame says how many bytes came: all of them (up to the table's 30) are the
// device's. A USB report is padded to 61 bytes, so only its first 16 count, whatever the
// padding holds. Bytes that did not come keep their value and stay unknown.
TEST_F(RemoteTableTest, AnswerFillsWhatItCarries) {
  struct Row {
    LinkKind kind;
    int carried;      // parameter bytes after the code
    bool usbPadding;  // sent as a whole report padded with 0x77
    int filled;
  };
  const Row rows[] = {
      {LinkKind::Network, 16, false, 16}, {LinkKind::Network, 20, false, 20}, {LinkKind::Network, 30, false, 30},
      {LinkKind::Network, 40, false, 30}, {LinkKind::Network, 0, false, 0},   {LinkKind::Usb, 16, true, 16},
      {LinkKind::Usb, 30, true, 16},
  };
  const RemoteCodeTable device = Pattern(0x11), earlier = Pattern(0xE0);
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << (row.kind == LinkKind::Usb ? "USB " : "network ") << row.carried);
    UseLink(row.kind);
    SetRemoteTable(earlier);
    ForgetRemoteTable();
    EXPECT_EQ(RemoteTableSnapshot(), RemoteCodeTable{});
    EXPECT_EQ(UnknownRemoteKeys(), KeysFrom(1));

    std::vector<std::uint8_t> packet{0x02, 0x62};
    for (int i = 0; i < row.carried; ++i) packet.push_back(i < kRemoteTableSize ? device[std::size_t(i)] : 0x99);
    if (row.usbPadding) packet.resize(61, 0x77);
    DispatchPacket(packet);

    RemoteCodeTable expected{};
    std::copy_n(device.begin(), row.filled, expected.begin());
    EXPECT_EQ(RemoteTableSnapshot(), expected);
    EXPECT_EQ(UnknownRemoteKeys(), KeysFrom(std::max(row.filled, 1)));
  }
}

// Learned keys become known one by one; a table set or sent whole is known entirely.
// UnknownRemoteKeys(k) looks only at keys k..25 (what a file of k bytes leaves alone).
TEST_F(RemoteTableTest, KnownKeysFollowLearningAndWholeTables) {
  ForgetRemoteTable();
  for (std::uint8_t key : {3, 25, 29}) {
    const std::uint8_t learned[] = {0x02, 0x60, 0x01, key, 0x5A};
    DispatchPacket(learned);
  }
  std::vector<int> unknown = KeysFrom(1);
  std::erase(unknown, 3);
  std::erase(unknown, 25);
  EXPECT_EQ(UnknownRemoteKeys(), unknown);
  EXPECT_EQ(UnknownRemoteKeys(20), (std::vector<int>{20, 21, 22, 23, 24}));
  EXPECT_EQ(UnknownRemoteKeys(0), unknown);
  EXPECT_TRUE(UnknownRemoteKeys(26).empty());

  MarkRemoteTableKnown();
  EXPECT_TRUE(UnknownRemoteKeys().empty());
  ForgetRemoteTable();
  SetRemoteTable(Pattern(1));
  EXPECT_TRUE(UnknownRemoteKeys().empty());
}

// Opening a link forgets the table of the device before; a failed open leaves the
// current table alone (another link may still be up).
TEST_F(RemoteTableTest, OpeningALinkForgetsTheEarlierDevicesCodes) {
  test::LoopbackEmulator emu;
  ASSERT_TRUE(emu.started);
  const int port = emu.net.Port();
  SetRemoteTable(Pattern(0x40));
  CurrentLink().transport = nullptr;
  SetNetworkPeer("127.0.0.1", port);
  ASSERT_EQ(OpenLink(&sink, LinkKind::Network), 1);
  EXPECT_EQ(RemoteTableSnapshot(), RemoteCodeTable{});
  EXPECT_EQ(UnknownRemoteKeys(), KeysFrom(1));
  CloseNetworkLink(false);

  emu.net.Stop();
  SetRemoteTable(Pattern(0x40));
  SetNetworkPeer("127.0.0.1", port);
  EXPECT_NE(OpenLink(&sink, LinkKind::Network), 1);
  EXPECT_EQ(RemoteTableSnapshot(), Pattern(0x40));
  EXPECT_TRUE(UnknownRemoteKeys().empty());
}

}  // namespace
