#include "editors/model/EqPanelModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "model/EqBandStore.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

constexpr float kBandMinQ = 0.1f;
constexpr float kPeqMaxQ = 30.0f;
constexpr float kOtherMaxQ = 2.0f;
constexpr float kMinFrequencyHz = 20.0f;   // SetBandFrequency limits
constexpr float kMaxFrequencyHz = 20000.0f;
constexpr int kBandRecordBytes = 7;
constexpr std::array<float, 7> kSevenBandFrequencies{31, 62, 125, 250, 500, 1000, 2000};

// Clamp that also maps NaN to the lower limit, so no value can leave the range.
float ClampValue(float v, float lo, float hi) {
  if (!(v >= lo)) return lo;
  return v > hi ? hi : v;
}

// Q range of the drag and key paths: "LP".."HS" are kept to 2, everything else to 30.
float DragMaxQ(int type) { return type >= kFilterLowPass && type <= kFilterHighShelf ? kOtherMaxQ : kPeqMaxQ; }

void ClampToBandLimits(EqBand& band) {
  band.gain = ClampValue(band.gain, band.gainLimits[0], band.gainLimits[1]);
  band.frequency = ClampValue(band.frequency, band.frequencyLimits[0], band.frequencyLimits[1]);
}

void ResetSlot(EqBand& band, int slot) {
  band = EqBand{};
  band.index = slot;
}

void MakeDefaultBand(EqBand& band, float frequencyHz) {
  band.type = kFilterPeq;
  band.frequency = frequencyHz;
  band.gain = 0.0f;
  band.q = kDefaultBandQ;
  band.linkedCount = 0;
  band.linked = {};
  band.shown = 1;
}

struct Title {
  const char* english;
  const char* chinese;
};
constexpr std::array<Title, 16> kTitles{{
    {"Mic A EQ", "话筒A均衡"},   {"Mic B EQ", "话筒B均衡"},   {"Echo A EQ", "回声A均衡"},
    {"Echo B EQ", "回声B均衡"},  {"Reverb A EQ", "混响A均衡"}, {"Reverb B EQ", "混响B均衡"},
    {"Music EQ", "音乐均衡"},    {"CH1 EQ", "通道1均衡"},     {"CH2 EQ", "通道2均衡"},
    {"CH3 EQ", "通道3均衡"},     {"CH4 EQ", "通道4均衡"},     {"CH5 EQ", "通道5均衡"},
    {"CH6 EQ", "通道6均衡"},     {"CH7 EQ", "通道7均衡"},     {"CH8 EQ", "通道8均衡"},
    {"Record EQ", "录音均衡"},
}};

}  // namespace

bool IsGainType(int type) { return type == kFilterPeq || type == kFilterLowShelf || type == kFilterHighShelf; }

const char* EqPanelTitle(int eq, int language) {
  if (!IsEqNumber(eq)) return "";
  return language == 1 ? kTitles[eq].english : kTitles[eq].chinese;
}

GainLevel GainLevelOf(float gainDb) {
  const float magnitude = std::fabs(gainDb);
  if (magnitude <= 6.0f) return GainLevel::kNormal;
  if (magnitude < 10.1f) return GainLevel::kRaised;
  return GainLevel::kHigh;
}

bool LabelsAboveMarker(float gainDb) { return gainDb < -0.01f; }

ReadoutPlace PlaceReadout(double centreX, double centreY, double width, double height, double gap, bool above,
                          double panelWidth, double panelHeight, const std::vector<std::array<double, 2>>& others,
                          double radius) {
  const auto fit = [&](double left, double top) {
    return ReadoutPlace{std::clamp(left, 0.0, std::max(0.0, panelWidth - width)),
                        std::clamp(top, 0.0, std::max(0.0, panelHeight - height))};
  };
  const auto covered = [&](const ReadoutPlace& box) {
    int count = 0;
    for (const auto& o : others)
      if (o[0] + radius > box.left && o[0] - radius < box.left + width && o[1] + radius > box.top &&
          o[1] - radius < box.top + height)
        ++count;
    return count;
  };
  const bool rightFits = centreX + gap + width <= panelWidth - 2;
  // Corners in order of preference: the preferred side and height first.
  const double sides[2] = {rightFits ? 1.0 : -1.0, rightFits ? -1.0 : 1.0};
  const double heights[2] = {above ? -1.0 : 1.0, above ? 1.0 : -1.0};
  ReadoutPlace best{};
  int fewest = -1;
  for (int push = 0; push < 4; ++push) {  // then further out, a marker's width at a time
    const double reach = gap + push * 2.0 * radius;
    for (double vertical : heights) {
      for (double side : sides) {
        const double left = side > 0 ? centreX + reach : centreX - reach - width;
        const double top = vertical > 0 ? centreY + gap : centreY - gap - height;
        const ReadoutPlace box = fit(left, top);
        const int count = covered(box);
        if (count == 0) return box;
        if (fewest < 0 || count < fewest) {
          fewest = count;
          best = box;
        }
      }
    }
  }
  return best;
}

// ---------------------------------------------------------------------------------

EqPanelModel::EqPanelModel() {
  for (int i = 0; i < kMaxBands; ++i) bands_[i].index = i;
  SetClientSize(0, 0);
}

EqPanelModel::EqPanelModel(const EqPanelModel& other) { *this = other; }

EqPanelModel& EqPanelModel::operator=(const EqPanelModel& other) {
  if (this == &other) return *this;
  bands_ = other.bands_;
  count_ = other.count_;
  eq_ = other.eq_;
  language_ = other.language_;
  disabled_ = other.disabled_;
  bypass_ = other.bypass_;
  clientWidth_ = other.clientWidth_;
  clientHeight_ = other.clientHeight_;
  plot_ = other.plot_;
  selected_ = other.selected_;
  hovered_ = other.hovered_;
  leftDown_ = other.leftDown_;
  rightDown_ = other.rightDown_;
  moved_ = other.moved_;
  pressX_ = other.pressX_;
  pressY_ = other.pressY_;
  grabX_ = other.grabX_;
  grabY_ = other.grabY_;
  lastRightX_ = other.lastRightX_;
  RelinkFrom(other);
  return *this;
}

void EqPanelModel::RelinkFrom(const EqPanelModel& other) {
  const EqBand* first = other.bands_.data();
  const EqBand* last = first + kMaxBands;
  for (EqBand& band : bands_) {
    for (EqBand*& link : band.linked) {
      if (link >= first && link < last) link = &bands_[static_cast<std::size_t>(link - first)];
    }
  }
}

// ---- panel state ----

void EqPanelModel::ClearLinks() {
  for (EqBand& band : bands_) {
    band.linkedCount = 0;
    band.linked = {};
    band.shown = 1;
  }
}

void EqPanelModel::LinkCascade() {
  EqBand& head = bands_[kCascadeHead];
  head.linkedCount = 3;
  for (int j = 0; j < 3; ++j) {
    EqBand& section = bands_[kCascadeHead + 1 + j];
    head.linked[j] = &section;
    section.shown = 0;
  }
}

bool EqPanelModel::SetEqNumber(int n) {
  if (!IsEqNumber(n)) return false;
  eq_ = n;
  for (int i = 0; i < kMaxBands; ++i) ResetSlot(bands_[i], i);
  const auto frequencies = DefaultEqFrequencies(n);
  count_ = static_cast<int>(std::min<std::size_t>(frequencies.size(), kMaxBands));
  for (int i = 0; i < count_; ++i) MakeDefaultBand(bands_[i], frequencies[i]);
  if (IsChannelEq(n) && count_ > kCascadeHead + 3) LinkCascade();
  if (selected_ >= count_) selected_ = -1;
  if (hovered_ >= count_) hovered_ = -1;
  RecomputeAll();
  return true;
}

// ---- geometry ----

void EqPanelModel::SetClientSize(int width, int height) {
  const int oldWidth = plot_.Width();
  clientWidth_ = width;
  clientHeight_ = height;
  plot_ = PlotRect{kPlotLeft, kPlotTop, width - kPlotRightMargin, height - kPlotBottomMargin};
  if (plot_.Width() != oldWidth) {
    RecomputeAll();
  } else {
    for (int i = 0; i < count_; ++i) RefreshMarker(bands_[i]);
  }
}

double EqPanelModel::FrequencyToX(double frequencyHz) const {
  if (!(frequencyHz > 0.0)) return 0.0;
  return plot_.Width() * std::log10(frequencyHz / kAxisMinHz) / std::log10(kAxisMaxHz / kAxisMinHz);
}

double EqPanelModel::XToFrequency(double x) const {
  if (plot_.Width() <= 0) return kAxisMinHz;
  return kAxisMinHz * std::pow(10.0, std::log10(kAxisMaxHz / kAxisMinHz) * x / plot_.Width());
}

double EqPanelModel::GainToY(double gainDb) const {
  return (kAxisMaxDb - gainDb) * plot_.Height() / (kAxisMaxDb - kAxisMinDb);
}

double EqPanelModel::YToGain(double y) const {
  if (plot_.Height() <= 0) return kAxisMaxDb;
  return kAxisMaxDb - y / plot_.Height() * (kAxisMaxDb - kAxisMinDb);
}

// A stored band may carry values outside the axes (a record from the device or a mode
// file); its marker is kept on the plot's edge so painting and hit tests stay finite.
void EqPanelModel::RefreshMarker(EqBand& band) const {
  const float f = ClampValue(band.frequency, static_cast<float>(kAxisMinHz), static_cast<float>(kAxisMaxHz));
  const float g = ClampValue(band.gain, kAxisMinDb, kAxisMaxDb);
  band.x = static_cast<float>(FrequencyToX(f));
  band.y = static_cast<float>(GainToY(g));
}

// ---- bands ----

void EqPanelModel::SetBandCount(int count) {
  count_ = std::clamp(count, 0, kMaxBands);
  if (selected_ >= count_) selected_ = -1;
  if (hovered_ >= count_) hovered_ = -1;
  RecomputeAll();
}

EqBand* EqPanelModel::BandAt(int i) { return i >= 0 && i < kMaxBands ? &bands_[i] : nullptr; }

const EqBand* EqPanelModel::BandAt(int i) const { return i >= 0 && i < kMaxBands ? &bands_[i] : nullptr; }

std::span<const EqBand> EqPanelModel::Bands() const { return {bands_.data(), static_cast<std::size_t>(count_)}; }

void EqPanelModel::SetSelected(int i) {
  if (i == -1 || IsBand(i)) selected_ = i;
}

void EqPanelModel::SetHovered(int i) {
  if (i == -1 || IsBand(i)) hovered_ = i;
}

bool EqPanelModel::SetBandType(int i, int type) {
  if (!IsBand(i)) return false;
  ApplyBandType(bands_[i], type);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::SetBandGain(int i, float gainDb) {
  if (!IsBand(i) || std::isnan(gainDb)) return false;
  EqBand& band = bands_[i];
  if (band.type == kFilterLowPass || band.type == kFilterHighPass || band.type > kFilterHighShelf) gainDb = 0.0f;
  band.gain = std::clamp(gainDb, kAxisMinDb, kAxisMaxDb);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::SetBandQ(int i, float q) {
  if (!IsBand(i) || std::isnan(q) || std::fabs(q) < 1e-7f) return false;
  EqBand& band = bands_[i];
  band.q = std::clamp(q, kBandMinQ, band.type == kFilterPeq ? kPeqMaxQ : kOtherMaxQ);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::SetBandFrequency(int i, float frequencyHz) {
  if (!IsBand(i) || std::isnan(frequencyHz) || std::fabs(frequencyHz) < 1e-7f) return false;
  bands_[i].frequency = std::clamp(frequencyHz, kMinFrequencyHz, kMaxFrequencyHz);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::SetCrossoverFamily(int i, int family) {
  if (!IsBand(i)) return false;
  if (!dsptune::SetCrossoverFamily(bands_[i], family, plot_.Width(), kAxisMinHz, kAxisMaxHz)) return false;
  RecomputeBand(i);  // also refreshes the markers of the head and its sections
  return true;
}

bool EqPanelModel::ApplySectionTypes(int i, const std::array<int, 4>& types) {
  EqBand& head = bands_[i];
  // Hidden sections cannot be edited in the graph, so none may keep a gain of its own.
  head.gain = 0.0f;
  for (EqBand* section : head.linked) section->gain = 0.0f;
  ApplyBandType(head, types[0]);
  for (std::size_t j = 0; j < head.linked.size(); ++j) ApplyBandType(*head.linked[j], types[j + 1]);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::ApplyMenuType(int i, int menuType) {
  CascadeTypes types{};
  if (!IsBand(i) || !CascadeMenuTypes(menuType, types)) return false;
  if (IsCascadeHead(bands_[i])) return ApplySectionTypes(i, types);
  return SetBandType(i, menuType);
}

void EqPanelModel::LoadSevenBandPreset() {
  ClearLinks();
  count_ = static_cast<int>(kSevenBandFrequencies.size());
  for (int i = 0; i < count_; ++i) {
    ResetSlot(bands_[i], i);
    MakeDefaultBand(bands_[i], kSevenBandFrequencies[i]);
  }
  if (selected_ >= count_) selected_ = -1;
  if (hovered_ >= count_) hovered_ = -1;
  RecomputeAll();
}

bool EqPanelModel::LoadBandsFromLiveBlock() {
  if (!IsEqNumber(eq_)) return false;
  // Never read past the EQ's own record slots into its neighbour's records.
  const int readable = std::min(count_, EqLayoutOf(eq_).recordSlots);
  bool complete = readable == count_;
  for (int b = 0; b < readable; ++b) {
    const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq_, b), kBandRecordBytes);
    if (bytes.size() < static_cast<std::size_t>(kBandRecordBytes)) {
      complete = false;
      break;
    }
    const BandRecord record = DecodeBandRecord(bytes.data());
    EqBand& band = bands_[b];
    band.type = record.type;
    band.frequency = static_cast<float>(record.frequency);
    band.gain = record.GainDb();
    band.q = record.Q();
  }
  RecomputeAll();
  return complete;
}

void EqPanelModel::RecomputeBand(int i) {
  if (!IsBand(i)) return;
  EqBand& band = bands_[i];
  ComputeBandResponse(band, kAxisMinHz, kAxisMaxHz, plot_.Width());
  RefreshMarker(band);
  for (int j = 0; j < band.linkedCount && j < static_cast<int>(band.linked.size()); ++j) {
    if (band.linked[j] != nullptr) RefreshMarker(*band.linked[j]);
  }
}

void EqPanelModel::RecomputeAll() {
  for (int i = 0; i < count_; ++i) RecomputeBand(i);
}

std::array<float, kResponsePoints> EqPanelModel::SummedResponse() const {
  std::array<float, kResponsePoints> sum{};
  SumBandResponses(bands_.data(), count_, sum);
  return sum;
}

std::array<float, kResponsePoints> EqPanelModel::BandAreaResponse(int i) const {
  std::array<float, kResponsePoints> area{};
  if (IsBand(i)) CascadeResponse(bands_[i], area);
  return area;
}

// ---- hit testing ----

int EqPanelModel::PickLimit() const {
  // The hidden sections of a channel EQ's crossover follow band 9 and are not pickable.
  return IsChannelEq(eq_) ? std::min(count_, kCascadeHead + 1) : count_;
}

int EqPanelModel::HitTest(double x, double y) const {
  const double px = x - plot_.left;
  const double py = y - plot_.top;
  for (int i = 0; i < PickLimit(); ++i) {
    const EqBand& band = bands_[i];
    if (band.shown == 0 || band.type == kFilterOff) continue;
    if (std::fabs(px - band.x) < kPickRadius && std::fabs(py - band.y) < kPickRadius) return i;
  }
  return -1;
}

int EqPanelModel::HitTestRight(double x, double y) const {
  const double px = x - plot_.left;
  const double py = y - plot_.top;
  for (int i = 0; i < PickLimit(); ++i) {
    const EqBand& band = bands_[i];
    if (band.shown == 0) continue;
    if (std::fabs(px - band.x) < kHoverRadius && std::fabs(py - band.y) < kHoverRadius) return i;
  }
  return -1;
}

int EqPanelModel::HoverTest(double x, double y) const {
  const double px = x - plot_.left;
  const double py = y - plot_.top;
  for (int i = count_ - 1; i >= 0; --i) {
    const EqBand& band = bands_[i];
    // A hidden section sits under its head's marker; it must not take the hover from it.
    if (band.shown == 0 || band.type == kFilterOff) continue;
    if (std::fabs(px - band.x) < kHoverRadius && std::fabs(py - band.y) < kHoverRadius) return i;
  }
  return -1;
}

// ---- drag, wheel and keys ----

bool EqPanelModel::DragTo(int i, double x, double y) {
  if (!IsBand(i) || plot_.Width() <= 0 || plot_.Height() <= 0) return false;
  EqBand& band = bands_[i];
  const bool pressedBand = leftDown_ && i == selected_;
  band.frequency = pressedBand && x == pressX_ ? pressFrequency_ : static_cast<float>(XToFrequency(x - plot_.left));
  if (IsGainType(band.type)) {
    const double gain = YToGain(y - plot_.top - grabY_);
    band.gain = pressedBand && y == pressY_ ? pressGain_ : static_cast<float>(std::round(gain * 10.0) / 10.0);
  } else {
    band.gain = 0.0f;
  }
  ClampToBandLimits(band);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::DragQTo(int i, double x, double y) {
  if (!IsBand(i)) return false;
  EqBand& band = bands_[i];
  const bool narrowRange = band.type >= kFilterLowPass && band.type <= kFilterHighShelf;
  const double scale = narrowRange ? 80.0 : 12.0;
  const double q = band.q + ((x - lastRightX_) + (lastRightY_ - y)) / scale;
  lastRightX_ = x;
  lastRightY_ = y;
  band.q = ClampValue(static_cast<float>(q), kBandMinQ, DragMaxQ(band.type));
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::WheelStep(int i, int notches) {
  if (!IsBand(i) || notches == 0) return false;
  EqBand& band = bands_[i];
  if (!IsGainType(band.type)) return false;
  band.gain = ClampValue(band.gain + 0.1f * static_cast<float>(notches), band.gainLimits[0], band.gainLimits[1]);
  RecomputeBand(i);
  return true;
}

bool EqPanelModel::KeyStep(int i, PanelKey key, bool leftCtrl) {
  if (!IsBand(i)) return false;
  EqBand& band = bands_[i];
  switch (key) {
    case PanelKey::kLeft:
    case PanelKey::kRight: {
      const float f = band.frequency;
      float step = f > 10000.0f ? 100.0f : f > 1000.0f ? 10.0f : f > 100.0f ? 5.0f : 2.0f;
      if (leftCtrl) step += 1.0f;
      band.frequency = key == PanelKey::kRight ? f + step : f - step;
      break;
    }
    case PanelKey::kUp:
    case PanelKey::kDown: {
      if (!IsGainType(band.type)) return false;
      const float step = leftCtrl ? 0.1f : 0.2f;
      band.gain += key == PanelKey::kUp ? step : -step;
      break;
    }
    case PanelKey::kPlus:
    case PanelKey::kMinus: {
      const float step = leftCtrl ? 0.01f : 0.1f;
      band.q += key == PanelKey::kPlus ? step : -step;
      break;
    }
    case PanelKey::kOther:
      return false;
  }
  ClampToBandLimits(band);
  band.q = ClampValue(band.q, kBandMinQ, DragMaxQ(band.type));
  RecomputeBand(i);
  return true;
}

// ---- input state machine ----

PanelEvent EqPanelModel::LeftPress(double x, double y) {
  PanelEvent event;
  if (disabled_ || rightDown_) return event;
  event.accepted = true;
  event.repaint = true;
  pressX_ = x;
  pressY_ = y;
  leftDown_ = true;
  moved_ = false;
  selected_ = HitTest(x, y);
  if (selected_ >= 0) {
    const EqBand& band = bands_[selected_];
    grabX_ = SaturatingCast<int>(x - plot_.left - band.x);
    grabY_ = SaturatingCast<int>(y - plot_.top - band.y);
    pressFrequency_ = band.frequency;
    pressGain_ = band.gain;
    event.bandPressed = true;
    event.band = selected_;
  }
  return event;
}

PanelEvent EqPanelModel::RightPress(double x, double y) {
  PanelEvent event;
  if (disabled_ || leftDown_) return event;
  event.accepted = true;
  event.repaint = true;
  pressX_ = x;
  pressY_ = y;
  rightDown_ = true;
  moved_ = false;
  selected_ = HitTestRight(x, y);
  if (selected_ >= 0) {
    lastRightX_ = x;
    lastRightY_ = y;
    event.bandChanged = true;
    event.band = selected_;
  }
  return event;
}

PanelEvent EqPanelModel::MouseMove(double x, double y) {
  PanelEvent event;
  event.accepted = true;
  event.repaint = true;
  const bool buttonDown = leftDown_ || rightDown_;
  if (!buttonDown) hovered_ = HoverTest(x, y);
  if (buttonDown && IsBand(selected_) && (std::fabs(x - pressX_) > 1.0 || std::fabs(y - pressY_) > 1.0)) {
    moved_ = true;
  }
  if (moved_ && IsBand(selected_)) {
    bool changed = false;
    if (leftDown_) {
      changed = DragTo(selected_, x, y);
    } else if (rightDown_) {
      changed = DragQTo(selected_, x, y);
    }
    if (changed) {
      event.bandChanged = true;
      event.band = selected_;
    }
  }
  return event;
}

PanelEvent EqPanelModel::LeftRelease() {
  PanelEvent event;
  if (!leftDown_) return event;
  event.accepted = true;
  event.repaint = true;
  if (selected_ < 0) {
    event.emptyClicked = true;
  } else if (moved_) {
    event.bandChanged = true;
    event.band = selected_;
  }
  leftDown_ = false;
  return event;
}

PanelEvent EqPanelModel::RightRelease() {
  PanelEvent event;
  if (!rightDown_) return event;
  event.accepted = true;
  event.repaint = true;
  if (selected_ < 0) {
    event.showCopyPasteMenu = true;
  } else {
    event.bandChanged = true;
    event.showTypeMenu = !moved_;
    event.band = selected_;
  }
  rightDown_ = false;
  return event;
}

PanelEvent EqPanelModel::Wheel(int notches) {
  PanelEvent event;
  if (!IsBand(selected_) || !IsGainType(bands_[selected_].type)) return event;
  event.accepted = true;
  if (WheelStep(selected_, notches)) {
    event.bandChanged = true;
    event.repaint = true;
    event.band = selected_;
  }
  return event;
}

PanelEvent EqPanelModel::KeyPress(PanelKey key, bool leftCtrl) {
  PanelEvent event;
  if (!IsBand(selected_)) return event;
  event.accepted = true;
  if (KeyStep(selected_, key, leftCtrl)) {
    event.bandChanged = true;
    event.repaint = true;
    event.band = selected_;
  }
  return event;
}

}  // namespace dsptune
