#pragma once
// The device's machine settings record (14 bytes, commands 0x91/0x92): power-on and
// maximum volumes, what is remembered across power cycles, front-panel locks, the
// power-on mode, HDMI mute and surround routing. Each accessor knows which bits of
// which byte it owns and leaves every other bit alone, so bytes the program does not
// understand (9, 10, 13, spare lock bits) travel back to the device unchanged.
#include <array>
#include <cstdint>
#include <string_view>

namespace dsptune {

inline constexpr int kMachineRecordSize = 14;
using MachineRecord = std::array<std::uint8_t, kMachineRecordSize>;

enum class VolumePath { Mic, Music };

// The maximum volumes are 1..99; a power-on volume of 0 means "not set" (the device
// keeps the volume it had), so a set power-on volume is 1..maximum.
inline constexpr int kLowestVolumeLimit = 1;
inline constexpr int kHighestVolumeLimit = 99;

// Where the decoded surround channels go (high nibble of byte 12).
enum SurroundRoute : int { kRouteSlSr = 0, kRouteSblSbr = 1, kRouteBoth = 2 };
// Power-on mode entries (byte 11): 0 Auto, 1..4 = M1..M4.
inline constexpr int kPowerOnModeCount = 5;

// Master volume and music input remembered by mode (true) or by power cycle (false).
bool SavedByMode(const MachineRecord& record);
// Bytes 0, 1 and 2 always carry the same value.
void SetSavedByMode(MachineRecord& record, bool byMode);

// Raw power-on volume; 0 = not set.
int PowerOnVolume(const MachineRecord& record, VolumePath path);
// Stores volume limited to 0..the path's usable maximum.
void SetPowerOnVolume(MachineRecord& record, VolumePath path, int volume);
// Raw maximum byte as the device holds it.
int MaxVolume(const MachineRecord& record, VolumePath path);
// The maximum as a slider can show it: the raw byte within 1..99.
int UsableMaxVolume(const MachineRecord& record, VolumePath path);
// Stores the maximum (limited to 1..99). A set power-on volume above it comes down to
// it; returns that new power-on volume, or -1 when the power-on volume did not move.
int SetMaxVolume(MachineRecord& record, VolumePath path, int maximum);
// The power-on volume that "Enable" gives the path: the volume now playing, within
// 1..the maximum, so that enabling never stores 0 ("not set") or more than the limit.
int EnabledPowerOnVolume(const MachineRecord& record, VolumePath path, int playingVolume);

bool PanelLocked(const MachineRecord& record);  // byte 7
void SetPanelLocked(MachineRecord& record, bool locked);
bool VolumeLocked(const MachineRecord& record);  // byte 8 bit 0
void SetVolumeLocked(MachineRecord& record, bool locked);  // byte 8 bits 0, 1 and 7 together
bool ModeLocked(const MachineRecord& record);  // byte 8 bit 4
void SetModeLocked(MachineRecord& record, bool locked);

// Raw byte 11; values above 4 select no entry.
int PowerOnMode(const MachineRecord& record);
// mode 0..4; anything else is ignored.
void SetPowerOnMode(MachineRecord& record, int mode);

// Low nibble of byte 12 not zero.
bool HdmiMuted(const MachineRecord& record);
// On sets bit 0, off clears the whole low nibble; the routing nibble is kept.
void SetHdmiMuted(MachineRecord& record, bool muted);
// Raw high nibble of byte 12; above 2 matches no routing choice.
int SurroundRouting(const MachineRecord& record);
// route 0..2; anything else is ignored. The HDMI nibble is kept.
void SetSurroundRouting(MachineRecord& record, int route);

// The record as the dialog's controls can show it: maxima within 1..99 and each
// power-on volume within its maximum. A record that is already consistent is returned
// unchanged, so what "Apply" sends is always what the controls show.
MachineRecord ShownRecord(MachineRecord record);

// The models without an HDMI output, whose dialog hides the HDMI mute.
bool ModelHasNoHdmi(std::string_view modelName);

}  // namespace dsptune
