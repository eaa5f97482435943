#pragma once
// The text of a slider's value label. A label always reads the value the model stores,
// not the slider position: a slider is held inside its range, and a stored value beyond
// it (a mode file, an older device, a damaged record) must not be shown as the nearest
// end of the range, or the user would believe the device holds that end.
#include <string>

namespace dsptune {

enum class ValueUnit {
  kDecibels,          // "%.0fdB"
  kRatio,             // "%.1f:1"
  kMilliseconds,      // "%.0fms"
  kTenthMilliseconds, // "%.1fms" (delays, set in steps of 0.1 ms)
  kPercent,           // "%.0f%%"
  kHertz,             // "%.0fHz"
  kLevelDecibels,     // "%+.1fdB" (a computed level, signed even at zero)
};

// `value` in `unit`, in the unit's format. A value that rounds to zero reads without a
// minus sign; a value that is not a finite number (a damaged record) reads "--" with
// the unit.
std::string ValueLabelText(ValueUnit unit, double value);

}  // namespace dsptune
