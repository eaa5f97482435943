#pragma once
// The master controls of the ribbon: volumes, mutes, noise gate and pitch. This is the
// logic behind the twin widgets (Input and Output category): which parameter a control
// writes, its range and label text, the volume limits and the notices. Widgets only
// show what this returns.
#include <QString>
#include <array>
#include <cstdint>

namespace dsptune {

enum class MasterControl { Mic, Effect, Reverb, Echo, Music, NoiseGate, Pitch };
inline constexpr std::array<MasterControl, 7> kMasterControls = {
    MasterControl::Mic,   MasterControl::Effect,    MasterControl::Reverb, MasterControl::Echo,
    MasterControl::Music, MasterControl::NoiseGate, MasterControl::Pitch};
inline constexpr int kVolumeControlCount = 5;

struct MasterControlInfo {
  std::array<int, 3> inputIds;   // label, slider, mute box (0: none)
  std::array<int, 3> outputIds;
  int minimum, maximum;
  std::uint8_t block, address;              // the parameter the slider writes
  std::uint8_t enableBlock, enableAddress;  // the path's enable parameter (block 0: none)
  const char* chinesePrefix;
  const char* englishPrefix;
};

const MasterControlInfo& InfoOf(MasterControl control);

// "%s%3d" with the prefix of the language (the English noise gate uses "%s%7d").
QString LabelText(MasterControl control, int value, int language);
// The label before any value is known ("话筒音量:100" / "Mic    Vol: 100").
QString InitialLabelText(MasterControl control, int language);
// Pitch panel title: "音乐变调:" / "Music Pitch:" and the signed pitch; without the colon
// ("音乐变调+2") as the language switch writes it.
QString PitchTitle(int pitch, int language, bool withColon = true);

// The value the parameter image holds for a control (pitch: the current pitch).
int CurrentValue(MasterControl control);
// True when the control's path is muted (enable parameter 0).
bool IsMuted(MasterControl control);

struct MasterChange {
  int value = 0;          // what both twins and labels show, after the limit
  QString limitNotice;    // non-empty: show it for 1100 ms
  bool muteNotice = false;  // show "当前是静音状态" / "vol is mute"
};

// A volume or noise-gate slider moved to value: limits, writes the parameter, notices.
MasterChange ApplySliderValue(MasterControl control, int value, int language);
// Toggles the path's enable parameter (100 <-> 0).
void ToggleMute(MasterControl control);
// Stores the pitch and writes the music pitch record.
void ApplyPitch(int pitch);

// The machine-settings limits (99 until a device has been read).
int MaxMicVolume();
int MaxMusicVolume();

QString MuteNoticeText(int language);

}  // namespace dsptune
