#pragma once
// The three ways a packet leaves the program. The USB link implements WriteReport;
// the network link implements SendDirect and EnqueuePacket. SendPacket picks one by
// the link kind and does the reply pacing itself, so transports only move bytes.
#include <cstdint>
#include <span>

namespace dsptune {

class PacketTransport {
 public:
  virtual ~PacketTransport() = default;
  // USB: one 61-byte report carrying the packet (command code first). Returns 1 on
  // success, 0 when nothing was written.
  virtual int WriteReport(std::span<const std::uint8_t> packet) = 0;
  // Network: one frame with this payload (destination byte first), sent at once under
  // the link lock. Returns 1 on success, 0 otherwise.
  virtual int SendDirect(std::span<const std::uint8_t> payload) = 0;
  // Network: onto the send queue, keyed by the first 5 payload bytes for coalescing.
  virtual void EnqueuePacket(std::span<const std::uint8_t> payload) = 0;
  // False while a write would be refused anyway (USB: no device, or its reads failed),
  // so a synchronous send does not wait for a reply that cannot come.
  virtual bool Writable() const { return true; }
};

}  // namespace dsptune
