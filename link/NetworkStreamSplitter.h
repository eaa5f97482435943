#pragma once
// Cuts what the network module sends into its three kinds of content: frames (handed to
// a FrameAssembler), the "$HB$" heartbeat and the "ISCONNECTED" notice. No sockets: the
// network link feeds it each read as it arrives, and tests and the fuzz target feed it
// whatever reads they like.
//
// The module writes its texts on their own, so a text is recognised at the start of every
// read, and also wherever a frame ends inside a read, because TCP may glue a heartbeat
// behind a frame or split it over two reads. Between frames a text cut off at the end of
// a read is held back (it cannot be the start of a frame) and completed by the next read.
// Inside a frame only a complete text at the very start of a read is taken out. Anything
// else between frames is stray and dropped by the assembler (reported as garbled).
//
// One thread only; the events are called from inside Feed and must not call back into
// the splitter.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "link/FrameCodec.h"

namespace dsptune {

inline constexpr std::string_view kNetworkHeartbeat = "$HB$";
inline constexpr std::string_view kNetworkBusyNotice = "ISCONNECTED";

class NetworkStreamSplitter {
 public:
  struct Events {
    // A good frame's payload (destination byte + packet); valid only during the call.
    std::function<void(std::span<const std::uint8_t> payload)> packet;
    std::function<void()> goodFrame;  // a frame with a valid checksum arrived
    std::function<void()> garbled;    // bytes were thrown away (stray, bad checksum)
    std::function<void()> heartbeat;  // "$HB$" (the link echoes it)
    std::function<void()> notice;     // "ISCONNECTED": another host holds the module
    // Asked before each piece of a read; true drops the rest of the read (the link was
    // closed meanwhile). May be empty.
    std::function<bool()> stopped;
  };

  // What one read contained, for the link's liveness bookkeeping.
  struct ReadResult {
    bool frameBytes = false;     // some bytes went to the assembler
    bool frameThenMore = false;  // a frame ended with more bytes behind it in the same read
  };

  explicit NetworkStreamSplitter(Events events);

  // One read of the byte stream. A read longer than kAssemblyBufferSize (more than the
  // link ever reads at once) is taken as several reads in a row.
  ReadResult Feed(std::span<const std::uint8_t> read);

  std::size_t HeldBytes() const { return heldCount_; }  // a text's beginning waiting for its rest

 private:
  enum class Control { None, Heartbeat, Notice, Partial };
  static Control MatchControl(std::span<const std::uint8_t> bytes);
  bool ConsumeControl(Control control);
  ReadResult FeedOne(std::span<const std::uint8_t> read);
  std::size_t NextRun(std::span<const std::uint8_t> bytes, bool& endsFrame);
  bool Stopped() const { return events_.stopped && events_.stopped(); }

  // The longest text that may have to wait for the rest of its bytes.
  static constexpr std::size_t kMaxHeldBytes = kNetworkBusyNotice.size() - 1;

  Events events_;
  FrameAssembler assembler_;
  std::array<std::uint8_t, kMaxHeldBytes> held_{};
  std::size_t heldCount_ = 0;
  std::size_t frameRemaining_ = 0;  // bytes still missing from the frame the assembler holds
};

}  // namespace dsptune
