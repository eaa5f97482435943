// Two devices in one process: each session reads, writes and edits only its own device,
// over real loopback sockets to two emulators that start out different.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/Dispatcher.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/EqBandStore.h"
#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"
#include "tests/link/RecordingTransport.h"
#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;

// Polls cond every 5 ms for at most `limit`.
template <typename Cond>
bool Eventually(Cond cond, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

// One emulated device, answering as model `name` on a free port, and the session that talks to it.
struct Room {
  explicit Room(const char* name) : device(Named(name)), server(device, AnyPort()) {}
  static DeviceOptions Named(const char* name) {
    DeviceOptions options;
    options.modelName = name;
    return options;
  }
  static ServerOptions AnyPort() {
    ServerOptions options;
    options.port = 0;
    return options;
  }

  bool Open() {
    if (!server.Start()) return false;
    InstallSyncJobs(session);
    SetNetworkPeer(session, "127.0.0.1", server.Port());
    return OpenNetworkLink(session, &sink) == 1;
  }

  // Lines of the emulator's transcript that start with `head` ("81 31": image writes).
  int TranscriptLines(const std::string& head) const {
    const std::vector<std::string> lines = device.Transcript();
    return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(head, 0) == 0; }));
  }

  DeviceSimulator device;
  SimServer server;
  test::RecordingSink sink;
  DeviceSession session;  // last: closes its link before the server and the sink go
};

class DeviceSessionTest : public ::testing::Test {
 protected:
  ~DeviceSessionTest() override { SetCurrentSession(nullptr); }

  // Runs a read on both rooms at once and waits for both.
  static void ReadBoth(Room& a, Room& b) {
    StartReadJob(a.session);
    StartReadJob(b.session);
    ASSERT_TRUE(WaitForSyncJobsIdle(a.session, 20s));
    ASSERT_TRUE(WaitForSyncJobsIdle(b.session, 20s));
    EXPECT_EQ(LastSyncResult(a.session).outcome, SyncOutcome::Done);
    EXPECT_EQ(LastSyncResult(b.session).outcome, SyncOutcome::Done);
  }
};

TEST_F(DeviceSessionTest, TwoSessionsReadWriteAndEditOnlyTheirOwnDevice) {
  Room a("LQ830");
  Room b("LQ480");
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());

  ReadBoth(a, b);
  EXPECT_EQ(IdentitySnapshot(a.session.Model()).ModelName(), "LQ830");
  EXPECT_EQ(IdentitySnapshot(b.session.Model()).ModelName(), "LQ480");

  // B gets other settings by a whole-image write while A is edited live at the same time.
  ParameterImageBytes changed = ImageSnapshot(b.session.Model());
  for (int i = 1500; i < 1600; ++i) changed[std::size_t(i)] ^= 0x5A;
  StoreImageBytes(b.session.Model(), 0, changed);
  StartWriteJob(b.session);
  SetCurrentSession(&a.session);  // the edit operations act on the current session
  for (int percent = 10; percent <= 60; percent += 10) SetParameter(4, 0x0C, percent);
  ASSERT_TRUE(WaitForSyncJobsIdle(b.session, 20s));
  EXPECT_EQ(LastSyncResult(b.session).outcome, SyncOutcome::Done);
  // The edits leave A's send queue one per answer; the read must not overtake the last.
  const ParameterImageBytes edited = ImageSnapshot(a.session.Model());
  ASSERT_TRUE(Eventually([&] { return a.device.WorkingImage() == edited; }));
  ReadBoth(a, b);
  SetCurrentSession(nullptr);

  EXPECT_EQ(ImageSnapshot(a.session.Model()), a.device.WorkingImage());
  EXPECT_EQ(ImageSnapshot(b.session.Model()), b.device.WorkingImage());
  EXPECT_EQ(b.device.WorkingImage(), changed);
  EXPECT_NE(a.device.WorkingImage(), b.device.WorkingImage());
  // Each emulator heard only its own session: the image write went to B alone, the live
  // edits to A alone.
  EXPECT_EQ(a.TranscriptLines("81 31"), 0);
  EXPECT_GE(b.TranscriptLines("81 31"), kImageChunkCount);
  EXPECT_GE(a.TranscriptLines("81 09 00 04 0C"), 1);
  EXPECT_EQ(b.TranscriptLines("81 09 00 04 0C"), 0);
}

// What a session's device answers lands in that session alone: identity, ledger, copy
// source, history. The current (default) session sees none of it.
TEST_F(DeviceSessionTest, AnswersAndHistoryStayWithTheirSession) {
  DeviceSession a, b;
  const std::string before = IdentitySnapshot().ModelName();
  a.Ledger().Begin(LedgerMode::Read);
  b.Ledger().Begin(LedgerMode::Read);
  const std::vector<std::uint8_t> name{0x81, kCmdModelName, 'L', 'Q', '6', '2', '0', 0};
  DispatchPacket(a, name);
  EXPECT_EQ(IdentitySnapshot(a.Model()).ModelName(), "LQ620");
  EXPECT_NE(IdentitySnapshot(b.Model()).ModelName(), "LQ620");
  EXPECT_EQ(IdentitySnapshot().ModelName(), before);
  EXPECT_TRUE(a.Ledger().Answered(kCmdModelName));
  EXPECT_FALSE(b.Ledger().Answered(kCmdModelName));

  a.Data().Journal();
  b.Data().Journal();
  SetCurrentSession(&a);
  SetCopySourceEq(3);
  SetParameter(4, 0x0C, 55);
  SetCurrentSession(&b);
  EXPECT_EQ(CopySourceEq(), -1);
  SetCurrentSession(nullptr);
  EXPECT_EQ(a.Data().copySource, 3);
  EXPECT_EQ(a.Data().Journal().UndoSteps(), 1u);
  EXPECT_EQ(b.Data().Journal().UndoSteps(), 0u);
  EXPECT_NE(ImageSnapshot(a.Model()), ImageSnapshot(b.Model()));
}

}  // namespace
}  // namespace dsptune
