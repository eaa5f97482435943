// Random packets and random byte streams into the dispatcher. Run in the sanitiser build
// this catches any read or write outside a packet, the image, the live block or a table;
// in every build it checks that each response touches only the state it owns.
#include <gtest/gtest.h>

#include <random>

#include "link/CommandSet.h"
#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "link/TransferLedger.h"
#include "tests/link/RecordingTransport.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kKnownCodes[] = {0x05, 0x06, 0x07, 0x09, 0x0A, 0x0E, 0x12, 0x30, 0x31, 0x32,
                                        0x60, 0x62, 0x7E, 0x7F, 0x80, 0x81, 0x86, 0x92};
// Offsets where the chunk and live-block rules change, and their neighbours.
constexpr int kEdgeOffsets[] = {0, 1, 700, 1351, 1357, 1358, 1359, 1389, 1390, 1391, 1409, 1410,
                                1411, 1414, 1421, 1422, 3460, 3500, 3517, 3518, 3519, 0x7FFF, 0xFFFF};

class PacketGenerator {
 public:
  explicit PacketGenerator(std::uint32_t seed) : random_(seed) {}

  std::vector<std::uint8_t> Next() {
    // Mostly short packets, where the bounds are; sometimes anything up to 300 bytes.
    const std::size_t size = Chance(50) ? Uniform(0, 16) : Uniform(0, 300);
    std::vector<std::uint8_t> p(size);
    for (auto& b : p) b = Byte();
    if (size > 1) p[1] = Chance(85) ? kKnownCodes[Uniform(0, std::size(kKnownCodes) - 1)] : Byte();
    if (size > 3 && Chance(60)) {
      const int offset = Chance(70) ? kEdgeOffsets[Uniform(0, std::size(kEdgeOffsets) - 1)] : int(Uniform(0, 0xFFFF));
      p[2] = std::uint8_t(offset >> 8);
      p[3] = std::uint8_t(offset);
    }
    if (size > 4 && Chance(50)) p[4] = std::uint8_t(Chance(50) ? size - 5 : Uniform(0, 64));
    if (size > 6 && Chance(10)) p[5] = p[6] = 0xFF;
    return p;
  }

  std::size_t Uniform(std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random_);
  }
  bool Chance(int percent) { return Uniform(0, 99) < std::size_t(percent); }
  std::uint8_t Byte() { return std::uint8_t(Uniform(0, 255)); }

 private:
  std::mt19937 random_;
};

// Everything a response may change, taken as a copy.
struct Observed {
  ParameterImageBytes image;
  LiveBlockBytes live;
  DeviceIdentity identity;
  StatusBlock status;
  RemoteCodeTable remote;
  MachineSettings device, edited;

  static Observed Take() {
    return {ImageSnapshot(),        LiveBlockSnapshot(),    IdentitySnapshot(),     StatusBlockSnapshot(),
            RemoteTableSnapshot(),  DeviceSettingsSnapshot(), EditedSettingsSnapshot()};
  }
};

bool SameIdentity(const DeviceIdentity& a, const DeviceIdentity& b) {
  return a.protocolCode == b.protocolCode && a.modelName == b.modelName && a.mcuVersion == b.mcuVersion &&
         a.dspVersion == b.dspVersion;
}

class DispatcherFuzzTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  DispatcherFuzzTest() {
    transport.autoReply = false;
    CurrentLink().readJobStarter = [this] { ++readJobs; };
  }
  int readJobs = 0;
};

TEST_F(DispatcherFuzzTest, RandomPacketsTouchOnlyTheStateTheirCodeOwns) {
  struct Run {
    std::uint32_t seed;
    LinkKind kind;
    bool queued;
  };
  for (const Run run : {Run{1, LinkKind::Usb, false}, Run{20240611, LinkKind::Network, false},
                        Run{977, LinkKind::Network, true}}) {
    SCOPED_TRACE(testing::Message() << "seed " << run.seed);
    ResetDataModel();
    FreshLink();
    CurrentLink().readJobStarter = [this] { ++readJobs; };
    UseLink(run.kind, true, run.queued);
    transport.Clear();
    const std::size_t sinkCallsBefore = sink.Calls().size();
    readJobs = 0;
    int expectedReadJobs = 0;
    std::size_t expectedAcks = 0;
    const std::vector<std::uint8_t> ack =
        run.kind == LinkKind::Usb ? std::vector<std::uint8_t>{0x12, 0x01, 0x06} : std::vector<std::uint8_t>{0x80, 0x06};

    PacketGenerator generate(run.seed);
    Observed before = Observed::Take();
    for (int i = 0; i < 10000; ++i) {
      const std::vector<std::uint8_t> packet = generate.Next();
      const int code = packet.size() > 1 ? packet[1] : -1;
      CurrentLink().replyEvent.Reset();
      DispatchPacket(packet);
      ASSERT_TRUE(CurrentLink().replyEvent.Wait(0ms)) << "packet " << i << " left the sender waiting";

      const Observed after = Observed::Take();
      ASSERT_TRUE(code == 0x30 || after.image == before.image) << "packet " << i << ", code " << code;
      ASSERT_TRUE(code == 0x86 || after.live == before.live) << "packet " << i << ", code " << code;
      ASSERT_TRUE(code == 0x7E || code == 0x7F || code == 0x80 || code == 0x81 ||
                  SameIdentity(after.identity, before.identity))
          << "packet " << i << ", code " << code;
      ASSERT_TRUE(code == 0x0E || after.status == before.status) << "packet " << i << ", code " << code;
      ASSERT_TRUE(code == 0x60 || code == 0x62 || after.remote == before.remote) << "packet " << i;
      ASSERT_TRUE(code == 0x92 || (after.device == before.device && after.edited == before.edited)) << "packet " << i;
      ASSERT_EQ(after.identity.modelName.back(), '\0');
      ASSERT_EQ(after.identity.mcuVersion.back(), '\0');
      ASSERT_EQ(after.identity.dspVersion.back(), '\0');
      before = after;

      expectedReadJobs += code == 0x05 || code == 0x06;
      expectedAcks += code == 0x12 && packet.size() > 3 && packet[3] != kZWaveAck;
    }
    EXPECT_EQ(readJobs, expectedReadJobs);
    const auto calls = transport.Calls();
    EXPECT_EQ(calls.size(), expectedAcks);
    for (const auto& call : calls) ASSERT_EQ(call.bytes, ack) << "only acknowledgements are sent";
    const auto sinkCalls = sink.Calls();
    int errorBoxes = 0;
    for (std::size_t c = sinkCallsBefore; c < sinkCalls.size(); ++c)
      errorBoxes += sinkCalls[c].kind == test::SinkCall::ParameterError;
    EXPECT_LE(errorBoxes, 1) << "a fresh link state shows one parameter error at most";
  }
}

// Random byte streams, cut into random reads, through the assembler into the dispatcher.
TEST_F(DispatcherFuzzTest, RandomStreamsThroughTheFrameAssembler) {
  UseLink(LinkKind::Network);
  std::size_t delivered = 0;
  FrameAssembler assembler({[&](std::span<const std::uint8_t> payload) {
                              ++delivered;
                              // a copy of exactly the payload's size, so an over-read is caught
                              DispatchPacket(std::vector<std::uint8_t>(payload.begin(), payload.end()));
                            },
                            {},
                            {},
                            {}});
  PacketGenerator generate(4242);
  std::vector<std::uint8_t> stream;
  std::size_t frames = 0;
  while (stream.size() < 200000) {
    if (generate.Chance(70)) {
      std::vector<std::uint8_t> payload = generate.Next();
      if (payload.empty() || payload.size() > kMaxFramePayload) continue;
      const auto frame = EncodeFrame(payload);
      stream.insert(stream.end(), frame.begin(), frame.end());
      ++frames;
    } else {
      for (std::size_t n = generate.Uniform(1, 40); n > 0; --n) stream.push_back(generate.Byte());
    }
  }
  for (std::size_t pos = 0; pos < stream.size();) {
    const std::size_t n = std::min(generate.Uniform(1, 300), stream.size() - pos);
    assembler.FeedReceivedBytes(std::span(stream).subspan(pos, n));
    ASSERT_LE(assembler.Fill(), kAssemblyBufferSize);
    pos += n;
  }
  EXPECT_GT(delivered, frames / 4) << "the stream hardly reached the dispatcher";
}

// The image read job's traffic: every 0x30 chunk of a whole image as network frames, cut
// into random reads, ends up as that image in the read's staging copy.
TEST_F(DispatcherFuzzTest, ImageChunksSplitAcrossReadsRebuildTheImage) {
  UseLink(LinkKind::Network);
  BeginLedger(LedgerMode::Read);
  FrameAssembler assembler({[](std::span<const std::uint8_t> payload) {
                              DispatchPacket(std::vector<std::uint8_t>(payload.begin(), payload.end()));
                            },
                            {},
                            {},
                            {}});
  PacketGenerator generate(63);
  ParameterImageBytes image;
  for (auto& b : image) b = generate.Byte();
  std::vector<std::uint8_t> stream;
  for (int offset = 0; offset < kImageSize; offset += 56) {
    const int length = std::min(56, kImageSize - offset);
    std::vector<std::uint8_t> payload{kDestController, kCmdReadImage, std::uint8_t(offset >> 8), std::uint8_t(offset),
                                      std::uint8_t(length)};
    payload.insert(payload.end(), image.begin() + offset, image.begin() + offset + length);
    const auto frame = EncodeFrame(payload);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  for (std::size_t pos = 0; pos < stream.size();) {
    const std::size_t n = std::min(generate.Uniform(1, 260), stream.size() - pos);
    assembler.FeedReceivedBytes(std::span(stream).subspan(pos, n));
    pos += n;
  }
  EXPECT_TRUE(ChunksAccounted().all());
  EXPECT_EQ(StagedImage(), image);
  BeginLedger(LedgerMode::Idle);
}

}  // namespace
}  // namespace dsptune
