#include "model/MachineSettingsRecord.h"

#include <algorithm>

namespace dsptune {
namespace {

constexpr int kSaveModeBytes[] = {0, 1, 2};
constexpr int kPanelLockByte = 7;
constexpr int kLockFlagsByte = 8;
constexpr std::uint8_t kVolumeLockBits = 0x83;  // bits 0, 1 and 7
constexpr std::uint8_t kVolumeLockShownBit = 0x01;
constexpr std::uint8_t kModeLockBit = 0x10;
constexpr int kPowerOnModeByte = 11;
constexpr int kOutputByte = 12;
constexpr int kMaxRoute = kRouteBoth;

int PowerOnByte(VolumePath path) { return path == VolumePath::Mic ? 3 : 4; }
int MaxByte(VolumePath path) { return path == VolumePath::Mic ? 5 : 6; }

void SetBits(std::uint8_t& byte, std::uint8_t bits, bool on) {
  byte = on ? std::uint8_t(byte | bits) : std::uint8_t(byte & ~bits);
}

}  // namespace

bool SavedByMode(const MachineRecord& record) { return record[0] != 0; }

void SetSavedByMode(MachineRecord& record, bool byMode) {
  for (int i : kSaveModeBytes) record[i] = byMode ? 1 : 0;
}

int PowerOnVolume(const MachineRecord& record, VolumePath path) { return record[PowerOnByte(path)]; }

void SetPowerOnVolume(MachineRecord& record, VolumePath path, int volume) {
  record[PowerOnByte(path)] = std::uint8_t(std::clamp(volume, 0, UsableMaxVolume(record, path)));
}

int MaxVolume(const MachineRecord& record, VolumePath path) { return record[MaxByte(path)]; }

int UsableMaxVolume(const MachineRecord& record, VolumePath path) {
  return std::clamp(MaxVolume(record, path), kLowestVolumeLimit, kHighestVolumeLimit);
}

int SetMaxVolume(MachineRecord& record, VolumePath path, int maximum) {
  record[MaxByte(path)] = std::uint8_t(std::clamp(maximum, kLowestVolumeLimit, kHighestVolumeLimit));
  const int powerOn = PowerOnVolume(record, path);
  if (powerOn <= MaxVolume(record, path)) return -1;
  record[PowerOnByte(path)] = record[MaxByte(path)];
  return MaxVolume(record, path);
}

int EnabledPowerOnVolume(const MachineRecord& record, VolumePath path, int playingVolume) {
  return std::clamp(playingVolume, kLowestVolumeLimit, UsableMaxVolume(record, path));
}

bool PanelLocked(const MachineRecord& record) { return record[kPanelLockByte] != 0; }
void SetPanelLocked(MachineRecord& record, bool locked) { record[kPanelLockByte] = locked ? 1 : 0; }

bool VolumeLocked(const MachineRecord& record) { return (record[kLockFlagsByte] & kVolumeLockShownBit) != 0; }
void SetVolumeLocked(MachineRecord& record, bool locked) { SetBits(record[kLockFlagsByte], kVolumeLockBits, locked); }

bool ModeLocked(const MachineRecord& record) { return (record[kLockFlagsByte] & kModeLockBit) != 0; }
void SetModeLocked(MachineRecord& record, bool locked) { SetBits(record[kLockFlagsByte], kModeLockBit, locked); }

int PowerOnMode(const MachineRecord& record) { return record[kPowerOnModeByte]; }

void SetPowerOnMode(MachineRecord& record, int mode) {
  if (mode >= 0 && mode < kPowerOnModeCount) record[kPowerOnModeByte] = std::uint8_t(mode);
}

bool HdmiMuted(const MachineRecord& record) { return (record[kOutputByte] & 0x0F) != 0; }

void SetHdmiMuted(MachineRecord& record, bool muted) {
  std::uint8_t& byte = record[kOutputByte];
  byte = muted ? std::uint8_t(byte | 0x01) : std::uint8_t(byte & 0xF0);
}

int SurroundRouting(const MachineRecord& record) { return record[kOutputByte] >> 4; }

void SetSurroundRouting(MachineRecord& record, int route) {
  if (route < 0 || route > kMaxRoute) return;
  record[kOutputByte] = std::uint8_t((route << 4) | (record[kOutputByte] & 0x0F));
}

MachineRecord ShownRecord(MachineRecord record) {
  for (VolumePath path : {VolumePath::Mic, VolumePath::Music}) {
    record[MaxByte(path)] = std::uint8_t(UsableMaxVolume(record, path));
    SetPowerOnVolume(record, path, PowerOnVolume(record, path));
  }
  return record;
}

bool ModelHasNoHdmi(std::string_view modelName) { return modelName == "LQ480" || modelName == "LQ620"; }

}  // namespace dsptune
