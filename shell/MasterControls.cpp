#include "shell/MasterControls.h"

#include <algorithm>

#include "link/LinkState.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "model/ParameterLimits.h"

namespace dsptune {
namespace {

// The sliders take the ranges every other path to these parameters is checked against.
constexpr int kVolumeLow = kMasterVolumeRange.MinimumSteps(), kVolumeHigh = kMasterVolumeRange.MaximumSteps();
constexpr int kGateLow = kNoiseGateRange.MinimumSteps(), kGateHigh = kNoiseGateRange.MaximumSteps();

constexpr std::array<MasterControlInfo, 7> kInfo = {{
    {{32832, 32829, 32847}, {32857, 32858, 32859}, kVolumeLow, kVolumeHigh, 1, 0x0E, 1, 0x0F, "话筒音量:", "Mic    Vol: "},
    {{32833, 32830, 32939}, {32860, 32861, 32940}, kVolumeLow, kVolumeHigh, 1, 0x10, 1, 0x11, "效果总音量:", "Effect    Vol:"},
    {{32920, 32918, 32848}, {32921, 32919, 32862}, kVolumeLow, kVolumeHigh, 3, 0x18, 3, 0x19, "混响音量:  ", "Reverb Vol:"},
    {{32837, 32806, 32849}, {32863, 32864, 32865}, kVolumeLow, kVolumeHigh, 2, 0x1C, 2, 0x1D, "回声音量:", "Echo Vol:"},
    {{32834, 32831, 32850}, {32866, 32867, 32868}, kVolumeLow, kVolumeHigh, 4, 0x0C, 4, 0x0D, "音乐音量:", "Music Vol:"},
    {{32842, 32846, 0}, {32878, 32879, 0}, kGateLow, kGateHigh, 4, 0x16, 0, 0, "音乐噪声门:", "Noisegate:"},
    {{0, 32841, 0}, {0, 32880, 0}, -5, 5, 4, 0x15, 0, 0, "音乐变调:", "Music Pitch:"},
}};

const char* Prefix(MasterControl c, int language) {
  const MasterControlInfo& info = InfoOf(c);
  return language == 1 ? info.englishPrefix : info.chinesePrefix;
}

}  // namespace

const MasterControlInfo& InfoOf(MasterControl control) { return kInfo[std::size_t(control)]; }

QString LabelText(MasterControl control, int value, int language) {
  const int width = control == MasterControl::NoiseGate && language == 1 ? 7 : 3;
  return QString::fromUtf8(Prefix(control, language)) + QStringLiteral("%1").arg(value, width);
}

QString InitialLabelText(MasterControl control, int language) { return LabelText(control, 100, language); }

QString PitchTitle(int pitch, int language, bool withColon) {
  QString prefix = QString::fromUtf8(Prefix(MasterControl::Pitch, language));
  if (!withColon) prefix.chop(1);
  return prefix + (pitch >= 0 ? QStringLiteral("+%1").arg(pitch) : QString::number(pitch));
}

int CurrentValue(MasterControl control) {
  if (control == MasterControl::Pitch) return EditorSnapshot().musicPitch;
  const MasterControlInfo& info = InfoOf(control);
  return UiValue(info.block, info.address);
}

bool IsMuted(MasterControl control) {
  const MasterControlInfo& info = InfoOf(control);
  return info.enableBlock != 0 && UiValue(info.enableBlock, info.enableAddress) == 0;
}

int MaxMicVolume() { return DeviceSettingsSnapshot()[5]; }
int MaxMusicVolume() { return DeviceSettingsSnapshot()[6]; }

QString MuteNoticeText(int language) {
  return QString::fromUtf8(language == 1 ? "vol is mute" : "当前是静音状态");
}

MasterChange ApplySliderValue(MasterControl control, int value, int language) {
  const MasterControlInfo& info = InfoOf(control);
  MasterChange change;
  change.value = std::clamp(value, info.minimum, info.maximum);
  if (control == MasterControl::Mic && change.value > MaxMicVolume()) {
    change.value = MaxMicVolume();
    change.limitNotice = QString::fromUtf8(language == 1 ? "Mic vol can't over max value!" : "不能超过最大话筒音量!");
  } else if (control == MasterControl::Music && change.value > MaxMusicVolume()) {
    change.value = MaxMusicVolume();
    change.limitNotice =
        QString::fromUtf8(language == 1 ? "Music vol can't over max value!" : "不能超过最大音乐音量!");
  }
  SetParameter(info.block, info.address, change.value);
  const bool hasMuteNotice = control == MasterControl::Mic || control == MasterControl::Music ||
                             control == MasterControl::Reverb || control == MasterControl::Echo;
  change.muteNotice = hasMuteNotice && IsMuted(control);
  return change;
}

void ToggleMute(MasterControl control) {
  const MasterControlInfo& info = InfoOf(control);
  if (info.enableBlock == 0) return;
  SetParameter(info.enableBlock, info.enableAddress, IsMuted(control) ? 100 : 0);
}

void ApplyPitch(int pitch) { SetMusicPitch(std::clamp(pitch, -5, 5)); }

}  // namespace dsptune
