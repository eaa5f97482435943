#pragma once
// The listening room of the surround volume page, without widgets: the eight speaker
// places and the channel role each one feeds, the position level a speaker gets from its
// distance to the listener, the writes that follow a moved listener or speaker, a new
// room size, "Center" and "Reset", and the texts of the page's coordinate and size edits.
//
// Coordinates are metres with the origin in the middle of the room, X to the right and
// Y to the front. Speakers are numbered 1..8; marker 0 is the listener.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "editors/model/OutputChannels.h"
#include "model/EditorValues.h"
#include "model/ParameterLimits.h"

namespace dsptune {

inline constexpr int kSpeakerCount = 8;
inline constexpr int kRoomMarkerCount = kSpeakerCount + 1;  // listener + speakers
inline constexpr int kListenerMarker = 0;
inline constexpr int kMinRoomMetres = 1;
inline constexpr int kMaxRoomMetres = 10;
inline constexpr int kMaxChannelLevelPercent = kSpeakerLevelRange.MaximumSteps();
inline constexpr int kLocateNone = 8;  // locate selector value for "no channel"

struct SpeakerPlace {
  const char* panelLabel;    // drawn on the room panel in both languages
  const char* labelChinese;  // the page's row caption
  const char* labelEnglish;
  int role;                  // ChannelRole the speaker feeds
  float defaultX, defaultY;  // metres
  std::uint32_t labelColour; // 0xRRGGBB of the panel label
};

// Speaker n (1..8) is kSpeakerPlaces[n - 1].
extern const std::array<SpeakerPlace, kSpeakerCount> kSpeakerPlaces;
const SpeakerPlace& Speaker(int number);

// Role names as the output page shows them, in the given language (0 Chinese, 1 English);
// an unknown role has an empty name.
const char* RoleName(int role, int language);

// Level in dB of a speaker at (speakerX, speakerY) heard from (listenerX, listenerY):
// 3 - 3d with d the distance in metres, worked in double precision. 1 m gives 0 dB.
float PositionLevelDb(double listenerX, double listenerY, double speakerX, double speakerY);
float SpeakerLevelDb(const SsvcSettings& settings, int speaker);

// The position level channel 0..7 holds in its level entry (dB), what the last speaker
// applied to it gave it; 0 for an unknown channel.
float ChannelPositionLevelDb(int channel);

// The first channel 0..7 whose role is `role`; -1 when none has it.
int FirstChannelWithRole(const ChannelRoles& roles, int role);

// ---- the writes behind the page ----

// Puts the level of speaker n (1..8), from the stored SSVC values, into the level entry
// of the first channel with the speaker's role, sends the 32-byte entry area and the
// channel's six-value gain record. Returns the channel written (0..7) or -1 (none has
// the role: nothing is written).
int ApplySpeakerLevel(int speaker);
// Stores the listener, sends the settings record, then applies speakers 1..8 in order.
void MoveListener(float x, float y);
// Stores speaker n (1..8), sends the settings record, then applies speaker n only.
void MoveSpeaker(int speaker, float x, float y);
// Marker 0 → MoveListener, 1..8 → MoveSpeaker.
void MoveRoomMarker(int marker, float x, float y);
// Stores the room size (already clamped) and sends the settings record. Coordinates and
// levels are left alone.
void StoreRoomSize(int width, int length);
// Listener X to 0 (record sent), Y to 0 (record sent again), then speakers 1..8 applied.
void CenterListener();
// Every channel's level entry to 0 dB channel by channel (entry area and gain record
// each time), then the default settings record decoded into the SSVC values and sent
// again as rebuilt from them. Channel level UI values and the locate selector stay.
void ResetSurround();

// Position (X or Y) of marker 0..8 in the SSVC values.
std::array<float, 2> MarkerMetres(const SsvcSettings& settings, int marker);

// ---- texts and numbers of the edits ----

// Coordinates are read with LeadingNumber (editors/model/EqBandEditing.h): "+1.0m" is
// 1.0, a text without a number 0.
// The whole number at the start of the text ("12m" → 12; no number → 0).
int LeadingInteger(std::string_view text);
// "%+-.1fm": 1 → "+1.0m", -0.5 → "-0.5m".
std::string MetresText(double metres);
// "%dm".
std::string RoomSizeText(int metres);
int ClampRoomSize(int metres);
// Clamps a coordinate to the half-size of its room side (-size/2 .. +size/2).
double ClampToRoom(double value, int roomSide);
// Spin position (tenths) of a coordinate: metres x 10 truncated toward zero, where a
// value that is a whole number of tenths but lies a rounding error below it still gives
// that number (a stored 0.7 must not show as 6 tenths). Held in the int range; a value
// that is not finite gives 0.
int SpinTenths(double metres);
// Range of a coordinate spin in tenths: -5 x side .. +5 x side.
int SpinLimit(int roomSide);
// The next position of a coordinate spin: position + sign(delta), within ±SpinLimit.
int SteppedSpinPosition(int position, int delta, int roomSide);
// The next position of a room size spin: position + sign(delta), within 1..10.
int SteppedRoomSize(int position, int delta);

}  // namespace dsptune
