#pragma once
// A raw loopback client of the emulator's TCP server, and the frames in what it received.
// Every wait is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/FrameCodec.h"

namespace dsptune::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::chrono::milliseconds kClientWaitLimit{2000};

// The payloads of the good frames in a byte stream.
inline std::vector<Bytes> Payloads(const Bytes& stream) {
  std::vector<Bytes> out;
  FrameAssembler assembler(
      {[&out](std::span<const std::uint8_t> p) { out.emplace_back(p.begin(), p.end()); }, nullptr, nullptr, nullptr});
  assembler.FeedReceivedBytes(stream);
  return out;
}

class Client {
 public:
  explicit Client(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
  }
  ~Client() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool Connected() const { return connected_; }
  bool Send(const Bytes& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }

  // Reads until the bytes received so far satisfy the condition, the peer closes, or the
  // limit passes. True when the condition holds.
  bool ReadUntil(const std::function<bool(const Bytes&)>& done, std::chrono::milliseconds limit = kClientWaitLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done(received)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0 || closed) return false;
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, int(std::min<long long>(left, 100))) <= 0) continue;
      std::uint8_t buffer[512];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed = true;
        continue;
      }
      received.insert(received.end(), buffer, buffer + n);
    }
    return true;
  }
  bool ReadFrames(std::size_t count) {
    return ReadUntil([count](const Bytes& b) { return Payloads(b).size() >= count; });
  }
  bool WaitClosed() {
    ReadUntil([](const Bytes&) { return false; }, kClientWaitLimit);
    return closed;
  }

  Bytes received;
  bool closed = false;

 private:
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace dsptune::test
