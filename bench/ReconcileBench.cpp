// Bringing a device back to the working settings after a reconnect: the frames the
// planner's single writes take for k changed parameters, against the 64 frames of a
// whole-image write job. The requirement is at most k + 1 frames.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>

#include "model/DefaultImage.h"
#include "model/ParameterImage.h"
#include "model/WritePlan.h"

namespace {

using namespace dsptune;

class CountingWriter final : public DeviceWriter {
 public:
  void SendDspRecord(std::uint8_t, std::uint8_t, std::span<const std::uint8_t>) override { ++frames; }
  void SendLiveBytes(std::uint16_t, std::span<const std::uint8_t>) override { ++frames; }
  void SetCoalescingAllowed(bool) override {}
  int frames = 0;
};

// The defaults after k single-value edits made as the editors make them (percent
// parameters, each moved by one step).
ParameterImageBytes EditedSettings(int k) {
  ResetDataModel();
  int edited = 0;
  for (const ParameterEntry& e : ParameterTable()) {
    if (edited == k) break;
    if (e.kind != ConversionKind::Percent) continue;
    SetParameter(e.block, e.address, UiValue(e.block, e.address) == 0 ? 1 : UiValue(e.block, e.address) - 1);
    ++edited;
  }
  return WorkingSettings();
}

// Argument: k, the number of parameters that differ.
void BM_ReconcileFrames(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  const ParameterImageBytes to = EditedSettings(k);
  CountingWriter writer;
  SetCoefficientWriter(&writer);
  int frames = 0;
  bool fullWriteCheaper = false;
  for (auto _ : state) {
    state.PauseTiming();
    ResetDataModel();
    SetDeviceWriter(&writer);
    writer.frames = 0;
    state.ResumeTiming();
    const WritePlan plan = PlanWrites(WorkingSettings(), to);
    SendPlan(plan, to);
    frames = writer.frames;
    fullWriteCheaper = plan.fullWriteCheaper;
  }
  SetDeviceWriter(nullptr);
  SetCoefficientWriter(nullptr);
  state.counters["k"] = k;
  state.counters["frames"] = frames;
  state.counters["full_write_frames"] = kFullWriteFrames;
  if (frames > k + 1 || fullWriteCheaper) state.SkipWithError("the single writes take more than k + 1 frames");
}
BENCHMARK(BM_ReconcileFrames)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(32);

}  // namespace
