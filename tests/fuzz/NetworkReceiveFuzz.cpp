// The network link's receive step, NetworkStreamSplitter, driven directly: the heartbeat
// "$HB$" and the "ISCONNECTED" notice taken out of the byte stream wherever a read starts
// or a frame ends, texts split over reads held back and completed, frames handed on. The
// input builds a stream and chooses the reads it is cut into.
//
// The stream is a sequence of pieces: frames carrying answer 0x05, heartbeats, notices,
// cut-off beginnings of either text, and also stray bytes and frames with any answer.
// However the stream is cut into reads:
//  - with neither stray bytes, other frames nor a text inside a frame, exactly the
//    frames, heartbeats and notices of the stream are reported, in stream order;
//  - in any stream no more heartbeats or notices are reported than the stream holds
//    texts, no more frames than it holds start bytes, every frame reported carries a
//    payload a frame can hold, and no more than a text's beginning is held back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/NetworkStreamSplitter.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace dsptune;
using namespace dsptune::fuzz;

namespace {

constexpr std::string_view kHeartbeat = kNetworkHeartbeat;
constexpr std::string_view kNotice = kNetworkBusyNotice;

// One reported item: a frame's payload, or a text (empty payload).
struct Item {
  enum Kind { Frame, Heartbeat, Notice } kind;
  Bytes payload;
  bool operator==(const Item&) const = default;
};

std::size_t Occurrences(std::span<const std::uint8_t> bytes, std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + text.size() <= bytes.size(); ++i)
    n += std::equal(text.begin(), text.end(), bytes.begin() + long(i),
                    [](char c, std::uint8_t b) { return std::uint8_t(c) == b; });
  return n;
}

struct Stream {
  Bytes bytes;
  std::vector<Item> items;  // frames of answer 0x05, heartbeats and notices, in order
  std::size_t heartbeats = 0, notices = 0;
  bool exact = true;  // `items` must come out exactly
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
        s.items.push_back({Item::Frame, payload});
        break;
      }
      case 1:
        Append(s.bytes, kHeartbeat);
        s.items.push_back({Item::Heartbeat, {}});
        ++s.heartbeats;
        break;
      case 2:
        Append(s.bytes, kNotice);
        s.items.push_back({Item::Notice, {}});
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::size_t> reads(input.ConsumeIntegralInRange(1, 6));
  for (std::size_t& n : reads) n = input.ConsumeIntegralInRange<std::size_t>(1, 300);
  const Stream stream = BuildStream(input);

  std::vector<Item> found;
  NetworkStreamSplitter splitter({[&found](std::span<const std::uint8_t> payload) {
                                    found.push_back({Item::Frame, Bytes(payload.begin(), payload.end())});
                                  },
                                  nullptr, nullptr, [&found] { found.push_back({Item::Heartbeat, {}}); },
                                  [&found] { found.push_back({Item::Notice, {}}); }, nullptr});
  std::span<const std::uint8_t> rest(stream.bytes);
  for (std::size_t i = 0; !rest.empty(); ++i) {
    const std::size_t n = std::min(reads[i % reads.size()], rest.size());
    splitter.Feed(rest.first(n));
    rest = rest.subspan(n);
    Expect(splitter.HeldBytes() < kNotice.size(), "more than a text's beginning held back", stream.bytes);
  }

  if (stream.exact) {
    Expect(found == stream.items, "the frames and texts found differ from the stream's", stream.bytes);
    return 0;
  }
  const auto count = [&found](Item::Kind kind) {
    return std::size_t(std::count_if(found.begin(), found.end(), [kind](const Item& f) { return f.kind == kind; }));
  };
  Expect(count(Item::Heartbeat) <= Occurrences(stream.bytes, kHeartbeat), "more heartbeats than the stream holds",
         stream.bytes);
  Expect(count(Item::Notice) <= Occurrences(stream.bytes, kNotice), "more notices than the stream holds",
         stream.bytes);
  Expect(count(Item::Frame) <= std::size_t(std::count(stream.bytes.begin(), stream.bytes.end(), kFrameStart)),
         "more frames than start bytes", stream.bytes);
  for (const Item& f : found)
    if (f.kind == Item::Frame)
      Expect(!f.payload.empty() && f.payload.size() <= kMaxFramePayload, "a payload no frame can hold", f.payload);
  return 0;
}
