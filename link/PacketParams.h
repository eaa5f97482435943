#pragma once
// The parameter bytes of a received packet, read safely: indexes past the bytes that
// actually arrived read as zero and sub-ranges are cut at the end, so a short or
// malformed packet can never be read past its end.
#include <algorithm>
#include <cstdint>
#include <span>

namespace dsptune {

class PacketParams {
 public:
  // The bytes of packet from index first on (none when the packet is shorter).
  PacketParams(std::span<const std::uint8_t> packet, std::size_t first)
      : bytes_(packet.size() > first ? packet.subspan(first) : std::span<const std::uint8_t>{}) {}

  std::size_t size() const { return bytes_.size(); }
  bool Has(std::size_t n) const { return bytes_.size() >= n; }
  std::uint8_t operator[](std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
  // At most n bytes from index i.
  std::span<const std::uint8_t> From(std::size_t i, std::size_t n) const {
    if (i >= bytes_.size()) return {};
    return bytes_.subspan(i, std::min(n, bytes_.size() - i));
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace dsptune
