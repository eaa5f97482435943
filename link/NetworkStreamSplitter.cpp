#include "link/NetworkStreamSplitter.h"

#include <algorithm>
#include <utility>

namespace dsptune {

NetworkStreamSplitter::NetworkStreamSplitter(Events events)
    : events_(std::move(events)),
      assembler_({[this](std::span<const std::uint8_t> payload) {
                    if (events_.packet) events_.packet(payload);
                  },
                  [this] {
                    if (events_.goodFrame) events_.goodFrame();
                  },
                  nullptr,
                  [this] {
                    if (events_.garbled) events_.garbled();
                  }}) {}

NetworkStreamSplitter::Control NetworkStreamSplitter::MatchControl(std::span<const std::uint8_t> bytes) {
  for (const std::string_view text : {kNetworkHeartbeat, kNetworkBusyNotice}) {
    const std::size_t n = std::min(bytes.size(), text.size());
    if (n == 0 || !std::equal(bytes.begin(), bytes.begin() + long(n), text.begin(),
                              [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); }))
      continue;
    if (n < text.size()) return Control::Partial;
    return text == kNetworkHeartbeat ? Control::Heartbeat : Control::Notice;
  }
  return Control::None;
}

// Reports a complete heartbeat or notice; false for anything else.
bool NetworkStreamSplitter::ConsumeControl(Control control) {
  if (control == Control::Heartbeat) {
    if (events_.heartbeat) events_.heartbeat();
    return true;
  }
  if (control == Control::Notice) {
    if (events_.notice) events_.notice();
    return true;
  }
  return false;
}

// How many of `bytes` go to the assembler in one piece: never past the end of the frame
// that starts or continues here, so that the assembler is empty exactly at each frame
// boundary and a heartbeat or notice behind a frame is seen before the assembler could
// take it for stray bytes. The assembler's buffer is empty or starts with 0x55 after
// every feed, which is what the cases below rely on.
std::size_t NetworkStreamSplitter::NextRun(std::span<const std::uint8_t> bytes, bool& endsFrame) {
  endsFrame = false;
  std::size_t frameBytes = 0;  // total still to come for the frame being fed, if known
  switch (assembler_.Fill()) {
    case 0:  // boundary: a start byte and a usable length byte give the frame's size
      if (bytes[0] == kFrameStart && bytes.size() >= 2 && bytes[1] >= 2) frameBytes = bytes[1] + 2u;
      break;
    case 1:  // the assembler holds a lone start byte; this byte is the length
      if (bytes[0] >= 2) frameBytes = bytes[0] + 1u;
      break;
    default:
      frameBytes = frameRemaining_;
      break;
  }
  if (frameBytes == 0) {  // a stray byte or a length the assembler rejects: byte by byte
    frameRemaining_ = 0;
    return 1;
  }
  const std::size_t run = std::min(frameBytes, bytes.size());
  frameRemaining_ = frameBytes - run;
  endsFrame = frameRemaining_ == 0;
  return run;
}

NetworkStreamSplitter::ReadResult NetworkStreamSplitter::Feed(std::span<const std::uint8_t> read) {
  ReadResult total;
  do {
    const std::size_t n = std::min(read.size(), kAssemblyBufferSize);
    const ReadResult one = FeedOne(read.first(n));
    total.frameBytes = total.frameBytes || one.frameBytes;
    total.frameThenMore = total.frameThenMore || one.frameThenMore;
    read = read.subspan(n);
  } while (!read.empty());
  return total;
}

NetworkStreamSplitter::ReadResult NetworkStreamSplitter::FeedOne(std::span<const std::uint8_t> read) {
  std::array<std::uint8_t, kMaxHeldBytes + kAssemblyBufferSize> buffer;
  std::copy_n(held_.begin(), heldCount_, buffer.begin());
  std::copy(read.begin(), read.end(), buffer.begin() + long(heldCount_));
  const std::span<const std::uint8_t> bytes(buffer.data(), heldCount_ + read.size());
  heldCount_ = 0;

  ReadResult result;
  std::size_t pos = 0;
  // Inside a frame only a complete text at the very start of the read is taken out.
  if (assembler_.Fill() > 0) {
    const Control c = MatchControl(bytes);
    if (c == Control::Heartbeat || c == Control::Notice) {
      ConsumeControl(c);
      pos = c == Control::Heartbeat ? kNetworkHeartbeat.size() : kNetworkBusyNotice.size();
    }
  }

  while (pos < bytes.size() && !Stopped()) {
    const std::span<const std::uint8_t> rest = bytes.subspan(pos);
    if (assembler_.Fill() == 0) {
      const Control c = MatchControl(rest);
      if (ConsumeControl(c)) {
        pos += c == Control::Heartbeat ? kNetworkHeartbeat.size() : kNetworkBusyNotice.size();
        continue;
      }
      if (c == Control::Partial) {
        heldCount_ = rest.size();  // shorter than the notice, so it fits
        std::copy(rest.begin(), rest.end(), held_.begin());
        break;
      }
    }
    bool endsFrame = false;
    const std::size_t run = NextRun(rest, endsFrame);
    assembler_.FeedReceivedBytes(rest.first(run));
    result.frameBytes = true;
    pos += run;
    if (endsFrame && pos < bytes.size()) result.frameThenMore = true;
  }
  return result;
}

}  // namespace dsptune
