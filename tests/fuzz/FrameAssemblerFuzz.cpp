// A TCP byte stream cut into arbitrary reads, through the frame assembler. The first
// input byte says how many read sizes follow, those bytes give the sizes (used in turn),
// the rest is the stream. Beyond "no crash" it checks:
//  - every payload handed on is a frame of the stream with a valid checksum whose length
//    byte matches the payload, and every such frame is handed on once, in order (checked
//    against a plain reading of the format and of the assembler's resynchronisation
//    rules, written out again here; a deliberate change of those rules changes both);
//  - how the stream is cut does not matter: the chosen reads, one byte at a time and one
//    single read find the same frames;
//  - at most one incomplete frame is held back, the one the plain reading ends in.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/FrameCodec.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using dsptune::FrameAssembler;
using dsptune::fuzz::Bytes;
using dsptune::fuzz::Fail;

struct Result {
  std::vector<Bytes> payloads;
  std::size_t held = 0;
};

// The format as FrameCodec.h describes it: 0x55, L, L - 1 payload bytes, checksum over L
// and the payload; bytes before a 0x55 are dropped, a length below 2 costs only its start
// byte, and a frame with a wrong checksum is dropped whole (the network link feeds the
// assembler one frame at a time, relying on it being empty after each).
Result PlainReading(std::span<const std::uint8_t> s) {
  Result r;
  std::size_t pos = 0;
  while (pos < s.size()) {
    if (s[pos] != dsptune::kFrameStart) {
      ++pos;
      continue;
    }
    if (s.size() - pos < 2) break;
    const std::size_t length = s[pos + 1];
    if (length < 2) {
      ++pos;
      continue;
    }
    if (s.size() - pos < length + 2) break;
    std::uint8_t sum = 0xFF;
    for (std::size_t i = pos + 1; i <= pos + length; ++i) sum ^= s[i];
    if (sum == s[pos + length + 1]) r.payloads.emplace_back(s.begin() + long(pos) + 2, s.begin() + long(pos + length) + 1);
    pos += length + 2;
  }
  r.held = s.size() - pos;
  return r;
}

// Feeds `stream` in reads of the given sizes (used in turn).
Result Assemble(std::span<const std::uint8_t> stream, std::span<const std::size_t> sizes) {
  Result r;
  std::size_t goodFrames = 0;
  FrameAssembler::Events events;
  events.packet = [&](std::span<const std::uint8_t> payload) {
    if (payload.empty() || payload.size() > dsptune::kMaxFramePayload) Fail("payload size outside 1..254");
    if (goodFrames != r.payloads.size()) Fail("goodFrame not reported once after each payload");
    r.payloads.emplace_back(payload.begin(), payload.end());
  };
  events.goodFrame = [&] {
    ++goodFrames;
    if (goodFrames != r.payloads.size()) Fail("goodFrame without a payload");
  };
  FrameAssembler assembler(std::move(events));
  std::size_t next = 0;
  while (!stream.empty()) {
    const std::size_t n = std::min(sizes[next++ % sizes.size()], stream.size());
    assembler.FeedReceivedBytes(stream.first(n));
    stream = stream.subspan(n);
    // The largest frame is 257 bytes, so an incomplete one is at most 256.
    if (assembler.Fill() > 256) Fail("more than one incomplete frame held back");
  }
  if (goodFrames != r.payloads.size()) Fail("goodFrame count differs from the payload count");
  r.held = assembler.Fill();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>((data[0] & 7) + 1, size - 1);
  std::vector<std::size_t> sizes;
  for (std::size_t i = 1; i <= count; ++i) {
    // Mostly short reads, where frames are split; some longer than the assembler's buffer.
    const std::uint8_t b = data[i];
    sizes.push_back(b < 0xC0 ? b + 1u : (b - 0xC0u + 1u) * 32u);
  }
  if (sizes.empty()) sizes.push_back(1);
  const std::span<const std::uint8_t> stream(data + 1 + count, size - 1 - count);

  const Result expected = PlainReading(stream);
  const Result chosen = Assemble(stream, sizes);
  if (chosen.payloads != expected.payloads) Fail("frames differ from the plain reading of the format");
  if (chosen.held != expected.held) Fail("held-back bytes differ from the incomplete frame at the end");

  const std::size_t byteByByte[] = {1};
  const std::size_t whole[] = {stream.empty() ? 1 : stream.size()};
  for (const Result& other : {Assemble(stream, byteByByte), Assemble(stream, whole)}) {
    if (other.payloads != chosen.payloads || other.held != chosen.held) Fail("result depends on the read sizes");
  }
  return 0;
}
