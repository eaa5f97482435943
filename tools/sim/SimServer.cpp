#include "tools/sim/SimServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "link/FrameCodec.h"

namespace dsptune {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::string_view kHeartbeat = "$HB$";
constexpr std::string_view kConnectedNotice = "ISCONNECTED";
constexpr milliseconds kPollStep{100};
constexpr milliseconds kSendLimit{2000};
// Written in front of a frame by the stray-bytes fault: no 0x55 (it would look like a
// frame start), and neither '$' nor 'I' first (the client would take them for a
// heartbeat or a connection notice).
constexpr std::array<std::uint8_t, 3> kStrayBytes = {0xA5, 0x00, 0x3C};

// Takes the client's heartbeat echoes out of the byte stream before the frame assembler
// sees them. An echo may arrive glued to a frame, or even split across reads, so this
// follows frame boundaries: "$HB$" is recognised only between frames, and frame bytes
// (which may well contain "$HB$") pass untouched. Anything else between frames passes
// too; the assembler drops it.
class HeartbeatFilter {
 public:
  // Returns the bytes for the assembler; counts the echoes it removed.
  std::vector<std::uint8_t> Filter(std::span<const std::uint8_t> in, int& echoes) {
    std::vector<std::uint8_t> out;
    out.reserve(in.size());
    for (std::uint8_t b : in) {
      if (frameLeft_ > 0) {
        out.push_back(b);
        --frameLeft_;
        continue;
      }
      if (awaitingLength_) {
        out.push_back(b);
        awaitingLength_ = false;
        frameLeft_ = b;  // the length counts the payload and the checksum
        continue;
      }
      if (matched_ > 0) {
        if (b == std::uint8_t(kHeartbeat[matched_])) {
          if (++matched_ == kHeartbeat.size()) {
            ++echoes;
            matched_ = 0;
          }
          continue;
        }
        out.insert(out.end(), kHeartbeat.begin(), kHeartbeat.begin() + std::ptrdiff_t(matched_));
        matched_ = 0;
      }
      if (b == std::uint8_t(kHeartbeat[0])) {
        matched_ = 1;
      } else {
        out.push_back(b);
        awaitingLength_ = b == kFrameStart;
      }
    }
    return out;
  }

 private:
  std::size_t frameLeft_ = 0;
  bool awaitingLength_ = false;
  std::size_t matched_ = 0;  // bytes of "$HB$" seen so far
};

// Writes every byte or gives up: false when the peer is gone or has not read for
// kSendLimit.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  const Clock::time_point deadline = Clock::now() + kSendLimit;
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes = bytes.subspan(std::size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (Clock::now() >= deadline) return false;
    pollfd pfd{fd, POLLOUT, 0};
    ::poll(&pfd, 1, int(kPollStep.count()));
  }
  return true;
}

bool WriteText(int fd, std::string_view text) {
  return WriteAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

int MillisUntil(Clock::time_point now, Clock::time_point when) {
  if (when <= now) return 0;
  // Rounded up, so a wake-up never comes before the moment it waits for.
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when - now).count();
  return int(std::min<long long>((us + 999) / 1000, kPollStep.count()));
}

bool IsLoopback(const std::string& address, in_addr& parsed) {
  return ::inet_pton(AF_INET, address.c_str(), &parsed) == 1 && (ntohl(parsed.s_addr) >> 24) == 127;
}

}  // namespace

SimServer::SimServer(DeviceSimulator& device, ServerOptions options) : device_(device), options_(std::move(options)) {}

SimServer::~SimServer() { Stop(); }

std::vector<std::uint8_t> SimServer::ZWaveTrafficBytes() {
  // SOF, length 3, request, FUNC_ID_ZW_GET_VERSION (0x15), checksum 0xFF ^ 03 ^ 00 ^ 15.
  return {0x01, 0x03, 0x00, 0x15, 0xE9};
}

std::string SimServer::LastError() const {
  std::lock_guard lock(errorMutex_);
  return error_;
}

void SimServer::SetError(std::string text) {
  std::lock_guard lock(errorMutex_);
  error_ = std::move(text);
}

bool SimServer::Start() {
  if (thread_.joinable() || listenFd_ >= 0) {
    SetError("already started");
    return false;
  }
  if (!Listen()) return false;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool SimServer::Listen() {
  in_addr address{};
  if (!IsLoopback(options_.bindAddress, address)) {
    SetError("refusing to listen on " + options_.bindAddress + ": only 127.0.0.0/8 addresses are allowed");
    return false;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SetError(std::string("socket: ") + std::strerror(errno));
    return false;
  }
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  // After a restart the same port again.
  sa.sin_port = htons(port_ != 0 ? port_.load() : options_.port);
  sa.sin_addr = address;
  socklen_t len = sizeof sa;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    SetError("cannot listen on " + options_.bindAddress + ":" + std::to_string(options_.port) + ": " +
             std::strerror(errno));
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  port_ = ntohs(sa.sin_port);
  return true;
}

void SimServer::CloseListener() {
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
}

void SimServer::Restart() {
  CloseListener();
  const Clock::time_point back = Clock::now() + options_.restartTime;
  while (!stop_ && Clock::now() < back) std::this_thread::sleep_for(std::min(kPollStep, options_.restartTime));
  // Still down when the port cannot be taken again; tried once more every poll step.
  while (!stop_ && !Listen()) std::this_thread::sleep_for(kPollStep);
}

void SimServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  CloseListener();
}

void SimServer::Run() {
  while (!stop_) {
    if (std::exchange(restartDue_, false)) {
      Restart();
      continue;
    }
    pollfd pfd{listenFd_, POLLIN, 0};
    if (::poll(&pfd, 1, int(kPollStep.count())) <= 0) {
      // Nobody to answer: a learn reply falling due now would go nowhere.
      device_.TakeDueReplies(Clock::now());
      continue;
    }
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;
    if (options_.busy) {  // another host holds the module
      ++clientsTurnedAway_;
      WriteText(fd, kConnectedNotice);
      ::shutdown(fd, SHUT_WR);
      ::close(fd);
      continue;
    }
    ServeClient(fd);
  }
}

void SimServer::ServeClient(int fd) {
  const int one = 1;
  // Heartbeats and answers go out as written, so the client reads "$HB$" on its own
  // more often than glued to a frame (it only recognises a heartbeat at a read's start).
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  clientConnected_ = true;
  ++clientsAccepted_;
  bool alive = true;
  if (options_.busyAnswering) {
    ++clientsTurnedAway_;  // told so, even though it stays
    alive = WriteText(fd, kConnectedNotice);
  }

  std::vector<std::vector<std::uint8_t>> payloads;
  FrameAssembler assembler({[&payloads](std::span<const std::uint8_t> payload) {
                              payloads.emplace_back(payload.begin(), payload.end());
                            },
                            nullptr, nullptr, nullptr});
  HeartbeatFilter filter;

  const Clock::time_point connectedAt = Clock::now();
  Clock::time_point nextHeartbeat = connectedAt + options_.heartbeatInterval;
  Clock::time_point nextZWave = connectedAt + options_.zwaveInterval;
  const bool heartbeats = options_.heartbeatInterval.count() > 0;
  const bool zwave = options_.zwaveInterval.count() > 0;

  auto sendFrame = [&](const std::vector<std::uint8_t>& packet) {
    std::vector<std::uint8_t> payload{kDestController};
    payload.insert(payload.end(), packet.begin(), packet.end());
    std::vector<std::uint8_t> frame = EncodeFrame(payload);
    if (frame.empty()) return true;
    const int number = ++framesSent_;
    if (options_.badChecksumEvery > 0 && number % options_.badChecksumEvery == 0) frame.back() ^= 0xFF;
    if (options_.strayBytes && !WriteAll(fd, kStrayBytes)) return false;
    if (!options_.splitBytes) return WriteAll(fd, frame);
    for (std::size_t i = 0; i < frame.size(); ++i)
      if (!WriteAll(fd, std::span(frame).subspan(i, 1))) return false;
    return true;
  };

  int commands = 0;  // controller packets on this connection
  while (alive && !stop_) {
    Clock::time_point now = Clock::now();
    // Judged when something would be sent, not before the poll that may wait for it.
    const auto silentNow = [&] {
      return options_.silentAfter.count() >= 0 && Clock::now() - connectedAt >= options_.silentAfter;
    };

    Clock::time_point wake = now + kPollStep;
    if (const auto due = device_.NextDueTime()) wake = std::min(wake, *due);
    if (heartbeats) wake = std::min(wake, nextHeartbeat);
    if (zwave) wake = std::min(wake, nextZWave);
    std::array<pollfd, 2> pfds{pollfd{fd, POLLIN, 0}, pollfd{listenFd_, POLLIN, 0}};
    const int ready = ::poll(pfds.data(), pfds.size(), MillisUntil(now, wake));

    if (ready > 0 && (pfds[1].revents & POLLIN)) {
      // The module serves one client; a second one is told so and dropped.
      const int other = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (other >= 0) {
        ++clientsTurnedAway_;  // counted first: the client may see the close at once
        WriteText(other, kConnectedNotice);
        ::shutdown(other, SHUT_WR);
        ::close(other);
      }
    }
    if (ready > 0 && (pfds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      std::array<std::uint8_t, kAssemblyBufferSize> buffer;
      const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
      if (n > 0) {
        int echoes = 0;
        const std::vector<std::uint8_t> bytes = filter.Filter(std::span(buffer.data(), std::size_t(n)), echoes);
        heartbeatEchoes_ += echoes;
        assembler.FeedReceivedBytes(bytes);
        for (const auto& payload : payloads) {
          if (!payload.empty() && payload[0] == kDestController) ++commands;
          for (const auto& reply : device_.HandleNetworkPayload(payload))
            if (!silentNow()) alive = alive && sendFrame(reply);
          // The cut comes right after the Nth command's answer, as when a cable is pulled.
          if (options_.closeAfterCommands > 0 && commands >= options_.closeAfterCommands) alive = false;
          // A machine reset restarts the machine once its answer is out.
          if (device_.TakeRestart() && options_.restartTime.count() > 0) {
            ++restarts_;  // counted before the client can see the connection drop
            restartDue_ = true;
            alive = false;
          }
          if (!alive) break;
        }
        payloads.clear();
      }
    }

    now = Clock::now();
    const bool silent = silentNow();
    for (const auto& reply : device_.TakeDueReplies(now))
      if (!silent) alive = alive && sendFrame(reply);
    if (heartbeats && now >= nextHeartbeat) {
      nextHeartbeat = now + options_.heartbeatInterval;
      if (!silent && alive) {
        ++heartbeatsSent_;  // counted before the client can see it
        alive = WriteText(fd, kHeartbeat);
      }
    }
    if (zwave && now >= nextZWave) {
      nextZWave = now + options_.zwaveInterval;
      if (!silent && alive) {
        std::vector<std::uint8_t> packet{kZWavePacketCode};
        const auto bytes = ZWaveTrafficBytes();
        packet.push_back(std::uint8_t(bytes.size()));
        packet.insert(packet.end(), bytes.begin(), bytes.end());
        ++zwaveFramesSent_;
        alive = sendFrame(packet);
      }
    }
  }

  // A restarting machine stops listening before its client sees the connection drop,
  // so nobody reconnects to the machine that is going down.
  if (restartDue_) CloseListener();
  ::close(fd);
  device_.DropQueuedReplies();
  clientConnected_ = false;
}

}  // namespace dsptune
