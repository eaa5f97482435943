#include "editors/model/OutputChannels.h"

#include <algorithm>
#include <cmath>

#include "model/BandSplit.h"
#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "model/EqBandStore.h"
#include "model/BigEndian.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

constexpr float kSplitQ = 0.707f;

bool IsChannel(int channel) { return channel >= 0 && channel < kOutputChannelCount; }

std::int32_t DelayUiValue(float ms) { return static_cast<std::int32_t>(FloatBits(ms)); }

template <typename Write>
void ForEachChannel(const ChannelSet& group, Write write) {
  for (int c = 0; c < kOutputChannelCount; ++c)
    if (group[std::size_t(c)]) write(c);
}

// Whole milliseconds of an editor time. The editor values come back from the limiter
// record through a logarithm, so a stored 1 ms may read as 0.99999; plain truncation
// would turn it into 0 ms, an instant limiter no slider position can give.
float WholeMilliseconds(float ms) { return std::trunc(ms + 0.001f); }

}  // namespace

int LinkPairOfRole(int role) {
  switch (role) {
    case kRoleFrontLeft:
    case kRoleFrontRight:
      return 0;
    case kRoleSideLeft:
    case kRoleSideRight:
      return 1;
    case kRoleBackLeft:
    case kRoleBackRight:
      return 2;
    default:
      return -1;
  }
}

std::array<int, 2> PairRoles(int pair) {
  static constexpr std::array<std::array<int, 2>, kLinkPairCount> kRoles = {
      {{kRoleFrontLeft, kRoleFrontRight}, {kRoleSideLeft, kRoleSideRight}, {kRoleBackLeft, kRoleBackRight}}};
  return kRoles[std::size_t(std::clamp(pair, 0, kLinkPairCount - 1))];
}

ChannelRoles ReadChannelRoles() {
  ChannelRoles roles{};
  for (int c = 0; c < kOutputChannelCount; ++c) roles[std::size_t(c)] = UiValue(ChannelBlock(c), kChannelRole);
  return roles;
}

LinkBoxes LinkBoxesFromRecord(const std::vector<std::uint8_t>& record) {
  LinkBoxes boxes{};
  for (std::size_t i = 0; i < boxes.size() && i < record.size(); ++i) boxes[i] = record[i] != 0;
  return boxes;
}

std::vector<std::uint8_t> RecordWithLinkBoxes(std::vector<std::uint8_t> record, const LinkBoxes& boxes) {
  record.resize(8, 0);
  for (std::size_t i = 0; i < boxes.size(); ++i) record[i] = boxes[i] ? 1 : 0;
  return record;
}

ChannelSet LinkedChannels(int current, const ChannelRoles& roles, const LinkBoxes& boxes) {
  ChannelSet set{};
  if (!IsChannel(current)) return set;
  set[std::size_t(current)] = true;
  const int pair = LinkPairOfRole(roles[std::size_t(current)]);
  if (pair < 0 || !boxes[std::size_t(pair)]) return set;
  for (int c = 0; c < kOutputChannelCount; ++c)
    if (LinkPairOfRole(roles[std::size_t(c)]) == pair) set[std::size_t(c)] = true;
  return set;
}

int ChannelCount(const ChannelSet& set) { return int(std::count(set.begin(), set.end(), true)); }

std::vector<int> PairChannels(int pair, const ChannelRoles& roles) {
  std::vector<int> channels;
  if (pair < 0 || pair >= kLinkPairCount) return channels;
  for (int c = 0; c < kOutputChannelCount; ++c)
    if (LinkPairOfRole(roles[std::size_t(c)]) == pair) channels.push_back(c);
  return channels;
}

int SplitPairIndex(int channel) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(ChannelEq(channel), kSplitHighPassSlot), kBandRecordSize);
  if (bytes.size() < std::size_t(kBandRecordSize)) return 0;
  const int highPass = DecodeBandRecord(bytes.data()).frequency;
  const auto& pairs = CrossoverPairs();
  for (std::size_t k = 0; k < pairs.size(); ++k)
    if (pairs[k].first == highPass) return int(k);
  return 0;
}

float ChannelDelayMs(int channel) {
  return BitsFloat(static_cast<std::uint32_t>(UiValue(ChannelBlock(channel), kChannelDelay)));
}

ChannelSettings ReadChannelSettings(int channel) {
  ChannelSettings s;
  if (!IsChannel(channel)) return s;
  const std::uint8_t block = ChannelBlock(channel);
  for (int k = 0; k < kMixLevels; ++k) s.mix[std::size_t(k)] = UiValue(block, std::uint8_t(kChannelMixFirst + k));
  s.eqBypass = UiValue(block, kChannelEqBypass);
  s.delaySwitch = UiValue(block, kChannelDelaySwitch);
  s.splitPair = SplitPairIndex(channel);
  const EditorValues editor = EditorSnapshot();
  s.splitFlag = editor.bandSplitFlag[std::size_t(channel)];
  s.delayMs = ChannelDelayMs(channel);
  s.limiter = editor.channelLimiters[std::size_t(channel)];
  s.limiterSwitch = UiValue(block, kChannelLimiterSwitch);
  for (int b = 0; b < kChannelUserBands; ++b) {
    const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(ChannelEq(channel), b), kBandRecordSize);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 7), s.bands[std::size_t(b)].begin());
  }
  return s;
}

bool ChannelDifference::Any() const {
  const auto any = [](const auto& flags) { return std::find(flags.begin(), flags.end(), true) != flags.end(); };
  return any(mix) || eqBypass || delaySwitch || splitPair || splitFlag || delay || limiter || limiterSwitch ||
         any(bands);
}

ChannelDifference CompareSettings(const ChannelSettings& a, const ChannelSettings& b) {
  ChannelDifference d;
  for (std::size_t k = 0; k < d.mix.size(); ++k) d.mix[k] = a.mix[k] != b.mix[k];
  d.eqBypass = a.eqBypass != b.eqBypass;
  d.delaySwitch = a.delaySwitch != b.delaySwitch;
  d.splitPair = a.splitPair != b.splitPair;
  d.splitFlag = a.splitFlag != b.splitFlag;
  d.delay = a.delayMs != b.delayMs;
  d.limiter = a.limiter.threshold != b.limiter.threshold || a.limiter.ratio != b.limiter.ratio ||
              a.limiter.attackMs != b.limiter.attackMs || a.limiter.releaseMs != b.limiter.releaseMs;
  d.limiterSwitch = a.limiterSwitch != b.limiterSwitch;
  for (std::size_t i = 0; i < d.bands.size(); ++i) d.bands[i] = a.bands[i] != b.bands[i];
  return d;
}

bool ChannelsDiffer(const std::vector<int>& channels) {
  if (channels.size() < 2) return false;
  const ChannelSettings first = ReadChannelSettings(channels.front());
  for (std::size_t i = 1; i < channels.size(); ++i)
    if (CompareSettings(first, ReadChannelSettings(channels[i])).Any()) return true;
  return false;
}

void SyncLinkedChannels(const std::vector<int>& channels) {
  if (channels.size() < 2) return;
  const int source = channels.front();
  const ChannelSettings first = ReadChannelSettings(source);
  for (std::size_t i = 1; i < channels.size(); ++i) {
    const int c = channels[i];
    if (!IsChannel(c)) continue;
    const ChannelDifference d = CompareSettings(first, ReadChannelSettings(c));
    if (!d.Any()) continue;
    const std::uint8_t block = ChannelBlock(c);
    for (int k = 0; k < kMixLevels; ++k)
      if (d.mix[std::size_t(k)]) SetParameter(block, std::uint8_t(kChannelMixFirst + k), first.mix[std::size_t(k)]);
    if (d.eqBypass) SetParameter(block, kChannelEqBypass, first.eqBypass);
    if (d.delaySwitch) SetParameter(block, kChannelDelaySwitch, first.delaySwitch);
    // The pair and the flag are one derived record: either difference rewrites both.
    if (d.splitPair || d.splitFlag) WriteBandSplit(c, first.splitFlag, first.splitPair);
    if (d.delay) SetParameter(block, kChannelDelay, DelayUiValue(first.delayMs));
    if (d.limiter) WriteCompressorRecord(CompressorTarget::Channel, c + 1, first.limiter);
    if (d.limiterSwitch) SetParameter(block, kChannelLimiterSwitch, first.limiterSwitch);
    for (int b = 0; b < kChannelUserBands; ++b) {
      if (!d.bands[std::size_t(b)]) continue;
      const BandRecord r = DecodeBandRecord(first.bands[std::size_t(b)].data());
      WriteEqBand(ChannelEq(c), b, r.type, r.frequency, r.GainDb(), r.Q(), 0.0f);
    }
  }
}

void WriteChannelMute(int channel, bool muted) {
  if (IsChannel(channel)) SetParameter(ChannelBlock(channel), kChannelMute, muted ? 0 : 100);
}

void WriteChannelPhase(int channel, bool inverted) {
  if (IsChannel(channel)) SetParameter(ChannelBlock(channel), kChannelPolarity, inverted ? -100 : 100);
}

void WriteChannelRole(int channel, int role) {
  if (IsChannel(channel) && role >= 0 && role < kRoleCount) SetParameter(ChannelBlock(channel), kChannelRole, role);
}

void WriteMixLevel(const ChannelSet& group, int level, int percent) {
  if (level < 0 || level >= kMixLevels) return;
  ForEachChannel(group, [&](int c) { SetParameter(ChannelBlock(c), std::uint8_t(kChannelMixFirst + level), percent); });
}

void WriteDelaySwitch(const ChannelSet& group, bool on) {
  ForEachChannel(group, [&](int c) { SetParameter(ChannelBlock(c), kChannelDelaySwitch, on ? 0 : 1); });
}

void WriteLimiterSwitch(const ChannelSet& group, bool on) {
  ForEachChannel(group, [&](int c) { SetParameter(ChannelBlock(c), kChannelLimiterSwitch, on ? 0 : 1); });
}

void WriteBandSplitFlag(const ChannelSet& group, int flag) {
  ForEachChannel(group, [&](int c) { SetOutputBandSplit(c + 1, flag); });
}

void WriteSplitPair(const ChannelSet& group, int pairIndex) {
  const EditorValues editor = EditorSnapshot();
  ForEachChannel(group, [&](int c) { WriteBandSplit(c, editor.bandSplitFlag[std::size_t(c)], pairIndex); });
}

void WriteBandSplit(int channel, int flag, int pairIndex) {
  if (!IsChannel(channel)) return;
  const auto& pairs = CrossoverPairs();
  const auto& pair = pairs[std::size_t(std::clamp(pairIndex, 0, int(pairs.size()) - 1))];
  const bool on = flag == 0;
  UpdateEditorValues([&](EditorValues& ev) { ev.bandSplitFlag[std::size_t(channel)] = on ? 0 : 1; });
  std::array<std::uint8_t, 8> mix{};
  PutFloat(&mix[0], 1.0f);
  PutFloat(&mix[4], on ? 1.0f : 0.0f);
  WriteDspRecord(ChannelBlock(channel), kChannelSplitMix, mix, 2);
  const int eq = ChannelEq(channel);
  WriteEqBand(eq, kSplitHighPassSlot, on ? kFilterHighPass : kFilterPeq, pair.first, 0.0f, kSplitQ, 0.0f);
  WriteEqBand(eq, kSplitLowPassSlot, on ? kFilterLowPass : kFilterPeq, pair.second, 0.0f, kSplitQ, 0.0f);
}

bool WriteDelay(int current, const ChannelSet& group, int tenths) {
  if (!IsChannel(current)) return false;
  const float ms = float(tenths) / 10.0f;
  if (ms == ChannelDelayMs(current)) return false;
  ForEachChannel(group, [&](int c) { SetParameter(ChannelBlock(c), kChannelDelay, DelayUiValue(ms)); });
  return true;
}

CompressorValues WriteLimiter(int current, const ChannelSet& group, LimiterControl control, int sliderValue) {
  if (!IsChannel(current)) return {};
  CompressorValues v = EditorSnapshot().channelLimiters[std::size_t(current)];
  switch (control) {
    case LimiterControl::kThreshold: v.threshold = float(sliderValue); break;
    case LimiterControl::kRatio: v.ratio = float(sliderValue) / 10.0f; break;
    case LimiterControl::kAttack: v.attackMs = float(sliderValue); break;
    case LimiterControl::kRelease: v.releaseMs = float(sliderValue); break;
  }
  v.attackMs = WholeMilliseconds(v.attackMs);
  v.releaseMs = WholeMilliseconds(v.releaseMs);
  ForEachChannel(group, [&](int c) { WriteCompressorRecord(CompressorTarget::Channel, c + 1, v); });
  return v;
}

void WriteBandToGroup(const EqBand& band, const ChannelSet& group) {
  const auto write = [](int eq, const EqBand& b) {
    WriteEqBand(eq, b.index, b.type, SaturatingCast<int>(b.frequency), b.gain, b.q, 0.0f);
  };
  ForEachChannel(group, [&](int c) {
    write(ChannelEq(c), band);
    if (IsCascadeHead(band))
      for (const EqBand* section : band.linked) write(ChannelEq(c), *section);
  });
}

void ResetChannelEqs(const ChannelSet& group, const ChannelRoles& roles) {
  ForEachChannel(group, [&](int c) {
    if (roles[std::size_t(c)] == kRoleSub) ResetSubChannelEq(ChannelEq(c));
    else ResetEqToDefaults(ChannelEq(c));
  });
}

}  // namespace dsptune
