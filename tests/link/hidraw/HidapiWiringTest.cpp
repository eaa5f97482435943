// The USB link through the real hidapi hidraw backend, against the simulated hidraw node
// of libhidraw_shim.so (LD_PRELOAD, set by CTest). The fake HID bus of the other link
// tests replaces hidapi altogether; this program checks what it cannot: enumeration,
// open errors, the report descriptor, the read loop and the write as hidapi performs them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "link/CommandSet.h"
#include "link/HidapiAccess.h"
#include "link/LinkState.h"
#include "link/UsbLink.h"
#include "model/ParameterImage.h"
#include "tests/link/DebugLogCapture.h"
#include "tests/link/FakeHidBus.h"
#include "tests/link/RecordingTransport.h"
#include "tests/link/hidraw/HidrawShim.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::WaitUntil;

constexpr const char* kNode = "/dev/hidraw250";

const DsptuneHidrawShim* Shim() {
  using Get = const DsptuneHidrawShim* (*)();
  static const auto get = reinterpret_cast<Get>(dlsym(RTLD_DEFAULT, "dsptune_hidraw_shim"));
  return get ? get() : nullptr;
}

// Vendor page, 60 bytes each way, with or without report id 2.
Bytes Descriptor(bool numbered) {
  Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
  if (numbered) d.insert(d.end(), {0x85, 0x02});
  d.insert(d.end(), {0x75, 0x08, 0x95, 0x3C, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0});
  return d;
}

// The identity answer 7F 14 (protocol code 20) as hidraw hands it over.
Bytes ProtocolAnswer(bool numbered) {
  Bytes r(numbered ? 61 : 60, 0);
  const std::size_t at = numbered ? 1 : 0;
  if (numbered) r[0] = 0x02;
  r[at] = kCmdProtocolCode;
  r[at + 1] = 20;
  r.back() = 0xEE;  // the report's last byte arrives too
  return r;
}

std::vector<Bytes> WrittenReports() {
  std::vector<Bytes> out;
  for (int i = 0; i < Shim()->writtenCount(); ++i) {
    Bytes r(4096);
    r.resize(std::size_t(Shim()->written(i, r.data(), int(r.size()))));
    out.push_back(r);
  }
  return out;
}

int ClosedNotices(const test::RecordingSink& sink) {
  const auto calls = sink.Calls();
  return int(std::count_if(calls.begin(), calls.end(), [](const test::SinkCall& c) {
    return c.kind == test::SinkCall::Post && c.message == kMsgLinkClosed;
  }));
}

enum class Ending {
  Close,             // the user closes the link
  UnplugInRead,      // the device goes while the read thread waits in hidapi
  WriteAfterUnplug,  // a write reaches the node before the reader notices the removal
};

struct Case {
  const char* name;
  bool numbered;            // descriptor and input reports carry report id 2
  bool descriptorReadable;  // sysfs report_descriptor
  int openErrno;            // opening the node fails with this
  const char* openLine;     // expected in the first-contact debug line
  Ending ending;
};

class HidapiWiring : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Shim()) GTEST_FAIL() << "libhidraw_shim.so is not preloaded: run this program through ctest";
    ResetDataModel();
    ResetLinkState();
    CurrentLink().replyTimeout = 50ms;
    SetHidAccess(nullptr);  // the real hidapi backend
  }
  void TearDown() override {
    if (!Shim()) return;
    CloseUsbLink(false);
    Shim()->unplug(1);
  }
};

TEST_F(HidapiWiring, ReportsErrorsAndRemovalThroughRealHidapi) {
  const Case cases[] = {
      {"numbered reports", true, true, 0, "numbered reports; report 2: input 60 bytes, output 60 bytes\n",
       Ending::Close},
      {"unnumbered reports", false, true, 0,
       "unnumbered reports; input 60 bytes, output 60 bytes; unexpected: no output report with id 2, trying anyway\n",
       Ending::Close},
      {"descriptor unreadable", true, false, 0, "report descriptor unreadable", Ending::Close},
      {"permission denied on open", true, true, EACCES, nullptr, Ending::Close},
      {"unplugged during a read", true, true, 0, "numbered reports", Ending::UnplugInRead},
      {"write after unplug", false, true, 0, "unnumbered reports", Ending::WriteAfterUnplug},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetDataModel();
    ResetLinkState();
    CurrentLink().replyTimeout = 50ms;
    test::DebugLogCapture log;
    test::RecordingSink sink;
    const Bytes descriptor = Descriptor(c.numbered);
    const DsptuneHidrawDevice device = {kNode, kUsbVendorId, kUsbProductId, descriptor.data(), descriptor.size(),
                                        c.descriptorReadable, c.openErrno};
    Shim()->plug(&device);

    // hidapi's enumeration: the node once, with its ids, and the usage page from the
    // descriptor when it can be read.
    const std::vector<HidInterfaceInfo> listed = HidapiAccess().Enumerate();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].path, kNode);
    EXPECT_EQ(listed[0].vendorId, kUsbVendorId);
    EXPECT_EQ(listed[0].productId, kUsbProductId);
    EXPECT_EQ(listed[0].usagePage, c.descriptorReadable ? 0xFF00 : 0);

    if (c.openErrno != 0) {
      // Told: nothing opened, and the problem names the node so the window and the
      // command-line tool can point at the udev rule.
      EXPECT_EQ(OpenUsbLink(&sink), 0);
      const UsbOpenProblem problem = LastUsbOpenProblem();
      EXPECT_TRUE(problem.permissionDenied);
      EXPECT_EQ(problem.path, kNode);
      EXPECT_EQ(log.StartingWith(std::string("Permission denied opening ") + kNode).size(), 1u);
      EXPECT_TRUE(sink.Calls().empty());
      EXPECT_EQ(Shim()->openHandles(), 0);
      continue;
    }

    ASSERT_EQ(OpenUsbLink(&sink), 1);
    const auto openLines = log.StartingWith("USB device ");
    ASSERT_EQ(openLines.size(), 1u);
    EXPECT_TRUE(openLines[0].starts_with(std::string("USB device ") + kNode + " opened: ")) << openLines[0];
    EXPECT_NE(openLines[0].find(c.openLine), std::string::npos) << openLines[0];

    // Out: one 61-byte write, report id 2 first, whatever the numbering.
    EXPECT_EQ(WriteReport(Bytes{kCmdProtocolCode}, false), 61);
    Bytes expected(61, 0);
    expected[0] = 0x02;
    expected[1] = kCmdProtocolCode;
    ASSERT_EQ(WrittenReports(), std::vector<Bytes>{expected});

    // In: the dispatcher gets the response code in byte 1 and the last byte in byte 60.
    const Bytes answer = ProtocolAnswer(c.numbered);
    Shim()->pushInput(answer.data(), answer.size());
    EXPECT_TRUE(WaitUntil([] { return IdentitySnapshot().protocolCode == 20; }));
    const auto readLines = log.StartingWith("Read:");
    ASSERT_EQ(readLines.size(), 1u);
    EXPECT_TRUE(readLines[0].starts_with("Read:7F 14 00 ")) << readLines[0];
    EXPECT_TRUE(readLines[0].ends_with("EE \n")) << readLines[0];

    switch (c.ending) {
      case Ending::Close:
        EXPECT_TRUE(sink.Calls().empty());
        break;
      case Ending::UnplugInRead:
        Shim()->unplug(1);
        break;
      case Ending::WriteAfterUnplug:
        Shim()->unplug(0);
        EXPECT_EQ(WriteReport(Bytes{kCmdStatus}, false), 0);
        EXPECT_EQ(log.Count("usb数据写入出错"), 1);
        EXPECT_EQ(Shim()->writtenCount(), 1);
        EXPECT_EQ(ClosedNotices(sink), 0);  // the reader has not noticed yet
        Shim()->wakeReaders();
        break;
    }
    if (c.ending != Ending::Close) {
      // Told once that the link ended; senders are released and later writes refused
      // without touching the node.
      EXPECT_TRUE(WaitUntil([&] { return ClosedNotices(sink) == 1; }));
      EXPECT_TRUE(WaitUntil([&] { return log.Count("End thread: ReadUsbThreadProc \n") == 1; }));
      EXPECT_EQ(ClosedNotices(sink), 1);
      EXPECT_EQ(log.Count("Read Usb Error will return !\n"), 1);
      EXPECT_TRUE(CurrentLink().replyEvent.Wait(0ms));
      EXPECT_FALSE(CurrentLink().transport.load()->Writable());
      EXPECT_EQ(WriteReport(Bytes{kCmdStatus}, false), 0);
      EXPECT_EQ(Shim()->writtenCount(), 1);
      OnUsbRemoved();  // what the window does on that notice
    } else {
      CloseUsbLink(false);
    }
    EXPECT_FALSE(CurrentLink().connected.load());
    EXPECT_EQ(Shim()->openHandles(), 0);  // hidapi closed the node
    Shim()->unplug(1);
  }
}

}  // namespace
}  // namespace dsptune
