// The read and write jobs against the device emulator with each of its faults: either
// the exact image arrives, or the job fails with the cause named and nothing applied,
// and either way within a bounded time.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/DefaultImage.h"
#include "model/ParameterImage.h"
#include "tests/link/RecordingTransport.h"
#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Short enough to keep the matrix quick, long enough for the emulator's answers.
constexpr auto kReplyTimeout = 300ms;
// The slowest failure (a silent device on a link that stays up) costs the identity
// queries and their retries: well under this.
constexpr auto kJobLimit = 20s;

struct Fault {
  std::string name;
  DeviceOptions device;
  ServerOptions server;
  SyncOutcome expected;
  std::chrono::milliseconds jobLimit = kDefaultSyncJobTimeLimit;
};

// Test names and failure messages show the fault's name, not its bytes.
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

Fault Make(std::string name, SyncOutcome expected, auto&& configure) {
  Fault f{std::move(name), {}, {}, expected, kDefaultSyncJobTimeLimit};
  f.server.heartbeatInterval = 200ms;
  configure(f.device, f.server);
  return f;
}

std::vector<Fault> Faults() {
  using D = DeviceOptions;
  using S = ServerOptions;
  const auto done = SyncOutcome::Done;
  return {
      Make("healthy", done, [](D&, S&) {}),
      Make("drop_every_5", done, [](D& d, S&) { d.dropEvery = 5; }),
      Make("drop_every_64", done, [](D& d, S&) { d.dropEvery = 64; }),
      Make("bad_checksum_every_5", done, [](D&, S& s) { s.badChecksumEvery = 5; }),
      // The count includes the chunks that set up the device image.
      Make("parameter_error_after_10", done, [](D& d, S&) { d.parameterErrorAfter = kImageChunkCount + 10; }),
      Make("split_bytes", done, [](D&, S& s) { s.splitBytes = true; }),
      Make("stray_bytes", done, [](D&, S& s) { s.strayBytes = true; }),
      Make("zwave_noise", done, [](D&, S& s) { s.zwaveInterval = 3ms; }),
      Make("slow_answers", done, [](D& d, S&) { d.replyLatency = 120ms; }),
      Make("silent", SyncOutcome::DeviceSilent, [](D&, S& s) { s.silentAfter = 1ms; }),
      Make("garbled", SyncOutcome::GarbledStream, [](D&, S& s) { s.badChecksumEvery = 1; }),
      Make("busy", SyncOutcome::DeviceBusy, [](D&, S& s) { s.busy = true; }),
      Make("link_killed", SyncOutcome::LinkLost, [](D&, S& s) { s.closeAfterCommands = 30; }),
      // The link closes while every answer is lost: the closed link is the cause named.
      Make("answers_lost_then_link_killed", SyncOutcome::LinkLost, [](D& d, S& s) {
        d.dropEvery = 1;
        s.closeAfterCommands = 3;
      }),
      // "ISCONNECTED", and the module goes on passing answers: busy all the same.
      Make("busy_but_answering", SyncOutcome::DeviceBusy, [](D&, S& s) { s.busyAnswering = true; }),
      [] {
        // Every answer comes, one reply time-out late: the job's own time limit ends it.
        Fault f = Make("slower_than_the_time_limit", SyncOutcome::TimedOut, [](D& d, S&) { d.replyLatency = 400ms; });
        f.jobLimit = 2s;
        return f;
      }(),
  };
}

// A device image that differs from the program's defaults in every chunk.
ParameterImageBytes DeviceImage() {
  ParameterImageBytes image = DefaultImage();
  for (int i = 0; i < kImageChunkCount; ++i) image[std::size_t(ImageChunkAt(i).offset + i % 7)] ^= 0x5A;
  return image;
}

void LoadIntoDevice(DeviceSimulator& device, const ParameterImageBytes& image) {
  for (int i = 0; i < kImageChunkCount; ++i) {
    const ImageChunk c = ImageChunkAt(i);
    std::vector<std::uint8_t> packet{kCmdWriteImage, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), c.length};
    packet.insert(packet.end(), image.begin() + c.offset, image.begin() + c.offset + c.length);
    device.HandlePacket(packet);
  }
}

class FaultMatrixTest : public ::testing::TestWithParam<Fault>, protected test::LinkFixtureBase {
 protected:
  ~FaultMatrixTest() override {
    ShutdownSyncJobs();
    CloseNetworkLink(false);
    if (server_) server_->Stop();
    SetVerifyAfterWrite(false);
    SetSyncJobTimeLimit(kDefaultSyncJobTimeLimit);
  }

  // The emulator starts fault-free so that the device image can be set up, then serves
  // with the fault under test.
  void Connect() {
    const Fault& fault = GetParam();
    device_ = std::make_unique<DeviceSimulator>(fault.device);
    LoadIntoDevice(*device_, DeviceImage());
    device_->DropQueuedReplies();  // answers held back by a latency fault belong to no one
    ServerOptions server = fault.server;
    server.port = 0;
    server_ = std::make_unique<SimServer>(*device_, server);
    ASSERT_TRUE(server_->Start()) << server_->LastError();
    CurrentLink().transport = nullptr;
    CurrentLink().replyTimeout = kReplyTimeout;
    SetSyncJobTimeLimit(fault.jobLimit);
    InstallSyncJobs();
    SetNetworkPeer("127.0.0.1", server_->Port());
    ASSERT_EQ(OpenNetworkLink(&sink), 1);
  }

  // Waits for message 1002 of `job`; the outcome it carries, or nullopt after the limit.
  std::optional<SyncOutcome> AwaitJob(int job) {
    const auto end = Clock::now() + kJobLimit;
    while (Clock::now() < end) {
      for (const auto& c : sink.Calls())
        if (c.kind == test::SinkCall::Post && c.message == kMsgSyncDone && c.wParam == job)
          return static_cast<SyncOutcome>(c.lParam);
      std::this_thread::sleep_for(10ms);
    }
    return std::nullopt;
  }

  std::unique_ptr<DeviceSimulator> device_;
  std::unique_ptr<SimServer> server_;
};

TEST_P(FaultMatrixTest, ReadGivesTheExactImageOrChangesNothing) {
  const Fault& fault = GetParam();
  const ParameterImageBytes before = ImageSnapshot();
  Connect();
  const auto started = Clock::now();
  StartReadJob();
  const std::optional<SyncOutcome> outcome = AwaitJob(0);
  ASSERT_TRUE(outcome) << "the read job did not end within " << kJobLimit.count() << " s";
  EXPECT_EQ(*outcome, fault.expected) << SyncOutcomeText(*outcome);
  EXPECT_EQ(LastSyncResult().outcome, *outcome);
  if (fault.expected == SyncOutcome::Done) {
    EXPECT_TRUE(ImageSnapshot() == DeviceImage());
    EXPECT_EQ(LastSyncResult().chunksConfirmed, kImageChunkCount);
  } else {
    EXPECT_TRUE(ImageSnapshot() == before) << "a failed read changed the image";
  }
  RecordProperty("seconds", std::to_string(std::chrono::duration<double>(Clock::now() - started).count()));
}

TEST_P(FaultMatrixTest, WriteIsAcknowledgedChunkByChunkOrFailsSaying) {
  const Fault& fault = GetParam();
  ParameterImageBytes written = DefaultImage();
  written[100] ^= 0x33;
  written[3517] ^= 0x44;
  StoreImageBytes(0, written);
  ClearUnsentEdits();
  SetVerifyAfterWrite(fault.expected == SyncOutcome::Done);
  Connect();
  StartWriteJob();
  const std::optional<SyncOutcome> outcome = AwaitJob(1);
  ASSERT_TRUE(outcome) << "the write job did not end within " << kJobLimit.count() << " s";
  EXPECT_EQ(*outcome, fault.expected) << SyncOutcomeText(*outcome);
  const SyncResult result = LastSyncResult();
  if (fault.expected == SyncOutcome::Done) {
    EXPECT_TRUE(device_->WorkingImage() == written) << "the device does not hold the image written";
    EXPECT_EQ(result.chunksConfirmed, kImageChunkCount);
    EXPECT_EQ(result.differingBytes, 0);
  } else {
    EXPECT_LT(result.chunksConfirmed, kImageChunkCount);
    // The device may hold part of the image: the next read must not take it silently.
    EXPECT_TRUE(HasUnsentEdits()) << "a failed write left the settings counted as on the device";
  }
  if (fault.expected == SyncOutcome::DeviceBusy) {
    EXPECT_TRUE(device_->WorkingImage() == DeviceImage()) << "a busy module was written to";
    EXPECT_EQ(result.chunksConfirmed, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EmulatorFaults, FaultMatrixTest, ::testing::ValuesIn(Faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

}  // namespace
}  // namespace dsptune
