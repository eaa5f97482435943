// Cost of the EQ curve maths. BM_ComputeBandResponse is budgeted against
// BM_BareLibmLoop (the libm calls one grid point needs, with nothing else) and must
// stay within 1.5 times it.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

#include "dsp/Biquad.h"
#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"

namespace {

using namespace dsptune;

constexpr int kPlotWidth = 800;

void BM_ComputeBandResponse(benchmark::State& state) {
  EqBand band;
  band.type = kFilterPeq;
  band.gain = 6.0f;
  band.q = 1.41f;
  float frequency = 1000.0f;
  for (auto _ : state) {
    band.frequency = frequency;  // as during a drag: a new frequency on every call
    ComputeBandResponse(band, kGridMinHz, kGridMaxHz, kPlotWidth);
    benchmark::DoNotOptimize(band.response.data());
    benchmark::ClobberMemory();
    frequency = frequency < 10000.0f ? frequency * 1.01f : 1000.0f;
  }
  state.SetItemsProcessed(state.iterations() * kResponsePoints);
}
BENCHMARK(BM_ComputeBandResponse);

// One pow (grid frequency), one sin (the sin² term) and two log10 (numerator and
// denominator) per point on the same grid.
void BM_BareLibmLoop(benchmark::State& state) {
  const double span = std::log10(kGridMaxHz / kGridMinHz);
  double bias = 1.0;
  for (auto _ : state) {
    double sum = 0.0;
    for (int i = 0; i < kResponsePoints; ++i) {
      const double f = kGridMinHz * std::pow(10.0, (static_cast<double>(i) / kResponsePoints) * span);
      const double h = std::sin(3.141592653589793 * f / kDeviceSampleRate);
      sum += std::log10(bias + h) - std::log10(bias + 2 * h);
    }
    benchmark::DoNotOptimize(sum);
    bias = bias < 2.0 ? bias * 1.01 : 1.0;
  }
  state.SetItemsProcessed(state.iterations() * kResponsePoints);
}
BENCHMARK(BM_BareLibmLoop);

// An output-channel equaliser after a reload: 15 bands designed and evaluated, then summed.
void BM_SumFifteenBands(benchmark::State& state) {
  std::array<EqBand, 15> bands;
  for (int b = 0; b < 15; ++b) {
    bands[b].index = b;
    bands[b].type = (b % 5) + 1;
    bands[b].frequency = 25.0f * std::pow(1.6f, static_cast<float>(b));
    bands[b].gain = static_cast<float>((b % 7) - 3);
    bands[b].q = 1.41f;
  }
  std::array<float, kResponsePoints> sum{};
  for (auto _ : state) {
    for (EqBand& band : bands) ComputeBandResponse(band, kGridMinHz, kGridMaxHz, kPlotWidth);
    SumBandResponses(bands.data(), static_cast<int>(bands.size()), sum);
    benchmark::DoNotOptimize(sum.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SumFifteenBands);

void BM_DesignBiquad(benchmark::State& state) {
  EqFilterType type = kFilterPeq;
  double frequency = 1000.0;
  for (auto _ : state) {
    BiquadCoefficients c = DesignBiquad(type, frequency, 6.0, 1.41, 0.0, kDeviceSampleRate);
    benchmark::DoNotOptimize(c);
    type = type < kHighestFilterType ? type + 1 : kFilterPeq;  // every designer path in turn
    frequency = frequency < 10000.0 ? frequency * 1.01 : 1000.0;
  }
}
BENCHMARK(BM_DesignBiquad);

}  // namespace
