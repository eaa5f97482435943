#include "tools/sim/SimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/FrameCodec.h"
#include "tests/sim/LoopbackClient.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr auto kWaitLimit = 2s;

Bytes AsBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Frame(const Bytes& payload) { return EncodeFrame(payload); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// Waits, in short steps and at most kWaitLimit, for a condition.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + kWaitLimit;
  while (!condition()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

using test::Client;
using test::Payloads;

ServerOptions Quiet() {
  ServerOptions options;
  options.port = 0;
  options.heartbeatInterval = 0ms;
  return options;
}

const Bytes kProtocolQuery = Frame({0x81, 0x7F});
const Bytes kProtocolAnswer = {0x81, 0x7F, 0x14};

TEST(SimServer, AnswersAFramedCommand) {
  DeviceSimulator device;
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  ASSERT_NE(server.Port(), 0);
  Client client(server.Port());
  ASSERT_TRUE(client.Connected());
  ASSERT_TRUE(client.Send(kProtocolQuery));
  ASSERT_TRUE(client.ReadUntil([](const Bytes& b) { return b.size() >= 6; }));
  EXPECT_EQ(client.received, Frame(kProtocolAnswer));
  EXPECT_EQ(device.Transcript(), (std::vector<std::string>{"81 7F"}));
}

TEST(SimServer, ReadsFramesSplitAndGluedTogether) {
  DeviceSimulator device;
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  const Bytes two = Concat({kProtocolQuery, Frame({0x81, 0x07})});
  for (std::uint8_t b : two) {  // one byte per write, then two frames in one write
    ASSERT_TRUE(client.Send(Bytes{b}));
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(client.Send(two));
  ASSERT_TRUE(client.ReadFrames(4));
  EXPECT_EQ(Payloads(client.received),
            (std::vector<Bytes>{kProtocolAnswer, {0x81, 0x07, 0x00}, kProtocolAnswer, {0x81, 0x07, 0x00}}));
}

TEST(SimServer, HeartbeatIsSentAndEchoesAreCountedAndStripped) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.heartbeatInterval = 50ms;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.ReadUntil([](const Bytes& b) { return Contains(b, AsBytes("$HB$")); }));
  EXPECT_GE(server.HeartbeatsSent(), 1);

  // An echo on its own, one glued before a frame, one after it, one split in two.
  ASSERT_TRUE(client.Send(AsBytes("$HB$")));
  ASSERT_TRUE(client.Send(Concat({AsBytes("$HB$"), kProtocolQuery, AsBytes("$HB$"), AsBytes("$H")})));
  std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(client.Send(AsBytes("B$")));
  EXPECT_TRUE(Eventually([&] { return server.HeartbeatEchoes() == 4; })) << server.HeartbeatEchoes();
  ASSERT_TRUE(client.ReadFrames(1));
  EXPECT_EQ(Payloads(client.received), (std::vector<Bytes>{kProtocolAnswer}));
  EXPECT_EQ(device.Transcript(), (std::vector<std::string>{"81 7F"})) << "no echo reached the device";
}

TEST(SimServer, FrameContentThatLooksLikeAHeartbeatIsKept) {
  DeviceSimulator device;
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  // A live write whose data is "$HB$".
  ASSERT_TRUE(client.Send(Frame({0x81, 0x85, 0x00, 0x00, 0x04, '$', 'H', 'B', '$'})));
  ASSERT_TRUE(client.ReadFrames(1));
  EXPECT_EQ(server.HeartbeatEchoes(), 0);
  EXPECT_EQ(device.WorkingImage()[0], '$');
  EXPECT_EQ(device.WorkingImage()[3], '$');
}

TEST(SimServer, SecondClientIsTurnedAway) {
  DeviceSimulator device;
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client first(server.Port());
  ASSERT_TRUE(Eventually([&] { return server.ClientConnected(); }));

  Client second(server.Port());
  ASSERT_TRUE(second.Connected());
  EXPECT_TRUE(second.WaitClosed());
  EXPECT_EQ(second.received, AsBytes("ISCONNECTED"));
  EXPECT_EQ(server.ClientsTurnedAway(), 1);

  ASSERT_TRUE(first.Send(kProtocolQuery));
  EXPECT_TRUE(first.ReadFrames(1)) << "the first client is still served";

  first.Close();
  ASSERT_TRUE(Eventually([&] { return !server.ClientConnected(); }));
  Client third(server.Port());
  ASSERT_TRUE(third.Send(kProtocolQuery));
  EXPECT_TRUE(third.ReadFrames(1)) << "a free module takes the next client";
  EXPECT_EQ(server.ClientsAccepted(), 2);
}

TEST(SimServer, BusyButAnsweringSaysSoAndServesAllTheSame) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.busyAnswering = true;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.ReadUntil([](const Bytes& b) { return b.size() >= 11; }));
  EXPECT_EQ(client.received, AsBytes("ISCONNECTED")) << "the notice comes before anything else";
  client.received.clear();
  ASSERT_TRUE(client.Send(kProtocolQuery));
  ASSERT_TRUE(client.ReadFrames(1));
  EXPECT_EQ(Payloads(client.received), (std::vector<Bytes>{kProtocolAnswer}));
}

// A machine reset restarts the device: its answer goes out, the connection drops, no
// connection is taken while it restarts, and it comes back with its defaults.
TEST(SimServer, MachineResetRestartsTheDevice) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.restartTime = 300ms;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  const std::uint16_t port = server.Port();
  Client client(port);
  ASSERT_TRUE(client.Send(Frame({0x81, 0x05, 0x02})));  // mode 3, so the reset has something to undo
  ASSERT_TRUE(client.ReadFrames(1));
  ASSERT_TRUE(client.Send(Frame({0x81, 0x68, 0xAA})));
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_EQ(Payloads(client.received).back(), (Bytes{0x81, 0x68}));
  EXPECT_EQ(device.CurrentMode(), 0);
  EXPECT_EQ(server.Restarts(), 1);

  Client during(port);
  EXPECT_FALSE(during.Connected()) << "taken while restarting";
  Bytes answered;
  ASSERT_TRUE(Eventually([&] {
    Client after(port);
    if (!after.Connected() || !after.Send(kProtocolQuery) || !after.ReadFrames(1)) return false;
    answered = Payloads(after.received).front();
    return true;
  }));
  EXPECT_EQ(answered, kProtocolAnswer);
  EXPECT_EQ(server.Port(), port);
}

TEST(SimServer, OutgoingFaultsStillDeliverWhatTheyShould) {
  struct Case {
    const char* name;
    std::function<void(ServerOptions&)> set;
    std::size_t goodFrames;  // of four answers
    std::size_t bytes;       // on the wire
  };
  const Case cases[] = {
      {"split bytes", [](ServerOptions& o) { o.splitBytes = true; }, 4, 24},
      {"stray bytes", [](ServerOptions& o) { o.strayBytes = true; }, 4, 36},
      {"bad checksum every 2nd", [](ServerOptions& o) { o.badChecksumEvery = 2; }, 2, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceSimulator device;
    ServerOptions options = Quiet();
    c.set(options);
    SimServer server(device, options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    Client client(server.Port());
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(client.Send(kProtocolQuery));
    ASSERT_TRUE(client.ReadUntil([&](const Bytes& b) { return b.size() >= c.bytes; }));
    EXPECT_EQ(client.received.size(), c.bytes);
    EXPECT_EQ(Payloads(client.received), std::vector<Bytes>(c.goodFrames, kProtocolAnswer));
  }
}

TEST(SimServer, SilentAfterStopsAnswersAndHeartbeats) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.heartbeatInterval = 20ms;
  options.silentAfter = 150ms;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.Send(kProtocolQuery));
  ASSERT_TRUE(client.ReadFrames(1));
  std::this_thread::sleep_for(200ms);
  client.ReadUntil([](const Bytes&) { return false; }, 50ms);  // take what was sent before
  client.received.clear();
  ASSERT_TRUE(client.Send(kProtocolQuery));
  EXPECT_FALSE(client.ReadUntil([](const Bytes& b) { return !b.empty(); }, 300ms));
  EXPECT_EQ(device.CommandsReceived(), 2) << "still listening";
}

// --silent-after 0 is silent from the first byte, as its help says; only the default
// (a negative time) never goes silent.
TEST(SimServer, SilentAfterZeroIsSilentFromTheStart) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.heartbeatInterval = 20ms;
  options.silentAfter = 0ms;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.Send(kProtocolQuery));
  EXPECT_FALSE(client.ReadUntil([](const Bytes& b) { return !b.empty(); }, 300ms)) << "no answer, no heartbeat";
  EXPECT_TRUE(Eventually([&] { return device.CommandsReceived() == 1; })) << "still listening";
  EXPECT_LT(ServerOptions{}.silentAfter.count(), 0) << "never silent unless asked";
}

TEST(SimServer, LearnAnswerArrivesLater) {
  DeviceOptions deviceOptions;
  deviceOptions.learnDelay = 100ms;
  DeviceSimulator device(deviceOptions);
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.Send(Frame({0x81, 0x60, 0x03})));
  ASSERT_TRUE(client.ReadFrames(1));
  EXPECT_EQ(Payloads(client.received), (std::vector<Bytes>{{0x81, 0x60, 0x01, 0x03, DeviceSimulator::LearnedCode(3)}}));
}

TEST(SimServer, ZWaveTrafficIsSentAndAcknowledgementsAreNotAnswered) {
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.zwaveInterval = 30ms;
  SimServer server(device, options);
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(client.ReadFrames(1));
  EXPECT_EQ(Payloads(client.received)[0], Concat({{0x81, 0x12, 0x05}, SimServer::ZWaveTrafficBytes()}));

  ASSERT_TRUE(client.Send(Bytes{0x55, 0x03, 0x80, 0x06, 0x7A}));
  ASSERT_TRUE(Eventually([&] { return server.ZWaveAcks() == 1; }));
  EXPECT_EQ(device.CommandsReceived(), 0);
  for (const Bytes& p : Payloads(client.received)) EXPECT_EQ(p[1], 0x12) << "only Z-Wave traffic was sent";
}

TEST(SimServer, ListensOnLoopbackOnly) {
  for (const char* address : {"0.0.0.0", "192.168.1.10", "10.0.0.1", "::1", "localhost", ""}) {
    SCOPED_TRACE(address);
    DeviceSimulator device;
    ServerOptions options = Quiet();
    options.bindAddress = address;
    SimServer server(device, options);
    EXPECT_FALSE(server.Start());
    EXPECT_NE(server.LastError().find("127.0.0.0/8"), std::string::npos) << server.LastError();
  }
  DeviceSimulator device;
  ServerOptions options = Quiet();
  options.bindAddress = "127.0.0.2";
  SimServer server(device, options);
  EXPECT_TRUE(server.Start()) << server.LastError();
}

TEST(SimServer, StopEndsAConnectedSession) {
  DeviceSimulator device;
  SimServer server(device, Quiet());
  ASSERT_TRUE(server.Start()) << server.LastError();
  Client client(server.Port());
  ASSERT_TRUE(Eventually([&] { return server.ClientConnected(); }));
  server.Stop();
  EXPECT_FALSE(server.ClientConnected());
  EXPECT_TRUE(client.WaitClosed());
  server.Stop();  // a second stop is harmless
}

}  // namespace
}  // namespace dsptune
