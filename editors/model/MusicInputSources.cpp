#include "editors/model/MusicInputSources.h"

#include <algorithm>
#include <cstdio>

#include "model/ParameterImage.h"

namespace dsptune {
namespace {

constexpr std::string_view kDefaultLabels[kInputSourceCount] = {
    "HDMI1", "HDMI2", "HDMI3", "HDMI4", "HDMI5", "SPDIF1", "SPDIF2",
    "SPDIF3", "COAX1", "COAX2", "COAX3", "AUX1",  "AUX2",   "AUX3",
};

constexpr int kFirstRowY = 17, kRowPitch = 21;
constexpr int kRadioX = 32, kRadioWidth = 42, kRadioHeight = 10;
constexpr int kSliderX = 79, kSliderWidth = 87, kSliderHeight = 14;
constexpr int kValueX = 171, kValueWidth = 32, kValueHeight = 8;

MusicInputLayout AllSources() {
  MusicInputLayout layout{kAllSourcesTemplate, 233, 318, {}};
  for (int source = 0; source < kInputSourceCount; ++source)
    layout.rows.push_back({source, kDefaultLabels[source], false});
  return layout;
}

const std::vector<MusicInputLayout>& Variants() {
  // Relabelled rows keep their source: "Android" is source 3 on the LQ4.1 and source 0
  // on the RN830 and LW4.1, because that is where each device wires it.
  static const std::vector<MusicInputLayout> variants = {
      AllSources(),
      {527, 233, 139, {{3, "Android"}, {0, "HDMI1"}, {1, "HDMI2"}, {2, "HDMI3"}, {5, "SPDIF1", true}}},
      {528, 233, 128, {{11, "AUX"}, {5, "SPDIF"}, {8, "COAX"}}},
      {529, 233, 135, {{5, "SPDIF1"}, {11, "AUX"}}},
      {530, 233, 183, {{0, "HDMI1"}, {1, "HDMI2"}, {2, "HDMI3"}, {3, "HDMI4"}, {5, "SPDIF1"}, {11, "AUX1"}}},
      {532,
       233,
       199,
       {{0, "Android"}, {1, "HDMI1"}, {2, "HDMI2"}, {3, "HDMI3"}, {5, "SPDIF1"}, {6, "SPDIF2"}, {11, "AUX1"}}},
      {534,
       233,
       227,
       {{0, "HDMI1"},
        {1, "HDMI2"},
        {2, "HDMI3"},
        {3, "HDMI4"},
        {5, "SPDIF1"},
        {6, "SPDIF2"},
        {11, "AUX1"},
        {12, "Bluetooth"}}},
      {535, 233, 159, {{5, "SPDIF1"}, {6, "SPDIF2"}, {8, "COAX1"}, {9, "COAX2"}, {11, "AUX1"}}},
      {536, 233, 139, {{0, "Android"}, {1, "HDMI1"}, {2, "HDMI2"}, {5, "SPDIF1"}}},
  };
  return variants;
}

int RowY(int row) { return kFirstRowY + row * kRowPitch; }

}  // namespace

std::string_view DefaultSourceLabel(int source) { return IsInputSource(source) ? kDefaultLabels[source] : ""; }

const MusicInputLayout& MusicInputLayoutFor(int templateNumber) {
  const std::vector<MusicInputLayout>& variants = Variants();
  const auto it = std::find_if(variants.begin(), variants.end(),
                               [templateNumber](const MusicInputLayout& v) { return v.templateNumber == templateNumber; });
  return it != variants.end() ? *it : variants.front();
}

// The controls of a row are centred on the slider's height.
DialogUnitRect RadioRect(int row) {
  return {kRadioX, RowY(row) + (kSliderHeight - kRadioHeight) / 2, kRadioWidth, kRadioHeight};
}
DialogUnitRect SliderRect(int row) { return {kSliderX, RowY(row), kSliderWidth, kSliderHeight}; }
DialogUnitRect ValueLabelRect(int row) {
  return {kValueX, RowY(row) + (kSliderHeight - kValueHeight) / 2, kValueWidth, kValueHeight};
}

bool ShowsConditionalSource(const DeviceIdentity& identity) {
  return identity.ModelName() == "LQ4.1" && identity.protocolCode == kSupportedProtocol;
}

bool OffersSource(const MusicInputLayout& layout, int source, bool conditionalShown) {
  return std::any_of(layout.rows.begin(), layout.rows.end(), [&](const MusicInputRow& row) {
    return row.source == source && (!row.conditional || conditionalShown);
  });
}

BilingualText UnofferedSourceText(int selected) {
  const std::string name = IsInputSource(selected) ? std::string(DefaultSourceLabel(selected)) : std::to_string(selected);
  BilingualText text;
  text[kTextChinese] = name + "（本机型没有此输入）";
  text[kTextEnglish] = name + " (not on this model)";
  return text;
}

MusicInputValues ReadMusicInputValues() {
  MusicInputValues values;
  values.selected = UiValue(kInputSourceBlock, kSelectedSourceAddress);
  for (int source = 0; source < kInputSourceCount; ++source)
    values.gains[std::size_t(source)] = UiValue(kInputSourceBlock, InputGainAddress(source));
  return values;
}

int GainSliderPosition(int gain) { return std::clamp(gain, kInputGainMin, kInputGainMax); }

std::string GainText(int gain) {
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", gain);
  return text;
}

void SelectInputSource(int source) {
  if (!IsInputSource(source)) return;
  SetParameter(kInputSourceBlock, kSelectedSourceAddress, source);
}

void SetInputGain(int source, int gain) {
  if (!IsInputSource(source)) return;
  SetParameter(kInputSourceBlock, InputGainAddress(source), gain);
}

}  // namespace dsptune
