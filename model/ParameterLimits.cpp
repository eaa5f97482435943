#include "model/ParameterLimits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterRoles.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

// The control behind each numeric parameter: blocks first..last (the eight output
// channels share their rows), addresses first..last.
struct RangeRow {
  std::uint8_t firstBlock, lastBlock, firstAddress, lastAddress;
  ValueRange range;
};

constexpr RangeRow kRangeRows[] = {
    // Microphones: input volumes and gates, the features dialog's subwoofer volume, the
    // ribbon's microphone and effect masters, the routes and shift-frequency delays of
    // paths A and B.
    {1, 1, 0x04, 0x07, kLevelRange},
    {1, 1, 0x08, 0x0B, kNoiseGateRange},
    {1, 1, 0x0D, 0x0D, kLevelRange},
    {1, 1, 0x0E, 0x0E, kMasterVolumeRange},
    {1, 1, 0x0F, 0x0F, kLevelRange},
    {1, 1, 0x10, 0x10, kMasterVolumeRange},
    {1, 1, 0x11, 0x11, kLevelRange},
    {1, 1, 0x22, 0x25, kLevelRange},
    {1, 1, 0x27, 0x27, kShiftFrequencyDelayRange},
    {1, 1, 0x3D, 0x40, kLevelRange},
    {1, 1, 0x42, 0x42, kShiftFrequencyDelayRange},
    // Echo halves A and B (14 addresses apart), then its master and mute gain.
    {2, 2, 0x09, 0x09, kLevelRange},
    {2, 2, 0x0A, 0x0A, kEffectPredelayRange},
    {2, 2, 0x0B, 0x0B, kEchoTimeRange},
    {2, 2, 0x0C, 0x0C, kEchoStartVolumeRange},
    {2, 2, 0x0D, 0x0D, kEchoVolumeDecayRange},
    {2, 2, 0x17, 0x17, kLevelRange},
    {2, 2, 0x18, 0x18, kEffectPredelayRange},
    {2, 2, 0x19, 0x19, kEchoTimeRange},
    {2, 2, 0x1A, 0x1A, kEchoStartVolumeRange},
    {2, 2, 0x1B, 0x1B, kEchoVolumeDecayRange},
    {2, 2, 0x1C, 0x1C, kMasterVolumeRange},
    {2, 2, 0x1D, 0x1D, kLevelRange},
    // Reverb halves A and B (12 apart): level, predelay, the time and its copy.
    {3, 3, 0x08, 0x08, kLevelRange},
    {3, 3, 0x09, 0x09, kEffectPredelayRange},
    {3, 3, 0x0A, 0x0B, kLevelRange},
    {3, 3, 0x14, 0x14, kLevelRange},
    {3, 3, 0x15, 0x15, kEffectPredelayRange},
    {3, 3, 0x16, 0x17, kLevelRange},
    {3, 3, 0x18, 0x18, kMasterVolumeRange},
    {3, 3, 0x19, 0x19, kLevelRange},
    // Music: master, mute gain, noise gate, the fourteen source gains, bass extension.
    {4, 4, 0x0C, 0x0C, kMasterVolumeRange},
    {4, 4, 0x0D, 0x0D, kLevelRange},
    {4, 4, 0x16, 0x16, kNoiseGateRange},
    {4, 4, 0x18, 0x25, kLevelRange},
    {4, 4, 0x27, 0x27, kBassExtensionDelayRange},
    {4, 4, 0x28, 0x28, kBassExtensionGainRange},
    // Output channels: delay, the four mix levels, the surround level, mute gain.
    {5, 12, 0x12, 0x12, kChannelDelayRange},
    {5, 12, 0x14, 0x17, kLevelRange},
    {5, 12, 0x18, 0x18, kSpeakerLevelRange},
    {5, 12, 0x1A, 0x1A, kLevelRange},
    // Record output: the four mix levels and the record level.
    {13, 13, 0x06, 0x09, kLevelRange},
    {13, 13, 0x0C, 0x0C, kLevelRange},
    // Microphone exciter: three bands (frequency, gain), then its four percentages.
    {14, 14, 0x00, 0x00, kExciterLowRange},
    {14, 14, 0x01, 0x01, kExciterGainRange},
    {14, 14, 0x02, 0x02, kExciterMidRange},
    {14, 14, 0x03, 0x03, kExciterGainRange},
    {14, 14, 0x04, 0x04, kExciterHighRange},
    {14, 14, 0x05, 0x05, kExciterGainRange},
    {14, 14, 0x06, 0x09, kLevelRange},
};

std::optional<ValueRange> RangeOf(const ParameterEntry& e) {
  for (const RangeRow& r : kRangeRows)
    if (e.block >= r.firstBlock && e.block <= r.lastBlock && e.address >= r.firstAddress && e.address <= r.lastAddress)
      return r.range;
  return std::nullopt;
}

BilingualText ValueTextFor(const ParameterEntry& entry, std::int32_t ui) {
  std::array<std::uint8_t, 4> bytes{};
  PutU32(bytes.data(), UiValueToWord(entry.kind, ui));
  return RecordValueText(*FindRecord(entry.block, entry.address), bytes);
}

bool IsWholeNumberText(const std::string& text) {
  char* end = nullptr;
  std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0';
}

// The values a parameter reads by name rather than by number (switches, choices, the
// phase box), found by asking the model's own value texts: the names cannot disagree.
std::vector<ParameterChoice> ChoicesOf(const ParameterEntry& entry) {
  std::vector<std::int32_t> candidates;
  if (entry.kind == ConversionKind::Byte)
    for (int v = 0; v <= 255; ++v) candidates.push_back(v);
  if (entry.kind == ConversionKind::Percent) candidates = {-100, 0, 100};
  std::vector<ParameterChoice> choices;
  for (std::int32_t ui : candidates) {
    const BilingualText shown = ValueTextFor(entry, ui);
    if (!IsWholeNumberText(shown[kTextEnglish]) && shown[kTextEnglish].find('%') == std::string::npos)
      choices.push_back({ui, shown});
  }
  return choices;
}

std::vector<ParameterLimits> BuildLimits() {
  std::vector<ParameterLimits> all;
  for (const ParameterEntry& e : ParameterTable()) {
    if (e.kind == ConversionKind::None || e.count != 1 || e.valueOffset < 0) continue;
    ParameterLimits limits;
    limits.entry = &e;
    limits.name = ParameterRole(e.block, e.address);
    if (const auto range = RangeOf(e)) limits.range = *range;
    else limits.choices = ChoicesOf(e);
    all.push_back(std::move(limits));
  }
  return all;
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

// Lower case (ASCII) without the spaces around: how names and units are compared.
std::string Folded(std::string_view text) {
  std::string out = Trimmed(text);
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return out;
}

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string WithUnit(const std::string& number, DisplayUnit unit) { return number + UnitSuffix(unit); }

std::string Quoted(const ParameterLimits& limits) { return "\"" + limits.name + "\": "; }

// A plain decimal number and what follows it, split; nullopt when the text does not
// start with one.
struct DecimalText {
  std::string digits;  // the number as typed
  std::string rest;    // folded
};
std::optional<DecimalText> SplitDecimal(std::string_view text) {
  const std::string t = Folded(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  int digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  return DecimalText{t.substr(0, i), Folded(std::string_view(t).substr(i))};
}

std::optional<DisplayUnit> UnitNamed(const std::string& folded) {
  for (DisplayUnit unit : kDisplayUnits)
    if (unit != DisplayUnit::Number && folded == Folded(UnitSuffix(unit))) return unit;
  return std::nullopt;
}

CheckedValue Refused(std::string problem) {
  CheckedValue c;
  c.problem = std::move(problem);
  return c;
}

CheckedValue CheckChoice(const ParameterLimits& limits, double value, const std::string& typed) {
  for (const ParameterChoice& c : limits.choices)
    if (double(c.uiValue) == value) return {c.uiValue, value, ""};
  return Refused(Quoted(limits) + "'" + typed + "' is not one of: " + ChoicesText(limits));
}

// `typed` is the number as given, for the message.
CheckedValue CheckNumber(const ParameterLimits& limits, double v, const std::string& typed) {
  const ValueRange& r = limits.range;
  const std::string give = "; give " + RangeText(r);
  if (std::isnan(v)) return Refused(Quoted(limits) + "'" + typed + "' is not a number" + give);
  const double slack = r.step * 1e-9;
  if (!std::isfinite(v) || v < r.minimum - slack || v > r.maximum + slack)
    return Refused(Quoted(limits) + WithUnit(typed, r.unit) + " is outside " + RangeText(r));
  const double steps = v / r.step;
  if (std::fabs(steps - std::round(steps)) > 1e-6)
    return Refused(Quoted(limits) + WithUnit(typed, r.unit) + " lies between steps" + give);
  CheckedValue c;
  c.value = v;
  switch (limits.entry->kind) {
    case ConversionKind::Milliseconds:
    case ConversionKind::Raw: c.uiValue = UiFromFloat(static_cast<float>(v)); break;
    default: c.uiValue = static_cast<std::int32_t>(std::lround(v)); break;
  }
  return c;
}

}  // namespace

const char* UnitSuffix(DisplayUnit unit) {
  switch (unit) {
    case DisplayUnit::Percent: return "%";
    case DisplayUnit::Decibels: return " dB";
    case DisplayUnit::Milliseconds: return " ms";
    case DisplayUnit::Hertz: return " Hz";
    case DisplayUnit::Number: break;
  }
  return "";
}

const std::vector<ParameterLimits>& AllParameterLimits() {
  static const std::vector<ParameterLimits> all = BuildLimits();
  return all;
}

const ParameterLimits* LimitsOf(const ParameterEntry& entry) {
  for (const ParameterLimits& l : AllParameterLimits())
    if (l.entry->block == entry.block && l.entry->address == entry.address) return &l;
  return nullptr;
}

std::string RangeText(const ValueRange& range) {
  return Number(range.minimum) + ".." + WithUnit(Number(range.maximum), range.unit) + " (step " + Number(range.step) +
         ")";
}

std::string ChoicesText(const ParameterLimits& limits) {
  std::string text;
  for (const ParameterChoice& c : limits.choices) text += (text.empty() ? "" : ", ") + c.name[kTextEnglish];
  return text;
}

CheckedValue ValidateParameterText(const ParameterEntry& entry, std::string_view text) {
  const ParameterLimits* limits = LimitsOf(entry);
  if (!limits) return Refused("\"" + ParameterRole(entry.block, entry.address) + "\" has no single value to set");
  const std::string typed = Folded(text);
  const std::string shown = Trimmed(text);  // for messages, as typed
  const std::optional<DecimalText> decimal = SplitDecimal(text);
  if (!limits->choices.empty()) {
    for (const ParameterChoice& c : limits->choices)
      if (Folded(c.name[kTextEnglish]) == typed || c.name[kTextChinese] == typed) return {c.uiValue, double(c.uiValue), ""};
    // A choice may also be given by its number, as long as it is one of the choices.
    if (decimal && decimal->rest.empty()) return CheckChoice(*limits, std::strtod(decimal->digits.c_str(), nullptr), shown);
    return Refused(Quoted(*limits) + "'" + shown + "' is not one of: " + ChoicesText(*limits));
  }
  const ValueRange& r = limits->range;
  if (!decimal) return Refused(Quoted(*limits) + "'" + shown + "' is not a number; give " + RangeText(r));
  if (!decimal->rest.empty()) {
    const std::optional<DisplayUnit> unit = UnitNamed(decimal->rest);
    if (!unit) return Refused(Quoted(*limits) + "'" + shown + "' is not a number; give " + RangeText(r));
    if (*unit != r.unit) {
      const std::string wanted =
          r.unit == DisplayUnit::Number ? "takes no unit" : "is not in " + Trimmed(UnitSuffix(r.unit));
      return Refused(Quoted(*limits) + "'" + shown + "' " + wanted + "; give " + RangeText(r));
    }
  }
  return CheckNumber(*limits, std::strtod(decimal->digits.c_str(), nullptr), decimal->digits);
}

CheckedValue ValidateParameterValue(const ParameterEntry& entry, double value) {
  const ParameterLimits* limits = LimitsOf(entry);
  if (!limits) return Refused("\"" + ParameterRole(entry.block, entry.address) + "\" has no single value to set");
  if (!limits->choices.empty()) return CheckChoice(*limits, value, Number(value));
  return CheckNumber(*limits, value, Number(value));
}

std::string StoredValueNote(const ParameterEntry& entry, std::int32_t uiValue) {
  const ParameterLimits* limits = LimitsOf(entry);
  if (!limits) return "";
  if (!limits->choices.empty()) {
    for (const ParameterChoice& c : limits->choices)
      if (c.uiValue == uiValue) return "";
    return "not one of: " + ChoicesText(*limits);
  }
  const ValueRange& r = limits->range;
  double value = uiValue;
  double slack = 0.0;
  if (entry.kind == ConversionKind::Milliseconds || entry.kind == ConversionKind::Raw) {
    value = static_cast<double>(FloatFromUi(uiValue));
    // The device counts milliseconds in samples at 48000 Hz: half a sample either way.
    slack = entry.kind == ConversionKind::Milliseconds ? 0.5 / 48.0 : 0.0;
  }
  if (std::isfinite(value) && value >= r.minimum - slack && value <= r.maximum + slack) return "";
  return "outside " + Number(r.minimum) + ".." + WithUnit(Number(r.maximum), r.unit);
}

}  // namespace dsptune
