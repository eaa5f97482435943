#include "dsp/Crossover.h"

#include "dsp/Biquad.h"

namespace dsptune {
namespace {

struct Family {
  const char* name;
  CascadeTypes lowPass;
};

// High-pass rows are derived (code + 1, flat stays flat) so the two sides cannot drift apart.
constexpr std::array<Family, kCrossoverFamilyCount> kFamilies{{
    {"LinkwitzRiely 12dB", {10, 10, 1, 1}},
    {"LinkwitzRiely 24dB", {12, 12, 1, 1}},
    {"LinkwitzRiely 36dB", {14, 10, 14, 10}},
    {"LinkwitzRiely 48dB", {18, 20, 18, 20}},
    {"Bessel 12dB", {8, 1, 1, 1}},
    {"Bessel 18dB", {8, 10, 1, 1}},
    {"Bessel 24dB", {8, 8, 1, 1}},
    {"Butterworth 12dB", {12, 1, 1, 1}},
    {"Butterworth 18dB", {14, 10, 1, 1}},
    {"Butterworth 24dB", {18, 20, 1, 1}},
    {"Chebyshev 12dB", {6, 1, 1, 1}},
    {"", {1, 1, 1, 1}},
}};

constexpr int kMenuFamily = 9;  // "LP"/"HP" on a cascade head: Butterworth 24 dB/octave

constexpr CascadeTypes HighPassOf(const CascadeTypes& lowPass) {
  CascadeTypes t{};
  for (std::size_t j = 0; j < t.size(); ++j) t[j] = lowPass[j] == kFilterPeq ? kFilterPeq : lowPass[j] + 1;
  return t;
}

struct LookupRow {
  int family;
  CascadeTypes types;
  int menuType;
};

// 25 rows: each named family's low-pass ("LP") then high-pass ("HP") row, then the
// flat, low-shelf and high-shelf rows. First match wins.
constexpr std::array<LookupRow, 25> BuildLookup() {
  std::array<LookupRow, 25> rows{};
  std::size_t r = 0;
  for (int f = 0; f < kCrossoverFlatFamily; ++f) {
    rows[r++] = {f, kFamilies[f].lowPass, kFilterLowPass};
    rows[r++] = {f, HighPassOf(kFamilies[f].lowPass), kFilterHighPass};
  }
  rows[r++] = {11, {1, 1, 1, 1}, kFilterPeq};
  rows[r++] = {12, {4, 1, 1, 1}, kFilterLowShelf};
  rows[r++] = {13, {5, 1, 1, 1}, kFilterHighShelf};
  return rows;
}
constexpr std::array<LookupRow, 25> kLookup = BuildLookup();

bool IsOddCode(int type) { return type % 2 != 0; }

}  // namespace

const char* CrossoverFamilyName(int family) {
  if (family < 0 || family >= kCrossoverFamilyCount) return "";
  return kFamilies[family].name;
}

bool CrossoverSectionTypes(int family, bool highPass, CascadeTypes& types) {
  if (family < 0 || family >= kCrossoverFamilyCount) return false;
  types = highPass ? HighPassOf(kFamilies[family].lowPass) : kFamilies[family].lowPass;
  return true;
}

bool CascadeMenuTypes(int menuType, CascadeTypes& types) {
  switch (menuType) {
    case kFilterPeq: types = kFamilies[kCrossoverFlatFamily].lowPass; return true;
    case kFilterLowPass: types = kFamilies[kMenuFamily].lowPass; return true;
    case kFilterHighPass: types = HighPassOf(kFamilies[kMenuFamily].lowPass); return true;
    case kFilterLowShelf: types = {kFilterLowShelf, 1, 1, 1}; return true;
    case kFilterHighShelf: types = {kFilterHighShelf, 1, 1, 1}; return true;
    default: return false;
  }
}

void ApplyBandType(EqBand& band, int type) {
  band.type = type;
  if (type == kFilterPeq) {
    band.q = 1.41f;
  } else if (type >= kFilterLowPass && type <= kFilterHighShelf) {
    band.gain = 0.0f;
    band.q = 0.7f;
  }
}

bool IsCascadeHead(const EqBand& head) {
  if (head.linkedCount != static_cast<int>(head.linked.size())) return false;
  for (const EqBand* section : head.linked) {
    if (section == nullptr || section == &head) return false;
  }
  return true;
}

bool SetCrossoverFamily(EqBand& head, int family, int plotWidth, double fMin, double fMax) {
  CascadeTypes types{};
  if (!IsCascadeHead(head) || !CrossoverSectionTypes(family, IsOddCode(head.type), types)) return false;
  // The sections are hidden, so a gain left on one of them (from a stored record) could
  // never be seen or undone in the graph; every section of a family runs at 0 dB.
  head.gain = 0.0f;
  for (EqBand* section : head.linked) section->gain = 0.0f;
  ApplyBandType(head, types[0]);
  for (std::size_t j = 0; j < head.linked.size(); ++j) ApplyBandType(*head.linked[j], types[j + 1]);
  ComputeBandResponse(head, fMin, fMax, plotWidth);  // copies the frequency into the sections
  return true;
}

int CrossoverReverseLookup(int headType, int link1Type, int link2Type, int link3Type, int& menuType) {
  const CascadeTypes key{headType, link1Type, link2Type, link3Type};
  for (const LookupRow& row : kLookup) {
    if (row.types == key) {
      menuType = row.menuType;
      return row.family;
    }
  }
  return 0;
}

void CascadeResponse(const EqBand& head, std::array<float, kResponsePoints>& out) {
  out = head.response;
  const int sections = head.linkedCount < 0 ? 0 : head.linkedCount;
  for (int j = 0; j < sections && j < static_cast<int>(head.linked.size()); ++j) {
    const EqBand* section = head.linked[j];
    if (section == nullptr || section == &head || section->type == kFilterOff) continue;
    for (int i = 0; i < kResponsePoints; ++i) out[i] += section->response[i];
  }
}

double CascadeMagnitudeDb(const EqBand& head, double f) {
  auto sectionDb = [&](const EqBand& band) {
    const BiquadCoefficients c = DesignBiquad(band.type, head.frequency, band.gain, band.q, 0.0, kDeviceSampleRate);
    return BiquadMagnitudeDb(c, f, kDeviceSampleRate);
  };
  double db = sectionDb(head);
  const int sections = head.linkedCount < 0 ? 0 : head.linkedCount;
  for (int j = 0; j < sections && j < static_cast<int>(head.linked.size()); ++j) {
    const EqBand* section = head.linked[j];
    if (section == nullptr || section == &head || section->type == kFilterOff) continue;
    db += sectionDb(*section);
  }
  return db;
}

}  // namespace dsptune
