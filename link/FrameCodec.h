#pragma once
// How a packet (command code and parameters) travels on each link, and how a TCP byte
// stream is cut back into packets.
//
// Network frame: 0x55, L, payload (L - 1 bytes: destination byte, then the packet),
// checksum. L counts the payload and the checksum; the checksum is 0xFF XOR the length
// byte XOR every payload byte. USB carries one packet per fixed 61-byte HID report with
// neither length nor checksum.
//
// The encoders are pure and may run on any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace dsptune {

enum class LinkKind { Usb, Network };

inline constexpr std::size_t kReportSize = 61;          // USB report incl. report id
inline constexpr std::size_t kMaxPacketSize = 60;       // command + parameters
inline constexpr std::size_t kAssemblyBufferSize = 260; // also the largest socket read
inline constexpr std::size_t kMaxFramePayload = 254;    // L is one byte and counts the checksum
inline constexpr std::uint8_t kFrameStart = 0x55, kReportId = 0x02;
inline constexpr std::uint8_t kDestController = 0x81, kDestZWave = 0x80;
inline constexpr std::uint8_t kZWavePacketCode = 0x12;  // USB wrapper for Z-Wave bytes
inline constexpr std::uint8_t kZWaveAck = 0x06;

// 0xFF XOR every byte; give it the length byte followed by the payload.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> lengthAndPayload);

// 0x55, n + 1, payload, checksum (n + 3 bytes). Empty when n is outside 1..254, because
// such a payload has no length byte that can describe it.
std::vector<std::uint8_t> EncodeFrame(std::span<const std::uint8_t> payload);

// Report id 0x02, the packet, zero bytes up to 61. A packet longer than 60 bytes is cut
// at 60: the device reads nothing beyond the report.
std::array<std::uint8_t, kReportSize> EncodeReport(std::span<const std::uint8_t> packet);

// Network: the frame payload 0x80 + bytes (frame it with EncodeFrame).
// USB: the packet 0x12, byte count, bytes (send it with EncodeReport).
// Empty when the bytes would not fit one frame (more than 253) or one report (more
// than 58); the program itself only ever sends the single acknowledgement byte 0x06.
std::vector<std::uint8_t> WrapZWave(std::span<const std::uint8_t> zwaveBytes, LinkKind kind);

// Cuts a TCP byte stream back into frames. Runs on one thread (the network receive
// thread); no locking. The handlers are called from inside FeedReceivedBytes and must not
// call back into the same assembler.
//
// Beyond the plain algorithm it resynchronises on its own: bytes in front of a 0x55 are
// dropped at once (stray bytes would otherwise block every frame behind them until an
// overflow), and a length byte below 2 (no room for even a destination byte) costs only
// its 0x55 start byte. So after every call the buffer is empty or starts with 0x55.
class FrameAssembler {
 public:
  struct Events {
    // payload = destination byte + packet (at least 1 byte); called once per good frame,
    // in arrival order. The span is valid only during the call.
    std::function<void(std::span<const std::uint8_t> payload)> packet;
    // A frame with a valid checksum arrived (the link clears its awaiting-reply flag).
    std::function<void()> goodFrame;
    // A frame was followed by more bytes of the same read and those have been parsed
    // (the link resets its missed-heartbeat counter).
    std::function<void()> trailingParsed;
    // Bytes were thrown away: a frame with a wrong checksum, or bytes that cannot start one.
    std::function<void()> garbled;
  };

  explicit FrameAssembler(Events events);

  // Any number of bytes, any content; a read longer than the buffer is taken in pieces.
  void FeedReceivedBytes(std::span<const std::uint8_t> bytes);
  void Reset();  // empty buffer, not in frame
  std::size_t Fill() const { return fill_; }  // bytes held back for an incomplete frame

 private:
  void Parse();

  Events events_;
  std::array<std::uint8_t, kAssemblyBufferSize> buffer_{};
  std::size_t fill_ = 0;
};

}  // namespace dsptune
