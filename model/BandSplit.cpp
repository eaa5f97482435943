#include "model/BandSplit.h"

#include <array>

#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "model/BigEndian.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"

namespace dsptune {

const std::array<std::pair<int, int>, 26>& CrossoverPairs() {
  static const auto pairs = [] {
    std::array<std::pair<int, int>, 26> p{};
    for (int k = 0; k < 26; ++k) p[std::size_t(k)] = {500 + 100 * k, 1000 + 100 * k};
    return p;
  }();
  return pairs;
}

void SetOutputBandSplit(int channel, int flag) {
  if (channel < 1 || channel > 8) return;
  const int eq = channel + 6;
  UpdateEditorValues([&](EditorValues& ev) { ev.bandSplitFlag[std::size_t(channel - 1)] = flag; });

  std::array<std::uint8_t, 8> mix{};
  PutFloat(&mix[0], 1.0f);
  PutFloat(&mix[4], flag == 1 ? 0.0f : 1.0f);
  WriteDspRecord(std::uint8_t(channel + 4), 0x11, mix, 2);

  const std::vector<std::uint8_t> slot13 = ReadLiveBytes(EqBandOffset(eq, 13), kBandRecordSize);
  const int highPassNow = DecodeBandRecord(slot13.data()).frequency;
  std::pair<int, int> pair = CrossoverPairs().front();
  for (const auto& p : CrossoverPairs())
    if (p.first == highPassNow) {
      pair = p;
      break;
    }
  const bool on = flag == 0;
  constexpr float kSplitQ = 0.707f;
  WriteEqBand(eq, 13, on ? kFilterHighPass : kFilterPeq, pair.first, 0.0f, kSplitQ, 0.0f);
  WriteEqBand(eq, 14, on ? kFilterLowPass : kFilterPeq, pair.second, 0.0f, kSplitQ, 0.0f);
}

}  // namespace dsptune
