#include "editors/model/EqFilterImport.h"

#include <algorithm>
#include <cmath>

#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

// The limits every editor holds a band to (EqPanelModel's setters).
constexpr double kMinHz = 20.0, kMaxHz = 20000.0;
constexpr double kMaxGainDb = 15.0;
constexpr double kMinQ = 0.1, kMaxPeakQ = 30.0, kMaxOtherQ = 2.0;
// A channel EQ's crossover head; the import stops before it.
constexpr int kChannelCrossoverHead = 9;

std::string Fill(std::string pattern, const std::vector<std::string>& values) {
  for (const std::string& v : values) {
    const std::size_t at = pattern.find("%s");
    if (at == std::string::npos) break;
    pattern.replace(at, 2, v);
  }
  return pattern;
}

// One note in both languages: "第N行：" / "Line N: ", then the text with its values.
ImportNote Note(int line, ImportNoteKind kind, const char* chinese, const char* english,
                const std::vector<std::string>& values) {
  const std::string n = std::to_string(line);
  return {line, kind,
          {"第" + n + "行：" + Fill(chinese, values), "Line " + n + ": " + Fill(english, values)}};
}

int BandType(FilterKind kind) {
  switch (kind) {
    case FilterKind::kPeaking: return kFilterPeq;
    case FilterKind::kLowShelf: return kFilterLowShelf;
    case FilterKind::kHighShelf: return kFilterHighShelf;
    case FilterKind::kLowPass: return kFilterLowPass;
    case FilterKind::kHighPass: return kFilterHighPass;
    case FilterKind::kUnknown: break;
  }
  return kFilterOff;
}

// Rounds v to `step`, then holds it in lo..hi; a note when the limit changed it.
double Held(double v, double step, double lo, double hi, bool& clamped) {
  const double rounded = std::round(v / step) * step;
  const double held = std::clamp(rounded, lo, hi);
  clamped = held != rounded;
  return held;
}

BandRecord FlatBand(int eq, int band) {
  const auto defaults = DefaultEqFrequencies(eq);
  const int hz = std::size_t(band) < defaults.size() ? defaults[std::size_t(band)] : 1000;
  BandRecord r;
  r.gainField = 150;
  r.frequency = std::uint16_t(hz);
  r.qField = std::uint16_t(std::lround(kDefaultBandQ * 1000.0));
  r.type = kFilterPeq;
  return r;
}

// The band of one ON filter of a known type, with a note for each value held at a limit.
BandRecord BandOf(const FilterSpec& f, std::vector<ImportNote>& notes) {
  const int type = BandType(f.kind);
  bool clamped = false;
  const double hz = Held(f.frequencyHz, 1.0, kMinHz, kMaxHz, clamped);
  if (clamped)
    notes.push_back(Note(f.line, ImportNoteKind::kFrequencyClamped, "频率%s Hz超出范围，已限制为%s Hz",
                         "frequency %s Hz held at %s Hz", {FormatFixed(f.frequencyHz, 0), FormatFixed(hz, 0)}));
  double gain = 0.0;
  if (type != kFilterLowPass && type != kFilterHighPass) {
    gain = Held(f.gainDb, 0.1, -kMaxGainDb, kMaxGainDb, clamped);
    if (clamped)
      notes.push_back(Note(f.line, ImportNoteKind::kGainClamped, "增益%s dB超出范围，已限制为%s dB",
                           "gain %s dB held at %s dB", {FormatFixed(f.gainDb, 1), FormatFixed(gain, 1)}));
  }
  const double q = Held(f.q, 0.001, kMinQ, type == kFilterPeq ? kMaxPeakQ : kMaxOtherQ, clamped);
  if (clamped)
    notes.push_back(Note(f.line, ImportNoteKind::kQClamped, "Q值%s超出范围，已限制为%s", "Q %s held at %s",
                         {FormatFixed(f.q, 3), FormatFixed(q, 3)}));
  BandRecord r;
  r.gainField = std::uint16_t(std::lround((gain + kMaxGainDb) * 10.0));
  r.frequency = std::uint16_t(std::lround(hz));
  r.qField = std::uint16_t(std::lround(q * 1000.0));
  r.type = std::uint8_t(type);
  return r;
}

}  // namespace

int FilterBandCount(int eq) {
  if (!IsEqNumber(eq)) return 0;
  return IsChannelEq(eq) ? kChannelCrossoverHead : EqLayoutOf(eq).bandsWritten;
}

FilterImportPlan PlanFilterImport(int eq, const FilterFile& file) {
  FilterImportPlan plan;
  plan.eq = eq;
  const int bands = FilterBandCount(eq);
  std::vector<ImportNote> notes;
  for (const FilterFileNote& n : file.notes) {
    if (n.problem == FilterFileProblem::kPreamp)
      notes.push_back(Note(n.line, ImportNoteKind::kPreamp, "前级增益%s dB未应用", "preamp %s dB not applied",
                           {FormatFixed(n.value, 1)}));
    else
      notes.push_back(
          Note(n.line, ImportNoteKind::kMalformed, "无法读取此行：%s", "cannot read this line: %s", {n.text}));
  }
  const BilingualText eqName = EqName(eq);
  for (const FilterSpec& f : file.filters) {
    if (!f.on) continue;
    if (f.kind == FilterKind::kUnknown) {
      notes.push_back(Note(f.line, ImportNoteKind::kUnknownType, "设备不支持滤波器类型“%s”，已跳过",
                           "filter type \"%s\" is not one the device runs; skipped", {f.typeWord}));
      continue;
    }
    if (plan.filtersUsed >= bands) {
      ImportNote note = Note(f.line, ImportNoteKind::kTooManyFilters, "滤波器多于%s的%s个频段，未导入",
                             "more filters than the %s bands of %s; not imported",
                             {eqName[kTextChinese], std::to_string(bands)});
      note.text[kTextEnglish] = "Line " + std::to_string(f.line) + ": " +
                                Fill("more filters than the %s bands of %s; not imported",
                                     {std::to_string(bands), eqName[kTextEnglish]});
      notes.push_back(std::move(note));
      continue;
    }
    plan.records.push_back(BandOf(f, notes));
    ++plan.filtersUsed;
  }
  for (int b = int(plan.records.size()); b < bands; ++b) plan.records.push_back(FlatBand(eq, b));
  std::stable_sort(notes.begin(), notes.end(), [](const ImportNote& a, const ImportNote& b) { return a.line < b.line; });
  if (!plan.Usable())
    notes.push_back({0, ImportNoteKind::kNoUsableFilter,
                     {"文件中没有可用的滤波器，未做任何更改", "No usable filter in the file: nothing was changed"}});
  plan.notes = std::move(notes);
  return plan;
}

int ApplyFilterImport(const FilterImportPlan& plan) {
  if (!plan.Usable() || !IsEqNumber(plan.eq)) return 0;
  const int bands = std::min(int(plan.records.size()), FilterBandCount(plan.eq));
  for (int b = 0; b < bands; ++b) WriteEqBandRecord(plan.eq, b, plan.records[std::size_t(b)]);
  return bands;
}

std::string ExportEqFilters(int eq) {
  const int bands = FilterBandCount(eq);
  std::string text = "Filter Settings file\n\ndsptune " + EqName(eq)[kTextEnglish] + "\nEqualiser: Generic\n";
  if (bands == 0) return text;
  const std::vector<std::uint8_t> live = ReadLiveBytes(EqBandOffset(eq, 0), bands * kBandRecordSize);
  for (int b = 0; b < bands && std::size_t(b + 1) * kBandRecordSize <= live.size(); ++b) {
    const BandRecord r = DecodeBandRecord(&live[std::size_t(b) * kBandRecordSize]);
    FilterSpec f;
    f.frequencyHz = r.frequency;
    f.gainDb = r.GainDb();
    f.q = r.Q();
    switch (r.type) {
      case kFilterLowShelf: f.kind = FilterKind::kLowShelf; break;
      case kFilterHighShelf: f.kind = FilterKind::kHighShelf; break;
      case kFilterLowPass: f.kind = FilterKind::kLowPass; break;
      case kFilterHighPass: f.kind = FilterKind::kHighPass; break;
      case kFilterPeq: f.kind = FilterKind::kPeaking; break;
      default:  // off, or a crossover section type no user band takes: flat
        f.kind = FilterKind::kPeaking;
        f.gainDb = 0.0;
        f.q = std::clamp(f.q, kMinQ, kMaxPeakQ);
    }
    text += FormatFilterLine(b + 1, f) + "\n";
  }
  return text;
}

}  // namespace dsptune
