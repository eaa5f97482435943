#include "link/NetworkLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <thread>

#include "link/CommandSet.h"
#include "link/FrameCodec.h"
#include "link/LinkState.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test::LoopbackPeer;
using test::RecordingSink;
using test::SinkCall;
using test::ToBytes;

const Bytes kHeartbeat = ToBytes("$HB$");

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A device frame "remote key learned" whose code shows up as Send(1001, code): every
// frame the dispatcher receives is visible, in order. `tail` rides along unread.
Bytes LearnFrame(std::uint8_t code, const Bytes& tail = {}) {
  return EncodeFrame(Concat({{kDestController, kCmdLearnKey, 0x00, 0x01, code}, tail}));
}

Bytes DspWriteFrame(std::uint8_t value) {
  return EncodeFrame(Bytes{kDestController, kCmdWriteDsp, 0x00, 0x04, 0x0C, 0x01, 0, 0, 0, value});
}

void QueueDspWrite(std::uint8_t value) {
  const std::uint8_t bytes[] = {0, 0, 0, value};
  SendDspRecordCommand(4, 0x0C, bytes);
}

std::vector<std::intptr_t> LearnedCodes(const RecordingSink& sink) {
  std::vector<std::intptr_t> codes;
  for (const SinkCall& c : sink.Calls())
    if (c.kind == SinkCall::Send && c.message == kMsgRemoteLearn) codes.push_back(c.wParam);
  return codes;
}

int PostCount(const RecordingSink& sink, int message) {
  int n = 0;
  for (const SinkCall& c : sink.Calls()) n += c.kind == SinkCall::Post && c.message == message;
  return n;
}

// Polls `done` until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 2000ms) {
  const auto deadline = test::Clock::now() + timeout;
  while (!done()) {
    if (test::Clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

const Bytes kCloseNoticeFrame = {0x55, 0x03, 0x81, 0x8A, 0xF7};  // FF^03^81^8A = F7

class NetworkLinkTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  NetworkLinkTest() {
    CurrentLink().replyTimeout = 300ms;  // writer pacing and synchronous waits
    SetNetworkConnectTimeout(3000ms);
  }
  ~NetworkLinkTest() override { CloseNetworkLink(false); }

  // Opens the link to the scripted peer and accepts the connection there.
  void Connect(NotificationSink* target = nullptr) {
    ASSERT_NE(peer.Port(), 0);
    SetNetworkPeer("127.0.0.1", peer.Port());
    ASSERT_EQ(OpenNetworkLink(target ? target : &sink), 1);
    ASSERT_TRUE(peer.Accept());
  }

  LoopbackPeer peer;
};

// ---------------------------------------------------------------------------------------
// Opening and closing

TEST_F(NetworkLinkTest, OpenInstallsTheLinkAndCloseClearsIt) {
  SetNetworkPeer("10.1.2.3", 4000);
  EXPECT_EQ(NetworkPeerAddress(), "10.1.2.3");
  EXPECT_EQ(NetworkPeerPort(), 4000);
  SetNetworkPeer("10.1.2.3");
  EXPECT_EQ(NetworkPeerPort(), kDefaultNetworkPort);

  Connect();
  LinkState& link = CurrentLink();
  EXPECT_EQ(link.kind.load(), LinkKind::Network);
  EXPECT_TRUE(link.connected);
  EXPECT_TRUE(link.queuedSendMode);
  EXPECT_EQ(link.sink.load(), &sink);
  EXPECT_NE(link.transport.load(), nullptr);
  EXPECT_NE(link.transport.load(), &transport);
  EXPECT_EQ(link.transport.load()->WriteReport(Bytes{0x7F}), 0);
  {
    std::lock_guard lock(link.dataMutex);
    link.statusBlock[3] = 7;
  }

  CloseNetworkLink(false);
  EXPECT_FALSE(link.connected);
  EXPECT_EQ(StatusBlockSnapshot(), StatusBlock{});
  bool eof = false;
  EXPECT_TRUE(peer.ReadUntilEof(eof).empty());  // no close notice was asked for
  EXPECT_TRUE(eof);
  // Joined, each thread said goodbye once; a read ended by the close is no read error.
  for (const char* line : {"End thread: RecvThreadProc \n", "End thread: NetWriteThreadProc \n",
                           "End thread: NetTimeoutThreadProc \n"})
    EXPECT_EQ(LogCount(line), 1) << line;
  EXPECT_EQ(LogCount("NetRecv Error \n"), 0);
  EXPECT_TRUE(sink.Calls().empty());
}

TEST_F(NetworkLinkTest, FailedOpenReturnsTheSocketErrorNeverOne) {
  struct Case {
    const char* name;
    std::string address;
    std::uint16_t port;
    int expected;
  };
  const Case cases[] = {
      {"nothing listening", "127.0.0.1", LoopbackPeer::ClosedPort(), ECONNREFUSED},
      {"address does not parse", "127.0.0.one", peer.Port(), EINVAL},
      {"no address", "", peer.Port(), EINVAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetNetworkPeer(c.address, c.port);
    const int result = OpenNetworkLink(&sink);
    EXPECT_EQ(result, c.expected);
    EXPECT_NE(result, 1);
    EXPECT_FALSE(CurrentLink().connected);
  }
}

TEST_F(NetworkLinkTest, ConnectThatIsNeverAcceptedTimesOut) {
  LoopbackPeer full(0);  // a backlog of one pending connection
  const int filler = full.ConnectClient();
  ASSERT_GE(filler, 0);
  SetNetworkConnectTimeout(300ms);
  SetNetworkPeer("127.0.0.1", full.Port());
  const auto start = test::Clock::now();
  EXPECT_EQ(OpenNetworkLink(&sink), ETIMEDOUT);
  EXPECT_LT(test::Clock::now() - start, 2500ms);
  EXPECT_FALSE(CurrentLink().connected);
  ::close(filler);
}

TEST(NetworkOpenResult, KeepsErrorsApartFromSuccess) {
  struct Case {
    int socketError, result;
  };
  for (const Case c : {Case{ECONNREFUSED, ECONNREFUSED}, Case{ETIMEDOUT, ETIMEDOUT},
                       Case{EPERM, EACCES}, Case{0, EIO}}) {
    SCOPED_TRACE(c.socketError);
    EXPECT_EQ(NetworkOpenResult(c.socketError), c.result);
    EXPECT_NE(NetworkOpenResult(c.socketError), 1);
  }
}

TEST_F(NetworkLinkTest, OpenWhileOpenReplacesTheConnection) {
  Connect();
  LoopbackPeer second;
  SetNetworkPeer("127.0.0.1", second.Port());
  ASSERT_EQ(OpenNetworkLink(&sink), 1);
  ASSERT_TRUE(second.Accept());
  bool eof = false;
  peer.ReadUntilEof(eof);
  EXPECT_TRUE(eof);  // the first connection was closed, and its threads joined
  EXPECT_EQ(LogCount("End thread: RecvThreadProc \n"), 1);
  ASSERT_TRUE(second.Send(LearnFrame(4)));
  EXPECT_TRUE(WaitUntil([&] { return LearnedCodes(sink).size() == 1; }));
}

// Connecting elsewhere costs the working link nothing until the new connection is
// accepted: a refused attempt leaves it open and carrying data, and the hand-over (which
// closes a link of the other kind) runs only for a connection that opened.
TEST_F(NetworkLinkTest, FailedOpenLeavesTheWorkingLinkAndRunsNoHandOver) {
  Connect();
  int handOvers = 0;
  SetNetworkPeer("127.0.0.7", LoopbackPeer::ClosedPort());
  EXPECT_EQ(OpenNetworkLink(&sink, [&] { ++handOvers; }), ECONNREFUSED);
  EXPECT_EQ(handOvers, 0);
  EXPECT_TRUE(CurrentLink().connected);
  ASSERT_TRUE(peer.Send(LearnFrame(4)));
  EXPECT_TRUE(WaitUntil([&] { return LearnedCodes(sink).size() == 1; }));

  LoopbackPeer second;
  SetNetworkPeer("127.0.0.1", second.Port());
  ASSERT_EQ(OpenNetworkLink(&sink, [&] {
              ++handOvers;
              EXPECT_FALSE(CurrentLink().connected) << "the old network link is closed before the hand-over";
            }),
            1);
  EXPECT_EQ(handOvers, 1);
  ASSERT_TRUE(second.Accept());
  bool eof = false;
  peer.ReadUntilEof(eof);
  EXPECT_TRUE(eof);
}

TEST_F(NetworkLinkTest, PeerClosingEndsTheLinkWithOneNoticeAndItOpensAgain) {
  Connect();
  peer.CloseConnection();
  ASSERT_TRUE(WaitUntil([] { return !CurrentLink().connected; }));
  EXPECT_TRUE(WaitUntil([&] { return LogCount("End thread: RecvThreadProc \n") == 1; }));
  EXPECT_EQ(LogCount("NetRecv Error \n"), 1);
  EXPECT_FALSE(CurrentLink().statusPollingAllowed);
  // One notice, so the window can say so and reconnect; no host time-out on top.
  ASSERT_TRUE(WaitUntil([&] { return sink.Calls().size() == 1; }));
  EXPECT_EQ(sink.Calls()[0].message, kMsgLinkClosed);

  ASSERT_EQ(OpenNetworkLink(&sink), 1);  // joins the old threads first
  ASSERT_TRUE(peer.Accept());
  EXPECT_TRUE(CurrentLink().connected);
  ASSERT_TRUE(peer.Send(LearnFrame(5)));
  EXPECT_TRUE(WaitUntil([&] { return LearnedCodes(sink) == std::vector<std::intptr_t>{5}; }));
}

TEST_F(NetworkLinkTest, SilenceClosesTheLinkAndReportsItOnce) {
  Connect();
  const auto start = test::Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return PostCount(sink, kMsgHostTimeout) > 0; }, 6000ms));
  const auto elapsed = test::Clock::now() - start;
  EXPECT_GE(elapsed, 3400ms);  // 3000 ms, then six 100 ms ticks
  EXPECT_LT(elapsed, 5000ms);
  EXPECT_FALSE(CurrentLink().connected);
  bool eof = false;
  peer.ReadUntilEof(eof);
  EXPECT_TRUE(eof);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(PostCount(sink, kMsgHostTimeout), 1);
  EXPECT_EQ(sink.Calls().size(), 1u);
  EXPECT_EQ(LogCount("NetRecv Error \n"), 0);
}

TEST_F(NetworkLinkTest, CloseNoticeReachesThePeerBeforeTheConnectionEnds) {
  struct Case {
    const char* name;
    bool queued;
    std::vector<std::uint8_t> pendingEdits;  // values of distinct queued writes
  };
  const Case cases[] = {
      {"queued, nothing pending", true, {}},
      {"queued, an edit pending", true, {1}},
      {"queued, more edits than the close waits for", true, {1, 2, 3, 4}},
      {"direct", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Connect();
    CurrentLink().queuedSendMode = c.queued;
    for (std::size_t i = 0; i < c.pendingEdits.size(); ++i) {
      const std::uint8_t value[] = {0, 0, 0, c.pendingEdits[i]};
      SendDspRecordCommand(4, std::uint8_t(0x0C + i), value);  // distinct keys, no coalescing
    }
    CloseNetworkLink(true);  // the peer never replies
    EXPECT_FALSE(CurrentLink().connected);
    bool eof = false;
    const Bytes received = peer.ReadUntilEof(eof);
    EXPECT_TRUE(eof);
    ASSERT_GE(received.size(), kCloseNoticeFrame.size());
    EXPECT_TRUE(std::equal(kCloseNoticeFrame.begin(), kCloseNoticeFrame.end(),
                           received.end() - long(kCloseNoticeFrame.size())));
    EXPECT_EQ(std::search(received.begin(), received.end(), kCloseNoticeFrame.begin(), kCloseNoticeFrame.end()),
              received.end() - long(kCloseNoticeFrame.size()));  // sent once
    if (c.pendingEdits.size() == 1) {
      EXPECT_EQ(received, Concat({DspWriteFrame(1), kCloseNoticeFrame}));
    }
  }
}

// ---------------------------------------------------------------------------------------
// Receiving: heartbeat, connection notice and frames in one byte stream

TEST_F(NetworkLinkTest, LinkControlTextsAreFoundWhereverTheStreamPutsThem) {
  const Bytes f1 = LearnFrame(1), f2 = LearnFrame(2);
  const Bytes notice = ToBytes("ISCONNECTED");
  struct Case {
    const char* name;
    std::vector<Bytes> writes;  // each written separately, 100 ms apart
    int echoes;
    std::vector<std::intptr_t> frames;
    int noticePosts;
  };
  const Case cases[] = {
      {"heartbeat alone", {kHeartbeat}, 1, {}, 0},
      {"heartbeat then frame", {Concat({kHeartbeat, f1})}, 1, {1}, 0},
      {"frame then heartbeat in one read", {Concat({f1, kHeartbeat})}, 1, {1}, 0},
      {"heartbeat between two frames", {Concat({f1, kHeartbeat, f2})}, 1, {1, 2}, 0},
      {"two heartbeats in one read", {Concat({kHeartbeat, kHeartbeat})}, 2, {}, 0},
      {"heartbeat split over two reads", {ToBytes("$H"), ToBytes("B$")}, 1, {}, 0},
      {"heartbeat split behind a frame", {Concat({f1, ToBytes("$HB")}), Concat({ToBytes("$"), f2})}, 1, {1, 2}, 0},
      {"heartbeat at a read start inside a frame",
       {Bytes(f1.begin(), f1.begin() + 3), Concat({kHeartbeat, Bytes(f1.begin() + 3, f1.end())})}, 1, {1}, 0},
      {"heartbeat bytes inside a frame", {LearnFrame(3, kHeartbeat)}, 0, {3}, 0},
      {"dollar that is no heartbeat", {Concat({ToBytes("$HBX"), f1})}, 0, {1}, 0},
      {"notice alone", {notice}, 0, {}, 1},
      {"notice between two frames", {Concat({f1, notice, f2})}, 0, {1, 2}, 1},
      {"notice split over two reads", {ToBytes("ISCONN"), Concat({ToBytes("ECTED"), f1})}, 0, {1}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSink rowSink;
    Connect(&rowSink);
    for (const Bytes& w : c.writes) {
      ASSERT_TRUE(peer.Send(w));
      std::this_thread::sleep_for(100ms);
    }
    Bytes expectedEcho;
    for (int i = 0; i < c.echoes; ++i) expectedEcho.insert(expectedEcho.end(), kHeartbeat.begin(), kHeartbeat.end());
    EXPECT_EQ(peer.Read(expectedEcho.size()), expectedEcho);
    WaitUntil([&] {
      return LearnedCodes(rowSink).size() >= c.frames.size() && PostCount(rowSink, kMsgHostBusy) >= c.noticePosts;
    });
    EXPECT_TRUE(peer.ReadFor(100ms).empty());  // nothing more echoed
    EXPECT_EQ(LearnedCodes(rowSink), c.frames);
    EXPECT_EQ(PostCount(rowSink, kMsgHostBusy), c.noticePosts);
    EXPECT_TRUE(CurrentLink().connected);
    CloseNetworkLink(false);
  }
}

TEST_F(NetworkLinkTest, ZWaveTrafficIsAcknowledgedThroughTheQueue) {
  Connect();
  ASSERT_TRUE(peer.Send(EncodeFrame(Bytes{kDestController, kCmdZWave, 0x01, 0x01})));
  EXPECT_EQ(peer.Read(5), (Bytes{0x55, 0x03, 0x80, 0x06, 0x7A}));
}

// ---------------------------------------------------------------------------------------
// Sending

TEST_F(NetworkLinkTest, QueuedWritesOfOneParameterCoalesceUnlessForbidden) {
  struct Case {
    bool coalescing;
    std::vector<std::uint8_t> sentValues;
  };
  for (const Case& c : {Case{true, {3}}, Case{false, {1, 2, 3}}}) {
    SCOPED_TRACE(c.coalescing);
    CurrentLink().replyTimeout = 1000ms;  // room for the queue checks below
    Connect();
    CurrentLink().coalescingAllowed = c.coalescing;
    SendCommand({kCmdProtocolCode});
    // The writer sent it and now waits for a reply that the peer holds back.
    ASSERT_EQ(peer.Read(5), (Bytes{0x55, 0x03, 0x81, 0x7F, 0x02}));
    for (std::uint8_t v : {1, 2, 3}) QueueDspWrite(v);
    EXPECT_EQ(NetworkQueueLength(), c.sentValues.size());
    for (std::uint8_t v : c.sentValues) {
      ASSERT_TRUE(peer.Send(EncodeFrame(Bytes{kDestController, kCmdWriteDsp})));  // the reply
      EXPECT_EQ(peer.Read(DspWriteFrame(v).size()), DspWriteFrame(v));
    }
    EXPECT_TRUE(peer.ReadFor(200ms).empty());
    EXPECT_EQ(NetworkQueueLength(), 0u);
    CloseNetworkLink(false);
  }
}

TEST_F(NetworkLinkTest, ShortPacketsAreKeyedWithZeroPadding) {
  CurrentLink().replyTimeout = 1000ms;
  Connect();
  SendCommand({kCmdStatus});
  ASSERT_EQ(peer.Read(5).size(), 5u);  // the writer now waits for a reply
  EnqueuePacket(Bytes{kDestController, kCmdGetMode});
  EnqueuePacket(Bytes{kDestController, kCmdGetMode});
  EnqueuePacket(Bytes{kDestController, kCmdGetMode, 0x00});  // same key: 81 07 00 00 00
  EnqueuePacket(Bytes{kDestController, kCmdGetMode, 0x01});
  EXPECT_EQ(NetworkQueueLength(), 2u);
  EnqueuePacket(Bytes(67, 0x81));  // larger than a queue entry holds
  EnqueuePacket(Bytes{});
  EXPECT_EQ(NetworkQueueLength(), 2u);
}

TEST_F(NetworkLinkTest, SendDirectSendsOnlyOnAnOpenLink) {
  const Bytes packet = {kDestController, kCmdProtocolCode};
  EXPECT_EQ(SendDirect(packet, false), 0);
  EXPECT_EQ(SendDirect(packet, true), 0);
  EnqueuePacket(packet);
  EXPECT_EQ(NetworkQueueLength(), 0u);

  Connect();
  EXPECT_EQ(SendDirect(packet, false), 5);
  EXPECT_EQ(SendDirect(packet, true), 5);  // the reply event is signalled at open
  EXPECT_EQ(SendDirect(Bytes{}, false), 0);
  EXPECT_EQ(peer.Read(10), Concat({EncodeFrame(packet), EncodeFrame(packet)}));

  CloseNetworkLink(false);
  EXPECT_EQ(SendDirect(packet, false), 0);
  EXPECT_EQ(SendDirect(packet, true), 0);
  bool eof = false;
  EXPECT_TRUE(peer.ReadUntilEof(eof).empty());
  EXPECT_TRUE(eof);
}

// ---------------------------------------------------------------------------------------
// Closing while other threads are busy

TEST_F(NetworkLinkTest, CloseReleasesASenderWaitingForAReply) {
  CurrentLink().replyTimeout = 10000ms;
  Connect();
  CurrentLink().queuedSendMode = false;
  ASSERT_TRUE(CurrentLink().replyEvent.Wait(0ms));  // take the signal of the open
  std::atomic<bool> returned{false};
  std::thread sender([&] {
    SendCommand({kCmdProtocolCode});
    returned = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(returned);
  const auto start = test::Clock::now();
  CloseNetworkLink(false);
  EXPECT_TRUE(WaitUntil([&] { return returned.load(); }));
  sender.join();
  EXPECT_LT(test::Clock::now() - start, 3000ms);
  bool eof = false;
  EXPECT_TRUE(peer.ReadUntilEof(eof).empty());  // the late send went nowhere
}

// A sink whose Send blocks the receive thread until the test lets it go, as a window
// that only handles the message after the closing user-interface thread returns.
class BlockingSink : public RecordingSink {
 public:
  void Send(int message, std::intptr_t wParam, std::intptr_t lParam) override {
    std::unique_lock lock(mutex_);
    entered_ = true;
    cv_.notify_all();
    cv_.wait_for(lock, 10s, [this] { return released_; });
    lock.unlock();
    RecordingSink::Send(message, wParam, lParam);
  }
  bool WaitEntered() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 2s, [this] { return entered_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool entered_ = false, released_ = false;
};

TEST_F(NetworkLinkTest, CloseDoesNotDeadlockOnAReceiveThreadInsideDispatch) {
  BlockingSink blocking;
  Connect(&blocking);
  ASSERT_TRUE(peer.Send(LearnFrame(6)));
  ASSERT_TRUE(blocking.WaitEntered());

  const auto start = test::Clock::now();
  CloseNetworkLink(false);  // cannot join the blocked thread; must not wait for it forever
  EXPECT_LT(test::Clock::now() - start, 3000ms);
  EXPECT_FALSE(CurrentLink().connected);

  blocking.Release();
  CloseNetworkLink(false);  // joins it now
  EXPECT_EQ(LogCount("End thread: RecvThreadProc \n"), 1);
  EXPECT_EQ(LearnedCodes(blocking), std::vector<std::intptr_t>{6});
}

}  // namespace
}  // namespace dsptune
