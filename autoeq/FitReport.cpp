#include "autoeq/FitReport.h"

#include <algorithm>
#include <cmath>

#include "dsp/Biquad.h"
#include "dsp/FilterFile.h"  // FormatFixed
#include "model/SettingNames.h"

namespace dsptune {
namespace {

std::string Db(double v) { return FormatFixed(v, 1) + " dB"; }
std::string Hz(double v) { return HzText(v) + " Hz"; }

}  // namespace

BilingualText FitLimitText(FitLimit limit) {
  switch (limit) {
    case FitLimit::kFrequencyLow: return {"频率处于下限", "frequency at its lower limit"};
    case FitLimit::kFrequencyHigh: return {"频率处于上限", "frequency at its upper limit"};
    case FitLimit::kGainCut: return {"增益处于−15 dB下限", "gain at the -15 dB limit"};
    case FitLimit::kGainBoost: return {"增益处于提升上限", "gain at the boost limit"};
    case FitLimit::kQLow: return {"Q值处于下限", "Q at its lower limit"};
    case FitLimit::kQHigh: return {"Q值处于上限", "Q at its upper limit"};
  }
  return {"", ""};
}

BilingualText FittedBandText(const FittedBand& band) {
  const BandRecord& r = band.record;
  const std::string values = std::string(FilterTypeName(r.type)) + " " + std::to_string(r.frequency) + " Hz " +
                             Db(r.GainDb()) + " Q " + FormatFixed(r.Q(), 3);
  const std::string n = std::to_string(band.slot + 1);
  if (!band.used) return {"频段" + n + "：平直", "band " + n + ": flat"};
  return {"频段" + n + "：" + values, "band " + n + ": " + values};
}

std::vector<BilingualText> FitReportLines(const FitResult& r) {
  std::vector<BilingualText> lines;
  if (!r.ok) {
    lines.push_back({"自动均衡失败：" + r.error[kTextChinese], "auto EQ failed: " + r.error[kTextEnglish]});
    return lines;
  }
  const BilingualText eq = EqName(r.eq);
  lines.push_back({"自动均衡：" + eq[kTextChinese] + "，拟合范围" + HzText(r.lowHz) + "–" + Hz(r.highHz),
                   "auto EQ for " + eq[kTextEnglish] + ", fit range " + HzText(r.lowHz) + "-" + Hz(r.highHz)});
  if (!r.chainName[kTextEnglish].empty())
    lines.push_back({"包括之前的通道链：" + r.chainName[kTextChinese], "with the chain before it: " + r.chainName[kTextEnglish]});
  lines.push_back({"目标：" + r.targetName[kTextChinese], "target: " + r.targetName[kTextEnglish]});
  for (const BilingualText& note : r.notes) lines.push_back(note);
  lines.push_back({"对齐：测量在" + HzText(r.alignLowHz) + "–" + Hz(r.alignHighHz) + "的平均电平移动了" + Db(r.alignmentDb),
                   "alignment: measurement moved by " + Db(r.alignmentDb) + " to the target's mean level over " +
                       HzText(r.alignLowHz) + "-" + Hz(r.alignHighHz)});
  lines.push_back({"与目标的偏差（均方根/最大）：之前" + Db(r.rmsBeforeDb) + " / " + Db(r.maxBeforeDb) + "，之后" +
                       Db(r.rmsAfterDb) + " / " + Db(r.maxAfterDb),
                   "deviation from the target (RMS / largest): before " + Db(r.rmsBeforeDb) + " / " +
                       Db(r.maxBeforeDb) + ", after " + Db(r.rmsAfterDb) + " / " + Db(r.maxAfterDb)});
  const auto used = std::count_if(r.bands.begin(), r.bands.end(), [](const FittedBand& b) { return b.used; });
  const std::string boost = r.maxBoostDb > 0.0 ? Db(r.maxBoostDb) : std::string("0 dB");
  lines.push_back({"使用了" + std::to_string(used) + "个频段（共" + std::to_string(r.bands.size()) + "个），提升上限" + boost +
                       (r.maxBoostDb > 0.0 ? "" : "（只衰减）"),
                   "bands used: " + std::to_string(used) + " of " + std::to_string(r.bands.size()) + ", boost limit " +
                       boost + (r.maxBoostDb > 0.0 ? "" : " (cuts only)")});
  for (const FittedBand& band : r.bands) {
    BilingualText line = FittedBandText(band);
    for (FitLimit limit : band.limits) {
      const BilingualText l = FitLimitText(limit);
      line[kTextChinese] += "；" + l[kTextChinese];
      line[kTextEnglish] += "; " + l[kTextEnglish];
    }
    lines.push_back(line);
  }
  if (r.peakBoostDb > 0.0)
    lines.push_back({"均衡最多提升" + Db(r.peakBoostDb) + "：建议前级增益" + Db(r.suggestedPreampDb),
                     "the EQ boosts by up to " + Db(r.peakBoostDb) + ": suggested preamp " + Db(r.suggestedPreampDb)});
  return lines;
}

std::string FitReportText(const FitResult& result, int language) {
  const int l = language == kTextChinese ? kTextChinese : kTextEnglish;
  std::string text;
  for (const BilingualText& line : FitReportLines(result)) text += line[std::size_t(l)] + "\n";
  return text;
}

}  // namespace dsptune
