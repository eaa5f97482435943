#include "link/ModeSlots.h"

#include <gtest/gtest.h>

#include "link/CommandSet.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

class ModeSlotsTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  ModeSlotsTest() { UseLink(LinkKind::Usb); }
  std::vector<std::vector<std::uint8_t>> Sent() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const test::TransportCall& call : transport.Calls()) out.push_back(call.bytes);
    return out;
  }
};

TEST_F(ModeSlotsTest, SaveIntoDeviceModeClampsClearsTheChangedFlagAndStores) {
  struct Case {
    int slot, sent;
  };
  for (const Case c : {Case{1, 1}, Case{3, 3}, Case{-2, 0}, Case{7, 3}}) {
    transport.Clear();
    CurrentLink().changedFlag = true;
    SaveIntoDeviceMode(c.slot);
    EXPECT_FALSE(CurrentLink().changedFlag) << c.slot;
    EXPECT_EQ(CurrentLink().currentMode, c.sent) << c.slot;
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0], Bytes({kCmdStoreMode, std::uint8_t(c.sent)})) << c.slot;
  }
}

TEST_F(ModeSlotsTest, SelectAndStoreSendsSelectThenStoreTwentyMillisecondsApart) {
  SelectAndStoreMode(1);
  const auto calls = transport.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].bytes, Bytes({kCmdSelectMode, 1}));
  EXPECT_EQ(calls[1].bytes, Bytes({kCmdStoreMode, 1}));
  EXPECT_GE(calls[1].time - calls[0].time, kSelectToStorePause);
  EXPECT_EQ(CurrentLink().currentMode, 1);
}

TEST_F(ModeSlotsTest, ReloadRequestPausesPollingAndClearsTheStatusFirst) {
  {
    std::lock_guard lock(CurrentLink().dataMutex);
    CurrentLink().statusBlock.fill(0x55);
  }
  for (const std::uint8_t command : {kCmdLoadMode, kCmdFactoryMode}) {
    transport.Clear();
    CurrentLink().statusPollingAllowed = true;
    RequestModeReload(command, 2, 1ms);
    EXPECT_FALSE(CurrentLink().statusPollingAllowed);
    EXPECT_EQ(StatusBlockSnapshot()[0], 0);
    EXPECT_EQ(CurrentLink().currentMode, 2);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0], Bytes({command, 2}));
  }
}

}  // namespace
}  // namespace dsptune
