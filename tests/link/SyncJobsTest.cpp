#include "link/SyncJobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <thread>

#include "link/CommandSet.h"
#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/ParameterImage.h"
#include "tests/link/RecordingTransport.h"
#include "tools/sim/DeviceSimulator.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;
using test::Path;

constexpr auto kJobWait = 20s;  // generous bound; a job takes well under a second here

// What the device saw of one packet, code first, with the link switches at that moment.
struct SeenPacket {
  Path path;
  std::vector<std::uint8_t> packet;
  bool queuedSendMode;
  bool statusPollingAllowed;
};

// A transport in front of the device emulator. Its answers come back the way a real
// link delivers them: on a receive thread of its own, through the dispatcher.
class SimulatedDevice : public PacketTransport {
 public:
  explicit SimulatedDevice(DeviceOptions options = {}) : device(std::move(options)) {
    receiver_ = std::thread([this] { Receive(); });
  }
  ~SimulatedDevice() override { StopReceiving(); }

  int WriteReport(std::span<const std::uint8_t> packet) override {
    return Take(Path::UsbReport, packet, {packet.begin(), packet.end()});
  }
  int SendDirect(std::span<const std::uint8_t> payload) override {
    return Take(Path::NetworkDirect, payload, {payload.begin() + 1, payload.end()});
  }
  void EnqueuePacket(std::span<const std::uint8_t> payload) override {
    Take(Path::NetworkQueue, payload, {payload.begin() + 1, payload.end()});
  }

  // The device goes away when it receives the given command for the nth time: the link
  // reads as disconnected and nothing is answered any more.
  void DisconnectOn(std::uint8_t code, int nth) {
    std::lock_guard lock(mutex_);
    dropCode_ = code;
    dropAfter_ = nth;
  }

  // Sees every packet before the device does: may change it, or return false to leave
  // it unanswered (the device never got it).
  void Intercept(std::function<bool(std::vector<std::uint8_t>&)> filter) {
    std::lock_guard lock(mutex_);
    filter_ = std::move(filter);
  }

  // Every answer is preceded by a Z-Wave Serial API frame, which the program acknowledges.
  void ZWaveBeforeEachAnswer() {
    std::lock_guard lock(mutex_);
    zwave_ = true;
  }

  // The first packet sent after this call is held (its sender blocks) until Release().
  void HoldNextPacket() {
    std::lock_guard lock(mutex_);
    hold_ = true;
  }
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, kJobWait, [this] { return held_; });
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      hold_ = held_ = false;
    }
    cv_.notify_all();
  }

  void StopReceiving() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    if (receiver_.joinable()) receiver_.join();
  }

  std::vector<SeenPacket> Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const SeenPacket& s : Seen()) codes.push_back(s.packet.at(0));
    return codes;
  }

  DeviceSimulator device;

 private:
  int Take(Path path, std::span<const std::uint8_t> wire, std::vector<std::uint8_t> packet) {
    const LinkState& link = CurrentLink();
    std::unique_lock lock(mutex_);
    if (hold_) {
      held_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return !hold_ || stop_; });
    }
    seen_.push_back({path, packet, link.queuedSendMode, link.statusPollingAllowed});
    if (gone_) return 0;
    if (packet.at(0) == dropCode_ && --dropAfter_ == 0) {
      gone_ = true;
      CurrentLink().connected = false;
      return 1;
    }
    std::vector<std::uint8_t> delivered(wire.begin(), wire.end());
    if (filter_) {
      std::vector<std::uint8_t>& code = packet;  // code first; the wire may lead with 0x81
      if (!filter_(code)) return 1;
      delivered.assign(wire.begin(), wire.begin() + long(wire.size() - packet.size()));
      delivered.insert(delivered.end(), code.begin(), code.end());
    }
    lock.unlock();
    const auto replies =
        path == Path::UsbReport ? device.HandlePacket(delivered) : device.HandleNetworkPayload(delivered);
    lock.lock();
    for (const auto& r : replies) {
      if (zwave_) inbox_.push_back({kZWavePacketCode, 0x05, 0x01, 0x03, 0x00, 0x15, 0xE9});
      inbox_.push_back(r);
    }
    cv_.notify_all();
    return 1;
  }

  void Receive() {
    std::unique_lock lock(mutex_);
    for (;;) {
      cv_.wait(lock, [this] { return stop_ || !inbox_.empty(); });
      if (stop_) return;
      std::vector<std::uint8_t> packet{kReportId};  // byte 0 as the dispatcher sees it
      packet.insert(packet.end(), inbox_.front().begin(), inbox_.front().end());
      inbox_.pop_front();
      lock.unlock();
      DispatchPacket(packet);
      lock.lock();
    }
  }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<SeenPacket> seen_;
  std::deque<std::vector<std::uint8_t>> inbox_;
  std::function<bool(std::vector<std::uint8_t>&)> filter_;
  int dropCode_ = -1, dropAfter_ = 0;
  bool zwave_ = false;
  bool gone_ = false, hold_ = false, held_ = false, stop_ = false;
  std::thread receiver_;
};

class SyncJobsTest : public ::testing::Test, protected test::LinkFixtureBase {
 protected:
  ~SyncJobsTest() override {
    if (simulated_) simulated_->StopReceiving();
    ShutdownSyncJobs();
  }

  // Each row of a table starts from a fresh model and link with empty recorders.
  void BeginRow() {
    ShutdownSyncJobs();
    if (simulated_) simulated_->StopReceiving();
    ResetDataModel();
    FreshLink();
    ClearLog();
    transport.Clear();
    postMark_ = sink.Calls().size();
  }

  // Puts the emulator in front of the link.
  SimulatedDevice& Simulate(DeviceOptions options = {}) {
    simulated_ = std::make_unique<SimulatedDevice>(std::move(options));
    CurrentLink().transport = simulated_.get();
    return *simulated_;
  }

  // The link as it stands between jobs: queued sends on, unsaved changes, a status read.
  static void PrepareLink(LinkKind kind) {
    UseLink(kind, true, true);
    LinkState& link = CurrentLink();
    link.changedFlag = true;
    std::lock_guard lock(link.dataMutex);
    link.statusBlock.fill(0x5A);
  }

  std::vector<std::intptr_t> SyncDonePosts() const {
    std::vector<std::intptr_t> out;
    const auto calls = sink.Calls();
    for (std::size_t i = postMark_; i < calls.size(); ++i)
      if (const test::SinkCall& c = calls[i]; c.kind == test::SinkCall::Post && c.message == kMsgSyncDone)
        out.push_back(c.wParam);
    return out;
  }

  static std::vector<int> ReadJobCodes() {
    std::vector<int> codes{0x80, 0x7F, 0x81, 0x7E, 0x07};
    codes.insert(codes.end(), kImageChunkCount, 0x30);
    codes.push_back(0x92);
    codes.push_back(0x62);
    return codes;
  }
  static std::vector<int> WriteJobCodes() {
    std::vector<int> codes(kImageChunkCount, 0x31);
    codes.push_back(0x32);
    return codes;
  }

  std::unique_ptr<SimulatedDevice> simulated_;
  std::size_t postMark_ = 0;
};

const char* Name(LinkKind kind) { return kind == LinkKind::Usb ? "USB" : "network"; }

TEST_F(SyncJobsTest, ReadJobOnKnownModelReadsIdentityModeImageSettingsAndRemoteTable) {
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    SCOPED_TRACE(Name(kind));
    BeginRow();
    SimulatedDevice& sim = Simulate();
    // Device and program hold different images, including in the last chunk.
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x03, 2});
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x31, 0x0D, 0xB0, 4, 0xDE, 0xAD, 0xBE, 0xEF});
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x31, 0x00, 0x00, 2, 0x01, 0x02});
    PrepareLink(kind);

    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    const auto seen = sim.Seen();
    EXPECT_EQ(sim.Codes(), ReadJobCodes());
    for (std::size_t i = 0; i < seen.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(seen[i].path, kind == LinkKind::Usb ? Path::UsbReport : Path::NetworkDirect);
      EXPECT_FALSE(seen[i].queuedSendMode);
      EXPECT_FALSE(seen[i].statusPollingAllowed);
    }
    for (int c = 0; c < kImageChunkCount && 5 + c < int(seen.size()); ++c) {
      const int offset = c * 56, length = c < 62 ? 56 : 46;
      EXPECT_EQ(seen[std::size_t(5 + c)].packet,
                test::Bytes({0x30, offset >> 8, offset & 0xFF, length}))
          << "chunk " << c;
    }

    EXPECT_EQ(ImageSnapshot(), sim.device.WorkingImage());
    const auto image = ImageSnapshot();
    const auto live = LiveBlockSnapshot();
    EXPECT_TRUE(std::equal(live.begin(), live.begin() + kApplyCopySize, image.begin())) << "ApplyImage ran";
    const DeviceIdentity id = IdentitySnapshot();
    EXPECT_EQ(id.ModelName(), "LQ830");
    EXPECT_EQ(id.protocolCode, 20);
    EXPECT_EQ(CurrentLink().currentMode, 2);
    EXPECT_EQ(DeviceSettingsSnapshot(), sim.device.MachineSettings());
    const auto remote = RemoteTableSnapshot();
    const auto deviceRemote = sim.device.RemoteCodes();
    EXPECT_TRUE(std::equal(remote.begin(), remote.begin() + 16, deviceRemote.begin()));

    const LinkState& link = CurrentLink();
    EXPECT_FALSE(link.changedFlag);
    EXPECT_TRUE(link.queuedSendMode);
    EXPECT_TRUE(link.statusPollingAllowed);
    EXPECT_EQ(StatusBlockSnapshot(), StatusBlock{});
    EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{0});
    EXPECT_EQ(LogCount("End thread: Delay Read SynchronizeData\n"), 1);
  }
}

TEST_F(SyncJobsTest, ReadJobStopsBeforeTheImageOnAForeignIdentity) {
  struct Row {
    const char* model;
    int protocol;
    int identityRounds;
  };
  const Row rows[] = {
      {"XYZ", 17, 2},    // unknown model, old protocol: asked twice
      {"LQ830", 21, 1},  // known model, other protocol
      {"XYZ", 20, 1},    // unknown model on protocol 20
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.model << " / " << r.protocol);
    BeginRow();
    DeviceOptions options;
    options.modelName = r.model;
    options.protocolCode = r.protocol;
    SimulatedDevice& sim = Simulate(options);
    PrepareLink(LinkKind::Usb);
    const auto imageBefore = ImageSnapshot();

    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    std::vector<int> expected;
    for (int i = 0; i < r.identityRounds; ++i) expected.insert(expected.end(), {0x80, 0x7F, 0x81, 0x7E});
    EXPECT_EQ(sim.Codes(), expected);
    EXPECT_EQ(ImageSnapshot(), imageBefore);
    EXPECT_EQ(IdentitySnapshot().ModelName(), r.model);
    const LinkState& link = CurrentLink();
    EXPECT_FALSE(link.queuedSendMode) << "left direct when the sequence stops early";
    EXPECT_TRUE(link.changedFlag) << "kept when the sequence stops early";
    EXPECT_TRUE(link.statusPollingAllowed);
    EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{0});
    EXPECT_EQ(LogCount("End thread: Delay Read SynchronizeData\n"), 1);
  }
}

TEST_F(SyncJobsTest, DroppedLinkStopsTheJobAtOnceAndStillNotifies) {
  struct Row {
    const char* name;
    std::function<void()> start;
    std::uint8_t dropCode;
    std::intptr_t syncKind;
  };
  const Row rows[] = {
      {"read", [] { StartReadJob(); }, 0x30, 0},
      {"write", [] { StartWriteJob(); }, 0x31, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BeginRow();
    SimulatedDevice& sim = Simulate();
    sim.DisconnectOn(r.dropCode, 10);
    PrepareLink(LinkKind::Usb);

    r.start();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    const auto codes = sim.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), r.dropCode), 10) << "no chunk after the link dropped";
    EXPECT_EQ(codes.back(), r.dropCode) << "nothing after the chunks either";
    EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{r.syncKind});
    EXPECT_TRUE(CurrentLink().statusPollingAllowed);
  }
}

TEST_F(SyncJobsTest, WriteJobSendsTheImageInChunksThenEndOfWrite) {
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    SCOPED_TRACE(Name(kind));
    BeginRow();
    ParameterImageBytes pattern;
    for (int i = 0; i < kImageSize; ++i) pattern[std::size_t(i)] = std::uint8_t(i * 7 + i / 251);
    ReplaceImage(pattern);
    // A write succeeds only when the device acknowledges it, so a device answers here.
    SimulatedDevice& sim = Simulate();
    PrepareLink(kind);

    StartWriteJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    const auto seen = sim.Seen();
    ASSERT_EQ(seen.size(), std::size_t(kImageChunkCount + 1));
    for (int c = 0; c < kImageChunkCount; ++c) {
      SCOPED_TRACE(c);
      const int offset = c * 56, length = c < 62 ? 56 : 46;
      std::vector<std::uint8_t> expected = test::Bytes({0x31, offset >> 8, offset & 0xFF, length});
      expected.insert(expected.end(), pattern.begin() + offset, pattern.begin() + offset + length);
      const SeenPacket& call = seen[std::size_t(c)];
      EXPECT_EQ(call.path, kind == LinkKind::Usb ? Path::UsbReport : Path::NetworkDirect);
      EXPECT_EQ(call.packet, expected);
    }
    EXPECT_EQ(seen.back().packet, test::Bytes({0x32}));
    EXPECT_EQ(sim.device.WorkingImage(), pattern);

    const LinkState& link = CurrentLink();
    EXPECT_TRUE(link.queuedSendMode);
    EXPECT_FALSE(link.changedFlag);
    EXPECT_TRUE(link.statusPollingAllowed);
    EXPECT_EQ(StatusBlockSnapshot(), StatusBlock{});
    EXPECT_EQ(ImageSnapshot(), pattern) << "sent unchanged";
    EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{1});
    EXPECT_EQ(LogCount("End thread: SynchronizeWriteThreadProc\n"), 1);
  }
}

// Edits that no device received are never overwritten by a read: when the device holds
// something else, the read leaves the model alone and hands the device's settings over
// for the user's choice. Without such edits (or when the device already holds them) the
// read replaces the model as always.
TEST_F(SyncJobsTest, AReadNeverOverwritesEditsTheDeviceNeverReceived) {
  struct Row {
    const char* name;
    bool unsentEdits;
    bool deviceDiffers;
    bool awaitingChoice;
  };
  const Row rows[] = {
      {"no unsent edits, device differs", false, true, false},
      {"unsent edits, device differs", true, true, true},
      {"unsent edits, device holds them", true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BeginRow();
    LoadDefaultImage();
    SimulatedDevice& sim = Simulate();
    ASSERT_EQ(sim.device.WorkingImage(), DefaultImage());
    CurrentLink().connected = false;
    SetParameter(1, 0x0E, 55);  // Mic Vol, made while no link is open
    EXPECT_TRUE(HasUnsentEdits());
    std::vector<std::uint8_t> write{0x31, 0x05, 0xD7, 4, 0x3F, 0x40, 0x00, 0x00};  // 0.75 on the device
    if (!row.deviceDiffers) {
      const auto mine = ReadImageBytes(0x05D7, 4);
      std::copy(mine.begin(), mine.end(), write.begin() + 4);
    }
    sim.device.HandlePacket(write);
    if (!row.unsentEdits) ClearUnsentEdits();
    const ParameterImageBytes before = ImageSnapshot();
    PrepareLink(LinkKind::Network);

    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    const SyncResult result = LastSyncResult();
    EXPECT_EQ(result.outcome, SyncOutcome::Done);
    EXPECT_EQ(result.awaitingChoice, row.awaitingChoice);
    EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{0});
    if (row.awaitingChoice) {
      EXPECT_EQ(ImageSnapshot(), before) << "the working settings stay as edited";
      EXPECT_EQ(UiValue(1, 0x0E), 55);
      EXPECT_EQ(DeviceSettingsAwaitingChoice(), sim.device.WorkingImage());
      EXPECT_TRUE(HasUnsentEdits());
      EXPECT_FALSE(ConfirmedSettings()) << "the base of the choice stays until the choice is made";
    } else {
      EXPECT_EQ(ImageSnapshot(), sim.device.WorkingImage());
      EXPECT_FALSE(HasUnsentEdits());
      EXPECT_EQ(ConfirmedSettings(), std::optional(sim.device.WorkingImage()));
    }
  }
}

// A write job that the device acknowledged completely means the device holds the
// working settings (they become the settings it confirmed); one that failed leaves the
// mark.
TEST_F(SyncJobsTest, ACompleteWriteClearsTheUnsentMark) {
  for (const bool deviceGone : {false, true}) {
    SCOPED_TRACE(deviceGone ? "device gone" : "device answers");
    BeginRow();
    LoadDefaultImage();
    SimulatedDevice& sim = Simulate();
    if (deviceGone) sim.DisconnectOn(0x31, 3);
    MarkUnsentEdits();
    PrepareLink(LinkKind::Usb);
    StartWriteJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));
    EXPECT_EQ(HasUnsentEdits(), deviceGone);
    EXPECT_EQ(ConfirmedSettings(), deviceGone ? std::nullopt : std::optional(ImageSnapshot()));
  }
}

TEST_F(SyncJobsTest, RequestsDuringAJobRunAfterItOneAtATime) {
  struct Row {
    const char* name;
    bool firstIsWrite;
    int laterReads;  // read requests made while the first job runs; they merge into one
    std::vector<std::intptr_t> posts;
  };
  const Row rows[] = {
      {"write, then two reads", true, 2, {1, 0}},
      {"read, then a read", false, 1, {0, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BeginRow();
    SimulatedDevice& sim = Simulate();
    PrepareLink(LinkKind::Usb);
    sim.HoldNextPacket();

    r.firstIsWrite ? StartWriteJob() : StartReadJob();
    ASSERT_TRUE(sim.WaitUntilHeld());
    for (int i = 0; i < r.laterReads; ++i) StartReadJob();
    sim.Release();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    std::vector<int> expected = r.firstIsWrite ? WriteJobCodes() : ReadJobCodes();
    const auto read = ReadJobCodes();
    expected.insert(expected.end(), read.begin(), read.end());
    EXPECT_EQ(sim.Codes(), expected) << "jobs never interleave";
    EXPECT_EQ(SyncDonePosts(), r.posts);
    EXPECT_EQ(ImageSnapshot(), sim.device.WorkingImage());
  }
}

// The outcome carried by the last message 1002 (lParam).
SyncOutcome LastPostedOutcome(const test::RecordingSink& sink) {
  SyncOutcome outcome = SyncOutcome::Done;
  for (const test::SinkCall& c : sink.Calls())
    if (c.kind == test::SinkCall::Post && c.message == kMsgSyncDone) outcome = static_cast<SyncOutcome>(c.lParam);
  return outcome;
}

bool IsChunkRequest(const std::vector<std::uint8_t>& p, std::uint8_t code, int chunk) {
  const ImageChunk c = ImageChunkAt(chunk);
  return p.size() >= 4 && p[0] == code && p[1] == c.offset >> 8 && p[2] == (c.offset & 0xFF);
}

TEST_F(SyncJobsTest, AnUnansweredOrGarbledChunkIsAskedAgainAndAReadThatStaysIncompleteChangesNothing) {
  struct Row {
    const char* name;
    int failingAnswers;  // how many asks of chunk 7 go wrong before one is answered well
    bool truncate;       // wrong = answered with too few bytes, instead of not at all
    SyncOutcome expected;
  };
  const Row rows[] = {
      {"lost once", 1, false, SyncOutcome::Done},
      {"short answer once", 1, true, SyncOutcome::Done},
      {"lost three times", 3, false, SyncOutcome::Done},
      {"never answered", 100, false, SyncOutcome::Incomplete},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BeginRow();
    SimulatedDevice& sim = Simulate();
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x31, 0x01, 0x88, 2, 0xAB, 0xCD});  // chunk 7 differs
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x31, 0x00, 0x00, 2, 0x01, 0x02});
    int failures = r.failingAnswers;
    sim.Intercept([&](std::vector<std::uint8_t>& p) {
      if (!IsChunkRequest(p, 0x30, 7) || failures == 0) return true;
      --failures;
      if (r.truncate) p[3] = 40;  // the device answers 40 of the 56 bytes
      return r.truncate;
    });
    PrepareLink(LinkKind::Usb);
    const auto image = ImageSnapshot();
    const auto live = LiveBlockSnapshot();

    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    const auto seen = sim.Seen();
    const auto asks = std::count_if(seen.begin(), seen.end(), [](const SeenPacket& p) { return IsChunkRequest(p.packet, 0x30, 7); });
    EXPECT_LE(asks, 1 + kSyncRetries);
    EXPECT_EQ(LastPostedOutcome(sink), r.expected);
    EXPECT_EQ(LastSyncResult().outcome, r.expected);
    if (r.expected == SyncOutcome::Done) {
      EXPECT_EQ(asks, 1 + r.failingAnswers);
      EXPECT_EQ(ImageSnapshot(), sim.device.WorkingImage());
      EXPECT_FALSE(CurrentLink().changedFlag);
    } else {
      EXPECT_GE(asks, 2) << "asked again before giving up";
      EXPECT_EQ(LastSyncResult().chunksConfirmed, kImageChunkCount - 1);
      EXPECT_EQ(ImageSnapshot(), image) << "no chunk of a failed read reaches the image";
      EXPECT_EQ(LiveBlockSnapshot(), live);
      EXPECT_TRUE(CurrentLink().changedFlag);
    }
    // Late answers after the job must not reach the image either.
    sim.device.HandlePacket(std::vector<std::uint8_t>{0x31, 0x00, 0x00, 2, 0x77, 0x77});
    const auto before = ImageSnapshot();
    std::vector<std::uint8_t> late{kReportId, 0x30, 0, 0, 56};
    late.resize(late.size() + 56, 0x77);
    DispatchPacket(late);
    EXPECT_EQ(ImageSnapshot(), before);
  }
}

TEST_F(SyncJobsTest, AWriteCountsOnlyAcknowledgedChunksAndARefusedChunkIsSentAgain) {
  struct Row {
    const char* name;
    std::function<bool(std::vector<std::uint8_t>&)> filter;
    DeviceOptions device;
    SyncOutcome expected;
    int confirmed;
    bool endSent;
  };
  DeviceOptions refuseTenth;
  refuseTenth.parameterErrorAfter = 10;  // chunk 9 is refused with 0x0A once
  const Row rows[] = {
      {"chunk 9 refused once", nullptr, refuseTenth, SyncOutcome::Done, kImageChunkCount, true},
      {"chunk 9 never acknowledged", [](std::vector<std::uint8_t>& p) { return !IsChunkRequest(p, 0x31, 9); }, {},
       SyncOutcome::Incomplete, kImageChunkCount - 1, false},
      {"end of write never answered", [](std::vector<std::uint8_t>& p) { return p[0] != 0x32; }, {},
       SyncOutcome::Incomplete, kImageChunkCount, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BeginRow();
    ParameterImageBytes pattern = DefaultImage();
    pattern[9 * 56 + 3] ^= 0xFF;
    ReplaceImage(pattern);
    SimulatedDevice& sim = Simulate(r.device);
    if (r.filter) sim.Intercept(r.filter);
    PrepareLink(LinkKind::Network);

    StartWriteJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    EXPECT_EQ(LastPostedOutcome(sink), r.expected);
    EXPECT_EQ(LastSyncResult().chunksConfirmed, r.confirmed);
    const auto codes = sim.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x32) > 0, r.endSent);
    if (r.expected == SyncOutcome::Done) {
      EXPECT_EQ(sim.device.WorkingImage(), pattern) << "the refused chunk was sent again";
      EXPECT_FALSE(CurrentLink().changedFlag);
    } else {
      EXPECT_TRUE(CurrentLink().changedFlag) << "a failed write leaves the changes unsaved";
    }
  }
}

// Z-Wave traffic releases the reply wait and makes the program send acknowledgements
// between the job's commands; neither may cost a chunk.
TEST_F(SyncJobsTest, ZWaveTrafficBetweenAnswersCostsNoChunk) {
  for (const LinkKind kind : {LinkKind::Usb, LinkKind::Network}) {
    SCOPED_TRACE(Name(kind));
    BeginRow();
    ParameterImageBytes pattern = DefaultImage();
    pattern[777] ^= 0x10;
    ReplaceImage(pattern);
    SimulatedDevice& sim = Simulate();
    sim.ZWaveBeforeEachAnswer();
    PrepareLink(kind);

    StartWriteJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));
    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    EXPECT_EQ(LastPostedOutcome(sink), SyncOutcome::Done);
    EXPECT_EQ(sim.device.WorkingImage(), pattern);
    EXPECT_EQ(ImageSnapshot(), pattern);
    const auto codes = sim.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x31), kImageChunkCount) << "no chunk sent twice";
    EXPECT_GT(sim.device.ZWaveAcks(), 0);
  }
}

TEST_F(SyncJobsTest, VerifyAfterWritingReadsTheImageBackAndFailsOnADifference) {
  for (const bool tamper : {false, true}) {
    SCOPED_TRACE(tamper ? "the device stores one chunk wrongly" : "the device stores what it got");
    BeginRow();
    SetVerifyAfterWrite(true);
    ParameterImageBytes pattern = DefaultImage();
    pattern[5 * 56] ^= 0xFF;
    ReplaceImage(pattern);
    SimulatedDevice& sim = Simulate();
    if (tamper)
      sim.Intercept([](std::vector<std::uint8_t>& p) {
        if (IsChunkRequest(p, 0x31, 5)) p[4] ^= 0x01;
        return true;
      });
    PrepareLink(LinkKind::Usb);

    StartWriteJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));
    SetVerifyAfterWrite(false);

    const auto codes = sim.Codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x30), kImageChunkCount) << "read back once";
    EXPECT_EQ(LastPostedOutcome(sink), tamper ? SyncOutcome::VerifyMismatch : SyncOutcome::Done);
    EXPECT_EQ(LastSyncResult().differingBytes, tamper ? 1 : 0);
    EXPECT_EQ(ImageSnapshot(), pattern) << "the program's image stays what was written";
  }
}

// Whatever float a device holds, the read gives defined editor values: NaN as 0, the
// infinities and huge values clamped to the ends of the range, a normal value as ever.
TEST_F(SyncJobsTest, NonFiniteAndHugeFloatsFromTheDeviceReadAsClampedEditorValues) {
  struct Row {
    const char* name;
    float stored;  // the music volume record, a percent value
    std::int32_t ui;
  };
  const Row rows[] = {
      {"NaN", std::numeric_limits<float>::quiet_NaN(), 0},
      {"+inf", std::numeric_limits<float>::infinity(), std::numeric_limits<std::int32_t>::max()},
      {"-inf", -std::numeric_limits<float>::infinity(), std::numeric_limits<std::int32_t>::min()},
      {"1e10", 1e10f, std::numeric_limits<std::int32_t>::max()},
      {"-FLT_MAX", -std::numeric_limits<float>::max(), std::numeric_limits<std::int32_t>::min()},
      {"0.65", 0.65f, 65},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    BeginRow();
    SimulatedDevice& sim = Simulate();
    std::vector<std::uint8_t> write{0x09, 0x00, 4, 0x0C, 1, 0, 0, 0, 0};
    PutFloat(&write[5], r.stored);
    sim.device.HandlePacket(write);
    PrepareLink(LinkKind::Usb);

    StartReadJob();
    ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

    ASSERT_EQ(LastSyncResult().outcome, SyncOutcome::Done);
    EXPECT_EQ(UiValue(4, 0x0C), r.ui);
  }
}

TEST_F(SyncJobsTest, ModeReloadAnswerStartsAReadJobOnceInstalled) {
  SimulatedDevice& sim = Simulate();
  PrepareLink(LinkKind::Usb);
  InstallSyncJobs();

  SendCommand({kCmdLoadMode, 3});
  const auto deadline = std::chrono::steady_clock::now() + kJobWait;
  while (SyncDonePosts().empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));

  std::vector<int> expected{0x05};
  const auto read = ReadJobCodes();
  expected.insert(expected.end(), read.begin(), read.end());
  EXPECT_EQ(sim.Codes(), expected);
  EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{0});
  EXPECT_EQ(CurrentLink().currentMode, 3);
  EXPECT_EQ(LogCount("Start thread:SynchronizeData\n"), 1);
}

TEST_F(SyncJobsTest, ShutdownStopsARunningJobWithoutNotifying) {
  SimulatedDevice& sim = Simulate();
  PrepareLink(LinkKind::Usb);
  sim.HoldNextPacket();
  StartReadJob();
  ASSERT_TRUE(sim.WaitUntilHeld());
  StartWriteJob();  // waiting; dropped by the shutdown

  std::thread release([&] {
    std::this_thread::sleep_for(200ms);  // the shutdown has asked the job to stop by then
    sim.Release();
  });
  ShutdownSyncJobs();
  release.join();

  EXPECT_LE(sim.Codes().size(), 2u) << "stopped at the first connected check";
  EXPECT_TRUE(SyncDonePosts().empty());
  EXPECT_TRUE(CurrentLink().statusPollingAllowed);
  EXPECT_TRUE(WaitForSyncJobsIdle(0ms));

  // The runner takes jobs again afterwards.
  StartWriteJob();
  ASSERT_TRUE(WaitForSyncJobsIdle(kJobWait));
  EXPECT_EQ(SyncDonePosts(), std::vector<std::intptr_t>{1});
}

}  // namespace
}  // namespace dsptune
