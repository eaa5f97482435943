#include "link/CommandSet.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <optional>

#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Path;

class CommandSetTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  // The one packet the transport received, or a failure.
  test::TransportCall OnlyCall() {
    const auto calls = transport.Calls();
    EXPECT_EQ(calls.size(), 1u);
    return calls.empty() ? test::TransportCall{} : calls.front();
  }
};

// The command as it leaves on each link: the packet on USB, 0x81 + the packet on the network.
std::vector<std::uint8_t> OnLink(LinkKind kind, std::vector<std::uint8_t> packet) {
  if (kind == LinkKind::Network) packet.insert(packet.begin(), kDestController);
  return packet;
}

Path PathOf(LinkKind kind) { return kind == LinkKind::Usb ? Path::UsbReport : Path::NetworkDirect; }

const char* Name(LinkKind kind) { return kind == LinkKind::Usb ? "USB" : "network"; }

TEST_F(CommandSetTest, ProtocolCodeRequestOnTheWireOfEachLink) {
  std::vector<std::uint8_t> report(61, 0);
  report[0] = 0x02;
  report[1] = 0x7F;
  struct Row {
    LinkKind kind;
    std::vector<std::uint8_t> packet, wire;
  };
  const Row rows[] = {
      {LinkKind::Usb, Bytes({0x7F}), report},
      {LinkKind::Network, Bytes({0x81, 0x7F}), Bytes({0x55, 0x03, 0x81, 0x7F, 0x02})},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Name(r.kind));
    transport.Clear();
    UseLink(r.kind);
    SendCommand({kCmdProtocolCode});
    const test::TransportCall call = OnlyCall();
    EXPECT_EQ(call.path, PathOf(r.kind));
    EXPECT_EQ(call.bytes, r.packet);
    if (r.kind == LinkKind::Usb) {
      const auto wire = EncodeReport(call.bytes);
      EXPECT_EQ(std::vector<std::uint8_t>(wire.begin(), wire.end()), r.wire);
    } else {
      EXPECT_EQ(EncodeFrame(call.bytes), r.wire);
    }
  }
}

TEST_F(CommandSetTest, SendCommandTakesOneToSixtyBytes) {
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    UseLink(kind);
    for (const std::size_t size : {0u, 1u, 60u, 61u}) {
      SCOPED_TRACE(testing::Message() << Name(kind) << ", " << size << " bytes");
      transport.Clear();
      std::vector<std::uint8_t> bytes(size);
      for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(0xA0 + i);
      SendCommand(bytes);
      const auto calls = transport.Calls();
      if (size == 0 || size > 60) {
        EXPECT_TRUE(calls.empty());
      } else {
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].bytes, OnLink(kind, bytes));
      }
    }
  }
}

TEST_F(CommandSetTest, OffsetWriteLayoutAndItsFiftySixByteLimit) {
  struct Row {
    std::uint8_t code;
    std::uint16_t offset;
    std::size_t dataSize;
    bool sent;
  };
  const Row rows[] = {
      {kCmdWriteLive, 420, 7, true},       // one band record
      {kCmdWriteImage, 0x0D7E, 56, true},  // a full image chunk
      {kCmdWriteLive, 1390, 0, true},
      {kCmdWriteImage, 0, 57, false},
  };
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    UseLink(kind);
    for (const Row& r : rows) {
      SCOPED_TRACE(testing::Message() << Name(kind) << ", code " << int(r.code) << ", " << r.dataSize << " bytes");
      transport.Clear();
      std::vector<std::uint8_t> data(r.dataSize);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i + 1);
      EXPECT_EQ(SendOffsetWrite(r.code, r.offset, data), r.sent);
      if (!r.sent) {
        EXPECT_TRUE(transport.Calls().empty());
        continue;
      }
      std::vector<std::uint8_t> packet{r.code, std::uint8_t(r.offset >> 8), std::uint8_t(r.offset & 0xFF),
                                       std::uint8_t(r.dataSize)};
      packet.insert(packet.end(), data.begin(), data.end());
      EXPECT_EQ(OnlyCall().bytes, OnLink(kind, packet));
    }
  }
}

TEST_F(CommandSetTest, DspRecordCommandCarriesWholeValuesUpToThirteen) {
  UseLink(LinkKind::Usb);
  struct Row {
    std::size_t valueBytes, count;
  };
  for (const Row r : {Row{0, 0}, Row{4, 1}, Row{7, 1}, Row{20, 5}, Row{52, 13}, Row{60, 13}}) {
    SCOPED_TRACE(testing::Message() << r.valueBytes << " value bytes");
    transport.Clear();
    std::vector<std::uint8_t> values(r.valueBytes);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::uint8_t(0x10 + i);
    SendDspRecordCommand(5, 0x1D, values);
    std::vector<std::uint8_t> packet{0x09, 0x00, 5, 0x1D, std::uint8_t(r.count)};
    packet.insert(packet.end(), values.begin(), values.begin() + long(r.count * 4));
    EXPECT_EQ(OnlyCall().bytes, packet);
  }
}

TEST_F(CommandSetTest, ModelWritesLeaveAsCommandsOnBothLinks) {
  const auto band = Bytes({0x00, 0x96, 0x03, 0xE8, 0x02, 0xC3, 0x01});
  struct Row {
    const char* name;
    std::function<void()> write;
    std::vector<std::uint8_t> packet;
  };
  const Row rows[] = {
      {"DSP record", [] { SendDspRecordCommand(4, 0x17, Bytes({0, 0, 0, 3})); },
       Bytes({0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03})},
      {"SetParameter", [] { SetParameter(4, 0x17, 3); },
       Bytes({0x09, 0x00, 0x04, 0x17, 0x01, 0x00, 0x00, 0x00, 0x03})},
      {"WriteLiveBytes", [&] { WriteLiveBytes(420, band); },
       Bytes({0x85, 0x01, 0xA4, 0x07, 0x00, 0x96, 0x03, 0xE8, 0x02, 0xC3, 0x01})},
  };
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    for (const Row& r : rows) {
      SCOPED_TRACE(testing::Message() << Name(kind) << ", " << r.name);
      transport.Clear();
      UseLink(kind);
      r.write();
      const test::TransportCall call = OnlyCall();
      EXPECT_EQ(call.path, PathOf(kind));
      EXPECT_EQ(call.bytes, OnLink(kind, r.packet));
    }
  }
  // The model was updated before the send.
  EXPECT_EQ(ReadLiveBytes(420, 7), band);
}

TEST_F(CommandSetTest, SetParameterAlsoStoresTheValueInTheImage) {
  UseLink(LinkKind::Usb);
  SetParameter(4, 0x17, 3);
  EXPECT_EQ(ReadImageBytes(kInputSourceOffset - 3, 4), Bytes({0, 0, 0, 3}));
  EXPECT_EQ(UiValue(4, 0x17), 3);
}

// Every row starts with the reply event taken, so a send that waits times out and logs;
// a send that must not wait logs nothing.
TEST_F(CommandSetTest, PathDependsOnLinkKindConnectionAndSendMode) {
  CurrentLink().replyTimeout = 20ms;
  transport.autoReply = false;
  transport.checkLinkLock = true;
  struct Row {
    const char* name;
    LinkKind kind;
    bool connected, queued, synchronous;
    std::optional<Path> path;
    bool waits;
  };
  const Row rows[] = {
      {"USB synchronous", LinkKind::Usb, true, false, true, Path::UsbReport, true},
      {"USB asynchronous", LinkKind::Usb, true, false, false, Path::UsbReport, false},
      {"network closed, synchronous", LinkKind::Network, false, false, true, std::nullopt, false},
      {"network closed, asynchronous", LinkKind::Network, false, true, false, std::nullopt, false},
      {"network queued, synchronous", LinkKind::Network, true, true, true, Path::NetworkQueue, false},
      {"network queued, asynchronous", LinkKind::Network, true, true, false, Path::NetworkQueue, false},
      {"network direct, synchronous", LinkKind::Network, true, false, true, Path::NetworkDirect, true},
      {"network direct, asynchronous", LinkKind::Network, true, false, false, Path::NetworkDirect, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    UseLink(r.kind, r.connected, r.queued);
    transport.Clear();
    ClearLog();
    CurrentLink().replyEvent.Reset();
    const auto packet = OnLink(r.kind, Bytes({0x0E}));
    SendPacket(packet, r.synchronous);

    const auto calls = transport.Calls();
    ASSERT_EQ(calls.size(), r.path ? 1u : 0u);
    if (r.path) {
      EXPECT_EQ(calls[0].path, *r.path);
      EXPECT_EQ(calls[0].bytes, packet);
      // Direct network sends go out under the link lock; the USB writer takes it itself.
      if (*r.path == Path::NetworkDirect) {
        EXPECT_TRUE(calls[0].linkLockHeld);
      }
    }
    const std::string_view line = r.kind == LinkKind::Usb ? test::kUsbWaitTimeoutLine : test::kNetworkWaitTimeoutLine;
    EXPECT_EQ(LogCount(line), r.waits ? 1 : 0);
    EXPECT_EQ(LogLines().size(), r.waits ? 1u : 0u);
  }
}

// With no device open there is no reply to wait for: the write is refused at once, as
// on the network. Otherwise every edit made while unplugged would stall the user
// interface for the whole time-out once the first one had taken the initial signal.
TEST_F(CommandSetTest, ClosedUsbLinkDoesNotWaitForAReply) {
  CurrentLink().replyTimeout = 1s;
  transport.autoReply = false;
  for (const bool transportInstalled : {true, false}) {
    SCOPED_TRACE(transportInstalled ? "closed link" : "no link opened yet");
    CurrentLink().transport = transportInstalled ? &transport : nullptr;
    UseLink(LinkKind::Usb, false);
    CurrentLink().replyEvent.Reset();
    ClearLog();
    const auto before = test::Clock::now();
    SendCommand({kCmdStatus});
    EXPECT_LT(test::Clock::now() - before, 500ms);
    EXPECT_EQ(LogLines().size(), 0u);
  }
  for (const auto& call : transport.Calls()) EXPECT_EQ(call.path, Path::UsbReport);
}

// No reply ever arrives: the first send finds the event signalled, the second waits out
// the time-out, logs it and still goes; any received packet lets the next one go at once.
TEST_F(CommandSetTest, SynchronousSendsArePacedByTheReplyEvent) {
  transport.autoReply = false;
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    SCOPED_TRACE(Name(kind));
    FreshLink();
    UseLink(kind);
    transport.Clear();
    ClearLog();
    const std::string_view line = kind == LinkKind::Usb ? test::kUsbWaitTimeoutLine : test::kNetworkWaitTimeoutLine;

    SendCommand({kCmdGetMode});
    EXPECT_EQ(LogLines().size(), 0u) << "the first send waited";

    const auto before = test::Clock::now();
    SendCommand({kCmdStatus});
    EXPECT_GE(test::Clock::now() - before, kShortReplyTimeout);
    EXPECT_EQ(LogCount(line), 1);

    DispatchPacket(Bytes({0x02, 0x07, 0x01}));
    SendCommand({kCmdGetRemoteTable});
    EXPECT_EQ(LogCount(line), 1) << "the send after a reply waited";

    const auto calls = transport.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].bytes, OnLink(kind, Bytes({kCmdStatus})));
    EXPECT_EQ(calls[2].bytes, OnLink(kind, Bytes({kCmdGetRemoteTable})));
  }
}

TEST_F(CommandSetTest, PacketFromTheReceiveThreadReleasesAWaitingSend) {
  transport.autoReply = false;
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    SCOPED_TRACE(Name(kind));
    FreshLink();
    CurrentLink().replyTimeout = 3s;
    UseLink(kind);
    transport.Clear();
    ClearLog();

    SendCommand({kCmdGetMode});  // takes the initial signal
    auto waiting = std::async(std::launch::async, [] {
      const auto before = test::Clock::now();
      SendCommand({kCmdStatus});
      return test::Clock::now() - before;
    });
    // Either order releases it: a signal set before the wait is taken by the wait.
    std::this_thread::sleep_for(10ms);
    DispatchPacket(Bytes({0x02, 0x55}));  // a code the dispatcher does not know
    EXPECT_LT(waiting.get(), 1500ms);
    EXPECT_EQ(LogLines().size(), 0u);
    EXPECT_EQ(transport.Calls().size(), 2u);
  }
}

TEST_F(CommandSetTest, ZWaveAcknowledgementIsNotSynchronous) {
  CurrentLink().replyTimeout = 3s;
  transport.autoReply = false;
  std::vector<std::uint8_t> usbWire(61, 0);
  usbWire[0] = 0x02;
  usbWire[1] = 0x12;
  usbWire[2] = 0x01;
  usbWire[3] = 0x06;
  struct Row {
    const char* name;
    LinkKind kind;
    bool queued;
    Path path;
    std::vector<std::uint8_t> bytes, wire;
  };
  const Row rows[] = {
      {"USB", LinkKind::Usb, false, Path::UsbReport, Bytes({0x12, 0x01, 0x06}), usbWire},
      {"network direct", LinkKind::Network, false, Path::NetworkDirect, Bytes({0x80, 0x06}),
       Bytes({0x55, 0x03, 0x80, 0x06, 0x7A})},
      {"network queued", LinkKind::Network, true, Path::NetworkQueue, Bytes({0x80, 0x06}),
       Bytes({0x55, 0x03, 0x80, 0x06, 0x7A})},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    UseLink(r.kind, true, r.queued);
    transport.Clear();
    CurrentLink().replyEvent.Reset();
    const auto before = test::Clock::now();
    SendZWave(Bytes({kZWaveAck}));
    EXPECT_LT(test::Clock::now() - before, 1500ms);
    const test::TransportCall call = OnlyCall();
    EXPECT_EQ(call.path, r.path);
    EXPECT_EQ(call.bytes, r.bytes);
    if (r.kind == LinkKind::Usb) {
      const auto wire = EncodeReport(call.bytes);
      EXPECT_EQ(std::vector<std::uint8_t>(wire.begin(), wire.end()), r.wire);
    } else {
      EXPECT_EQ(EncodeFrame(call.bytes), r.wire);
    }
  }
  EXPECT_EQ(LogLines().size(), 0u);
}

}  // namespace
}  // namespace dsptune
