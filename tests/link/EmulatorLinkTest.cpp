// The program's network link against the device emulator over real loopback sockets:
// what goes on the wire, as the emulator's transcript records it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/BigEndian.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "tests/link/RecordingTransport.h"
#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Polls cond every 5 ms for at most `limit`.
template <typename Cond>
bool Eventually(Cond cond, std::chrono::milliseconds limit = 5s) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

std::string Hex(std::initializer_list<int> bytes) {
  std::string out;
  char b[4];
  for (int v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v);
    if (!out.empty()) out += ' ';
    out += b;
  }
  return out;
}

class EmulatorLinkTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  ~EmulatorLinkTest() override {
    ShutdownSyncJobs();
    CloseNetworkLink(false);
    if (server_) server_->Stop();
  }

  // Starts an emulator on an ephemeral port and opens the program's link to it.
  void Connect(DeviceOptions device = {}, ServerOptions server = {}) {
    device_ = std::make_unique<DeviceSimulator>(std::move(device));
    server.port = 0;
    server_ = std::make_unique<SimServer>(*device_, server);
    ASSERT_TRUE(server_->Start()) << server_->LastError();
    CurrentLink().transport = nullptr;
    CurrentLink().replyTimeout = 2000ms;
    InstallSyncJobs();
    SetNetworkPeer("127.0.0.1", server_->Port());
    ASSERT_EQ(OpenNetworkLink(&sink), 1);
  }

  int SyncDoneCount(int wParam) const {
    int n = 0;
    for (const auto& c : sink.Calls()) n += c.kind == test::SinkCall::Post && c.message == kMsgSyncDone && c.wParam == wParam;
    return n;
  }
  int PostCount(int message) const {
    int n = 0;
    for (const auto& c : sink.Calls()) n += c.kind == test::SinkCall::Post && c.message == message;
    return n;
  }

  std::unique_ptr<DeviceSimulator> device_;
  std::unique_ptr<SimServer> server_;
};

TEST_F(EmulatorLinkTest, ReadJobSendsTheSequenceInOrderAndFillsTheModel) {
  Connect();
  StartReadJob();
  ASSERT_TRUE(Eventually([&] { return SyncDoneCount(0) == 1; }, 20s));

  std::vector<std::string> expected = {"81 80", "81 7F", "81 81", "81 7E", "81 07"};
  for (int i = 0; i < 63; ++i) {
    const int offset = i * 56, length = i == 62 ? 46 : 56;
    expected.push_back(Hex({0x81, 0x30, offset >> 8, offset & 0xFF, length}));
  }
  expected.push_back("81 92");
  expected.push_back("81 62");
  EXPECT_EQ(device_->Transcript(), expected);

  EXPECT_EQ(ImageSnapshot(), device_->WorkingImage());
  EXPECT_TRUE(IdentityAccepted(IdentitySnapshot()));
  EXPECT_EQ(IdentitySnapshot().ModelName(), "LQ830");
  EXPECT_EQ(DeviceSettingsSnapshot(), device_->MachineSettings());
  EXPECT_FALSE(CurrentLink().changedFlag);
  EXPECT_TRUE(CurrentLink().queuedSendMode);
}

TEST_F(EmulatorLinkTest, ForeignDeviceIsAskedTwiceAndNotRead) {
  DeviceOptions foreign;
  foreign.modelName = "XYZ";
  foreign.protocolCode = 17;
  Connect(foreign);
  StartReadJob();
  ASSERT_TRUE(Eventually([&] { return SyncDoneCount(0) == 1; }, 20s));
  const std::vector<std::string> identity = {"81 80", "81 7F", "81 81", "81 7E"};
  std::vector<std::string> expected = identity;
  expected.insert(expected.end(), identity.begin(), identity.end());
  EXPECT_EQ(device_->Transcript(), expected);
  EXPECT_EQ(IdentityMismatchText(IdentitySnapshot()), "E:XYZ_11 机器型号不匹配!");
  EXPECT_FALSE(CurrentLink().queuedSendMode) << "a stopped sequence leaves direct sends on";
}

TEST_F(EmulatorLinkTest, WriteJobSendsTheImageAndEndsWithTheLastChunkThen32) {
  Connect();
  SetParameter(4, 0x0C, 42);  // queued edit, then the whole image
  ASSERT_TRUE(Eventually([&] { return device_->CommandsReceived() == 1; }));
  StartWriteJob();
  ASSERT_TRUE(Eventually([&] { return SyncDoneCount(1) == 1; }, 20s));
  const auto transcript = device_->Transcript();
  ASSERT_EQ(transcript.size(), 1u + 63u + 1u);
  EXPECT_EQ(transcript.back(), "81 32");
  EXPECT_EQ(transcript[transcript.size() - 2].substr(0, 14), "81 31 0D 90 2E");
  EXPECT_EQ(device_->WorkingImage(), ImageSnapshot());
}

TEST_F(EmulatorLinkTest, SliderBurstCoalescesToTheLatestValue) {
  DeviceOptions slow;
  slow.replyLatency = 5ms;
  Connect(slow);
  const DspRecordLayout* record = FindRecord(4, 0x0C);
  for (int v = 1; v <= 100; ++v) SetParameter(4, 0x0C, v);
  const std::uint32_t last = UiValueToWord(ConversionKind::Percent, 100);
  ASSERT_TRUE(Eventually([&] { return GetU32(&device_->WorkingImage()[record->ValueOffset()]) == last; }));
  EXPECT_LT(device_->CommandsReceived(), 20) << "the queue keeps one pending write per parameter";

  // Without permission to coalesce, every write arrives, in order.
  const int before = device_->CommandsReceived();
  CurrentLink().coalescingAllowed = false;
  for (int v = 1; v <= 20; ++v) SetParameter(4, 0x0C, v);
  ASSERT_TRUE(Eventually([&] { return device_->CommandsReceived() == before + 20; }));
  const auto transcript = device_->Transcript();
  std::uint8_t word[4];
  PutU32(word, UiValueToWord(ConversionKind::Percent, 20));
  EXPECT_EQ(transcript.back(), Hex({0x81, 0x09, 0x00, 0x04, 0x0C, 0x01, word[0], word[1], word[2], word[3]}));
}

TEST_F(EmulatorLinkTest, ADroppedReplyCostsTheNextSendOneWait) {
  DeviceOptions lossy;
  lossy.dropEvery = 2;  // the answer to the second command is lost
  Connect(lossy);
  CurrentLink().queuedSendMode = false;
  SendCommand({kCmdGetMode});
  SendCommand({kCmdGetMode});
  const auto start = Clock::now();
  SendCommand({kCmdGetMode});  // waits for the lost answer
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, 1900ms);
  EXPECT_LT(waited, 3500ms);
  EXPECT_EQ(LogCount(test::kNetworkWaitTimeoutLine), 1);
  EXPECT_TRUE(Eventually([&] { return device_->CommandsReceived() == 3; }));
}

TEST_F(EmulatorLinkTest, HeartbeatsAreEchoedAndASecondHostIsReported) {
  ServerOptions chatty;
  chatty.heartbeatInterval = 50ms;
  Connect({}, chatty);
  EXPECT_TRUE(Eventually([&] { return server_->HeartbeatEchoes() >= 3; }));

  // The module tells a client that arrives while another holds it; here the program
  // is the second client.
  CloseNetworkLink(false);
  // Until the module has seen the program go, it would turn the holder away instead.
  ASSERT_TRUE(Eventually([&] { return !server_->ClientConnected(); }));
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(server_->Port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_TRUE(Eventually([&] { return server_->ClientConnected(); }));
  ASSERT_EQ(OpenNetworkLink(&sink), 1);
  EXPECT_TRUE(Eventually([&] { return PostCount(kMsgHostBusy) == 1; }));
  ::close(holder);
}

TEST_F(EmulatorLinkTest, ASilentDeviceClosesTheLinkOnce) {
  ServerOptions silent;
  silent.heartbeatInterval = 100ms;
  silent.silentAfter = 200ms;
  Connect({}, silent);
  ASSERT_TRUE(Eventually([&] { return !CurrentLink().connected; }, 8s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(PostCount(kMsgHostTimeout), 1);
}

}  // namespace
}  // namespace dsptune
