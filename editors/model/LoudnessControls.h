#pragma once
// The features (loudness) dialog without widgets: the five boxes and nineteen sliders,
// their ranges and value texts, the positions that show the parameter image, and the
// write each control makes at once.
//
// The microphone exciter lives in block 14; the bass boost beside "Mic Max Bass" is the
// subwoofer decay level (negated); the music bass extension is the extra low-pass in
// slot 10 of the Music EQ plus two block 4 parameters; the automatic music input level
// is the music compressor record (block 4, 0x0E) with its switch at 0x0F.
#include <array>
#include <cstdint>
#include <string>

namespace dsptune {

enum class LoudnessBox : int {
  kExciterEq = 0,     // block 14 0x0A, 1 when ticked
  kExciter,           // block 14 0x0B, 1 when ticked
  kMicMaxBass,        // block 1 0x2B then 0x46, 0 when ticked
  kAutoSubDecay,      // block 1 0x0C, 1 when ticked
  kAutoMusicInput,    // block 4 0x0F, 0 when ticked
};
inline constexpr int kLoudnessBoxCount = 5;

enum class LoudnessSlider : int {
  kLowFrequency = 0,  // Hz, raw float
  kLowGain,           // dB, raw float
  kMidFrequency,
  kMidGain,
  kHighFrequency,
  kHighGain,
  kHarmonicGain,      // percent
  kHarmony,
  kHarmonicMix,
  kHarmonicLevel,     // hidden on the dialog
  kMicBassBoost,      // dB of subwoofer decay (written negated)
  kLpfFrequency,      // Hz, slot 10 of the Music EQ as a low-pass
  kLpfDelay,          // ms
  kLpfGain,           // percent
  kSubVolume,         // percent
  kValidLevel,        // music compressor threshold, dB
  kInputRatio,        // music compressor ratio in tenths; hidden on the dialog
  kInputAttack,       // ms
  kInputRelease,      // ms
};
inline constexpr int kLoudnessSliderCount = 19;

struct LoudnessSliderRange {
  int min = 0;
  int max = 0;
  bool hidden = false;  // present and kept in step, but not offered to the user
};
// Slider range of a control; {0, 0} for a value outside the enumeration.
LoudnessSliderRange LoudnessRange(LoudnessSlider slider);

// The value field's text for a slider position: "%dHz", "%ddB", "%d%%", "%dms", and the
// music compressor's "%.0fdB", "%.1f:1" (of position / 10), "%.0fms". Empty for an
// unknown slider.
std::string LoudnessValueText(LoudnessSlider slider, int position);
// The same field for the value the model stores, also where it lies beyond the slider's
// range (a low band at 60 Hz reads "60Hz" while its slider stands at 70).
std::string LoudnessStoredText(LoudnessSlider slider);

// Where the slider stands for the current model: the UI value (floats rounded), the
// negated subwoofer decay level, the frequency field of Music EQ slot 10, or the stored
// music compressor values (ratio x 10); always inside the slider's range, a value that
// is not a number showing as the lowest position.
int LoudnessPosition(LoudnessSlider slider);
// Whether the box is ticked for the current model: its parameter holds the value a
// ticked box writes (for "Mic Max Bass" the first of its two switches decides).
bool LoudnessTicked(LoudnessBox box);

// Writes the slider's parameter for a position (held inside the slider's range).
void WriteLoudnessSlider(LoudnessSlider slider, int position);
// Writes the box's parameter(s).
void WriteLoudnessBox(LoudnessBox box, bool ticked);

// The extra Music EQ filter the bass extension frequency sets.
inline constexpr int kBassExtensionSlot = 10;
inline constexpr float kBassExtensionQ = 0.707f;

}  // namespace dsptune
