// Whole-link benchmarks against the emulator on loopback: the read job against its
// floor, and a slider burst through the coalescing send queue. Each runs once per
// repetition (they take about a second) and reports ratios as counters.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune {
namespace {

using Clock = std::chrono::steady_clock;

class JobSink final : public NotificationSink {
 public:
  void Post(int message, std::intptr_t, std::intptr_t) override {
    std::lock_guard lock(mutex_);
    if (message == kMsgSyncDone) ++done_;
    cv_.notify_all();
  }
  void Send(int, std::intptr_t, std::intptr_t) override {}
  void ShowParameterError(const std::string&) override {}
  bool WaitDone(int count, std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return done_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int done_ = 0;
};

// An emulator on an ephemeral loopback port and the program's network link to it.
struct LinkedEmulator {
  explicit LinkedEmulator(int latencyMs) : device(Options(latencyMs)), server(device, ServerOptions{"127.0.0.1", 0}) {
    ResetDataModel();
    ResetLinkState();
    InstallSyncJobs();
    ok = server.Start();
    SetNetworkPeer("127.0.0.1", server.Port());
    ok = ok && OpenNetworkLink(&sink) == 1;
  }
  ~LinkedEmulator() {
    ShutdownSyncJobs();
    CloseNetworkLink(true);
    server.Stop();
  }
  static DeviceOptions Options(int latencyMs) {
    DeviceOptions o;
    o.replyLatency = std::chrono::milliseconds(latencyMs);
    return o;
  }
  // Mean time of one synchronous command sent straight to the socket.
  double RoundTripSeconds(int samples) {
    LinkState& link = CurrentLink();
    link.queuedSendMode = false;
    SendCommand({kCmdGetMode});  // take the initial signal
    const auto start = Clock::now();
    for (int i = 0; i < samples; ++i) SendCommand({kCmdGetMode});
    link.replyEvent.Wait(std::chrono::seconds(2));  // the last answer
    link.replyEvent.Set();
    link.queuedSendMode = true;
    return std::chrono::duration<double>(Clock::now() - start).count() / samples;
  }

  DeviceSimulator device;
  SimServer server;
  JobSink sink;
  bool ok = false;
};

// 4 identity queries, the mode, 63 chunks, machine settings, remote table.
constexpr int kReadJobCommands = 70;
constexpr double kReadJobFixedWaits = 0.150;  // 100 ms before, 50 ms after

void BM_ReadJobAgainstFloor(benchmark::State& state) {
  const int latencyMs = int(state.range(0));
  LinkedEmulator emu(latencyMs);
  if (!emu.ok) {
    state.SkipWithError("emulator or link did not start");
    return;
  }
  const double rtt = emu.RoundTripSeconds(50);
  double jobSeconds = 0;
  int jobs = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    StartReadJob();
    if (!emu.sink.WaitDone(++jobs, std::chrono::seconds(60))) {
      state.SkipWithError("read job did not finish");
      return;
    }
    jobSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(jobSeconds);
  }
  // The round trip already includes the emulator's latency.
  const double floor = kReadJobFixedWaits + kReadJobCommands * rtt;
  state.counters["round_trip_ms"] = rtt * 1e3;
  state.counters["job_ms"] = jobSeconds * 1e3;
  state.counters["ratio_to_floor"] = jobSeconds / floor;
}
BENCHMARK(BM_ReadJobAgainstFloor)->Arg(0)->Arg(5)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// 1,000 writes of the music master volume within one second, emulator latency 5 ms.
void BM_SliderBurst(benchmark::State& state) {
  constexpr int kLatencyMs = 5;
  constexpr int kWrites = 1000;
  LinkedEmulator emu(kLatencyMs);
  if (!emu.ok) {
    state.SkipWithError("emulator or link did not start");
    return;
  }
  const double rtt = emu.RoundTripSeconds(20);
  const DspRecordLayout* record = FindRecord(4, 0x0C);
  double framesRatio = 0, settleRatio = 0;
  for (auto _ : state) {
    const int before = emu.device.CommandsReceived();
    const auto start = Clock::now();
    for (int i = 0; i < kWrites; ++i) {
      SetParameter(4, 0x0C, i % 100);
      std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * (i + 1)));
    }
    const auto lastWrite = Clock::now();
    const std::uint32_t finalWord = UiValueToWord(ConversionKind::Percent, (kWrites - 1) % 100);
    Clock::time_point settled = lastWrite;
    while (Clock::now() - lastWrite < std::chrono::seconds(5)) {
      const ParameterImageBytes image = emu.device.WorkingImage();
      if (GetU32(&image[record->ValueOffset()]) == finalWord) {
        settled = Clock::now();
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double burstSeconds = std::chrono::duration<double>(lastWrite - start).count();
    const int frames = emu.device.CommandsReceived() - before;
    framesRatio = frames / (burstSeconds / (kLatencyMs / 1000.0));
    settleRatio = std::chrono::duration<double>(settled - lastWrite).count() / rtt;
    state.counters["frames_on_wire"] = frames;
    state.counters["settle_ms"] = std::chrono::duration<double, std::milli>(settled - lastWrite).count();
  }
  state.counters["round_trip_ms"] = rtt * 1e3;
  state.counters["frames_per_minimum"] = framesRatio;
  state.counters["settle_per_round_trip"] = settleRatio;
}
BENCHMARK(BM_SliderBurst)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dsptune
