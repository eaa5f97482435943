#pragma once
// The reverb and echo parameters of one microphone path as the mic and music page lists
// them: nine rows, each with its slider range, its display format and the exact
// device write for path A or path B. The stored value of a row is its UI value
// (the milliseconds rows hold a float there and are listed as whole milliseconds);
// the shift frequency is the path's derived editor value in Hz, 1 meaning off.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace dsptune {

inline constexpr int kEffectRowCount = 9;
// Microphone paths, called halves in the effect blocks: A uses the low addresses.
inline constexpr int kEffectHalfA = 0;
inline constexpr int kEffectHalfB = 1;

enum EffectRowId : int {
  kReverbLevel = 0,
  kReverbPredelay,
  kReverbTime,
  kEchoLevel,
  kEchoPredelay,
  kEchoTime,
  kEchoStartVolume,
  kEchoVolumeDecay,
  kShiftFrequency,
};

enum class EffectFormat {
  kPercent,         // "%d%%"
  kMilliseconds,    // "%dms"
  kReverbTime,      // "%.0fms" of v x 49.6 + 40
  kShiftFrequency,  // "Off" / "关闭" for 0 and 1, else "%dHz"
};

struct EffectRow {
  const char* english;
  const char* chinese;  // UTF-8
  int minimum;
  int maximum;
  EffectFormat format;
  std::uint8_t block;
  std::array<std::uint8_t, 2> address;  // half A, half B
  // The integer is written as a float UI value (the milliseconds rows).
  bool asFloat;
  // The same value also goes to address + 1 (reverb time keeps both words equal).
  bool pairedAddress;
};

// The nine rows in list order.
std::span<const EffectRow> EffectRows();
// Row 0..8, nullptr otherwise.
const EffectRow* EffectRowAt(int row);
// UTF-8 name of the row; language 1 English, anything else Chinese; "" for a bad row.
const char* EffectRowName(int row, int language);

// The row's value clamped to its slider range (a bad row gives the value unchanged).
int ClampEffectValue(int row, int value);
// The stored value of row for half 0 (A) or 1 (B), unclamped; 0 for a bad row or half.
int ReadEffectValue(int row, int half);
// Clamps the value to the row's range and writes it for the half as the device expects
// it: one SetParameter (two for the reverb time, address then address + 1), or
// SetShiftFrequency for the last row. False, writing nothing, for a bad row or half.
bool WriteEffectValue(int row, int half, int value);
// Moves the stored value by delta within the row's range and writes the result when it
// differs from the stored value. Returns the value the row holds afterwards.
int StepEffectValue(int row, int half, int delta);
// The value as the list and the value field show it (UTF-8).
std::string FormatEffectValue(int row, int value, int language);

}  // namespace dsptune
