#pragma once
// What each single-value parameter may be set to, in the display units the window and
// the command line show: the range and step of the window's own control for it, or the
// names of its choices (switches, roles, sources, the phase box). Anything that reaches
// the device from outside the window (the command line, an imported file, a network
// request) is checked here first, so that no path can send what the window's controls
// cannot produce; the controls take their ranges from the constants below.
//
// Errors are return values: a CheckedValue with a problem that names the parameter and
// gives the valid range and step.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterTable.h"
#include "model/SettingsDiff.h"

namespace dsptune {

// The unit a number is typed and shown in. Number: a bare number (the noise gates).
enum class DisplayUnit : std::uint8_t { Number, Percent, Decibels, Milliseconds, Hertz };
inline constexpr DisplayUnit kDisplayUnits[] = {DisplayUnit::Number, DisplayUnit::Percent, DisplayUnit::Decibels,
                                                DisplayUnit::Milliseconds, DisplayUnit::Hertz};

// "%", " dB", " ms", " Hz" as a value text ends ("55%", "12.5 ms"); "" for Number.
const char* UnitSuffix(DisplayUnit unit);

struct ValueRange {
  double minimum = 0.0;
  double maximum = 0.0;
  double step = 1.0;
  DisplayUnit unit = DisplayUnit::Number;

  // The ends counted in steps, as a slider holds them (the output delay's 14..1000 tenths).
  constexpr int MinimumSteps() const { return Steps(minimum); }
  constexpr int MaximumSteps() const { return Steps(maximum); }

 private:
  constexpr int Steps(double value) const {
    const double steps = value / step;
    return int(steps < 0.0 ? steps - 0.5 : steps + 0.5);
  }
};

// The window's controls, one range per kind of control.
inline constexpr ValueRange kMasterVolumeRange{0, 99, 1, DisplayUnit::Percent};  // the ribbon's volume sliders
// Level sliders (mixes, record levels, source gains, microphone inputs); the mute boxes
// and the microphone routes write its ends.
inline constexpr ValueRange kLevelRange{0, 100, 1, DisplayUnit::Percent};
inline constexpr ValueRange kNoiseGateRange{0, 100, 1, DisplayUnit::Number};
inline constexpr ValueRange kSpeakerLevelRange{0, 500, 1, DisplayUnit::Percent};  // surround page
inline constexpr ValueRange kChannelDelayRange{1.4, 100, 0.1, DisplayUnit::Milliseconds};
inline constexpr ValueRange kEffectPredelayRange{2, 200, 1, DisplayUnit::Milliseconds};
inline constexpr ValueRange kEchoTimeRange{160, 260, 1, DisplayUnit::Milliseconds};
inline constexpr ValueRange kEchoStartVolumeRange{40, 100, 1, DisplayUnit::Percent};
inline constexpr ValueRange kEchoVolumeDecayRange{20, 90, 1, DisplayUnit::Percent};
// The window derives the shift frequency's delay from the frequency (6.25..100 ms).
inline constexpr ValueRange kShiftFrequencyDelayRange{0, 100, 0.1, DisplayUnit::Milliseconds};
inline constexpr ValueRange kExciterLowRange{70, 450, 1, DisplayUnit::Hertz};
inline constexpr ValueRange kExciterMidRange{800, 5000, 1, DisplayUnit::Hertz};
inline constexpr ValueRange kExciterHighRange{3200, 18000, 1, DisplayUnit::Hertz};
inline constexpr ValueRange kExciterGainRange{0, 12, 1, DisplayUnit::Decibels};
inline constexpr ValueRange kBassExtensionDelayRange{0, 20, 1, DisplayUnit::Milliseconds};
inline constexpr ValueRange kBassExtensionGainRange{0, 300, 1, DisplayUnit::Percent};

struct ParameterChoice {
  std::int32_t uiValue = 0;
  BilingualText name;  // as the value reads ("on", "CH-SUB", "HDMI2")
};

struct ParameterLimits {
  const ParameterEntry* entry = nullptr;
  std::string name;                     // "Output CH1 / Mute gain"
  ValueRange range;                     // numbers; unused when there are choices
  std::vector<ParameterChoice> choices; // switches and choices, in value order
};

// Every parameter-table entry that holds one value of its own (kind other than None,
// one value, in the image), in table order.
const std::vector<ParameterLimits>& AllParameterLimits();
// The limits of an entry; nullptr for one that is computed from other settings.
const ParameterLimits* LimitsOf(const ParameterEntry& entry);

// "0..100% (step 1)", "1.4..100 ms (step 0.1)".
std::string RangeText(const ValueRange& range);
// "off, on".
std::string ChoicesText(const ParameterLimits& limits);

struct CheckedValue {
  std::int32_t uiValue = 0;  // what SetParameter stores
  double value = 0.0;        // in display units (a choice: its UI value)
  std::string problem;       // empty when the value is accepted
  explicit operator bool() const { return problem.empty(); }
};

// A value as typed: a decimal number with the parameter's unit or none (case and spaces
// around the unit do not matter), or a choice's name in either language or its number.
// Refused with the reason: another unit, anything but a plain decimal number (hex,
// exponents), a value outside the range or between its steps, an unknown choice.
CheckedValue ValidateParameterText(const ParameterEntry& entry, std::string_view text);
// A number already in display units (a choice: one of its UI values).
CheckedValue ValidateParameterValue(const ParameterEntry& entry, double value);

// A stored UI value the window could not have set, for listings of files: "outside
// 0..100%", "not one of: off, on"; empty when it could (or the entry has no limits).
// Conversions to the device's units and back are allowed for.
std::string StoredValueNote(const ParameterEntry& entry, std::int32_t uiValue);

}  // namespace dsptune
