#pragma once
// How the editor-side value of a single-value DSP record relates to its 4 value bytes.
#include <cstdint>

namespace dsptune {

enum class ConversionKind : std::uint8_t {
  None = 0,            // written only by the derived-record routines; no UI value
  Percent = 1,         // UI = float x 100 (single precision, truncated); float = UI / 100 + 1e-7
  Raw = 2,             // the 32 bits unchanged; the UI slot holds a float's bit pattern
  Byte = 3,            // UI = last value byte; written as 00 00 00 UI
  Milliseconds = 4,    // UI = float ms (bit pattern); image = sample count at 48000 Hz
  PerTenThousand = 5,  // UI = float x 10000 (single precision, truncated); float = UI / 10000
};

// Image word (the record's 32-bit big-endian value, already assembled) to UI value.
// Defined for every word: a Percent or PerTenThousand float that is not a number gives
// 0, one whose scaled value lies outside the int32 range gives the nearer end of it.
std::int32_t WordToUiValue(ConversionKind kind, std::uint32_t word);

// UI value to image word. For Percent and PerTenThousand the word is the float the
// device rule gives, moved by the fewest ulps needed so that WordToUiValue returns
// the UI value again (the plain rule loses one for values such as 7/10000 or -100%).
std::uint32_t UiValueToWord(ConversionKind kind, std::int32_t ui);

// Helpers for the float-valued kinds (Raw, Milliseconds): the UI slot holds float bits.
std::int32_t UiFromFloat(float value);
float FloatFromUi(std::int32_t ui);

// Sample count at 48000 Hz for a time in ms: integer part of (ms x 48 + 0.5), held in
// 0..0xFFFFFFFF; not a number gives 0.
std::uint32_t MillisecondsToSamples(float ms);
float SamplesToMilliseconds(std::uint32_t samples);

}  // namespace dsptune
