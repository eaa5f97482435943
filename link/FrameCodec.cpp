#include "link/FrameCodec.h"

#include <algorithm>
#include <cstring>

#include "model/DebugLog.h"

namespace dsptune {
namespace {

// A length byte below this leaves no payload at all (L = 1) or not even room for the
// checksum (L = 0); such a "frame" can only be noise or a misread start byte.
constexpr std::size_t kMinFrameLength = 2;

}  // namespace

std::uint8_t FrameChecksum(std::span<const std::uint8_t> lengthAndPayload) {
  std::uint8_t sum = 0xFF;
  for (std::uint8_t b : lengthAndPayload) sum ^= b;
  return sum;
}

std::vector<std::uint8_t> EncodeFrame(std::span<const std::uint8_t> payload) {
  if (payload.empty() || payload.size() > kMaxFramePayload) return {};
  std::vector<std::uint8_t> frame;
  frame.reserve(payload.size() + 3);
  frame.push_back(kFrameStart);
  frame.push_back(static_cast<std::uint8_t>(payload.size() + 1));
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(FrameChecksum(std::span(frame).subspan(1)));
  return frame;
}

std::array<std::uint8_t, kReportSize> EncodeReport(std::span<const std::uint8_t> packet) {
  std::array<std::uint8_t, kReportSize> report{};
  report[0] = kReportId;
  const std::size_t n = std::min(packet.size(), kMaxPacketSize);
  std::copy_n(packet.begin(), n, report.begin() + 1);
  return report;
}

std::vector<std::uint8_t> WrapZWave(std::span<const std::uint8_t> zwaveBytes, LinkKind kind) {
  std::vector<std::uint8_t> out;
  if (kind == LinkKind::Network) {
    if (zwaveBytes.size() + 1 > kMaxFramePayload) return {};
    out.reserve(zwaveBytes.size() + 1);
    out.push_back(kDestZWave);
  } else {
    if (zwaveBytes.size() + 2 > kMaxPacketSize) return {};
    out.reserve(zwaveBytes.size() + 2);
    out.push_back(kZWavePacketCode);
    out.push_back(static_cast<std::uint8_t>(zwaveBytes.size()));
  }
  out.insert(out.end(), zwaveBytes.begin(), zwaveBytes.end());
  return out;
}

FrameAssembler::FrameAssembler(Events events) : events_(std::move(events)) {}

void FrameAssembler::Reset() { fill_ = 0; }

void FrameAssembler::FeedReceivedBytes(std::span<const std::uint8_t> bytes) {
  // Taking only what fits and parsing before taking more means a frame split across
  // reads is never thrown away to make room: after a parse the buffer holds at most one
  // incomplete frame (at most 256 bytes, as the largest frame is 257), so there is always
  // space for the next piece. The empty-on-overflow rule below is only a backstop.
  while (!bytes.empty()) {
    if (fill_ == buffer_.size()) fill_ = 0;
    const std::size_t n = std::min(bytes.size(), buffer_.size() - fill_);
    std::memcpy(buffer_.data() + fill_, bytes.data(), n);
    fill_ += n;
    bytes = bytes.subspan(n);
    Parse();
  }
}

void FrameAssembler::Parse() {
  // Frames are consumed by advancing `pos`; the unconsumed tail is moved to the front
  // once at the end rather than after every frame.
  std::size_t pos = 0;
  bool bytesAfterFrame = false;
  while (pos < fill_) {
    if (buffer_[pos] != kFrameStart) {
      // Stray bytes (a non-heartbeat read starting with '$', the tail of a frame whose
      // start was lost) cannot become a frame; waiting for an overflow would hold every
      // frame behind them hostage.
      const auto* next = std::find(buffer_.data() + pos, buffer_.data() + fill_, kFrameStart);
      pos = static_cast<std::size_t>(next - buffer_.data());
      if (events_.garbled) events_.garbled();
      continue;
    }
    const std::size_t available = fill_ - pos;
    if (available < 2) break;
    const std::size_t length = buffer_[pos + 1];
    if (length < kMinFrameLength) {
      // Giving up only the start byte lets a real frame hidden behind it be found.
      ++pos;
      if (events_.garbled) events_.garbled();
      continue;
    }
    if (available < length + 2) break;  // wait for the rest; length + 2 <= 257 always fits

    const std::span<const std::uint8_t> covered(buffer_.data() + pos + 1, length);
    if (FrameChecksum(covered) == buffer_[pos + length + 1]) {
      if (events_.packet) events_.packet(covered.subspan(1));
      if (events_.goodFrame) events_.goodFrame();
    } else {
      DebugLog("ProcessRxBuf Checksum error\n");
      if (events_.garbled) events_.garbled();
    }
    pos += length + 2;
    if (pos < fill_) bytesAfterFrame = true;
  }

  fill_ -= pos;
  if (fill_ > 0 && pos > 0) std::memmove(buffer_.data(), buffer_.data() + pos, fill_);
  if (bytesAfterFrame && events_.trailingParsed) events_.trailingParsed();
}

}  // namespace dsptune
