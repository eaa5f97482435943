// Device answers straight into the dispatcher, several per input on one model and link
// state, each checked on its own: the answer changes only the state its code owns and
// stores only what it carried (FuzzSupport.h), releases a sender waiting for a reply,
// notifies only what it should and sends nothing but a Z-Wave acknowledgement.
//
// Input: byte 0 picks the link (bit 0 network, bit 1 queued sends, bit 2 disconnected);
// then packets, each a length byte and that many bytes (the last cut at the input's end).
// Read jobs are not started (no starter installed) and the Z-Wave pause is off.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/Dispatcher.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace dsptune;
using namespace dsptune::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RecordingTransport transport;
  static RecordingSink sink;
  if (size == 0) return 0;

  ResetDataModel();
  ResetLinkState();
  LinkState& link = CurrentLink();
  link.zwaveAckDelay = std::chrono::milliseconds(0);
  link.transport = &transport;
  link.sink = &sink;
  const LinkKind kind = data[0] & 1 ? LinkKind::Network : LinkKind::Usb;
  const bool queued = data[0] & 2;
  const bool connected = !(data[0] & 4);
  link.kind = kind;
  link.queuedSendMode = queued;
  link.connected = connected;
  transport.Take();
  sink.Take();

  std::size_t pos = 1;
  for (int count = 0; pos < size && count < 64; ++count) {
    const std::size_t n = std::min<std::size_t>(data[pos], size - pos - 1);
    // A copy of exactly the packet's size, so that a read past its end is caught.
    const Bytes packet(data + pos + 1, data + pos + 1 + n);
    pos += 1 + n;

    const State before = State::Take();
    link.replyEvent.Reset();
    DispatchPacket(packet);
    Expect(link.replyEvent.Wait(std::chrono::milliseconds(0)), "a sender was left waiting for a reply", packet);
    const State after = State::Take();
    CheckDispatchEffects(before, after, packet);
    CheckNotifications(before, packet, sink.Take());

    std::vector<Sent> expected;
    if (AcknowledgesZWave(packet) && connected) expected.push_back(ZWaveAck(kind, queued));
    Expect(transport.Take() == expected, "sent something other than the one Z-Wave acknowledgement", packet);
  }
  return 0;
}
