#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "link/FrameCodec.h"

namespace {

using dsptune::EncodeFrame;
using dsptune::FrameAssembler;

// About 64 KiB of back-to-back frames with payloads of 2..60 bytes, as the device sends
// them, plus the read sizes a socket might hand over (1..260 bytes).
struct Stream {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> reads;
  std::size_t frames = 0;
};

const Stream& MixedStream() {
  static const Stream stream = [] {
    Stream s;
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> size(2, 60), value(0, 255), read(1, 260);
    while (s.bytes.size() < 64 * 1024) {
      std::vector<std::uint8_t> payload(static_cast<std::size_t>(size(rng)));
      payload[0] = dsptune::kDestController;
      for (std::size_t i = 1; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(value(rng));
      const auto frame = EncodeFrame(payload);
      s.bytes.insert(s.bytes.end(), frame.begin(), frame.end());
      ++s.frames;
    }
    for (std::size_t total = 0; total < s.bytes.size();) {
      const auto n = std::min(static_cast<std::size_t>(read(rng)), s.bytes.size() - total);
      s.reads.push_back(n);
      total += n;
    }
    return s;
  }();
  return stream;
}

void BM_FeedReceivedBytes(benchmark::State& state) {
  const Stream& stream = MixedStream();
  std::size_t delivered = 0;
  FrameAssembler::Events events;
  events.packet = [&delivered](std::span<const std::uint8_t> p) { delivered += p.size(); };
  FrameAssembler assembler(events);
  for (auto _ : state) {
    std::size_t at = 0;
    for (std::size_t n : stream.reads) {
      assembler.FeedReceivedBytes(std::span(stream.bytes).subspan(at, n));
      at += n;
    }
    benchmark::DoNotOptimize(delivered);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.bytes.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * stream.frames));
}
BENCHMARK(BM_FeedReceivedBytes);

// Argument: payload size (a short command, a full 61-byte packet, the largest frame).
void BM_EncodeFrame(benchmark::State& state) {
  std::vector<std::uint8_t> payload(static_cast<std::size_t>(state.range(0)), 0x5A);
  payload[0] = dsptune::kDestController;
  for (auto _ : state) {
    auto frame = EncodeFrame(payload);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_EncodeFrame)->Arg(5)->Arg(61)->Arg(254);

}  // namespace
