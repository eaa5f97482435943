// The network link's receive step: the heartbeat "$HB$" and the "ISCONNECTED" notice
// taken out of the byte stream wherever a read starts or a frame ends, texts split over
// reads held back and completed, frames handed to the dispatcher. That step lives inside
// the link's receive thread, so this target drives the real link over loopback: the
// harness plays the device's network module, accepts the link's connection, writes a
// stream built from the input in the reads the input chooses (with a short pause between
// writes, so they mostly arrive as separate reads), then ends the connection and reads
// back what the link sent until the link has closed its end.
//
// The stream is a sequence of pieces: frames carrying answer 0x05 (counted through the
// read-job starter), heartbeats, notices, cut-off beginnings of either text, and also
// stray bytes and frames with any answer. However the stream is cut into reads:
//  - with neither stray bytes, other answers nor a text inside a frame, every frame is
//    dispatched once, every heartbeat is echoed once and nothing else is sent, and every
//    notice is reported once, as the only notification;
//  - in any stream the link sends only heartbeat echoes and Z-Wave acknowledgement
//    frames, never more echoes or notices than the stream holds texts, and notifies the
//    user interface only of what answers cause.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <thread>

#include "link/NetworkLink.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace dsptune;
using namespace dsptune::fuzz;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kHeartbeat = "$HB$";
constexpr std::string_view kNotice = "ISCONNECTED";
constexpr int kWaitMs = 2000;  // any wait for the link longer than this means it hangs

// The module's listening socket on 127.0.0.1, at a port the kernel picks.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      Fail("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
  }
  std::uint16_t Port() const { return port_; }

  // The link's connection, or -1 when none arrives in time.
  int Accept() const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, kWaitMs) != 1) return -1;
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    const int on = 1;
    if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
  }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

Listener& TheListener() {
  static Listener listener;
  return listener;
}

// Everything the link sends until it closes its end; false when it does not within the wait.
bool ReadUntilEnd(int fd, Bytes& out) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, int(left)) != 1) continue;
    std::uint8_t buffer[512];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return true;
    if (n < 0) return errno == ECONNRESET;
    out.insert(out.end(), buffer, buffer + n);
  }
}

std::size_t Occurrences(std::span<const std::uint8_t> bytes, std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + text.size() <= bytes.size(); ++i)
    n += std::equal(text.begin(), text.end(), bytes.begin() + long(i),
                    [](char c, std::uint8_t b) { return std::uint8_t(c) == b; });
  return n;
}

struct Stream {
  Bytes bytes;
  std::size_t frames = 0, heartbeats = 0, notices = 0;
  bool exact = true;  // the counts above must come out exactly
};

void Append(Bytes& to, std::span<const std::uint8_t> bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }
void Append(Bytes& to, std::string_view text) { to.insert(to.end(), text.begin(), text.end()); }

Stream BuildStream(FuzzedDataProvider& input) {
  Stream s;
  for (int piece = 0; piece < 48 && input.remaining_bytes() > 0; ++piece) {
    switch (input.ConsumeIntegralInRange(0, 5)) {
      case 0: {
        Bytes payload{kDestController, 0x05};
        Append(payload, input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 40)));
        const Bytes frame = EncodeFrame(payload);
        if (Occurrences(frame, kHeartbeat) || Occurrences(frame, kNotice)) s.exact = false;
        Append(s.bytes, frame);
        ++s.frames;
        break;
      }
      case 1:
        Append(s.bytes, kHeartbeat);
        ++s.heartbeats;
        break;
      case 2:
        Append(s.bytes, kNotice);
        ++s.notices;
        break;
      case 3: {
        const std::string_view text = input.ConsumeBool() ? kHeartbeat : kNotice;
        Append(s.bytes, text.substr(0, input.ConsumeIntegralInRange<std::size_t>(1, text.size() - 1)));
        break;
      }
      case 4:
        Append(s.bytes, input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(1, 16)));
        s.exact = false;
        break;
      default: {
        const Bytes payload = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(1, 60));
        Append(s.bytes, EncodeFrame(payload));
        s.exact = false;
        break;
      }
    }
  }
  // Pieces that happen to spell a text between them are stray bytes of another kind.
  if (Occurrences(s.bytes, kHeartbeat) != s.heartbeats || Occurrences(s.bytes, kNotice) != s.notices)
    s.exact = false;
  return s;
}

// What the link sent back, taken apart: heartbeat echoes and Z-Wave acknowledgement
// frames; false when anything else is in it.
bool CountReplies(std::span<const std::uint8_t> replies, std::size_t& echoes, std::size_t& acks) {
  const std::uint8_t ack[] = {kDestZWave, kZWaveAck};
  const Bytes ackFrame = EncodeFrame(ack);
  echoes = acks = 0;
  while (!replies.empty()) {
    if (replies.size() >= kHeartbeat.size() && Occurrences(replies.first(kHeartbeat.size()), kHeartbeat)) {
      ++echoes;
      replies = replies.subspan(kHeartbeat.size());
    } else if (replies.size() >= ackFrame.size() && std::equal(ackFrame.begin(), ackFrame.end(), replies.begin())) {
      ++acks;
      replies = replies.subspan(ackFrame.size());
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetNetworkPeer("127.0.0.1", TheListener().Port());
  SetNetworkConnectTimeout(std::chrono::milliseconds(kWaitMs));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RecordingSink sink;
  FuzzedDataProvider input(data, size);
  std::vector<std::size_t> reads(input.ConsumeIntegralInRange(1, 6));
  for (std::size_t& n : reads) n = input.ConsumeIntegralInRange<std::size_t>(1, 300);
  const Stream stream = BuildStream(input);

  ResetDataModel();
  ResetLinkState();
  LinkState& link = CurrentLink();
  link.zwaveAckDelay = 0ms;
  std::atomic<std::size_t> frames{0};
  link.readJobStarter = [&frames] { ++frames; };
  sink.Take();

  Expect(OpenNetworkLink(&sink) == 1, "the link did not connect to the loopback listener");
  const int peer = TheListener().Accept();
  Expect(peer >= 0, "the link's connection did not arrive");
  std::span<const std::uint8_t> rest(stream.bytes);
  for (std::size_t i = 0; !rest.empty() && i < 256; ++i) {
    const std::size_t n = i == 255 ? rest.size() : std::min(reads[i % reads.size()], rest.size());
    Expect(::send(peer, rest.data(), n, MSG_NOSIGNAL) == ssize_t(n), "writing to the link failed");
    rest = rest.subspan(n);
    if (!rest.empty()) std::this_thread::sleep_for(50us);
  }
  ::shutdown(peer, SHUT_WR);
  Bytes replies;
  const bool ended = ReadUntilEnd(peer, replies);
  CloseNetworkLink(false);
  ::close(peer);
  link.readJobStarter = nullptr;
  Expect(ended, "the link did not close its end after the module's");

  std::size_t echoes = 0, acks = 0;
  Expect(CountReplies(replies, echoes, acks), "the link sent something other than echoes and acknowledgements",
         replies);
  std::size_t notices = 0, closes = 0;
  for (const Notified& n : sink.Take()) {
    if (n.kind == Notified::Post && n.message == kMsgHostBusy) {
      ++notices;
      continue;
    }
    // The module closing its end is reported as a closed link, at most once.
    if (n.kind == Notified::Post && n.message == kMsgLinkClosed) {
      Expect(++closes == 1, "the closed link was reported more than once", stream.bytes);
      continue;
    }
    Expect(!stream.exact && ((n.kind == Notified::Send && n.message == kMsgRemoteLearn) ||
                             n.kind == Notified::ParameterError),
           "a notification no answer in the stream causes", stream.bytes);
  }

  if (stream.exact) {
    Expect(frames == stream.frames, "a frame was lost or dispatched twice", stream.bytes);
    Expect(echoes == stream.heartbeats, "a heartbeat was not echoed exactly once", stream.bytes);
    Expect(acks == 0, "an acknowledgement for a frame that needs none", stream.bytes);
    Expect(notices == stream.notices, "a notice was not reported exactly once", stream.bytes);
  } else {
    Expect(echoes <= Occurrences(stream.bytes, kHeartbeat), "more echoes than heartbeats", stream.bytes);
    Expect(notices <= Occurrences(stream.bytes, kNotice), "more notices than the stream holds", stream.bytes);
    Expect(frames <= std::size_t(std::count(stream.bytes.begin(), stream.bytes.end(), kFrameStart)),
           "more frames than start bytes", stream.bytes);
  }
  return 0;
}
