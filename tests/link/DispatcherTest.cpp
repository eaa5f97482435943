#include "link/Dispatcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "link/CommandSet.h"
#include "link/TransferLedger.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Path;

// A packet as the receive thread hands it over: the ignored leading byte (report id or
// destination byte), the response code, the parameters.
std::vector<std::uint8_t> Reply(std::uint8_t code, std::vector<std::uint8_t> params = {}) {
  params.insert(params.begin(), {0x02, code});
  return params;
}

// The same packet padded to a whole 61-byte USB input report with `fill` bytes.
std::vector<std::uint8_t> Report(std::uint8_t code, std::vector<std::uint8_t> params, std::uint8_t fill = 0) {
  std::vector<std::uint8_t> report = Reply(code, std::move(params));
  report.resize(61, fill);
  return report;
}

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t(first + i);
  return bytes;
}

class DispatcherTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  void Fresh() {
    ResetDataModel();
    FreshLink();
  }
};

TEST_F(DispatcherTest, EveryPacketReleasesTheNextSend) {
  transport.autoReply = false;  // the Z-Wave acknowledgement must not be what sets it
  CurrentLink().readJobStarter = [] {};
  const std::vector<std::uint8_t> rows[] = {
      Reply(0x05), Reply(0x06), Reply(0x07, {1}), Reply(0x09), Reply(0x0A, {0x21, 0x09, 0x04}),
      Report(0x0E, {}), Reply(0x12, {0x01, 0x01}), Reply(0x12, {0x01, 0x06}), Reply(0x30, {0, 0, 1, 7}),
      Reply(0x31), Reply(0x32), Reply(0x60, {0, 3, 0x44}), Report(0x62, {}), Reply(0x7E, {'1'}),
      Reply(0x7F, {20}), Reply(0x80, {'A'}), Reply(0x81, {'2'}), Reply(0x86, {0x05, 0x6E, 1, 0}),
      Report(0x92, {}),
      // codes the dispatcher does not know, and packets too short to carry a code
      Reply(0x00), Reply(0x55, {1, 2, 3}), Reply(0xFF), Bytes({0x02}), Bytes({}),
  };
  for (const auto& packet : rows) {
    SCOPED_TRACE(testing::Message() << "code " << (packet.size() > 1 ? int(packet[1]) : -1) << ", size "
                                    << packet.size());
    CurrentLink().replyEvent.Reset();
    DispatchPacket(packet);
    EXPECT_TRUE(CurrentLink().replyEvent.Wait(0ms));
  }
}

TEST_F(DispatcherTest, ModeChangedFlagAndProtocolCodeReplies) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> packet;
    std::function<void()> expect;
  };
  const Row rows[] = {
      {"0x07 mode", Reply(0x07, {2}), [] { EXPECT_EQ(CurrentLink().currentMode, 2); }},
      {"0x07 without mode", Reply(0x07), [] { EXPECT_EQ(CurrentLink().currentMode, 0); }},
      {"0x09 parameter written", Reply(0x09), [] { EXPECT_TRUE(CurrentLink().changedFlag); }},
      {"0x31 image chunk written", Reply(0x31), [] { EXPECT_FALSE(CurrentLink().changedFlag); }},
      {"0x7F protocol code", Reply(0x7F, {20}), [] { EXPECT_EQ(IdentitySnapshot().protocolCode, 20); }},
      {"0x7F in a report", Report(0x7F, {0x15}, 0xEE), [] { EXPECT_EQ(IdentitySnapshot().protocolCode, 0x15); }},
      {"0x7F without code", Reply(0x7F), [] { EXPECT_EQ(IdentitySnapshot().protocolCode, 17); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Fresh();
    DispatchPacket(r.packet);
    r.expect();
  }
}

TEST_F(DispatcherTest, ParameterErrorIsShownOncePerRun) {
  DispatchPacket(Reply(0x0A, {0x00, 0x09, 0x04}));  // code 0 is no error and does not use up the box
  EXPECT_TRUE(sink.Calls().empty());
  DispatchPacket(Reply(0x0A, {0x2B, 0x09, 0xA4}));
  DispatchPacket(Reply(0x0A, {0x01, 0x85, 0x00}));
  DispatchPacket(Reply(0x0A, {0x7F, 0x7F, 0x7F}));
  const auto calls = sink.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, test::SinkCall::ParameterError);
  EXPECT_EQ(calls[0].text, "参数错误,代码0x:2B,指令1:0x09,指令2:0xA4 ");
}

TEST_F(DispatcherTest, StatusBlockAndMusicPitch) {
  struct Row {
    std::uint8_t byte7;
    int pitch;
  };
  for (const Row r : {Row{0x00, -5}, Row{0x53, 0}, Row{0x38, -2}, Row{0xA8, 5}, Row{0xF0, 10}}) {
    SCOPED_TRACE(testing::Message() << "byte 7 = " << int(r.byte7));
    Fresh();
    std::vector<std::uint8_t> status = Counting(30, 0x40);
    status[7] = r.byte7;
    DispatchPacket(Report(0x0E, status, 0xEE));  // bytes after the 30 are not status
    const StatusBlock block = StatusBlockSnapshot();
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.end()), status);
    EXPECT_EQ(EditorSnapshot().musicPitch, r.pitch);
  }
  // A status answer cut before byte 7 leaves the pitch alone.
  UpdateEditorValues([](EditorValues& ev) { ev.musicPitch = 3; });
  DispatchPacket(Reply(0x0E, {1, 2, 3, 4, 5}));
  EXPECT_EQ(EditorSnapshot().musicPitch, 3);
  EXPECT_EQ(StatusBlockSnapshot()[4], 5);
}

TEST_F(DispatcherTest, ZWaveFramesAreAcknowledgedWithoutWaitingForAReply) {
  transport.autoReply = false;
  struct Row {
    const char* name;
    LinkKind kind;
    bool queued;
    std::vector<std::uint8_t> packet;
    std::optional<test::TransportCall> ack;
  };
  const test::TransportCall usbAck{Path::UsbReport, Bytes({0x12, 0x01, 0x06}), {}};
  const test::TransportCall directAck{Path::NetworkDirect, Bytes({0x80, 0x06}), {}};
  const test::TransportCall queuedAck{Path::NetworkQueue, Bytes({0x80, 0x06}), {}};
  const Row rows[] = {
      {"USB, Serial API frame", LinkKind::Usb, false, Report(0x12, {0x05, 0x01, 0x03, 0x00, 0x15, 0xE9}), usbAck},
      {"USB, other byte", LinkKind::Usb, false, Report(0x12, {0x01, 0x15}), usbAck},
      {"USB, acknowledgement", LinkKind::Usb, false, Report(0x12, {0x01, 0x06}), std::nullopt},
      {"network, Serial API frame", LinkKind::Network, false, Bytes({0x80, 0x12, 0x03, 0x01, 0x02, 0x03}),
       directAck},
      {"network, acknowledgement", LinkKind::Network, false, Bytes({0x80, 0x12, 0x01, 0x06}), std::nullopt},
      {"network queued, Serial API frame", LinkKind::Network, true, Bytes({0x81, 0x12, 0x01, 0x01}), queuedAck},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Fresh();
    CurrentLink().replyTimeout = 3s;
    UseLink(r.kind, true, r.queued);
    transport.Clear();
    CurrentLink().replyEvent.Reset();  // a synchronous acknowledgement would wait 3 s
    const auto before = test::Clock::now();
    DispatchPacket(r.packet);
    EXPECT_LT(test::Clock::now() - before, 1500ms);
    const auto calls = transport.Calls();
    ASSERT_EQ(calls.size(), r.ack ? 1u : 0u);
    if (r.ack) {
      EXPECT_EQ(calls[0].path, r.ack->path);
      EXPECT_EQ(calls[0].bytes, r.ack->bytes);
    }
  }
}

// An image answer counts only when it is exactly one of the read's chunks, and it goes
// to the read's staging copy: the image itself changes only when a whole read commits.
TEST_F(DispatcherTest, ImageChunkLandsOnlyInAReadsStagingCopyAndOnlyWhenWhole) {
  struct Row {
    const char* name;
    std::vector<std::uint8_t> params;  // offH offL length data...
    int chunk;                         // the chunk it completes, -1 for none
  };
  auto chunk = [](int offset, std::size_t lengthByte, std::size_t present) {
    std::vector<std::uint8_t> p{std::uint8_t(offset >> 8), std::uint8_t(offset), std::uint8_t(lengthByte)};
    const auto data = Counting(present, 0xA1);
    p.insert(p.end(), data.begin(), data.end());
    return p;
  };
  const Row rows[] = {
      {"first chunk", chunk(0, 56, 56), 0},
      {"last chunk", chunk(3472, 46, 46), 62},
      {"not on a chunk boundary", chunk(1422, 5, 5), -1},
      {"last chunk asked as 56", chunk(3472, 56, 56), -1},
      {"at the end", chunk(3518, 4, 4), -1},
      {"far out", chunk(0xFFFF, 4, 4), -1},
      {"length beyond the packet", chunk(112, 56, 20), -1},
      {"length shorter than a chunk", chunk(112, 2, 56), -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    for (const bool reading : {false, true}) {
      Fresh();
      BeginLedger(reading ? LedgerMode::Read : LedgerMode::Idle);
      const ParameterImageBytes image = ImageSnapshot();
      const LiveBlockBytes live = LiveBlockSnapshot();
      DispatchPacket(Reply(0x30, r.params));
      EXPECT_EQ(ImageSnapshot(), image);
      EXPECT_EQ(LiveBlockSnapshot(), live);
      const bool counted = reading && r.chunk >= 0;
      EXPECT_EQ(ChunksAccounted().count(), counted ? 1u : 0u);
      if (counted) {
        const ImageChunk c = ImageChunkAt(r.chunk);
        const ParameterImageBytes staged = StagedImage();
        EXPECT_TRUE(std::equal(staged.begin() + c.offset, staged.begin() + c.offset + c.length, r.params.begin() + 3));
      }
    }
  }
  BeginLedger(LedgerMode::Idle);
}

TEST_F(DispatcherTest, LearnedKeyFillsOnlyItsOwnTableByteAndIsSentToTheView) {
  for (int k = 0; k < 256; ++k) {
    SCOPED_TRACE(testing::Message() << "key " << k);
    SetRemoteTable({});
    const std::uint8_t status = std::uint8_t(0x50 + (k & 0x0F)), code = std::uint8_t(k ^ 0xA5);
    const std::size_t before = sink.Calls().size();
    DispatchPacket(Reply(0x60, {status, std::uint8_t(k), code}));

    RemoteCodeTable expected{};
    expected[0] = status;
    if (k >= 1 && k <= 29) expected[std::size_t(k)] = code;
    EXPECT_EQ(RemoteTableSnapshot(), expected);
    const auto calls = sink.Calls();
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back().kind, test::SinkCall::Send);
    EXPECT_EQ(calls.back().message, kMsgRemoteLearn);
    EXPECT_EQ(calls.back().wParam, code);
    EXPECT_EQ(calls.back().lParam, 0);
  }
}

TEST_F(DispatcherTest, RemoteTableReplyFillsTheFirstSixteenBytes) {
  RemoteCodeTable table;
  table.fill(0xEE);
  SetRemoteTable(table);
  DispatchPacket(Report(0x62, Counting(20, 1), 0x77));  // 16 codes, then bytes that are not
  RemoteCodeTable expected = table;
  for (int i = 0; i < 16; ++i) expected[std::size_t(i)] = std::uint8_t(i + 1);
  EXPECT_EQ(RemoteTableSnapshot(), expected);
}

TEST_F(DispatcherTest, MachineSettingsReplySetsBothCopies) {
  ASSERT_EQ(DeviceSettingsSnapshot()[5], 99);
  SetEditedSettings(MachineSettings{7, 7, 7});
  DispatchPacket(Report(0x92, Counting(20, 0x31)));
  MachineSettings expected;
  for (int i = 0; i < kMachineSettingsSize; ++i) expected[std::size_t(i)] = std::uint8_t(0x31 + i);
  EXPECT_EQ(DeviceSettingsSnapshot(), expected);
  EXPECT_EQ(EditedSettingsSnapshot(), expected);
}

TEST_F(DispatcherTest, TextRepliesAreCutToTheirFieldAndStayTerminated) {
  const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  using Getter = std::function<std::vector<char>(const DeviceIdentity&)>;
  const Getter model = [](const DeviceIdentity& id) { return std::vector<char>(id.modelName.begin(), id.modelName.end()); };
  const Getter mcu = [](const DeviceIdentity& id) { return std::vector<char>(id.mcuVersion.begin(), id.mcuVersion.end()); };
  const Getter dsp = [](const DeviceIdentity& id) { return std::vector<char>(id.dspVersion.begin(), id.dspVersion.end()); };
  struct Row {
    std::uint8_t code;
    std::string text;
    bool asReport;  // padded with zeros to a 61-byte report, else the packet ends with the text
    Getter field;
    std::string kept;
  };
  const Row rows[] = {
      {0x80, forty, false, model, forty.substr(0, 31)},
      {0x80, "LQ830", true, model, "LQ830"},
      {0x80, std::string(58, 'M'), false, model, std::string(31, 'M')},
      {0x81, "V1.02.0033-build", false, mcu, "V1.02.0033"},
      {0x81, "1.2", true, mcu, "1.2"},
      {0x7E, "D2.10.0007", false, dsp, "D2.10.0007"},
      {0x7E, "", true, dsp, ""},
      {0x7E, forty, true, dsp, forty.substr(0, 10)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "code " << int(r.code) << ", text \"" << r.text << "\"");
    Fresh();
    std::vector<std::uint8_t> params(r.text.begin(), r.text.end());
    DispatchPacket(r.asReport ? Report(r.code, params) : Reply(r.code, params));
    const std::vector<char> field = r.field(IdentitySnapshot());
    std::vector<char> expected(field.size(), '\0');  // the field was cleared of the default text first
    std::copy(r.kept.begin(), r.kept.end(), expected.begin());
    EXPECT_EQ(field, expected);
  }
  // A text stops at its first zero byte.
  DispatchPacket(Report(0x80, {'A', 'B', 0, 'C', 'D'}));
  EXPECT_EQ(IdentitySnapshot().ModelName(), "AB");
}

TEST_F(DispatcherTest, LiveBlockDataFollowsItsOffsetRules) {
  using Change = std::function<void(LiveBlockBytes&)>;
  struct Row {
    const char* name;
    int offset;
    std::size_t lengthByte;
    std::vector<std::uint8_t> data;
    Change change;
  };
  const auto copyAt = [](int offset, std::vector<std::uint8_t> bytes) -> Change {
    return [offset, bytes](LiveBlockBytes& live) { std::copy(bytes.begin(), bytes.end(), live.begin() + offset); };
  };
  const Change none = [](LiveBlockBytes&) {};
  const Change zeroBands = [](LiveBlockBytes& live) { std::fill_n(live.begin(), 1358, 0); };
  const auto band = Bytes({0x00, 0x96, 0x00, 0x19, 0x05, 0x86, 0x01});
  const auto levels = Counting(32, 0x10), ssvc = Counting(20, 0x01), decay = Bytes({0xC1, 0x20, 0, 0});
  const Row rows[] = {
      {"FF FF at 0 clears every band record", 0, 2, Bytes({0xFF, 0xFF}), zeroBands},
      {"FF FF at another band offset also clears them all", 700, 7, Bytes({0xFF, 0xFF, 1, 2, 3, 4, 5}), zeroBands},
      {"band record at 0", 0, 7, band, copyAt(0, band)},
      {"band record at 420", 420, 7, band, copyAt(420, band)},
      {"FF only once", 14, 2, Bytes({0xFF, 0x00}), copyAt(14, Bytes({0xFF, 0x00}))},
      {"SSVC levels", 1358, 32, levels, copyAt(1358, levels)},
      {"FF FF at 1358 is data", 1358, 2, Bytes({0xFF, 0xFF}), copyAt(1358, Bytes({0xFF, 0xFF}))},
      {"SSVC settings", 1390, 20, ssvc, copyAt(1390, ssvc)},
      {"subwoofer decay level", 1410, 4, decay, copyAt(1410, decay)},
      {"never past the live block", 1410, 56, Counting(56, 1), copyAt(1410, Counting(12, 1))},
      {"length beyond the packet", 210, 40, Bytes({9, 8, 7}), copyAt(210, Bytes({9, 8, 7}))},
      {"inside the SSVC levels", 1359, 4, Bytes({1, 2, 3, 4}), none},
      {"inside the SSVC settings", 1400, 4, Bytes({1, 2, 3, 4}), none},
      {"locate selector", 1414, 1, Bytes({3}), none},
      {"last live byte", 1421, 1, Bytes({3}), none},
      {"record area", 1422, 4, Bytes({1, 2, 3, 4}), none},
      {"far out", 0xFFFF, 4, Bytes({1, 2, 3, 4}), none},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Fresh();
    LiveBlockBytes expected = LiveBlockSnapshot();
    const ParameterImageBytes image = ImageSnapshot();
    r.change(expected);
    std::vector<std::uint8_t> params{std::uint8_t(r.offset >> 8), std::uint8_t(r.offset), std::uint8_t(r.lengthByte)};
    params.insert(params.end(), r.data.begin(), r.data.end());
    DispatchPacket(Reply(0x86, params));
    EXPECT_EQ(LiveBlockSnapshot(), expected);
    EXPECT_EQ(ImageSnapshot(), image) << "live-block data went into the image";
  }
}

TEST_F(DispatcherTest, SsvcSettingsDataUpdatesTheSsvcEditorValues) {
  // width 6, length 5, listener (1.0, -1.0), speaker n at (n x 0.1, -n x 0.2)
  std::vector<std::uint8_t> record{6, 5, 0x0A, 0x8A};
  for (int n = 1; n <= 8; ++n) {
    record.push_back(std::uint8_t(n));
    record.push_back(std::uint8_t(0x80 | (2 * n)));
  }
  const SsvcSettings before = EditorSnapshot().ssvc;
  // Data at the other copied offsets leaves the SSVC editor values alone.
  for (const int offset : {0, 1358, 1410}) {
    std::vector<std::uint8_t> params{std::uint8_t(offset >> 8), std::uint8_t(offset), 20};
    params.insert(params.end(), record.begin(), record.end());
    DispatchPacket(Reply(0x86, params));
    EXPECT_EQ(EditorSnapshot().ssvc.roomWidth, before.roomWidth) << "offset " << offset;
    EXPECT_EQ(EditorSnapshot().ssvc.speakers, before.speakers) << "offset " << offset;
  }
  std::vector<std::uint8_t> params{0x05, 0x6E, 20};  // 1390
  params.insert(params.end(), record.begin(), record.end());
  DispatchPacket(Reply(0x86, params));
  const SsvcSettings ssvc = EditorSnapshot().ssvc;
  EXPECT_EQ(ssvc.roomWidth, 6);
  EXPECT_EQ(ssvc.roomLength, 5);
  EXPECT_FLOAT_EQ(ssvc.listenerX, 1.0f);
  EXPECT_FLOAT_EQ(ssvc.listenerY, -1.0f);
  for (int n = 1; n <= 8; ++n) {
    EXPECT_FLOAT_EQ(ssvc.speakers[std::size_t(n - 1)][0], 0.1f * float(n)) << "speaker " << n;
    EXPECT_FLOAT_EQ(ssvc.speakers[std::size_t(n - 1)][1], -0.2f * float(n)) << "speaker " << n;
  }
}

TEST_F(DispatcherTest, ModeReloadOnTheDeviceStartsAReadJobAfterReleasingTheSender) {
  for (const std::uint8_t code : {kCmdLoadMode, kCmdFactoryMode}) {
    SCOPED_TRACE(testing::Message() << "code " << int(code));
    Fresh();
    ClearLog();
    int started = 0;
    bool eventSetFirst = false;
    CurrentLink().readJobStarter = [&] {
      ++started;
      eventSetFirst = CurrentLink().replyEvent.Wait(0ms);
    };
    CurrentLink().replyEvent.Reset();
    DispatchPacket(Reply(code, {2}));
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(eventSetFirst);
    EXPECT_EQ(LogCount("Start thread:SynchronizeData\n"), 1);
  }
  CurrentLink().readJobStarter = nullptr;  // no job runner installed: nothing to start
  DispatchPacket(Reply(kCmdLoadMode));
  EXPECT_TRUE(CurrentLink().replyEvent.Wait(0ms));
}

// Every code with every packet length up to 4 bytes, each packet in a buffer of exactly
// its size so that the sanitiser build catches a read past the end.
TEST_F(DispatcherTest, ShortPacketsOfEveryCodeStayInsideThePacket) {
  CurrentLink().readJobStarter = [] {};
  const ParameterImageBytes image = ImageSnapshot();
  const LiveBlockBytes live = LiveBlockSnapshot();
  for (const std::array<std::uint8_t, 3> params : {std::array<std::uint8_t, 3>{0x00, 0x00, 0x20},
                                                   std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF}}) {
    for (int code = 0; code < 256; ++code) {
      const std::uint8_t full[] = {0x02, std::uint8_t(code), params[0], params[1], params[2]};
      for (std::size_t size = 0; size <= 4; ++size) {
        DispatchPacket(std::vector<std::uint8_t>(full, full + size));
        // Without data bytes no chunk or live-block answer has anything to copy.
        ASSERT_EQ(ImageSnapshot(), image) << "code " << code << ", size " << size;
        ASSERT_EQ(LiveBlockSnapshot(), live) << "code " << code << ", size " << size;
      }
    }
  }
  const DeviceIdentity id = IdentitySnapshot();
  EXPECT_EQ(id.modelName.back(), '\0');
  EXPECT_EQ(id.mcuVersion.back(), '\0');
  EXPECT_EQ(id.dspVersion.back(), '\0');
}

}  // namespace
}  // namespace dsptune
