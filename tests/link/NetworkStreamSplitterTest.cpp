#include "link/NetworkStreamSplitter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dsptune {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kFrameA = EncodeFrame(Bytes{0x81, 0x05, 0x01});
const Bytes kFrameB = EncodeFrame(Bytes{0x81, 0x30, 0x00, 0x64, 0x02, 0x11, 0x22});
const Bytes kFrameC = EncodeFrame(Bytes{0x80, 0x12, 0x05, 0x01, 0x03, 0x00, 0x15, 0xE9});
const Bytes kHeartbeat = Text("$HB$");
const Bytes kNotice = Text("ISCONNECTED");
const Bytes kStray = {0xA5, 0x00, 0x3C};

Bytes WrongChecksum(Bytes frame) {
  frame.back() ^= 0xFF;
  return frame;
}

// What the splitter reported, in order: "frame <hex payload>", "heartbeat", "notice".
struct Recorder {
  std::vector<std::string> events;
  int garbled = 0;
  int goodFrames = 0;
  bool stopAfterFrame = false;

  NetworkStreamSplitter::Events Events() {
    return {[this](std::span<const std::uint8_t> payload) {
              std::string line = "frame";
              for (std::uint8_t b : payload) line += " " + std::to_string(b);
              events.push_back(line);
            },
            [this] { ++goodFrames; }, [this] { ++garbled; }, [this] { events.push_back("heartbeat"); },
            [this] { events.push_back("notice"); }, [this] { return stopAfterFrame && goodFrames > 0; }};
  }
};

std::string FrameEvent(const Bytes& frame) {
  std::string line = "frame";
  for (std::size_t i = 2; i + 1 < frame.size(); ++i) line += " " + std::to_string(frame[i]);
  return line;
}

// The stream fed in reads that end at `cuts` (ascending offsets inside the stream).
Recorder Split(const Bytes& stream, const std::vector<std::size_t>& cuts) {
  Recorder r;
  NetworkStreamSplitter splitter(r.Events());
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    splitter.Feed(std::span(stream).subspan(from, cut - from));
    from = cut;
  }
  splitter.Feed(std::span(stream).subspan(from));
  return r;
}

// Whole, byte by byte, cut once at every offset, and in seeded random reads.
std::vector<std::vector<std::size_t>> Cuttings(std::size_t size) {
  std::vector<std::vector<std::size_t>> out{{}};
  std::vector<std::size_t> bytes;
  for (std::size_t i = 1; i < size; ++i) {
    bytes.push_back(i);
    out.push_back({i});
  }
  out.push_back(bytes);
  std::mt19937 random(24);
  for (int n = 0; n < 40; ++n) {
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1 + random() % 7; at < size; at += 1 + random() % 9) cuts.push_back(at);
    out.push_back(cuts);
  }
  return out;
}

TEST(NetworkStreamSplitter, ReadBoundariesDoNotChangeWhatIsFound) {
  struct Case {
    const char* name;
    Bytes stream;
    std::vector<std::string> events;
    bool garbled;
  };
  const std::string a = FrameEvent(kFrameA), b = FrameEvent(kFrameB), c = FrameEvent(kFrameC);
  const Case cases[] = {
      {"frames back to back", Join({kFrameA, kFrameB, kFrameC}), {a, b, c}, false},
      {"texts before, between and behind frames",
       Join({kHeartbeat, kFrameA, kNotice, kFrameB, kHeartbeat, kHeartbeat, kFrameC, kHeartbeat}),
       {"heartbeat", a, "notice", b, "heartbeat", "heartbeat", c, "heartbeat"},
       false},
      {"stray bytes before and between frames are skipped", Join({kStray, kFrameA, kStray, kStray, kFrameB}),
       {a, b},
       true},
      {"a frame with a wrong checksum is dropped, its neighbours kept",
       Join({kFrameA, WrongChecksum(kFrameB), kHeartbeat, kFrameC}),
       {a, "heartbeat", c},
       true},
      {"a start byte with no room for a payload costs only itself", Join({Bytes{0x55, 0x01}, kFrameA, kNotice}),
       {a, "notice"},
       true},
      {"the beginning of a text that never ends is not reported", Join({kFrameA, Text("ISCONN")}), {a}, false},
  };
  for (const Case& k : cases) {
    for (const std::vector<std::size_t>& cuts : Cuttings(k.stream.size())) {
      std::string where;
      for (std::size_t cut : cuts) where += " " + std::to_string(cut);
      SCOPED_TRACE(std::string(k.name) + ", reads ending at" + where);
      const Recorder r = Split(k.stream, cuts);
      ASSERT_EQ(r.events, k.events);
      ASSERT_EQ(r.garbled > 0, k.garbled);
    }
  }
}

TEST(NetworkStreamSplitter, InsideAFrameOnlyATextOpeningAReadIsTakenOut) {
  // Frame content that spells "$HB$" is data when it comes in the same read as the
  // frame's start ...
  const Bytes spelled = EncodeFrame(Bytes{0x81, 0x85, 0x00, 0x00, 0x04, '$', 'H', 'B', '$'});
  EXPECT_EQ(Split(spelled, {}).events, std::vector<std::string>{FrameEvent(spelled)});
  // ... while a heartbeat the module wrote while a frame was under way opens a read of
  // its own and is taken out, the frame around it kept whole.
  const Bytes stream = Join({Bytes(kFrameB.begin(), kFrameB.begin() + 4), kHeartbeat,
                             Bytes(kFrameB.begin() + 4, kFrameB.end())});
  EXPECT_EQ(Split(stream, {4}).events, (std::vector<std::string>{"heartbeat", FrameEvent(kFrameB)}));
}

TEST(NetworkStreamSplitter, ReportsWhatAReadHeldAndHoldsCutTexts) {
  Recorder r;
  NetworkStreamSplitter splitter(r.Events());
  const Bytes frameThenText = Join({kFrameA, Text("$H")});
  const auto first = splitter.Feed(frameThenText);
  EXPECT_TRUE(first.frameBytes);
  EXPECT_TRUE(first.frameThenMore) << "bytes behind the frame in the same read";
  EXPECT_EQ(splitter.HeldBytes(), 2u);
  const auto second = splitter.Feed(Text("B$"));
  EXPECT_FALSE(second.frameBytes) << "a heartbeat alone is no frame data";
  EXPECT_EQ(splitter.HeldBytes(), 0u);
  EXPECT_FALSE(splitter.Feed(kFrameB).frameThenMore) << "the frame ends the read";
  EXPECT_EQ(r.events, (std::vector<std::string>{FrameEvent(kFrameA), "heartbeat", FrameEvent(kFrameB)}));
}

TEST(NetworkStreamSplitter, StopsWithinAReadOnceTheLinkHasClosed) {
  Recorder r;
  r.stopAfterFrame = true;
  NetworkStreamSplitter splitter(r.Events());
  splitter.Feed(Join({kFrameA, kHeartbeat, kFrameB}));
  EXPECT_EQ(r.events, std::vector<std::string>{FrameEvent(kFrameA)});
}

}  // namespace
}  // namespace dsptune
