// A/B comparison against the emulator on loopback, answers held back 5 ms: how long a
// switch takes until the device has acknowledged its last write, for k differing
// parameters or bands, next to a whole-image write job. The emulator's latency delays
// its answers only, so one round trip is about 5 ms and a switch of n frames can not be
// faster than n x 5 ms (ratio 1.0).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "dsp/Biquad.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/CompareSlots.h"
#include "model/EditJournal.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kLatencyMs = 5;

class QuietSink final : public NotificationSink {
 public:
  void Post(int, std::intptr_t, std::intptr_t) override {}
  void Send(int, std::intptr_t, std::intptr_t) override {}
  void ShowParameterError(const std::string&) override {}
};

DeviceOptions SlowDevice() {
  DeviceOptions o;
  o.replyLatency = std::chrono::milliseconds(kLatencyMs);
  return o;
}

// No heartbeat: every frame the emulator sends is then the answer to a command.
ServerOptions AnswersOnly() {
  ServerOptions o;
  o.heartbeatInterval = 0ms;
  return o;
}

struct Session {
  Session() : emulator(SlowDevice(), AnswersOnly()) {
    ResetDataModel();
    ResetLinkState();
    InstallSyncJobs();
    SetNetworkPeer("127.0.0.1", emulator.net.Port());
    ok = emulator.started && OpenNetworkLink(&sink) == 1;
  }
  ~Session() {
    ShutdownSyncJobs();
    CloseNetworkLink(false);
  }

  // Waits, at most 5 s, until the send queue is empty and the emulator has taken and
  // answered `frames` more commands than at the marks. False on time-out.
  bool Acknowledged(int commandsMark, int answersMark, int frames) const {
    const auto end = Clock::now() + 5s;
    while (Clock::now() < end) {
      if (NetworkQueueLength() == 0 && emulator.sim.CommandsReceived() >= commandsMark + frames &&
          emulator.net.FramesSent() >= answersMark + frames)
        return true;
      std::this_thread::sleep_for(100us);
    }
    return false;
  }

  test::LoopbackEmulator emulator;
  QuietSink sink;
  bool ok = false;
};

// Makes the k differences between A and B: k percent parameters, or k user bands of the
// microphone EQs. Returns the frames one switch takes.
int MakeDifferences(bool bands, int k) {
  if (bands) {
    int made = 0;
    for (int eq : {kEqMicA, kEqMicB})
      for (int band = 0; band < EqLayoutOf(eq).bandsWritten && made < k; ++band, ++made)
        WriteEqBand(eq, band, kFilterPeq, DefaultEqFrequencies(eq)[std::size_t(band)], 5.0f, kDefaultBandQ);
    return 2 * made;  // coefficients and band record
  }
  int made = 0;
  for (const ParameterEntry& e : ParameterTable()) {
    if (made == k) break;
    if (e.kind != ConversionKind::Percent) continue;
    SetParameter(e.block, e.address, 37);
    ++made;
  }
  return made;
}

void BM_AbSwitch(benchmark::State& state) {
  const bool bands = state.range(0) != 0;
  const int k = int(state.range(1));
  Session session;
  if (!session.ok) {
    state.SkipWithError("emulator or link did not start");
    return;
  }
  EditJournal journal;
  CompareSlots slots;
  slots.Store(CompareSlots::kA);
  int commands = session.emulator.sim.CommandsReceived(), answers = session.emulator.net.FramesSent();
  const int frames = MakeDifferences(bands, k);
  if (!session.Acknowledged(commands, answers, frames)) {
    state.SkipWithError("the edits were not acknowledged");
    return;
  }
  slots.Store(CompareSlots::kB);

  double switchSeconds = 0;
  int switches = 0;
  for (auto _ : state) {
    commands = session.emulator.sim.CommandsReceived();
    answers = session.emulator.net.FramesSent();
    const auto start = Clock::now();
    slots.Switch(journal);
    if (!session.Acknowledged(commands, answers, frames)) {
      state.SkipWithError("the switch was not acknowledged");
      return;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    switchSeconds += seconds;
    ++switches;
  }
  switchSeconds /= switches;
  const int sent = session.emulator.sim.CommandsReceived() - commands;

  const auto start = Clock::now();
  StartWriteJob();
  const bool written = WaitForSyncJobsIdle(30s) && LastSyncResult().outcome == SyncOutcome::Done;
  const double fullWriteSeconds = std::chrono::duration<double>(Clock::now() - start).count();

  state.counters["k"] = k;
  state.counters["frames"] = sent;
  state.counters["switch_ms"] = switchSeconds * 1e3;
  state.counters["ratio_to_round_trips"] = switchSeconds / (frames * kLatencyMs / 1e3);
  state.counters["full_write_ms"] = written ? fullWriteSeconds * 1e3 : -1;
}
BENCHMARK(BM_AbSwitch)
    ->ArgNames({"bands", "k"})
    ->ArgsProduct({{0, 1}, {1, 4, 16}})
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dsptune
