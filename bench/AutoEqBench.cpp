// A full auto-EQ fit: 15 bands (Mic A EQ) over 20 Hz..20 kHz on the 1/48-octave grid,
// from a room with modes, a slope and measurement noise. Budget: 0.5 s a fit.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "autoeq/EqFit.h"
#include "dsp/Biquad.h"
#include "model/EqLayout.h"

namespace {

using namespace dsptune;

Measurement BenchRoom() {
  struct Mode {
    double hz, q, db;
  };
  const Mode modes[] = {{45, 5, 8},     {80, 7, -6},     {120, 6, 5},    {350, 3, 3},
                        {900, 2, -3},   {2500, 3, 4},    {6000, 2, -4},  {11000, 3, 3}};
  Measurement m;
  std::uint32_t seed = 12345;
  for (double f = 15.0; f <= 22000.0; f *= std::exp2(1.0 / 48.0)) {
    double level = 75.0 - 0.4 * std::log2(f / 1000.0);
    for (const Mode& mode : modes)
      level += BiquadMagnitudeDb(DesignBiquad(kFilterPeq, mode.hz, mode.db, mode.q, 0.0, kDeviceSampleRate), f,
                                 kDeviceSampleRate);
    seed = seed * 1664525u + 1013904223u;  // ±0.3 dB of noise, the same every run
    level += 0.6 * (double(seed >> 8) / double(1u << 24) - 0.5);
    m.frequencyHz.push_back(f);
    m.levelDb.push_back(level);
  }
  return m;
}

void BM_AutoEqFit15Bands(benchmark::State& state) {
  const Measurement room = BenchRoom();
  FitSetup setup;
  setup.eq = kEqMicA;
  for (int b = 0; b < 15; ++b) setup.freeSlots.push_back(b);
  FitOptions options;
  options.lowHz = 20.0;
  options.highHz = 20000.0;
  options.maxBoostDb = 6.0;
  for (auto _ : state) {
    FitResult r = FitEq(room, Target{}, setup, options);
    benchmark::DoNotOptimize(r.bands.data());
  }
}
BENCHMARK(BM_AutoEqFit15Bands)->Unit(benchmark::kMillisecond);

}  // namespace
