// Which of the device's interfaces the USB link opens, and what the first contact logs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/LinkState.h"
#include "link/UsbLink.h"
#include "tests/link/DebugLogCapture.h"
#include "tests/link/FakeHidBus.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using test::FakeHidBus;

class UsbInterfaceChoice : public ::testing::Test {
 protected:
  void SetUp() override { ResetLinkState(); }
  void TearDown() override {
    CloseUsbLink(false);
    SetHidAccess(nullptr);
  }
  std::vector<std::string> OpenLines() const { return log_.StartingWith("USB device "); }

  test::RecordingSink sink;

 private:
  test::DebugLogCapture log_;
};

struct Interface {
  std::string path;
  std::uint16_t vendorId;
  std::uint16_t usagePage;
  bool failsToOpen = false;
};

TEST_F(UsbInterfaceChoice, VendorDefinedPageWinsInEitherOrderElseTheFirstMatch) {
  const std::uint16_t ours = kUsbVendorId;
  struct Row {
    const char* name;
    std::vector<Interface> interfaces;  // in the system's order; tried forwards and backwards
    std::string chosenForwards, chosenBackwards;
  };
  const Row rows[] = {
      {"keyboard, consumer control and vendor interface of one receiver",
       {{"/dev/hidraw-kbd", ours, 0x0001}, {"/dev/hidraw-cc", ours, 0x000C}, {"/dev/hidraw-dsp", ours, 0xFF00}},
       "/dev/hidraw-dsp",
       "/dev/hidraw-dsp"},
      {"any page from 0xFF00 up is the vendor's",
       {{"/dev/hidraw-kbd", ours, 0x0001}, {"/dev/hidraw-cc", ours, 0x000C}, {"/dev/hidraw-dsp", ours, 0xFFA0}},
       "/dev/hidraw-dsp",
       "/dev/hidraw-dsp"},
      {"no vendor page: the first match",
       {{"/dev/hidraw-kbd", ours, 0x0001}, {"/dev/hidraw-cc", ours, 0x000C}, {"/dev/hidraw-gen", ours, 0x0000}},
       "/dev/hidraw-kbd",
       "/dev/hidraw-gen"},
      {"the vendor interface cannot be opened: the first match",
       {{"/dev/hidraw-kbd", ours, 0x0001}, {"/dev/hidraw-cc", ours, 0x000C}, {"/dev/hidraw-dsp", ours, 0xFF00, true}},
       "/dev/hidraw-kbd",
       "/dev/hidraw-cc"},
      {"another vendor's vendor page does not win",
       {{"/dev/hidraw-kbd", ours, 0x0001}, {"/dev/hidraw-mouse", 0x046D, 0xFF00}, {"/dev/hidraw-cc", ours, 0x000C}},
       "/dev/hidraw-kbd",
       "/dev/hidraw-cc"},
  };
  for (const Row& row : rows) {
    for (bool backwards : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (backwards ? ", backwards" : ", forwards"));
      std::vector<Interface> order = row.interfaces;
      if (backwards) std::reverse(order.begin(), order.end());
      FakeHidBus bus;
      for (const Interface& i : order) {
        bus.Add(i.path, i.vendorId, i.vendorId == ours ? kUsbProductId : 0xC52B);
        bus.SetUsagePage(i.path, i.usagePage);
        if (i.failsToOpen) bus.FailOpen(i.path, HidOpenError::Failed);
      }
      SetHidAccess(&bus);
      ASSERT_EQ(OpenUsbLink(&sink), 1);
      const std::string& chosen = backwards ? row.chosenBackwards : row.chosenForwards;
      EXPECT_TRUE(IsOurDevicePath(chosen));
      for (const Interface& i : order) EXPECT_EQ(bus.IsOpen(i.path), i.path == chosen) << i.path;
      CloseUsbLink(false);
      SetHidAccess(nullptr);
    }
  }
}

TEST_F(UsbInterfaceChoice, FirstContactLogsOneLineAndAnUnexpectedLayoutIsStillTried) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    bool unexpected;
  };
  const Row rows[] = {
      {"numbered, output report 2",
       {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x91, 0x02, 0xC0},
       false},
      {"unnumbered", {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x91, 0x02, 0xC0}, true},
      {"numbered, output report 3 only", {0x85, 0x03, 0x75, 0x08, 0x95, 0x3C, 0x81, 0x02, 0x91, 0x02}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHidBus bus;
    bus.AddOthers(2);  // opened and closed on the way: they log no such line
    bus.Add("/dev/hidraw-dsp", kUsbVendorId, kUsbProductId);
    bus.SetDescriptor("/dev/hidraw-dsp", row.descriptor);
    SetHidAccess(&bus);
    const std::size_t before = OpenLines().size();
    ASSERT_EQ(OpenUsbLink(&sink), 1);
    const std::vector<std::string> lines = OpenLines();
    ASSERT_EQ(lines.size(), before + 1);
    const std::string& line = lines.back();
    EXPECT_TRUE(line.starts_with("USB device /dev/hidraw-dsp opened: ")) << line;
    EXPECT_NE(line.find("input 60 bytes, output 60 bytes"), std::string::npos) << line;
    EXPECT_EQ(line.find("unexpected") != std::string::npos, row.unexpected) << line;
    // Tried anyway: the link is up and writes go out.
    EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{0x7F}, false), 61);
    CloseUsbLink(false);
    SetHidAccess(nullptr);
  }
}

}  // namespace
}  // namespace dsptune
