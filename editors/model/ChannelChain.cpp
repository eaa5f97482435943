#include "editors/model/ChannelChain.h"

#include "dsp/Biquad.h"
#include "editors/model/OutputChannels.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

// Microphone input block: EQ bypasses and the routing of microphones 1..4 to the paths.
constexpr std::uint8_t kMicBlock = 1;
constexpr std::uint8_t kMicABypass = 0x21, kMicBBypass = 0x3C;
constexpr std::uint8_t kMicToPathA = 0x22, kMicToPathB = 0x3D;
constexpr int kMicInputs = 4;
constexpr std::uint8_t kMusicBlock = 4, kMusicBypass = 0x0B;
// "Direct" and "Music" of the four mix levels.
constexpr int kDirectLevel = 0, kMusicLevel = 3;
constexpr int kMusicChainBands = 10;  // before the loudness slot

bool Bypassed(ChainSource source) {
  switch (source) {
    case ChainSource::kMicA: return UiValue(kMicBlock, kMicABypass) != 0;
    case ChainSource::kMicB: return UiValue(kMicBlock, kMicBBypass) != 0;
    case ChainSource::kMusic: return UiValue(kMusicBlock, kMusicBypass) != 0;
  }
  return false;
}

bool AnyMicRoutedTo(std::uint8_t firstAddress) {
  for (int m = 0; m < kMicInputs; ++m)
    if (UiValue(kMicBlock, std::uint8_t(firstAddress + m)) != 0) return true;
  return false;
}

void AppendStoredBands(int eq, int count, std::vector<EqBand>& bands) {
  const std::vector<std::uint8_t> live = ReadLiveBytes(EqBandOffset(eq, 0), count * kBandRecordSize);
  for (int b = 0; b < count && std::size_t(b + 1) * kBandRecordSize <= live.size(); ++b) {
    const BandRecord r = DecodeBandRecord(&live[std::size_t(b) * kBandRecordSize]);
    EqBand band;
    band.index = int(bands.size());
    band.type = r.type;
    band.frequency = float(r.frequency);
    band.gain = r.GainDb();
    band.q = r.Q();
    ComputeBandResponse(band, kGridMinHz, kGridMaxHz, 0);
    bands.push_back(band);
  }
}

}  // namespace

int SourceEq(ChainSource source) {
  switch (source) {
    case ChainSource::kMicA: return kEqMicA;
    case ChainSource::kMicB: return kEqMicB;
    case ChainSource::kMusic: return kEqMusic;
  }
  return kEqMicA;
}

ChainSource RoutedChainSource(int channel) {
  const std::uint8_t block = ChannelBlock(channel);
  const int direct = UiValue(block, std::uint8_t(kChannelMixFirst + kDirectLevel));
  const int music = UiValue(block, std::uint8_t(kChannelMixFirst + kMusicLevel));
  if (music > direct) return ChainSource::kMusic;
  if (AnyMicRoutedTo(kMicToPathA) || !AnyMicRoutedTo(kMicToPathB)) return ChainSource::kMicA;
  return ChainSource::kMicB;
}

std::vector<EqBand> ChainBands(int channel, ChainSource source) {
  std::vector<EqBand> bands;
  if (channel < 0 || channel >= kOutputChannelCount) return bands;
  const int eq = SourceEq(source);
  if (!Bypassed(source)) AppendStoredBands(eq, eq == kEqMusic ? kMusicChainBands : EqLayoutOf(eq).bandsWritten, bands);
  if (UiValue(ChannelBlock(channel), kChannelEqBypass) == 0)
    AppendStoredBands(ChannelEq(channel), kChannelUserBands, bands);
  return bands;
}

std::array<float, kResponsePoints> ChainResponse(int channel, ChainSource source) {
  const std::vector<EqBand> bands = ChainBands(channel, source);
  std::array<float, kResponsePoints> sum{};
  SumBandResponses(bands.data(), int(bands.size()), sum);
  return sum;
}

BilingualText ChainName(int channel, ChainSource source) {
  const BilingualText from = EqName(SourceEq(source));
  const BilingualText to = EqName(ChannelEq(channel));
  return {from[kTextChinese] + " → " + to[kTextChinese], from[kTextEnglish] + " → " + to[kTextEnglish]};
}

}  // namespace dsptune
