#pragma once
// The eight output channels CH1..CH8 as the output page edits them, without widgets:
// speaker roles and the linked groups they form, the writes behind each per-channel
// control (applied to one channel or to a whole group), the comparison and
// synchronisation of a role pair when it is linked, and the reset of the channel
// equalisers. Channels are numbered 0..7 here; channel c lives in DSP block c + 5 and
// its equaliser is EQ c + 7.
#include <array>
#include <cstdint>
#include <vector>

#include "dsp/EqBand.h"
#include "model/EqLayout.h"
#include "model/RecordFormulas.h"

namespace dsptune {

inline constexpr int kOutputChannelCount = 8;
inline constexpr int kChannelUserBands = 13;  // bands 0..12; slots 13 and 14 hold the band split
inline constexpr int kSplitHighPassSlot = 13;
inline constexpr int kSplitLowPassSlot = 14;
inline constexpr int kMixLevels = 4;           // "Direct", "Reverb", "Echo", "Music"
inline constexpr int kLinkPairCount = 3;       // front, side, back

constexpr std::uint8_t ChannelBlock(int channel) { return static_cast<std::uint8_t>(channel + 5); }
constexpr int ChannelEq(int channel) { return channel + kEqCh1; }

// Speaker roles, the value of a channel's source selection (address 0x10).
enum ChannelRole : int {
  kRoleFrontLeft = 0,
  kRoleFrontRight = 1,
  kRoleSideLeft = 2,
  kRoleSideRight = 3,
  kRoleSub = 4,
  kRoleCentre = 5,
  kRoleBackLeft = 6,
  kRoleBackRight = 7,
};
inline constexpr int kRoleCount = 8;

// Addresses of an output channel's parameters inside its block.
enum ChannelAddress : std::uint8_t {
  kChannelEqBypass = 0x0F,
  kChannelRole = 0x10,
  kChannelSplitMix = 0x11,
  kChannelDelay = 0x12,        // milliseconds (UI value holds a float's bits)
  kChannelDelaySwitch = 0x13,  // 0 = delay on, 1 = off
  kChannelMixFirst = 0x14,     // 0x14..0x17, percent
  kChannelPolarity = 0x19,     // 100 normal, -100 inverted
  kChannelMute = 0x1A,         // 100 on, 0 muted
  kChannelLimiter = 0x1B,
  kChannelLimiterSwitch = 0x1C,  // 0 = limiter on, 1 = off
};

// The pair a role belongs to: 0 front (roles 0, 1), 1 side (2, 3), 2 back (6, 7);
// -1 for the sub and centre roles and for anything out of range.
int LinkPairOfRole(int role);
// The two roles of pair 0..2 (left first).
std::array<int, 2> PairRoles(int pair);

using ChannelRoles = std::array<int, kOutputChannelCount>;
using LinkBoxes = std::array<bool, kLinkPairCount>;
using ChannelSet = std::array<bool, kOutputChannelCount>;

// The roles of the eight channels as the model holds them.
ChannelRoles ReadChannelRoles();

// The box states are bytes 0, 1 and 2 of the option record (non-zero = ticked); a
// shorter record leaves the missing boxes unticked.
LinkBoxes LinkBoxesFromRecord(const std::vector<std::uint8_t>& record);
// The 8-byte record with bytes 0..2 set to 1/0 from the boxes; the other bytes are kept
// (a shorter record is padded with zeros).
std::vector<std::uint8_t> RecordWithLinkBoxes(std::vector<std::uint8_t> record, const LinkBoxes& boxes);

// The channels an edit of `current` applies to: always `current`; when its role is in
// a pair whose box is ticked, also every channel whose role is either role of that pair.
ChannelSet LinkedChannels(int current, const ChannelRoles& roles, const LinkBoxes& boxes);
int ChannelCount(const ChannelSet& set);
// The channels whose role is in pair 0..2, in channel order.
std::vector<int> PairChannels(int pair, const ChannelRoles& roles);

// ---- per-channel state that linking compares ----

// Index of the crossover pair whose high-pass frequency is the one in slot 13 of the
// channel's EQ; 0 when none is.
int SplitPairIndex(int channel);
// The channel's delay in milliseconds, as its UI value holds it.
float ChannelDelayMs(int channel);

struct ChannelSettings {
  std::array<int, kMixLevels> mix{};
  int eqBypass = 0;
  int delaySwitch = 0;
  int splitPair = 0;
  int splitFlag = 0;
  float delayMs = 0.0f;
  CompressorValues limiter;
  int limiterSwitch = 0;
  std::array<std::array<std::uint8_t, 7>, kChannelUserBands> bands{};  // band records as stored
};
ChannelSettings ReadChannelSettings(int channel);

// What differs between two channels, item by item in the order linking compares them.
struct ChannelDifference {
  std::array<bool, kMixLevels> mix{};
  bool eqBypass = false;
  bool delaySwitch = false;
  bool splitPair = false;
  bool splitFlag = false;
  bool delay = false;
  bool limiter = false;  // any of the four values
  bool limiterSwitch = false;
  std::array<bool, kChannelUserBands> bands{};
  bool Any() const;
};
ChannelDifference CompareSettings(const ChannelSettings& first, const ChannelSettings& other);

// True when the channels (in order) are at least two and any of them differs from the first.
bool ChannelsDiffer(const std::vector<int>& channels);
// For each channel after the first that differs from it, writes every differing item
// from the first with the same write its control makes (band records band by band,
// the limiter as one record).
void SyncLinkedChannels(const std::vector<int>& channels);

// ---- the controls' writes ----

// Own channel only.
void WriteChannelMute(int channel, bool muted);       // 0x1A = 0 muted, 100 not
void WriteChannelPhase(int channel, bool inverted);   // 0x19 = -100 inverted, 100 not
void WriteChannelRole(int channel, int role);         // 0x10 = role

// Every channel of the group.
void WriteMixLevel(const ChannelSet& group, int level, int percent);  // level 0..3 → 0x14..0x17
void WriteDelaySwitch(const ChannelSet& group, bool on);              // 0x13 = 0 on, 1 off
void WriteLimiterSwitch(const ChannelSet& group, bool on);            // 0x1C = 0 on, 1 off
// Band split on (flag 0) or off (1) with each channel's own crossover pair.
void WriteBandSplitFlag(const ChannelSet& group, int flag);
// Slots 13 and 14 rewritten with crossover pair 0..25, each channel keeping its split flag.
void WriteSplitPair(const ChannelSet& group, int pairIndex);
// Band split of one channel with an explicit pair: the split mix record for the flag,
// then slot 13 = the pair's high-pass and slot 14 its low-pass frequency, Q 0.707, 0 dB,
// types 3 and 2 when on, 1 and 1 when off. The flag is stored as the channel's.
void WriteBandSplit(int channel, int flag, int pairIndex);
// Delay slider value in tenths of a millisecond (14..1000): writes value/10 ms to every
// channel of the group, but only when it differs from `current`'s delay. Returns whether
// anything was written.
bool WriteDelay(int current, const ChannelSet& group, int tenths);

enum class LimiterControl { kThreshold, kRatio, kAttack, kRelease };
// The limiter values of `current` with the moved one replaced by the slider value
// (threshold dB, ratio in tenths, attack ms, release ms), attack and release in whole
// milliseconds, written as the limiter record of every channel of the group.
// Returns the values written.
CompressorValues WriteLimiter(int current, const ChannelSet& group, LimiterControl control, int sliderValue);

// Writes band `band` (its index, type, whole-hertz frequency, gain and Q) to the EQ of
// every channel of the group; a cascade head's three sections follow it, each with its
// own values.
void WriteBandToGroup(const EqBand& band, const ChannelSet& group);

// Default bands for every channel of the group: the subwoofer set for a "CH-SUB"
// channel, the plain defaults for the others.
void ResetChannelEqs(const ChannelSet& group, const ChannelRoles& roles);

}  // namespace dsptune
