#include "autoeq/DeviceFit.h"

#include <algorithm>
#include <string>

#include "dsp/Biquad.h"
#include "editors/model/ChannelChain.h"
#include "editors/model/OutputChannels.h"
#include "model/EqBandStore.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

constexpr int kChannelCrossoverHead = 9;  // a channel EQ's tenth band heads its crossover
constexpr int kCrossoverSections = 3;

BandRecord StoredRecord(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return bytes.size() < std::size_t(kBandRecordSize) ? BandRecord{150, 0, 0, 0} : DecodeBandRecord(bytes.data());
}

bool IsFlat(const BandRecord& r) {
  return r.type == kFilterPeq ? r.gainField == 150 : r.type == kFilterOff || r.type > kHighestFilterType;
}

// The tenth band of a channel EQ is a plain band when it is a user type and its sections are flat.
bool CrossoverHoldsHead(int eq) {
  if (!IsChannelEq(eq)) return false;
  if (StoredRecord(eq, kChannelCrossoverHead).type > kFilterHighShelf) return true;
  for (int s = 1; s <= kCrossoverSections; ++s)
    if (!IsFlat(StoredRecord(eq, kChannelCrossoverHead + s))) return true;
  return false;
}

}  // namespace

FitSetup AutoEqSetupFor(int eq, const FitOptions& options, int chainChannel) {
  FitSetup setup;
  setup.eq = eq;
  if (!IsEqNumber(eq)) {
    setup.notes.push_back({"没有均衡器" + std::to_string(eq), "there is no EQ " + std::to_string(eq)});
    return setup;
  }
  if (chainChannel >= 0 && (chainChannel >= kOutputChannelCount || ChannelEq(chainChannel) != eq)) {
    setup.notes.push_back({"通道链只能用于该通道自己的均衡器", "a chain is fitted with the channel's own EQ only"});
    return setup;
  }
  const int bands = FilterBandCount(eq);
  const bool held = CrossoverHoldsHead(eq);
  for (int b = 0; b < bands; ++b) {
    if (held && b == kChannelCrossoverHead) continue;
    const BandRecord r = StoredRecord(eq, b);
    if (options.keepExistingBands && !IsFlat(r))
      setup.fixed.push_back({eq, b, r});
    else
      setup.freeSlots.push_back(b);
  }
  std::string kept;
  for (const FixedBand& b : setup.fixed) kept += (kept.empty() ? "" : ", ") + std::to_string(b.slot + 1);
  if (!kept.empty())
    setup.notes.push_back({"保留已设置的频段" + kept + "不变，只拟合平直的频段",
                           "bands " + kept + " are kept as set; only the flat bands are fitted"});
  if (held)
    setup.notes.push_back({"频段10是分频器的首段，保持不变", "band 10 heads the crossover and stays as it is"});
  if (chainChannel >= 0) {
    const ChainSource source = RoutedChainSource(chainChannel);
    setup.chainName = ChainName(chainChannel, source);
    const int sourceEq = SourceEq(source);
    const std::vector<EqBand> chain = ChainBands(chainChannel, source);
    const bool channelBypassed = UiValue(ChannelBlock(chainChannel), kChannelEqBypass) != 0;
    const int sourceBands = int(chain.size()) - (channelBypassed ? 0 : kChannelUserBands);
    if (channelBypassed)
      setup.notes.push_back({"该通道的均衡器处于旁通状态：拟合的频段在取消旁通之前不起作用",
                             "the channel's EQ is bypassed: the fitted bands play only once the bypass is off"});
    for (int b = 0; b < sourceBands; ++b) setup.fixed.push_back({sourceEq, b, StoredRecord(sourceEq, b)});
    if (held)
      for (int b = kChannelCrossoverHead; b <= kChannelCrossoverHead + kCrossoverSections; ++b)
        setup.fixed.push_back({eq, b, StoredRecord(eq, b)});
  }
  return setup;
}

FilterImportPlan AutoEqImportPlan(const FitSetup& setup, const FitResult& result) {
  FilterImportPlan plan;
  plan.eq = setup.eq;
  if (!result.ok || !IsEqNumber(setup.eq)) return plan;
  const int bands = FilterBandCount(setup.eq);
  const auto defaults = DefaultEqFrequencies(setup.eq);
  for (int b = 0; b < bands; ++b) {
    const auto fitted = std::find_if(result.bands.begin(), result.bands.end(),
                                     [b](const FittedBand& f) { return f.slot == b; });
    const bool free = std::find(setup.freeSlots.begin(), setup.freeSlots.end(), b) != setup.freeSlots.end();
    if (IsChannelEq(setup.eq) && b == kChannelCrossoverHead && !free) break;
    if (fitted != result.bands.end()) {
      plan.records.push_back(fitted->record);
      ++plan.filtersUsed;
    } else if (free) {
      plan.records.push_back(FlatBandRecord(std::size_t(b) < defaults.size() ? defaults[std::size_t(b)] : 1000));
      ++plan.filtersUsed;
    } else {
      plan.records.push_back(StoredRecord(setup.eq, b));
    }
  }
  return plan;
}

}  // namespace dsptune
