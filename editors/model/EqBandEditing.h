#pragma once
// The rules behind the band list and band editor that sit beside the EQ graph, without
// widgets: which menu type and crossover family a band shows, how typed text is read
// back, where the editor's sliders stand, how the values of a list row or of the
// editor's fields reach a band, and how an equaliser's stored bands are loaded into the
// graph's model. Every page with a band list uses these, so they behave the same
// everywhere.
#include <string_view>

#include "dsp/EqBand.h"
#include "editors/model/EqPanelModel.h"

namespace dsptune {

// Crossover families the family drop-down offers: 0..10, the named ones.
inline constexpr int kNamedCrossoverFamilies = 11;

// The number a text starts with, after leading blanks and one '+' ("12Hz" is 12,
// " +3.5dB" is 3.5); 0 when it starts with none or the number is not finite.
// Independent of the process locale.
double LeadingNumber(std::string_view text);

// The menu type 1..5 ("PEQ".."HS") a band stands for: for a cascade head, the type its
// four section types amount to; otherwise its own type. 0 when none applies (off, a
// bare crossover section type).
int ShownMenuType(const EqBand& band);

// A crossover section behind the cascade head of a channel EQ: listed, never edited,
// it follows its head.
bool IsCascadeSection(const EqBand& band);

// The family drop-down is offered for a cascade head that filters: a low-pass or
// high-pass head, or one of the crossover section types.
bool OffersCrossoverFamily(const EqBand& band);
// The family 0..10 the drop-down shows for such a head (0 when its sections match no
// named family).
int ShownCrossoverFamily(const EqBand& band);

// The band editor's frequency slider is logarithmic: its positions 0..kFrequencySliderSteps
// divide 20..20000 Hz into equal ratios, about 24 to the octave everywhere (a linear
// slider would give the lowest octaves only a few of its steps). The slider only picks;
// the band keeps whatever frequency was typed or stored.
inline constexpr int kFrequencySliderSteps = 239;
// The whole-hertz frequency a slider position stands for: 20 Hz at 0, 20000 Hz at the last.
int FrequencyAtSliderPosition(int position);
// The nearest position to a frequency, held inside the slider.
int FrequencySliderPosition(double hz);

// Where the band editor's sliders stand for a band, and whether its gain is the user's.
struct BandSliderPositions {
  int gain = 0;        // tenths of a dB, −150..150
  int frequency = 0;   // FrequencySliderPosition of the band's frequency
  int q = 10;          // hundredths, 10..qMaximum
  int qMaximum = 3000; // 3000 (Q 30) for "PEQ", 200 (Q 2) for every other type
  bool gainEnabled = true;  // "PEQ", "LS" and "HS" only
};
BandSliderPositions SliderPositions(const EqBand& band);

// The three numbers of a band list row: gain, frequency (0 leaves it as it was) and Q
// (0 leaves it as it was), each within the band's limits.
void ApplyListValues(EqPanelModel& model, int band, double gainDb, double frequencyHz, double q);
// The three numbers of the band editor's fields: as a list row, except that a
// frequency below 20 Hz (0 included) becomes 20 Hz.
void ApplyEditorValues(EqPanelModel& model, int band, double gainDb, double frequencyHz, double q);

// Truncates band `band`'s frequency to whole hertz, what the device takes, so the graph
// and the list show the band as it is sent. Returns the band, or nullptr when it is
// not in use.
const EqBand* BandToWrite(EqPanelModel& model, int band);

// How LoadStoredBands takes each stored type.
enum class StoredBandType {
  kAsMenuChoice,  // as the type menu applies it (a cascade head gets its sections);
                  // codes the menu does not offer are taken as they are
  kAsStored,      // as it is: crossover sections keep the types of their own records
};
// Reads the band record of every band in use of the model's EQ from the live block and
// applies type, gain, frequency (unless 0) and Q through the model's setters, so its
// limits hold. Stops at the first record that cannot be read; false then.
bool LoadStoredBands(EqPanelModel& model, StoredBandType types);

}  // namespace dsptune
