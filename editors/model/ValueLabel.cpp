#include "editors/model/ValueLabel.h"

#include <cmath>
#include <cstdio>

namespace dsptune {

std::string ValueLabelText(ValueUnit unit, double value) {
  const char* format = "%.0f";
  const char* suffix = "";
  switch (unit) {
    case ValueUnit::kDecibels: suffix = "dB"; break;
    case ValueUnit::kRatio: format = "%.1f"; suffix = ":1"; break;
    case ValueUnit::kMilliseconds: suffix = "ms"; break;
    case ValueUnit::kTenthMilliseconds: format = "%.1f"; suffix = "ms"; break;
    case ValueUnit::kPercent: suffix = "%"; break;
    case ValueUnit::kHertz: suffix = "Hz"; break;
    case ValueUnit::kLevelDecibels: format = "%+.1f"; suffix = "dB"; break;
  }
  if (!std::isfinite(value)) return std::string("--") + suffix;
  char text[48] = {};
  std::snprintf(text, sizeof text, format, value);
  std::string shown = text;
  // A tiny negative value rounds to zero: "0dB", not "-0dB".
  if (shown.find_first_not_of("-0.") == std::string::npos && shown[0] == '-') {
    shown[0] = '+';
    if (unit != ValueUnit::kLevelDecibels) shown.erase(0, 1);
  }
  return shown + suffix;
}

}  // namespace dsptune
