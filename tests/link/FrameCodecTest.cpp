#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/DebugLog.h"

namespace dsptune {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---------------------------------------------------------------------------------------
// Encoders

TEST(FrameCodecEncode, ChecksumStartsFromFFAndCoversEveryByte) {
  EXPECT_EQ(FrameChecksum(Bytes{}), 0xFF);
  EXPECT_EQ(FrameChecksum(Bytes{0x03, 0x81, 0x7F}), 0x02);
  EXPECT_EQ(FrameChecksum(Bytes{0x03, 0x80, 0x06}), 0x7A);
}

TEST(FrameCodecEncode, EncodeFrameKnownFrames) {
  EXPECT_EQ(EncodeFrame(Bytes{0x81, 0x7F}), (Bytes{0x55, 0x03, 0x81, 0x7F, 0x02}));
  EXPECT_EQ(EncodeFrame(WrapZWave(Bytes{kZWaveAck}, LinkKind::Network)),
            (Bytes{0x55, 0x03, 0x80, 0x06, 0x7A}));
}

TEST(FrameCodecEncode, EncodeFramePayloadBounds) {
  struct Case {
    std::size_t payloadSize;
    bool encodes;
  };
  for (const Case c : {Case{0, false}, Case{1, true}, Case{60, true}, Case{254, true},
                       Case{255, false}, Case{300, false}}) {
    SCOPED_TRACE(c.payloadSize);
    Bytes payload(c.payloadSize);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes frame = EncodeFrame(payload);
    if (!c.encodes) {
      EXPECT_TRUE(frame.empty());
      continue;
    }
    ASSERT_EQ(frame.size(), c.payloadSize + 3);
    EXPECT_EQ(frame[0], kFrameStart);
    EXPECT_EQ(frame[1], c.payloadSize + 1);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 2));
    EXPECT_EQ(frame.back(), FrameChecksum(std::span(frame).subspan(1, c.payloadSize + 1)));
  }
}

TEST(FrameCodecEncode, EncodeReportPadsOrCutsTo61Bytes) {
  struct Case {
    const char* name;
    std::size_t packetSize;
  };
  for (const Case c : {Case{"empty", 0}, Case{"one byte", 1}, Case{"full", 60}, Case{"too long", 70}}) {
    SCOPED_TRACE(c.name);
    Bytes packet(c.packetSize);
    for (std::size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<std::uint8_t>(0x7F - i);
    const auto report = EncodeReport(packet);
    static_assert(std::tuple_size_v<decltype(report)> == 61);
    EXPECT_EQ(report[0], kReportId);
    for (std::size_t i = 1; i < report.size(); ++i) {
      const std::uint8_t expected = i - 1 < packet.size() ? packet[i - 1] : 0;
      ASSERT_EQ(report[i], expected) << "byte " << i;
    }
  }
}

TEST(FrameCodecEncode, WrapZWave) {
  struct Case {
    const char* name;
    std::size_t size;  // of the Z-Wave bytes, all 0x06
    LinkKind kind;
    Bytes expectedHead;  // empty: nothing may be built
  };
  const Case cases[] = {
      {"ack on USB", 1, LinkKind::Usb, {0x12, 0x01, 0x06}},
      {"ack on network", 1, LinkKind::Network, {0x80, 0x06}},
      {"largest USB", 58, LinkKind::Usb, {0x12, 58}},
      {"too long for a report", 59, LinkKind::Usb, {}},
      {"largest network", 253, LinkKind::Network, {0x80}},
      {"too long for a frame", 254, LinkKind::Network, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes wrapped = WrapZWave(Bytes(c.size, kZWaveAck), c.kind);
    if (c.expectedHead.empty()) {
      EXPECT_TRUE(wrapped.empty());
      continue;
    }
    const std::size_t head = c.kind == LinkKind::Usb ? 2 : 1;
    ASSERT_EQ(wrapped.size(), c.size + head);
    EXPECT_TRUE(std::equal(c.expectedHead.begin(), c.expectedHead.end(), wrapped.begin()));
    EXPECT_TRUE(std::all_of(wrapped.begin() + head, wrapped.end(), [](auto b) { return b == kZWaveAck; }));
  }
  EXPECT_EQ(EncodeReport(WrapZWave(Bytes{kZWaveAck}, LinkKind::Usb))[3], kZWaveAck);
}

// ---------------------------------------------------------------------------------------
// Assembler

// Records everything the assembler reports, and the diagnostic log, for one test.
class FrameAssemblerTest : public ::testing::Test {
 protected:
  FrameAssemblerTest()
      : assembler_({[this](std::span<const std::uint8_t> p) { packets_.emplace_back(p.begin(), p.end()); },
                    [this] { ++goodFrames_; }, [this] { ++trailingParsed_; }, [this] { ++garbled_; }}) {
    previousSink_ = SetDebugLogSink([this](std::string_view line) { log_.emplace_back(line); });
  }
  ~FrameAssemblerTest() override { SetDebugLogSink(std::move(previousSink_)); }

  void Feed(const Bytes& bytes) { assembler_.FeedReceivedBytes(bytes); }

  std::size_t ChecksumErrors() const {
    return static_cast<std::size_t>(std::count(log_.begin(), log_.end(), "ProcessRxBuf Checksum error\n"));
  }

  FrameAssembler assembler_;
  std::vector<Bytes> packets_;
  int goodFrames_ = 0;
  int trailingParsed_ = 0;
  int garbled_ = 0;
  std::vector<std::string> log_;
  DebugLogSink previousSink_;
};

const Bytes kFrameA = {0x55, 0x03, 0x81, 0x7F, 0x02};                          // payload 81 7F
const Bytes kFrameB = EncodeFrame(Bytes{0x81, 0x0E, 0x01, 0x55, 0x55, 0x24});  // 0x55 inside
const Bytes kZWaveAckFrame = {0x55, 0x03, 0x80, 0x06, 0x7A};

Bytes BadChecksum(Bytes frame) {
  frame.back() ^= 0x01;
  return frame;
}

TEST_F(FrameAssemblerTest, DeliversFramesFromReads) {
  struct Case {
    const char* name;
    std::vector<Bytes> reads;
    std::vector<Bytes> payloads;
    std::size_t checksumErrors;
  };
  const Bytes payloadA = {0x81, 0x7F};
  const Bytes payloadB(kFrameB.begin() + 2, kFrameB.end() - 1);
  const Bytes payloadAck = {0x80, 0x06};
  const Case cases[] = {
      {"one frame", {kFrameA}, {payloadA}, 0},
      {"Z-Wave acknowledgement", {kZWaveAckFrame}, {payloadAck}, 0},
      {"two frames in one read, in order", {Concat({kFrameB, kFrameA})}, {payloadB, payloadA}, 0},
      {"frame split over reads", {Bytes(kFrameB.begin(), kFrameB.begin() + 3), Bytes(kFrameB.begin() + 3, kFrameB.end())},
       {payloadB}, 0},
      {"frame tail and next frame in one read",
       {Bytes(kFrameA.begin(), kFrameA.begin() + 1), Concat({Bytes(kFrameA.begin() + 1, kFrameA.end()), kFrameB})},
       {payloadA, payloadB}, 0},
      {"bad checksum then good frame", {Concat({BadChecksum(kFrameB), kFrameA})}, {payloadA}, 1},
      {"good frame then bad checksum", {Concat({kFrameA, BadChecksum(kFrameA)})}, {payloadA}, 1},
      // Stray bytes in front of a frame are dropped rather than left to block the buffer.
      {"garbage then frame, one read", {Concat({Bytes{0x24, 0x48, 0x42, 0x00, 0x13}, kFrameA})}, {payloadA}, 0},
      {"garbage read then frame read", {Bytes{0x24, 0x48, 0x42, 0x21}, kFrameA}, {payloadA}, 0},
      {"garbage between frames", {Concat({kFrameA, Bytes{0x00, 0xFF}, kFrameB})}, {payloadA, payloadB}, 0},
      {"nothing but garbage", {Bytes(300, 0x24)}, {}, 0},
      // A length byte below 2 costs only the start byte.
      {"L = 0 then frame", {Concat({Bytes{0x55, 0x00}, kFrameA})}, {payloadA}, 0},
      {"L = 1 with matching checksum then frame", {Concat({Bytes{0x55, 0x01, 0xFE}, kFrameA})}, {payloadA}, 0},
      {"L = 1 whose checksum byte is a frame start", {Concat({Bytes{0x55, 0x01}, kFrameA})}, {payloadA}, 0},
      {"L = 0 at end of read, frame in next read", {Bytes{0x55}, Bytes{0x00}, kFrameA}, {payloadA}, 0},
      {"smallest frame (destination byte only)", {EncodeFrame(Bytes{0x81})}, {Bytes{0x81}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    packets_.clear();
    log_.clear();
    goodFrames_ = 0;
    assembler_.Reset();
    for (const Bytes& read : c.reads) Feed(read);
    EXPECT_EQ(packets_, c.payloads);
    EXPECT_EQ(goodFrames_, static_cast<int>(c.payloads.size()));
    EXPECT_EQ(ChecksumErrors(), c.checksumErrors);
    EXPECT_EQ(assembler_.Fill(), 0u);
  }
}

// The link tells a garbled stream from a silent device by these reports.
TEST_F(FrameAssemblerTest, ReportsThrownAwayBytesAsGarbledAndNothingElse) {
  struct Case {
    const char* name;
    std::vector<Bytes> reads;
    bool garbled;
  };
  const Case cases[] = {
      {"good frames", {Concat({kFrameA, kFrameB})}, false},
      {"frame split over reads", {Bytes(kFrameB.begin(), kFrameB.begin() + 3), Bytes(kFrameB.begin() + 3, kFrameB.end())},
       false},
      {"bad checksum", {BadChecksum(kFrameA)}, true},
      {"stray bytes before a frame", {Concat({Bytes{0x00, 0x13}, kFrameA})}, true},
      {"length byte below 2", {Concat({Bytes{0x55, 0x00}, kFrameA})}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    garbled_ = 0;
    assembler_.Reset();
    for (const Bytes& read : c.reads) Feed(read);
    EXPECT_EQ(garbled_ > 0, c.garbled);
  }
}

TEST_F(FrameAssemblerTest, FrameArrivingOneBytePerReadIsDeliveredOnItsLastByte) {
  for (std::size_t i = 0; i < kFrameB.size(); ++i) {
    ASSERT_TRUE(packets_.empty()) << "delivered early, before byte " << i;
    Feed(Bytes{kFrameB[i]});
    EXPECT_EQ(assembler_.Fill(), i + 1 < kFrameB.size() ? i + 1 : 0);
  }
  ASSERT_EQ(packets_.size(), 1u);
  EXPECT_EQ(packets_[0], Bytes(kFrameB.begin() + 2, kFrameB.end() - 1));
  EXPECT_EQ(goodFrames_, 1);
}

TEST_F(FrameAssemblerTest, TrailingParsedFiresOnlyWhenBytesFollowAFrame) {
  struct Case {
    const char* name;
    Bytes read;
    int expected;
  };
  const Case cases[] = {
      {"lone frame", kFrameA, 0},
      {"lone frame with bad checksum", BadChecksum(kFrameA), 0},
      {"garbage then frame", Concat({Bytes{0x01}, kFrameA}), 0},
      {"two frames", Concat({kFrameA, kFrameB}), 1},
      {"bad frame then good frame", Concat({BadChecksum(kFrameA), kFrameB}), 1},
      {"frame then start of the next", Concat({kFrameA, Bytes{0x55, 0x03}}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    assembler_.Reset();
    trailingParsed_ = 0;
    Feed(c.read);
    EXPECT_EQ(trailingParsed_, c.expected);
  }
}

TEST_F(FrameAssemblerTest, ResetDropsAnIncompleteFrame) {
  Feed(Bytes(kFrameB.begin(), kFrameB.begin() + 4));
  EXPECT_EQ(assembler_.Fill(), 4u);
  assembler_.Reset();
  EXPECT_EQ(assembler_.Fill(), 0u);
  Feed(Bytes(kFrameB.begin() + 7, kFrameB.end()));  // its tail, past the 0x55 payload bytes
  Feed(kFrameA);
  ASSERT_EQ(packets_.size(), 1u);
  EXPECT_EQ(packets_[0], (Bytes{0x81, 0x7F}));
}

// Reads that do not fit beside a held-back partial frame, and single reads longer than
// the buffer, must lose nothing.
TEST_F(FrameAssemblerTest, ReadsLargerThanTheFreeSpaceLoseNoFrame) {
  const Bytes big = EncodeFrame(Bytes(254, 0x81));  // 257 bytes, the largest frame
  Bytes stream;
  for (int i = 0; i < 5; ++i) stream = Concat({stream, big, kFrameA});
  Feed(Bytes(stream.begin(), stream.begin() + 100));
  Feed(Bytes(stream.begin() + 100, stream.begin() + 350));  // 100 held + 250 > 260
  Feed(Bytes(stream.begin() + 350, stream.end()));          // one read of ~960 bytes
  ASSERT_EQ(packets_.size(), 10u);
  for (std::size_t i = 0; i < packets_.size(); ++i) EXPECT_EQ(packets_[i].size(), i % 2 == 0 ? 254u : 2u);
  EXPECT_EQ(assembler_.Fill(), 0u);
}

// Random frames with random garbage between them (garbage never contains 0x55, so it can
// never look like a frame start), cut into random reads: every frame must come out once,
// in order.
TEST_F(FrameAssemblerTest, RandomFramesAmongGarbageInRandomReads) {
  std::mt19937 rng(20240611);
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    packets_.clear();
    assembler_.Reset();
    std::vector<Bytes> expected;
    Bytes stream;
    for (int f = 0; f < 200; ++f) {
      for (int g = uniform(0, 2) == 0 ? uniform(1, 40) : 0; g > 0; --g) {
        std::uint8_t b = static_cast<std::uint8_t>(uniform(0, 254));
        stream.push_back(b == kFrameStart ? 0xFF : b);
      }
      // Mostly packet-sized payloads, some up to the largest frame.
      Bytes payload(static_cast<std::size_t>(uniform(0, 9) == 0 ? uniform(1, 254) : uniform(1, 61)));
      for (auto& b : payload) b = static_cast<std::uint8_t>(uniform(0, 255));
      const Bytes frame = EncodeFrame(payload);
      stream.insert(stream.end(), frame.begin(), frame.end());
      expected.push_back(std::move(payload));
    }
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(uniform(1, 300)), stream.size() - at);
      assembler_.FeedReceivedBytes(std::span(stream).subspan(at, n));
      at += n;
    }
    ASSERT_EQ(packets_.size(), expected.size());
    EXPECT_EQ(packets_, expected);
    EXPECT_EQ(assembler_.Fill(), 0u);
  }
  EXPECT_EQ(ChecksumErrors(), 0u);
}

// Whatever arrives, the assembler must stay inside its buffer (this runs under the
// sanitizers) and never hand over a payload a frame could not carry.
TEST_F(FrameAssemblerTest, RandomBytesNeverBreakTheAssembler) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255), chunk(1, 300);
  // Bias towards 0x55 and small lengths so the frame paths are exercised, not just skipping.
  std::uniform_int_distribution<int> pick(0, 7);
  Bytes stream(200000);
  for (auto& b : stream) {
    const int p = pick(rng);
    b = static_cast<std::uint8_t>(p == 0 ? kFrameStart : p == 1 ? byte(rng) % 4 : byte(rng));
  }
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(chunk(rng)), stream.size() - at);
    assembler_.FeedReceivedBytes(std::span(stream).subspan(at, n));
    at += n;
    ASSERT_LE(assembler_.Fill(), kAssemblyBufferSize);
  }
  EXPECT_EQ(goodFrames_, static_cast<int>(packets_.size()));
  for (const Bytes& p : packets_) {
    ASSERT_GE(p.size(), 1u);
    ASSERT_LE(p.size(), kMaxFramePayload);
  }
}

}  // namespace
}  // namespace dsptune
