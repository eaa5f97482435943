#pragma once
// The device's music input sources as the input-source dialog edits them, without
// widgets: which sources each model family's dialog variant offers (and under which
// label), where a source's parameters live, how a stored gain is shown, and the writes
// behind a source choice and a gain change.
//
// Every value lives in DSP block 4 of the parameter image: the selected source at
// address 0x17 (0..13) and the gain of source k at 0x18 + k (percent, 0..100). The
// dialog keeps nothing of its own; it reads the UI values back on every refresh.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/DeviceIdentity.h"
#include "model/ParameterLimits.h"
#include "model/SettingsDiff.h"

namespace dsptune {

inline constexpr int kInputSourceCount = 14;
inline constexpr std::uint8_t kInputSourceBlock = 4;
inline constexpr std::uint8_t kSelectedSourceAddress = 0x17;
inline constexpr std::uint8_t kFirstInputGainAddress = 0x18;
inline constexpr int kInputGainMin = kLevelRange.MinimumSteps();
inline constexpr int kInputGainMax = kLevelRange.MaximumSteps();
// The variant used for the AMP540 and for every model without a variant of its own.
inline constexpr int kAllSourcesTemplate = 512;
// The source that the "LQ4.1" variant offers only while the device speaks protocol 20.
inline constexpr int kConditionalSource = 5;

constexpr bool IsInputSource(int source) { return source >= 0 && source < kInputSourceCount; }
constexpr std::uint8_t InputGainAddress(int source) {
  return static_cast<std::uint8_t>(kFirstInputGainAddress + source);
}

// "HDMI1".."AUX3" for sources 0..13; empty for anything else.
std::string_view DefaultSourceLabel(int source);

// One visible row of a variant: the source it selects and writes, whatever its label.
struct MusicInputRow {
  int source = 0;
  std::string_view label;
  // Hidden when the dialog is made; shown by a refresh that finds an "LQ4.1" on
  // protocol 20 (ShowsConditionalSource).
  bool conditional = false;
};

// Positions and sizes in dialog units (4 per average character width horizontally,
// 8 per character height vertically).
struct DialogUnitRect {
  int x, y, width, height;
};

struct MusicInputLayout {
  int templateNumber = kAllSourcesTemplate;
  int width = 0, height = 0;  // the window's client area, in dialog units
  std::vector<MusicInputRow> rows;  // top to bottom; sources not listed stay hidden
};

// The variant of a template number (MusicInputTemplate gives it for a model name);
// numbers without a variant of their own get 512's.
const MusicInputLayout& MusicInputLayoutFor(int templateNumber);

// Where the controls of the row at position `row` (0 = top) stand. All variants share
// the columns; rows are 21 units apart, the first 17 units from the top.
DialogUnitRect RadioRect(int row);
DialogUnitRect SliderRect(int row);
DialogUnitRect ValueLabelRect(int row);

// True when a refresh shows the conditional row: model "LQ4.1" on protocol 20.
bool ShowsConditionalSource(const DeviceIdentity& identity);

// Whether the variant lets the user pick `source`: one of its rows, the conditional row
// only while it is shown.
bool OffersSource(const MusicInputLayout& layout, int source, bool conditionalShown);

// How the dialog shows a selected value its variant does not offer (a mode file's source
// of another model, say): kept as it is and named for what it is, its default label or,
// when it has none, its number, marked as missing here: "AUX1 (not on this model)",
// "AUX1（本机型没有此输入）", "200 (not on this model)".
BilingualText UnofferedSourceText(int selected);

// What a refresh loads: the selected source (unchecked-all when it is not 0..13) and
// the 14 gains, as stored (possibly outside 0..100 after a mode file or device read).
struct MusicInputValues {
  int selected = 0;
  std::array<int, kInputSourceCount> gains{};
};
MusicInputValues ReadMusicInputValues();

// The slider position for a stored gain: the nearer end of 0..100 when outside it.
int GainSliderPosition(int gain);
// The value label for a gain: the value itself, unclamped, "%d%%".
std::string GainText(int gain);

// The source choice: writes block 4 address 0x17. Nothing for a source outside 0..13.
void SelectInputSource(int source);
// A gain change: writes block 4 address 0x18 + source. Nothing for a source outside 0..13.
void SetInputGain(int source, int gain);

}  // namespace dsptune
