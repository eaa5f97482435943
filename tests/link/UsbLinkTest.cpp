#include "link/UsbLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/CommandSet.h"
#include "link/HidapiAccess.h"
#include "link/LinkState.h"
#include "link/OpenLink.h"
#include "link/UsbHotplug.h"
#include "model/DebugLog.h"
#include "model/ParameterImage.h"
#include "tests/link/DebugLogCapture.h"
#include "tests/link/FakeHidBus.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::FakeHidBus;
using test::Report;
using test::WaitUntil;

constexpr const char* kOurs = "/dev/hidraw-dsp";

// The output report a packet must become: 0x02, the packet, zeros to 61 bytes.
Report ReportOf(std::initializer_list<std::uint8_t> packet) {
  Report r(61, 0);
  r[0] = 0x02;
  std::copy(packet.begin(), packet.end(), r.begin() + 1);
  return r;
}

// A device that answers every report with the same response code and no parameters.
std::vector<Report> EchoCode(std::span<const std::uint8_t> report) { return {{0x02, report[1]}}; }

class CountingSink : public NotificationSink {
 public:
  void Post(int, std::intptr_t, std::intptr_t) override {}
  void Send(int message, std::intptr_t, std::intptr_t) override {
    if (onSend) onSend(message);
  }
  void ShowParameterError(const std::string&) override {}
  std::function<void(int)> onSend;
};

class UsbLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDataModel();
    ResetLinkState();
    CurrentLink().replyTimeout = 50ms;
    SetHidAccess(&bus);
  }

  void TearDown() override {
    CloseUsbLink(false);
    SetHidAccess(nullptr);
  }

  // The device alone on the bus, opened.
  void OpenOurs() {
    bus.Add(kOurs, kUsbVendorId, kUsbProductId);
    ASSERT_EQ(OpenUsbLink(&sink), 1);
  }

  int LogCount(std::string_view line) const { return log_.Count(line); }
  void ClearLog() { log_.Clear(); }
  std::vector<std::string> LogStartingWith(std::string_view head) const { return log_.StartingWith(head); }

  FakeHidBus bus;
  CountingSink sink;

 private:
  test::DebugLogCapture log_;
};

// ---------------------------------------------------------------------------------------
// Finding the device

TEST_F(UsbLinkTest, SearchExaminesAtMost32InterfacesAndClosesEveryOtherOne) {
  struct Row {
    const char* name;
    std::function<void(FakeHidBus&)> build;
    int result;
  };
  const auto ours = [](FakeHidBus& b) { b.Add(kOurs, kUsbVendorId, kUsbProductId); };
  const Row rows[] = {
      {"device at index 32 of 33 is never looked at",
       [&](FakeHidBus& b) {
         b.AddOthers(32);
         ours(b);
       },
       0},
      {"device at index 31 is the last one examined",
       [&](FakeHidBus& b) {
         b.AddOthers(31);
         ours(b);
       },
       1},
      {"another vendor's device is opened, checked, closed",
       [&](FakeHidBus& b) {
         b.AddOthers(1);
         ours(b);
       },
       1},
      {"same vendor, other product is skipped",
       [&](FakeHidBus& b) {
         b.Add("/dev/hidraw-near", kUsbVendorId, 0x1032);
         ours(b);
       },
       1},
      {"an interface that fails to open is skipped",
       [&](FakeHidBus& b) {
         b.Add("/dev/hidraw-busy", kUsbVendorId, kUsbProductId);
         b.FailOpen("/dev/hidraw-busy", HidOpenError::Failed);
         ours(b);
       },
       1},
      {"an interface whose ids cannot be read is closed and skipped",
       [&](FakeHidBus& b) {
         b.Add("/dev/hidraw-mute", kUsbVendorId, kUsbProductId);
         b.FailAttributes("/dev/hidraw-mute");
         ours(b);
       },
       1},
      {"ids unknown before opening",
       [&](FakeHidBus& b) {
         b.AddOthers(2);
         ours(b);
         b.HideIds(kOurs);
       },
       1},
      {"empty bus", [](FakeHidBus&) {}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeHidBus local;
    row.build(local);
    SetHidAccess(&local);
    const std::vector<HidInterfaceInfo> all = local.Enumerate();

    EXPECT_EQ(OpenUsbLink(&sink), row.result);
    LinkState& link = CurrentLink();
    EXPECT_EQ(link.connected.load(), row.result == 1);
    for (std::size_t i = 0; i < all.size(); ++i) {
      const std::string& path = all[i].path;
      SCOPED_TRACE(path);
      const bool chosen = row.result == 1 && path == kOurs;
      EXPECT_EQ(local.OpenAttempts(path), i < 32 ? 1 : 0);
      EXPECT_EQ(local.IsOpen(path), chosen);
      if (!chosen && local.Opens(path) == 1) {
        EXPECT_EQ(local.AttributeReads(path), 1);
      }
    }
    if (row.result == 1) {
      EXPECT_EQ(link.kind.load(), LinkKind::Usb);
      EXPECT_TRUE(link.transport.load()->Writable());
      EXPECT_EQ(link.sink.load(), &sink);
      EXPECT_NE(link.transport.load(), nullptr);
      EXPECT_TRUE(IsOurDevicePath(kOurs));
    } else {
      EXPECT_EQ(link.transport.load(), nullptr);
      EXPECT_GE(LogCount("连接目标设备失败，没有找到目标设备"), 1);
    }
    CloseUsbLink(false);
    for (const HidInterfaceInfo& i : all) EXPECT_FALSE(local.IsOpen(i.path)) << i.path;
    SetHidAccess(&bus);
  }
}

TEST_F(UsbLinkTest, OpenWhileAnyLinkIsConnectedReturnsZeroAndChangesNothing) {
  bus.Add(kOurs, kUsbVendorId, kUsbProductId);
  // A network link holds the connection: the USB search does not even start.
  CurrentLink().kind = LinkKind::Network;
  CurrentLink().connected = true;
  EXPECT_EQ(OpenUsbLink(&sink), 0);
  EXPECT_EQ(bus.OpenAttempts(kOurs), 0);
  EXPECT_EQ(CurrentLink().kind.load(), LinkKind::Network);
  CurrentLink().connected = false;

  ASSERT_EQ(OpenUsbLink(&sink), 1);
  PacketTransport* transport = CurrentLink().transport;
  EXPECT_EQ(OpenUsbLink(nullptr), 0);
  EXPECT_EQ(bus.OpenAttempts(kOurs), 1);
  EXPECT_TRUE(bus.IsOpen(kOurs));
  EXPECT_EQ(CurrentLink().transport.load(), transport);
  EXPECT_EQ(CurrentLink().sink.load(), &sink);
}

TEST_F(UsbLinkTest, OpenLinkOfKindUsbOpensTheUsbDevice) {
  bus.Add(kOurs, kUsbVendorId, kUsbProductId);
  CurrentLink().kind = LinkKind::Network;  // left over from an earlier network link
  EXPECT_EQ(OpenLink(&sink, LinkKind::Usb), 1);
  EXPECT_TRUE(bus.IsOpen(kOurs));
  EXPECT_EQ(CurrentLink().kind.load(), LinkKind::Usb);
}

TEST_F(UsbLinkTest, PermissionProblemIsReportedOnlyForTheDevice) {
  struct Row {
    const char* name;
    std::uint16_t vendorId;
    bool hideIds;
    bool reported;
  };
  const Row rows[] = {
      {"our ids", kUsbVendorId, false, true},
      {"ids unknown", kUsbVendorId, true, true},
      {"another vendor's device (most hidraw nodes are root's)", 0x046D, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearLog();
    FakeHidBus local;
    local.Add("/dev/hidraw7", row.vendorId, kUsbProductId);
    local.FailOpen("/dev/hidraw7", HidOpenError::PermissionDenied);
    if (row.hideIds) local.HideIds("/dev/hidraw7");
    SetHidAccess(&local);
    EXPECT_EQ(OpenUsbLink(&sink), 0);
    const UsbOpenProblem problem = LastUsbOpenProblem();
    EXPECT_EQ(problem.permissionDenied, row.reported);
    EXPECT_EQ(problem.path, row.reported ? "/dev/hidraw7" : "");
    const auto lines = LogStartingWith("Permission denied opening /dev/hidraw7");
    EXPECT_EQ(lines.size(), row.reported ? 1u : 0u);
    if (!lines.empty()) {
      EXPECT_NE(lines.front().find("70-dsptune.rules"), std::string::npos);
    }
    SetHidAccess(&bus);
  }
  // A later successful open clears the problem.
  OpenOurs();
  EXPECT_FALSE(LastUsbOpenProblem().permissionDenied);
}

// ---------------------------------------------------------------------------------------
// Writing

TEST_F(UsbLinkTest, EveryWriteIsOneFullReportWithReportId2) {
  OpenOurs();
  bus.SetResponder(kOurs, EchoCode);
  std::vector<std::uint8_t> data(56);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i + 1);

  SendCommand({kCmdProtocolCode});
  SendOffsetWrite(kCmdWriteLive, 0x0102, data);
  EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{kCmdStatus}, false), 61);

  const std::vector<Report> written = bus.Written(kOurs);
  ASSERT_EQ(written.size(), 3u);
  for (const Report& r : written) EXPECT_EQ(r.size(), 61u);
  EXPECT_EQ(written[0], ReportOf({0x7F}));  // 02 7F and 59 zero bytes
  Report offsetWrite = ReportOf({0x85, 0x01, 0x02, 56});
  std::copy(data.begin(), data.end(), offsetWrite.begin() + 5);
  EXPECT_EQ(written[1], offsetWrite);
  EXPECT_EQ(written[2], ReportOf({0x0E}));

  // Bytes 1..59 of each report.
  std::string zeros;
  for (int i = 0; i < 58; ++i) zeros += "00 ";
  const auto lines = LogStartingWith("Write:");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Write:7F " + zeros + "\n");
}

TEST_F(UsbLinkTest, NothingIsWrittenWhileNoUsbDeviceIsOpen) {
  bus.Add(kOurs, kUsbVendorId, kUsbProductId);
  EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{0x7F}, false), 0);
  SendCommand({kCmdProtocolCode});
  EXPECT_TRUE(bus.Written(kOurs).empty());
}

TEST_F(UsbLinkTest, SynchronousDirectWriteWaitsForTheReplyThenGoesAhead) {
  OpenOurs();
  ASSERT_TRUE(CurrentLink().replyEvent.Wait(0ms));  // signalled by the open
  EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{0x0E}, true), 61);
  EXPECT_EQ(LogCount("WaitForSingleObject Time Out \r\n "), 1);
  EXPECT_EQ(bus.Written(kOurs).size(), 1u);
}

TEST_F(UsbLinkTest, WritersOnSeveralThreadsEachSendWholeReports) {
  OpenOurs();
  bus.SetResponder(kOurs, EchoCode);
  std::vector<std::thread> writers;
  for (std::uint8_t t = 0; t < 4; ++t)
    writers.emplace_back([t] {
      for (int i = 0; i < 20; ++i) SendCommand({kCmdGetMode, t});
    });
  for (std::thread& w : writers) w.join();
  const std::vector<Report> written = bus.Written(kOurs);
  ASSERT_EQ(written.size(), 80u);
  int perThread[4] = {};
  for (const Report& r : written) {
    ASSERT_EQ(r.size(), 61u);
    EXPECT_EQ(r[0], 0x02);
    EXPECT_EQ(r[1], kCmdGetMode);
    if (r[2] < 4) ++perThread[r[2]];
  }
  for (int n : perThread) EXPECT_EQ(n, 20);
}

// ---------------------------------------------------------------------------------------
// Reading

TEST_F(UsbLinkTest, DeviceReportsReachTheDispatcher) {
  OpenOurs();
  bus.SetResponder(kOurs, [](std::span<const std::uint8_t> r) -> std::vector<Report> {
    if (r[1] == kCmdProtocolCode) return {{0x02, 0x7F, 20}};
    return {};
  });
  SendCommand({kCmdProtocolCode});
  EXPECT_TRUE(WaitUntil([] { return IdentitySnapshot().protocolCode == 20; }));

  // Unasked reports too, whatever their report id byte.
  bus.Push(kOurs, {0x00, kCmdGetMode, 2});
  EXPECT_TRUE(WaitUntil([] { return CurrentLink().currentMode == 2; }));

  const auto lines = LogStartingWith("Read:");
  ASSERT_GE(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("Read:7F 14 00 "));
  EXPECT_EQ(lines[0].size(), 5 + 60 * 3 + 1u);  // bytes 1..60
}

TEST_F(UsbLinkTest, ReadFailureStopsTheReaderAndRefusesWrites) {
  struct Row {
    const char* name;
    std::function<void(FakeHidBus&)> fail;
  };
  const Row rows[] = {
      {"read error", [](FakeHidBus& b) { b.FailReads(kOurs); }},
      {"device unplugged", [](FakeHidBus& b) { b.Remove(kOurs); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearLog();
    FakeHidBus local;
    local.Add(kOurs, kUsbVendorId, kUsbProductId);
    SetHidAccess(&local);
    ASSERT_EQ(OpenUsbLink(&sink), 1);
    LinkState& link = CurrentLink();
    link.statusPollingAllowed = true;
    ASSERT_TRUE(link.replyEvent.Wait(0ms));

    row.fail(local);
    ASSERT_TRUE(WaitUntil([&] { return LogCount("End thread: ReadUsbThreadProc \n") == 1; }));
    EXPECT_EQ(LogCount("Read Usb Error will return !\n"), 1);
    EXPECT_FALSE(link.statusPollingAllowed.load());
    EXPECT_TRUE(link.replyEvent.Wait(0ms));  // a waiting sender was released
    EXPECT_TRUE(link.connected.load());       // nominally open until closed or removed

    EXPECT_FALSE(link.transport.load()->Writable());  // SendPacket does not even wait
    SendCommand({kCmdStatus});
    EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{kCmdStatus}, false), 0);
    EXPECT_TRUE(local.Written(kOurs).empty());
    EXPECT_EQ(LogCount("g_bReadThreadEnd == TRUE ,WriteUsbData return \n"), 1);

    OnUsbRemoved();
    EXPECT_FALSE(link.connected.load());
    EXPECT_FALSE(local.IsOpen(kOurs));
    SetHidAccess(&bus);
  }
}

// ---------------------------------------------------------------------------------------
// Closing and removal

TEST_F(UsbLinkTest, CloseStopsTheWaitingReaderPromptlyAndClosesTheDevice) {
  OpenOurs();
  const auto start = std::chrono::steady_clock::now();
  CloseUsbLink(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  EXPECT_EQ(LogCount("wait read thread exited time out !\n"), 0);
  EXPECT_EQ(LogCount("End thread: ReadUsbThreadProc \n"), 1);
  EXPECT_FALSE(bus.IsOpen(kOurs));
  EXPECT_FALSE(CurrentLink().connected.load());
  EXPECT_EQ(CurrentLink().transport.load(), nullptr);
  EXPECT_FALSE(IsOurDevicePath(kOurs));
  EXPECT_EQ(WriteReport(std::vector<std::uint8_t>{0x7F}, false), 0);

  // Closed links stay closed, and the device can be opened again.
  CloseUsbLink(true);
  EXPECT_TRUE(bus.Written(kOurs).empty());
  EXPECT_EQ(OpenUsbLink(&sink), 1);
  EXPECT_TRUE(bus.IsOpen(kOurs));
}

TEST_F(UsbLinkTest, CloseSendsTheDisconnectNoticeOnlyWhenAsked) {
  for (bool notice : {true, false}) {
    SCOPED_TRACE(notice ? "with notice" : "without notice");
    FakeHidBus local;
    local.Add(kOurs, kUsbVendorId, kUsbProductId);
    SetHidAccess(&local);
    ASSERT_EQ(OpenUsbLink(&sink), 1);
    {
      LinkState& link = CurrentLink();
      std::lock_guard lock(link.dataMutex);
      link.statusBlock.fill(0x11);
    }
    CloseUsbLink(notice);
    EXPECT_EQ(local.Written(kOurs), notice ? std::vector<Report>{ReportOf({0x8A})} : std::vector<Report>{});
    EXPECT_FALSE(local.IsOpen(kOurs));
    EXPECT_EQ(StatusBlockSnapshot(), StatusBlock{});
    SetHidAccess(&bus);
  }
}

TEST_F(UsbLinkTest, OnlyTheRemovalOfOurPathClosesTheLink) {
  EXPECT_FALSE(IsOurDevicePath(kOurs));  // nothing open
  OpenOurs();
  struct Row {
    const char* path;
    bool ours;
  };
  const Row rows[] = {
      {"/dev/hidraw9", false},
      {"/dev/hidraw-dsp2", false},
      {"", false},
      {"/DEV/HIDRAW-DSP", true},
      {"/dev/hidraw-dsp", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(IsOurDevicePath(row.path), row.ours);
  }
  // The removal handler's rule, as the main frame applies it.
  for (const char* removed : {"/dev/hidraw9", "/DEV/HIDRAW-DSP"}) {
    if (IsOurDevicePath(removed)) OnUsbRemoved();
    EXPECT_EQ(CurrentLink().connected.load(), std::string(removed) == "/dev/hidraw9");
  }
  EXPECT_FALSE(bus.IsOpen(kOurs));
  EXPECT_TRUE(bus.Written(kOurs).empty());  // removal sends no notice
}

TEST_F(UsbLinkTest, TheReadThreadMayCloseItsOwnLink) {
  OpenOurs();
  sink.onSend = [](int message) {
    if (message == kMsgRemoteLearn) CloseUsbLink(false);
  };
  bus.Push(kOurs, {0x02, kCmdLearnKey, 0, 1, 0x33});  // learned key: sent to the sink
  ASSERT_TRUE(WaitUntil([&] { return LogCount("End thread: ReadUsbThreadProc \n") == 1; }));
  EXPECT_FALSE(CurrentLink().connected.load());
  sink.onSend = nullptr;

  // The ended thread is joined, and its device closed, by the next close or open.
  EXPECT_TRUE(WaitUntil([&] {
    CloseUsbLink(false);
    return bus.Closes(kOurs) == 1;
  }));
  EXPECT_EQ(OpenUsbLink(&sink), 1);
  EXPECT_EQ(bus.Opens(kOurs), 2);
}

// ---------------------------------------------------------------------------------------
// Report ids as hidraw delivers them

TEST(UsbReportIds, DescriptorDeclaresReportIds) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    ReportNumbering expected;
  };
  const Row rows[] = {
      {"empty", {}, ReportNumbering::Unknown},
      {"vendor page, report id 2",
       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x95, 0x3C, 0x75, 0x08, 0x81, 0x02, 0xC0},
       ReportNumbering::Numbered},
      {"no report id", {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x95, 0x3C, 0x75, 0x08, 0x81, 0x02, 0xC0},
       ReportNumbering::Unnumbered},
      {"0x85 as data of a report count", {0x95, 0x85, 0x75, 0x08, 0x81, 0x02}, ReportNumbering::Unnumbered},
      {"0x85 inside a long item", {0xFE, 0x02, 0x10, 0x85, 0x02, 0x81, 0x02}, ReportNumbering::Unnumbered},
      {"4-byte item before the report id", {0x27, 0xFF, 0xFF, 0x00, 0x00, 0x85, 0x02}, ReportNumbering::Numbered},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ReportNumberingOf(row.descriptor), row.expected);
  }
}

TEST(UsbReportIds, ResponseCodeAlwaysLandsInByte1) {
  std::vector<std::uint8_t> numbered(61, 0), unnumbered(60, 0);
  numbered[0] = 0x02;
  numbered[1] = unnumbered[0] = 0x7F;
  numbered[2] = unnumbered[1] = 20;
  numbered[60] = unnumbered[59] = 0xEE;
  struct Row {
    const char* name;
    const std::vector<std::uint8_t>& raw;
    ReportNumbering numbering;
    int expectedLength;
    std::uint8_t expectedId;
  };
  const Row rows[] = {
      {"numbered", numbered, ReportNumbering::Numbered, 61, 0x02},
      {"unnumbered", unnumbered, ReportNumbering::Unnumbered, 61, 0x00},
      {"unknown, full length", numbered, ReportNumbering::Unknown, 61, 0x02},
      {"unknown, one byte short", unnumbered, ReportNumbering::Unknown, 61, 0x00},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::uint8_t report[61];
    std::fill_n(report, 61, 0xAA);
    EXPECT_EQ(NormaliseInputReport(row.raw.data(), int(row.raw.size()), row.numbering, report), row.expectedLength);
    EXPECT_EQ(report[0], row.expectedId);
    EXPECT_EQ(report[1], 0x7F);
    EXPECT_EQ(report[2], 20);
    EXPECT_EQ(report[60], 0xEE);
  }
  std::uint8_t report[61];
  const std::uint8_t shortRead[] = {0x7F, 20};
  EXPECT_EQ(NormaliseInputReport(shortRead, 2, ReportNumbering::Unnumbered, report), 3);
  EXPECT_EQ(report[1], 0x7F);
  EXPECT_EQ(report[60], 0);
  EXPECT_EQ(NormaliseInputReport(shortRead, -1, ReportNumbering::Numbered, report), -1);
}

// ---------------------------------------------------------------------------------------
// Hotplug monitor: its udev side needs a udev daemon, so here only start and stop either
// way (the periodic checks that stand in for it: UsbHotplugFallbackTest.cpp).

TEST(UsbHotplugTest, StartsWhereUdevRunsAndStopsCleanlyEitherWay) {
  UsbHotplug monitor;
  EXPECT_FALSE(monitor.Start(nullptr));
  const bool started = monitor.Start([](UsbHotplug::Event, const std::string&) {});
  EXPECT_EQ(monitor.Running(), started);
  if (started) {
    EXPECT_FALSE(monitor.Start([](UsbHotplug::Event, const std::string&) {}));
  }
  monitor.Stop();
  EXPECT_FALSE(monitor.Running());
  monitor.Stop();
}

}  // namespace
}  // namespace dsptune
