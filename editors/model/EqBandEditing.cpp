#include "editors/model/EqBandEditing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The crossover row a cascade head's four types match: its family, and its menu type
// in `menuType` (left as it was when no row matches).
int HeadFamily(const EqBand& head, int& menuType) {
  return CrossoverReverseLookup(head.type, head.linked[0]->type, head.linked[1]->type, head.linked[2]->type,
                                menuType);
}

}  // namespace

double LeadingNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

int ShownMenuType(const EqBand& band) {
  int menuType = band.type;
  if (IsCascadeHead(band)) HeadFamily(band, menuType);
  return menuType >= kFilterPeq && menuType <= kFilterHighShelf ? menuType : 0;
}

bool IsCascadeSection(const EqBand& band) { return band.index > EqPanelModel::kCascadeHead && band.shown == 0; }

bool OffersCrossoverFamily(const EqBand& band) {
  return IsCascadeHead(band) &&
         (band.type == kFilterLowPass || band.type == kFilterHighPass || band.type > kFilterHighShelf);
}

int ShownCrossoverFamily(const EqBand& band) {
  if (!IsCascadeHead(band)) return 0;
  int menuType = 0;
  const int family = HeadFamily(band, menuType);
  return family < kNamedCrossoverFamilies ? family : 0;
}

namespace {
constexpr double kLowestHz = 20.0, kHighestHz = 20000.0;
}  // namespace

int FrequencyAtSliderPosition(int position) {
  const double share = double(std::clamp(position, 0, kFrequencySliderSteps)) / kFrequencySliderSteps;
  return SaturatingRound<int>(kLowestHz * std::pow(kHighestHz / kLowestHz, share));
}

int FrequencySliderPosition(double hz) {
  if (!(hz > kLowestHz)) return 0;  // NaN too
  const double share = std::log(hz / kLowestHz) / std::log(kHighestHz / kLowestHz);
  return std::clamp(SaturatingRound<int>(share * kFrequencySliderSteps), 0, kFrequencySliderSteps);
}

BandSliderPositions SliderPositions(const EqBand& band) {
  BandSliderPositions p;
  p.gain = SaturatingRound<int>(band.gain * 10.0f);
  p.frequency = FrequencySliderPosition(band.frequency);
  p.q = SaturatingRound<int>(band.q * 100.0f);
  p.qMaximum = band.type == kFilterPeq ? 3000 : 200;
  p.gainEnabled = IsGainType(band.type);
  return p;
}

void ApplyListValues(EqPanelModel& model, int band, double gainDb, double frequencyHz, double q) {
  model.SetBandGain(band, float(gainDb));
  if (frequencyHz != 0.0) model.SetBandFrequency(band, float(frequencyHz));
  model.SetBandQ(band, float(q));
}

void ApplyEditorValues(EqPanelModel& model, int band, double gainDb, double frequencyHz, double q) {
  ApplyListValues(model, band, gainDb, std::max(20.0, frequencyHz), q);
}

const EqBand* BandToWrite(EqPanelModel& model, int band) {
  const EqBand* b = model.BandAt(band);
  if (!b || band >= model.BandCount()) return nullptr;
  const float wholeHz = std::trunc(b->frequency);
  if (b->frequency != wholeHz) model.SetBandFrequency(band, wholeHz);
  return b;
}

bool LoadStoredBands(EqPanelModel& model, StoredBandType types) {
  const int eq = model.EqNumber();
  for (int i = 0; i < model.BandCount(); ++i) {
    const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, i), kBandRecordSize);
    if (bytes.size() < std::size_t(kBandRecordSize)) return false;
    const BandRecord record = DecodeBandRecord(bytes.data());
    if (types == StoredBandType::kAsStored || !model.ApplyMenuType(i, record.type)) model.SetBandType(i, record.type);
    model.SetBandGain(i, record.GainDb());
    if (record.frequency != 0) model.SetBandFrequency(i, float(record.frequency));
    model.SetBandQ(i, record.Q());
  }
  return true;
}

}  // namespace dsptune
