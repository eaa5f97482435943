#include "link/NetworkLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "link/LinkState.h"
#include "link/NetworkStreamSplitter.h"
#include "model/DebugLog.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr std::size_t kQueueKeySize = 5;
constexpr std::size_t kQueueDataSize = 66;
// Far above what coalesced edits can reach; only a stalled device with coalescing off
// could fill it.
constexpr std::size_t kMaxQueuedPackets = 4096;

constexpr auto kTimeoutTick = 100ms;
constexpr auto kSilenceLimit = 3000ms;
constexpr int kMaxMissedTicks = 5;
constexpr auto kIdleWriterWait = 20ms;
// A blocked send (peer not reading) gives up after this, so no socket write and no lock
// held around one lasts longer.
constexpr auto kSendTimeout = 2000ms;
// How long a close from outside waits for the link's threads before leaving them to a
// later join; they only outlast it while stuck in a notification the closer must handle.
constexpr auto kJoinWait = 1000ms;
// Extra time a closing link gives the writer, beyond one reply wait, to send the
// disconnect command.
constexpr auto kCloseDrainMargin = 500ms;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// The whole buffer, or -1. MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE.
int SendAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    sent += static_cast<std::size_t>(n);
  }
  return static_cast<int>(sent);
}

// Non-blocking connect bounded by `timeout`; 0 or the errno of the attempt.
int ConnectWithTimeout(int fd, const sockaddr_in& address, std::chrono::milliseconds timeout) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return errno;
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      error = errno;
    } else {
      const auto deadline = Clock::now() + timeout;
      for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
          error = ETIMEDOUT;
          break;
        }
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
          error = errno;
          break;
        }
        if (ready == 0) continue;  // the deadline check above reports the time-out
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        break;
      }
    }
  }
  if (error == 0 && ::fcntl(fd, F_SETFL, flags) < 0) error = errno;
  return error;
}

struct QueueEntry {
  std::array<std::uint8_t, kQueueKeySize> key{};
  std::array<std::uint8_t, kQueueDataSize> data{};
  std::uint32_t length = 0;
};

// One connection and its three threads. Shared by the link (until the threads are
// joined) and by the threads themselves, so it outlives whichever lets go last.
class NetworkSession {
 public:
  NetworkSession(DeviceSession& owner, int socket, NotificationSink* sink, std::chrono::milliseconds replyWait)
      : device(owner),
        fd(socket),
        target(sink),
        replyWaitLimit(replyWait),
        splitter({[this](std::span<const std::uint8_t> payload) { DispatchPacket(device, payload); },
                  [this] { ReplyArrived(); }, [this] { ++device.Link().garbledReceives; },
                  [this] {
                    SendRaw(kNetworkHeartbeat);
                    lastReceiveMs = NowMs();
                  },
                  [this] {
                    device.Link().hostBusy = true;
                    if (target) target->Post(kMsgHostBusy, 0, 0);  // last-receive time deliberately unchanged
                  },
                  [this] { return closed.load(); }}) {}

  ~NetworkSession() {
    for (std::thread* t : {&receiveThread, &writerThread, &timeoutThread})
      if (t->joinable()) t->detach();  // only at program end, for a thread that never let go
    if (fd >= 0) ::close(fd);
  }

  // Frames `payload` and writes it whole, one writer at a time. Nothing once closed.
  int SendFrame(std::span<const std::uint8_t> payload) {
    const std::vector<std::uint8_t> frame = EncodeFrame(payload);
    if (frame.empty()) return 0;
    std::lock_guard lock(writeMutex);
    if (closed) return 0;
    return SendAll(fd, frame);
  }

  void SendRaw(std::string_view text) {
    std::lock_guard lock(writeMutex);
    if (closed) return;
    SendAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }

  void Enqueue(std::span<const std::uint8_t> packet) {
    if (packet.empty() || packet.size() > kQueueDataSize) {
      DebugLog("NetQueue packet size rejected\n");
      return;
    }
    QueueEntry entry;
    std::copy_n(packet.begin(), std::min(packet.size(), kQueueKeySize), entry.key.begin());
    std::copy(packet.begin(), packet.end(), entry.data.begin());
    entry.length = static_cast<std::uint32_t>(packet.size());
    {
      std::lock_guard lock(queueMutex);
      if (closed) return;
      const auto same = std::find_if(queue.begin(), queue.end(), [&](const QueueEntry& e) { return e.key == entry.key; });
      if (same != queue.end() && device.Link().coalescingAllowed) {
        same->data = entry.data;  // keeps its place in the queue
        same->length = entry.length;
      } else if (queue.size() < kMaxQueuedPackets) {
        queue.push_back(entry);
      } else {
        DebugLog("NetQueue full, packet dropped\n");
        return;
      }
    }
    wake.notify_all();
  }

  std::size_t QueueLength() {
    std::lock_guard lock(queueMutex);
    return queue.size();
  }

  // Wakes every wait of the link's threads after a flag they wait on changed. Taking the
  // queue lock orders the change before a waiter's check, so no wake-up is lost.
  void WakeAll() {
    { std::lock_guard lock(queueMutex); }
    wake.notify_all();
  }

  void ThreadStarted() {
    std::lock_guard lock(doneMutex);
    ++running;
  }
  void ThreadEnded() {
    {
      std::lock_guard lock(doneMutex);
      --running;
    }
    doneCv.notify_all();
  }
  // True when every thread has left its loop (join is then immediate).
  bool WaitThreadsEnded(Clock::time_point deadline) {
    std::unique_lock lock(doneMutex);
    return doneCv.wait_until(lock, deadline, [this] { return running == 0; });
  }
  void JoinThreads() {
    for (std::thread* t : {&receiveThread, &writerThread, &timeoutThread})
      if (t->joinable()) t->join();
  }

  void ReceiveLoop();
  void WriterLoop();
  void TimeoutLoop();

  DeviceSession& device;  // the device this connection reaches
  const int fd;
  NotificationSink* const target;
  const std::chrono::milliseconds replyWaitLimit;

  std::atomic<bool> closed{false};
  std::atomic<bool> awaitingReply{false};
  std::atomic<int> missedHeartbeats{0};
  std::atomic<std::int64_t> lastReceiveMs{NowMs()};
  std::atomic<bool> readThreadEnded{false};

  std::mutex writeMutex;  // one frame or heartbeat on the socket at a time

  std::mutex queueMutex;  // the queue, inFlight and the waits on `wake`
  std::condition_variable wake;
  std::vector<QueueEntry> queue;
  bool inFlight = false;  // the writer has taken an entry and not finished sending it

  std::thread receiveThread, writerThread, timeoutThread;

 private:
  void ReplyArrived() {
    awaitingReply = false;
    WakeAll();
  }
  void ProcessReceived(std::span<const std::uint8_t> read);

  NetworkStreamSplitter splitter;  // receive thread only

  std::mutex doneMutex;
  std::condition_variable doneCv;
  int running = 0;
};

// The session whose thread this is; closes and opens from such a thread must not join.
thread_local const NetworkSession* tlsLinkSession = nullptr;

}  // namespace

// One session's network link: its current connection and those closed but not joined yet.
class NetworkLink final : public PacketTransport {
 public:
  explicit NetworkLink(DeviceSession& device) : device_(device) {}

  ~NetworkLink() override {
    std::lock_guard lifecycle(lifecycleMutex_);
    RetireCurrent();
    Reap(kJoinWait);
    retired_.clear();  // a thread still running keeps its session and detaches with it
  }

  int Open(NotificationSink* target, const std::function<void()>& handOver);
  void Close(bool sendCloseNotice);

  int WriteReport(std::span<const std::uint8_t>) override { return 0; }
  int SendDirect(std::span<const std::uint8_t> payload) override {
    const std::shared_ptr<NetworkSession> s = Current();
    return s && s->SendFrame(payload) > 0 ? 1 : 0;
  }
  void EnqueuePacket(std::span<const std::uint8_t> payload) override {
    if (const std::shared_ptr<NetworkSession> s = Current()) s->Enqueue(payload);
  }

  std::shared_ptr<NetworkSession> Current() {
    std::lock_guard lock(stateMutex_);
    return current_;
  }

  // The one transition from open to closed; true for the caller that made it. Never
  // blocks on the socket: the connection is shut down (waking every read and write) and
  // the descriptor itself is closed once the threads are gone.
  bool CloseSession(const std::shared_ptr<NetworkSession>& s) {
    std::lock_guard lock(stateMutex_);
    if (s->closed.exchange(true)) return false;
    LinkState& link = device_.Link();
    if (s == current_ && link.transport.load() == this) {
      link.connected = false;
      ClearStatusBlock(link);
    }
    s->missedHeartbeats = 0;
    ::shutdown(s->fd, SHUT_RDWR);
    {
      std::lock_guard queueLock(s->queueMutex);
      // Edits still queued (or sent and not answered) may never reach the device: the
      // next read compares the device with the model before it replaces anything.
      if (!s->queue.empty() || s->inFlight) MarkUnsentEdits(device_.Model());
      s->queue.clear();
    }
    s->wake.notify_all();
    link.replyEvent.Set();  // no synchronous sender stays blocked on a dead link
    return true;
  }

  void SetPeer(const std::string& address, std::uint16_t port) {
    std::lock_guard lock(peerMutex_);
    address_ = address;
    port_ = port;
  }
  std::string PeerAddress() {
    std::lock_guard lock(peerMutex_);
    return address_;
  }
  std::uint16_t PeerPort() {
    std::lock_guard lock(peerMutex_);
    return port_;
  }
  void SetConnectTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(peerMutex_);
    connectTimeout_ = timeout;
  }

 private:
  // Closes the current session (if any) and moves it to the ones awaiting their join.
  void RetireCurrent() {
    std::shared_ptr<NetworkSession> s = Current();
    if (!s) return;
    CloseSession(s);
    std::lock_guard lock(stateMutex_);
    if (current_ == s) current_.reset();
    retired_.push_back(std::move(s));
  }

  // Joins the retired sessions whose threads end before `wait` has passed; the others
  // stay for a later call. Caller holds lifecycleMutex_.
  void Reap(std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    std::erase_if(retired_, [&](const std::shared_ptr<NetworkSession>& s) {
      if (!s->WaitThreadsEnded(deadline)) return false;
      s->JoinThreads();
      return true;
    });
  }

  // Waits until the writer has sent everything queued up to and including the disconnect
  // command. If a missing reply holds the writer back too long, the command is sent here
  // instead of being emptied out with the queue.
  void DrainForClose(NetworkSession& s) {
    const auto deadline = Clock::now() + s.replyWaitLimit + kCloseDrainMargin;
    bool noticeStillQueued = false;
    {
      std::unique_lock lock(s.queueMutex);
      if (s.wake.wait_until(lock, deadline, [&] { return (s.queue.empty() && !s.inFlight) || s.closed; })) return;
      const std::array<std::uint8_t, kQueueKeySize> noticeKey{kDestController, kCmdDisconnect, 0, 0, 0};
      noticeStillQueued = std::any_of(s.queue.begin(), s.queue.end(),
                                      [&](const QueueEntry& e) { return e.key == noticeKey; });
      s.queue.clear();
    }
    if (noticeStillQueued) {
      const std::uint8_t notice[] = {kDestController, kCmdDisconnect};
      s.SendFrame(notice);  // after any frame the writer is still putting out
    } else {
      std::lock_guard wait(s.writeMutex);  // the writer is sending it right now
    }
  }

  // Whether the calling thread is one of this link's own.
  bool OnLinkThread() const { return tlsLinkSession && &tlsLinkSession->device == &device_; }

  DeviceSession& device_;
  std::mutex lifecycleMutex_;  // opens and closes from outside the link threads; joins
  std::mutex stateMutex_;      // current_ and the close transition; held only briefly
  std::shared_ptr<NetworkSession> current_;
  std::vector<std::shared_ptr<NetworkSession>> retired_;  // closed, threads not joined yet

  std::mutex peerMutex_;
  std::string address_;
  std::uint16_t port_ = kDefaultNetworkPort;
  std::chrono::milliseconds connectTimeout_{3000};
};

SessionPart<NetworkLink> MakeNetworkLink(DeviceSession& session) {
  return {new NetworkLink(session), [](NetworkLink* link) { delete link; }};
}

namespace {
NetworkLink& Link() { return CurrentSession().Network(); }
}  // namespace

// ---------------------------------------------------------------------------------------
// Receive thread

void NetworkSession::ProcessReceived(std::span<const std::uint8_t> read) {
  const NetworkStreamSplitter::ReadResult result = splitter.Feed(read);
  if (result.frameBytes) lastReceiveMs = NowMs();
  // More data behind a frame in the same read proves the peer alive.
  if (result.frameThenMore) missedHeartbeats = 0;
}

void NetworkSession::ReceiveLoop() {
  readThreadEnded = false;
  std::array<std::uint8_t, kAssemblyBufferSize> buffer;
  while (!closed) {
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (closed) break;  // the link's own close woke the read
      DebugLog("NetRecv Error \n");
      LinkState& link = device.Link();
      link.statusPollingAllowed = false;
      readThreadEnded = true;
      link.replyEvent.Set();
      break;
    }
    ProcessReceived(std::span(buffer.data(), static_cast<std::size_t>(n)));
  }
  if (readThreadEnded) {
    // The peer is gone. Only the thread that actually closed the link reports it.
    NetworkLink& owner = device.Network();
    const std::shared_ptr<NetworkSession> self = owner.Current();
    if (self.get() == this && owner.CloseSession(self) && target) target->Post(kMsgLinkClosed, 0, 0);
  }
}

// ---------------------------------------------------------------------------------------
// Writer and time-out threads

void NetworkSession::WriterLoop() {
  Clock::time_point sentAt{};
  while (!closed) {
    QueueEntry entry;
    {
      std::unique_lock lock(queueMutex);
      // One frame per reply; a reply that never comes holds the next frame back at most
      // one reply wait after the previous send.
      wake.wait_until(lock, sentAt + replyWaitLimit, [this] { return !awaitingReply || closed; });
      if (closed) break;
      if (queue.empty()) {
        wake.wait_for(lock, kIdleWriterWait, [this] { return !queue.empty() || closed.load(); });
        continue;
      }
      entry = queue.front();
      queue.erase(queue.begin());
      inFlight = true;
    }
    awaitingReply = true;
    sentAt = Clock::now();
    SendFrame(std::span(entry.data.data(), entry.length));
    {
      std::lock_guard lock(queueMutex);
      inFlight = false;
    }
    wake.notify_all();
  }
}

// ---------------------------------------------------------------------------------------

namespace {
void RunLinkThread(const std::shared_ptr<NetworkSession>& s, void (NetworkSession::*loop)(), const char* endLine) {
  tlsLinkSession = s.get();
  (s.get()->*loop)();
  DebugLog(endLine);
  s->ThreadEnded();
}
}  // namespace

void NetworkSession::TimeoutLoop() {
  auto tick = Clock::now();
  while (!closed) {
    tick += kTimeoutTick;
    {
      std::unique_lock lock(queueMutex);
      if (wake.wait_until(lock, tick, [this] { return closed.load(); })) break;
    }
    if (NowMs() - lastReceiveMs > kSilenceLimit.count() && ++missedHeartbeats > kMaxMissedTicks) {
      // Only the thread that actually closed the link reports it, so the message comes once.
      NetworkLink& owner = device.Network();
      const std::shared_ptr<NetworkSession> self = owner.Current();
      if (self.get() == this) device.Link().closedForSilence = true;  // before a job can see the close
      if (self.get() == this && owner.CloseSession(self) && target) target->Post(kMsgHostTimeout, 0, 0);
      break;
    }
  }
}

int NetworkLink::Open(NotificationSink* target, const std::function<void()>& handOver) {
  if (OnLinkThread()) {
    DebugLog("OpenNetworkLink refused on a link thread\n");
    return 0;
  }
  std::lock_guard lifecycle(lifecycleMutex_);
  Reap(kJoinWait);

  std::string address;
  std::uint16_t port;
  std::chrono::milliseconds connectTimeout;
  {
    std::lock_guard lock(peerMutex_);
    address = address_;
    port = port_;
    connectTimeout = connectTimeout_;
  }

  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    char line[48];
    std::snprintf(line, sizeof line, "Socket() error:%d", errno);
    DebugLog(line);
    return 0;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  int error = ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) == 1 ? 0 : EINVAL;
  if (error == 0) error = ConnectWithTimeout(fd, peer, connectTimeout);
  if (error != 0) {
    ::close(fd);
    return NetworkOpenResult(error);
  }
  // Only now does the working link give way: a failed attempt has cost nothing.
  RetireCurrent();
  Reap(kJoinWait);
  if (handOver) handOver();
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const timeval sendTimeout{std::chrono::duration_cast<std::chrono::seconds>(kSendTimeout).count(), 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);

  LinkState& link = device_.Link();
  auto s = std::make_shared<NetworkSession>(device_, fd, target, link.replyTimeout);
  {
    std::lock_guard lock(stateMutex_);
    current_ = s;
    link.kind = LinkKind::Network;
    link.sink = target;
    link.queuedSendMode = true;
    link.transport = this;
    link.replyEvent.Set();  // the first synchronous send has no earlier reply to wait for
    link.hostBusy = false;
    link.closedForSilence = false;
    link.connected = true;
  }
  try {
    const auto start = [&](std::thread& t, void (NetworkSession::*loop)(), const char* endLine) {
      s->ThreadStarted();
      try {
        t = std::thread(RunLinkThread, s, loop, endLine);
      } catch (...) {
        s->ThreadEnded();
        throw;
      }
    };
    start(s->receiveThread, &NetworkSession::ReceiveLoop, "End thread: RecvThreadProc \n");
    start(s->writerThread, &NetworkSession::WriterLoop, "End thread: NetWriteThreadProc \n");
    start(s->timeoutThread, &NetworkSession::TimeoutLoop, "End thread: NetTimeoutThreadProc \n");
  } catch (const std::system_error&) {
    DebugLog("OpenNetworkLink could not start its threads\n");
    RetireCurrent();
    Reap(kJoinWait);
    return 0;
  }
  return 1;
}

void NetworkLink::Close(bool sendCloseNotice) {
  if (OnLinkThread()) {
    // A link thread cannot wait for the writer (or join itself): the notice goes straight
    // out and the joins are left to the next open or close from outside.
    const std::shared_ptr<NetworkSession> s = Current();
    if (!s || s->closed) return;
    if (sendCloseNotice) {
      const std::uint8_t notice[] = {kDestController, kCmdDisconnect};
      s->SendFrame(notice);
    }
    CloseSession(s);
    return;
  }
  std::lock_guard lifecycle(lifecycleMutex_);
  if (const std::shared_ptr<NetworkSession> s = Current(); s && !s->closed) {
    LinkState& link = device_.Link();
    if (sendCloseNotice && link.kind == LinkKind::Network && link.transport.load() == this) {
      SendCommand(device_, {kCmdDisconnect});
      DrainForClose(*s);
    }
    CloseSession(s);
  }
  RetireCurrent();
  Reap(kJoinWait);
}

void SetNetworkPeer(const std::string& address, std::uint16_t port) { Link().SetPeer(address, port); }
void SetNetworkPeer(DeviceSession& session, const std::string& address, std::uint16_t port) {
  session.Network().SetPeer(address, port);
}
std::string NetworkPeerAddress() { return Link().PeerAddress(); }
std::uint16_t NetworkPeerPort() { return Link().PeerPort(); }
void SetNetworkConnectTimeout(std::chrono::milliseconds timeout) { Link().SetConnectTimeout(timeout); }

int OpenNetworkLink(NotificationSink* target, const std::function<void()>& handOver) {
  return Link().Open(target, handOver);
}
int OpenNetworkLink(DeviceSession& session, NotificationSink* target, const std::function<void()>& handOver) {
  return session.Network().Open(target, handOver);
}
void CloseNetworkLink(bool sendCloseNotice) { Link().Close(sendCloseNotice); }
void CloseNetworkLink(DeviceSession& session, bool sendCloseNotice) { session.Network().Close(sendCloseNotice); }

void EnqueuePacket(std::span<const std::uint8_t> packet) { Link().EnqueuePacket(packet); }

int SendDirect(std::span<const std::uint8_t> packet, bool synchronous) {
  const std::shared_ptr<NetworkSession> s = Link().Current();
  LinkState& link = CurrentLink();
  if (!s || s->closed || !link.connected) return 0;
  if (!synchronous) return s->SendFrame(packet);
  if (!link.replyEvent.Wait(link.replyTimeout)) DebugLog("NetSendSync WaitObject Time Out \r\n ");
  std::lock_guard lock(link.linkLock);
  return s->SendFrame(packet);
}

std::size_t NetworkQueueLength() {
  const std::shared_ptr<NetworkSession> s = Link().Current();
  return s ? s->QueueLength() : 0;
}

int NetworkOpenResult(int socketError) {
  if (socketError == 0) return EIO;
  if (socketError == 1) return EACCES;  // EPERM would read as success
  return socketError;
}

}  // namespace dsptune
