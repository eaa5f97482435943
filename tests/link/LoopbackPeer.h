#pragma once
// A scripted stand-in for the device's network module: listens on 127.0.0.1 (a port the
// kernel picks), accepts the link's connection and lets a test write exact byte
// sequences and read back what the link sent. Every wait is bounded by a time-out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace dsptune::test {

inline std::vector<std::uint8_t> ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

class LoopbackPeer {
 public:
  using Ms = std::chrono::milliseconds;
  using Bytes = std::vector<std::uint8_t>;

  explicit LoopbackPeer(int backlog = 4) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, backlog) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackPeer() {
    CloseConnection();
    if (listener_ >= 0) ::close(listener_);
  }
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  std::uint16_t Port() const { return port_; }  // 0 when the listener could not be set up

  // Takes the next pending connection (closing the previous one).
  bool Accept(Ms timeout = Ms(2000)) {
    CloseConnection();
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, int(timeout.count())) != 1) return false;
    connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection_ < 0) return false;
    const int on = 1;
    ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
  }

  bool Send(std::span<const std::uint8_t> bytes) {
    return connection_ >= 0 && ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }

  // Reads until `count` bytes arrived, the link closed its end or `timeout` passed.
  Bytes Read(std::size_t count, Ms timeout = Ms(2000)) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count && ReadSome(out, deadline)) {
    }
    return out;
  }

  // Everything that arrives within `window` (or until the link closes its end).
  Bytes ReadFor(Ms window) {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + window;
    while (ReadSome(out, deadline)) {
    }
    return out;
  }

  // Everything up to the link's end of stream; `eof` tells whether the end was seen.
  Bytes ReadUntilEof(bool& eof, Ms timeout = Ms(3000)) {
    Bytes out;
    eof = false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ReadSome(out, deadline, &eof)) {
    }
    return out;
  }

  void CloseConnection() {
    if (connection_ >= 0) ::close(connection_);
    connection_ = -1;
  }

  // A loopback port with nothing listening on it.
  static std::uint16_t ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port = ntohs(address.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
  }

  // Connects a bare client without accepting it (fills a listener's backlog).
  int ConnectClient() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port_);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
  }

 private:
  static sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }

  // One read into `out`; false at the deadline, at end of stream or on an error.
  bool ReadSome(Bytes& out, std::chrono::steady_clock::time_point deadline, bool* eof = nullptr) {
    if (connection_ < 0) return false;
    const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{connection_, POLLIN, 0};
    const int ready = ::poll(&p, 1, int(left.count()));
    if (ready < 0 && errno == EINTR) return true;
    if (ready != 1) return false;
    std::uint8_t buffer[512];
    const ssize_t n = ::recv(connection_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      if (eof) *eof = true;
      return false;
    }
    out.insert(out.end(), buffer, buffer + n);
    return true;
  }

  int listener_ = -1;
  int connection_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace dsptune::test
