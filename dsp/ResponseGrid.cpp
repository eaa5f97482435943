#include "dsp/ResponseGrid.h"

#include <algorithm>
#include <cmath>

#include "dsp/Biquad.h"

namespace dsptune {
namespace {

// The sin² term of BiquadMagnitudeDb at every point of one grid. Every panel uses the
// default axis, so its terms are built once and a band response then costs only the
// two logarithms per point; they come from the same functions as the direct path, so
// the responses are bit-identical either way.
using PhiGrid = std::array<double, kResponsePoints>;

void BuildGrid(PhiGrid& phi, double fMin, double fMax) {
  for (int i = 0; i < kResponsePoints; ++i) {
    phi[i] = BiquadPhi(ResponseGridFrequency(i, fMin, fMax), kDeviceSampleRate);
  }
}

const PhiGrid& DefaultGrid() {
  static const PhiGrid phi = [] {
    PhiGrid g;
    BuildGrid(g, kGridMinHz, kGridMaxHz);
    return g;
  }();
  return phi;
}

// Grid point under the marker of a band at f0 Hz on a plot plotWidth pixels wide, or
// -1 when it falls outside the grid. The pixel column is truncated first and then
// divided by the float width of one grid step, as the graph places its markers.
int PinnedPoint(double f0, double fMin, double fMax, int plotWidth) {
  if (plotWidth <= 0) return -1;
  const double column = std::trunc(plotWidth * std::log10(f0 / fMin) / std::log10(fMax / fMin));
  const float step = static_cast<float>(plotWidth) / static_cast<float>(kResponsePoints);
  const float k = std::trunc(static_cast<float>(column) / step);
  if (!(k >= 0.0f && k < static_cast<float>(kResponsePoints))) return -1;  // also NaN
  return static_cast<int>(k);
}

void ComputeSection(EqBand& band, double fMin, double fMax, int plotWidth, const PhiGrid& phi) {
  if (band.type == kFilterOff) return;
  const BiquadCoefficients c = DesignBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kDeviceSampleRate);
  for (int i = 0; i < kResponsePoints; ++i) {
    band.response[i] = static_cast<float>(BiquadMagnitudeDbAtPhi(c, phi[i]));
  }
  if (band.type == kFilterPeq) {
    const int k = PinnedPoint(band.frequency, fMin, fMax, plotWidth);
    if (k >= 0) band.response[k] = band.gain;
  }
}

}  // namespace

float ResponseGridFrequency(int i, double fMin, double fMax) {
  const double exponent = (static_cast<double>(i) / kResponsePoints) * std::log10(fMax / fMin);
  return static_cast<float>(fMin * std::pow(10.0, exponent));
}

void ComputeBandResponse(EqBand& band, double fMin, double fMax, int plotWidth) {
  if (band.type == kFilterOff) return;
  if (!(fMin > 0.0 && fMin < fMax && fMax < kDeviceSampleRate / 2)) return;  // also NaN

  PhiGrid custom;
  const bool isDefault = fMin == kGridMinHz && fMax == kGridMaxHz;
  if (!isDefault) BuildGrid(custom, fMin, fMax);
  const PhiGrid& phi = isDefault ? DefaultGrid() : custom;

  const int sections = std::clamp(band.linkedCount, 0, static_cast<int>(band.linked.size()));
  for (int j = 0; j < sections; ++j) {
    EqBand* section = band.linked[j];
    if (section == nullptr || section == &band) continue;
    section->frequency = band.frequency;
    ComputeSection(*section, fMin, fMax, plotWidth, phi);
  }
  ComputeSection(band, fMin, fMax, plotWidth, phi);
}

void SumBandResponses(const EqBand* bands, int count, std::array<float, kResponsePoints>& out) {
  out.fill(0.0f);
  if (bands == nullptr) return;
  for (int b = 0; b < count; ++b) {
    if (bands[b].type == kFilterOff) continue;
    for (int i = 0; i < kResponsePoints; ++i) out[i] += bands[b].response[i];
  }
}

}  // namespace dsptune
