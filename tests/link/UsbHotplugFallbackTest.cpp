// Arrival and removal without udev: the periodic check of the hot-plug watcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "link/LinkState.h"
#include "link/UsbHotplug.h"
#include "link/UsbLink.h"
#include "tests/link/FakeHidBus.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Event = UsbHotplug::Event;
using Events = UsbPresenceCheck::Events;
using test::FakeHidBus;
using test::WaitUntil;

TEST(UsbPresenceCheck, RoundsTellRemovalOfTheOpenNodeAndNewCandidates) {
  using Seen = UsbPresenceCheck::Seen;
  struct Round {
    Seen seen;
    Events expected;
  };
  struct Row {
    const char* name;
    std::vector<Round> rounds;
  };
  const Row rows[] = {
      {"what is there at the first round is no arrival",
       {{{"", false, {{"/dev/hidraw1", 7}}}, {}}, {{"", false, {{"/dev/hidraw1", 7}}}, {}}}},
      {"a new candidate arrives, each once",
       {{{"", false, {}}, {}},
        {{"", false, {{"/dev/hidraw1", 7}, {"/dev/hidraw2", 8}}},
         {{Event::Arrival, "/dev/hidraw1"}, {Event::Arrival, "/dev/hidraw2"}}},
        {{"", false, {{"/dev/hidraw1", 7}, {"/dev/hidraw2", 8}}}, {}}}},
      {"unplugged and plugged back under the same name between two checks",
       {{{"", false, {{"/dev/hidraw1", 7}}}, {}}, {{"", false, {{"/dev/hidraw1", 9}}}, {{Event::Arrival, "/dev/hidraw1"}}}}},
      {"gone for a round, then back",
       {{{"", false, {{"/dev/hidraw1", 7}}}, {}},
        {{"", false, {}}, {}},
        {{"", false, {{"/dev/hidraw1", 7}}}, {{Event::Arrival, "/dev/hidraw1"}}}}},
      {"the open node vanishes: one removal until another device is open",
       {{{"/dev/hidraw1", true, {{"/dev/hidraw1", 7}}}, {}},
        {{"/dev/hidraw1", false, {}}, {{Event::Removal, "/dev/hidraw1"}}},
        {{"/dev/hidraw1", false, {}}, {}},
        {{"", false, {}}, {}},
        {{"/dev/hidraw2", true, {{"/dev/hidraw2", 3}}}, {{Event::Arrival, "/dev/hidraw2"}}},
        {{"/dev/hidraw2", false, {}}, {{Event::Removal, "/dev/hidraw2"}}}}},
      {"removal even on the first round", {{{"/dev/hidraw1", false, {}}, {{Event::Removal, "/dev/hidraw1"}}}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UsbPresenceCheck check;
    for (std::size_t i = 0; i < row.rounds.size(); ++i)
      EXPECT_EQ(check.Next(row.rounds[i].seen), row.rounds[i].expected) << "round " << i;
  }
}

// The watcher's thread on the fake bus, through the link's own checks: the open device
// is unplugged, the window's removal rule closes the link, the device comes back.
class UsbHotplugFallback : public ::testing::Test {
 protected:
  static constexpr const char* kOurs = "/dev/hidraw-dsp";

  void SetUp() override {
    ResetLinkState();
    SetHidAccess(&bus);
  }
  void TearDown() override {
    CloseUsbLink(false);
    SetHidAccess(nullptr);
  }

  static UsbHotplug::Checks Checks(std::chrono::milliseconds interval) {
    UsbHotplug::Checks checks;
    checks.interval = interval;
    checks.useUdev = false;
    return checks;
  }
  void Record(Event event, const std::string& node) {
    std::lock_guard lock(mutex_);
    events_.emplace_back(event, node);
  }
  int Count(Event event, const std::string& node) {
    std::lock_guard lock(mutex_);
    return int(std::count(events_.begin(), events_.end(), std::pair(event, node)));
  }
  Events All() {
    std::lock_guard lock(mutex_);
    return events_;
  }

  FakeHidBus bus;
  test::RecordingSink sink;

 private:
  std::mutex mutex_;
  Events events_;
};

TEST_F(UsbHotplugFallback, UnpluggedDeviceIsClosedAndItsReturnNoticed) {
  bus.AddOthers(1);
  bus.Add(kOurs, kUsbVendorId, kUsbProductId);
  ASSERT_EQ(OpenUsbLink(&sink), 1);

  UsbHotplug watcher(Checks(2ms));
  ASSERT_TRUE(watcher.Start([this](Event e, const std::string& node) { Record(e, node); }));
  EXPECT_TRUE(watcher.Polling());
  EXPECT_TRUE(watcher.Running());

  // Unplugged: the node goes; the removal is told once and the window's rule closes.
  bus.Remove(kOurs);
  ASSERT_TRUE(WaitUntil([&] { return Count(Event::Removal, kOurs) == 1; }));
  ASSERT_TRUE(IsOurDevicePath(kOurs));
  OnUsbRemoved();
  EXPECT_FALSE(CurrentLink().connected.load());

  // Plugged back: noticed, and the device opens again.
  bus.Add(kOurs, kUsbVendorId, kUsbProductId);
  ASSERT_TRUE(WaitUntil([&] { return Count(Event::Arrival, kOurs) == 1; }));
  EXPECT_EQ(OpenUsbLink(&sink), 1);
  EXPECT_EQ(OpenUsbDevicePath(), kOurs);

  watcher.Stop();
  EXPECT_FALSE(watcher.Running());
  // The other vendor's interface was never a candidate; nothing was told twice.
  EXPECT_EQ(All(), (Events{{Event::Removal, kOurs}, {Event::Arrival, kOurs}}));
}

TEST_F(UsbHotplugFallback, StopWakesTheCheckAtOnce) {
  UsbHotplug watcher(Checks(1h));
  ASSERT_TRUE(watcher.Start([](Event, const std::string&) {}));
  const auto start = std::chrono::steady_clock::now();
  watcher.Stop();  // would wait out the hour if the check were not woken
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  EXPECT_FALSE(watcher.Polling());
  EXPECT_FALSE(watcher.Start(nullptr));
}

}  // namespace
}  // namespace dsptune
