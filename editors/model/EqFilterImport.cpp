#include "editors/model/EqFilterImport.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
// A channel EQ's crossover head, the tenth band, and its three sections after it.
constexpr int kChannelCrossoverHead = 9;
constexpr int kCrossoverSections = 3;
// Points of the sweep the response differences are measured on, 20..20000 Hz: dense
// enough for the narrowest band (Q 30 at 20 Hz is under 1 Hz wide).
constexpr int kDifferencePoints = 8192;

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

// Largest difference in dB between a section as given and as stored, on a logarithmic
// sweep of the audio band and at both frequencies themselves.
double LargestDifferenceDb(int type, double givenHz, double storedHz, double gainDb, double q) {
  const BiquadCoefficients given = DesignBiquad(type, givenHz, gainDb, q, 0.0, kDeviceSampleRate);
  const BiquadCoefficients stored = DesignBiquad(type, storedHz, gainDb, q, 0.0, kDeviceSampleRate);
  const auto difference = [&](double f) {
    return std::fabs(BiquadMagnitudeDb(given, f, kDeviceSampleRate) - BiquadMagnitudeDb(stored, f, kDeviceSampleRate));
  };
  double most = std::max(difference(givenHz), difference(storedHz));
  for (int i = 0; i < kDifferencePoints; ++i)
    most = std::max(most, difference(kMinHz * std::pow(kMaxHz / kMinHz, double(i) / (kDifferencePoints - 1))));
  return most;
}

// The band of one ON filter of a known type, with a note for each value the device
// does not take as given.
BandRecord BandOf(const FilterSpec& f, std::vector<ImportNote>& notes) {
  const int type = BandType(f.kind);
  const bool pass = type == kFilterLowPass || type == kFilterHighPass;
  bool hzClamped = false, clamped = false;
  const double hz = Held(f.frequencyHz, 1.0, kMinHz, kMaxHz, hzClamped);
  if (hzClamped)
    notes.push_back(Note(f.line, ImportNoteKind::kFrequencyClamped, "频率%s Hz超出范围，已限制为%s Hz",
                         "frequency %s Hz held at %s Hz", {FormatGiven(f.frequencyHz, 0), FormatFixed(hz, 0)}));
  double gain = 0.0;
  if (!pass) {
    gain = Held(f.gainDb, 0.1, -kMaxGainDb, kMaxGainDb, clamped);
    if (clamped)
      notes.push_back(Note(f.line, ImportNoteKind::kGainClamped, "增益%s dB超出范围，已限制为%s dB",
                           "gain %s dB held at %s dB", {FormatGiven(f.gainDb, 1), FormatFixed(gain, 1)}));
  }
  const double q = Held(f.q, 0.001, kMinQ, type == kFilterPeq ? kMaxPeakQ : kMaxOtherQ, clamped);
  // Said after the limits: the difference is the rounding's alone, on the band as stored.
  if (!hzClamped && hz != f.frequencyHz)
    notes.push_back(Note(f.line, ImportNoteKind::kFrequencyRounded, "频率%s Hz已取整为%s Hz，响应最多相差%s dB",
                         "frequency %s Hz rounded to %s Hz; the response differs by up to %s dB",
                         {FormatGiven(f.frequencyHz, 0), FormatFixed(hz, 0),
                          FormatFixed(LargestDifferenceDb(type, f.frequencyHz, hz, gain, q), 2)}));
  // A pass section's gain is a flat scale: leaving it out moves the whole response by it.
  if (pass && f.hasGain && f.gainDb != 0.0) {
    const bool low = type == kFilterLowPass;
    notes.push_back(Note(f.line, ImportNoteKind::kPassGainDropped,
                         low ? "增益%s dB未应用：设备的低通滤波器没有增益，响应最多相差%s dB"
                             : "增益%s dB未应用：设备的高通滤波器没有增益，响应最多相差%s dB",
                         low ? "gain %s dB not applied: the device's low-pass filter has no gain; the response "
                               "differs by up to %s dB"
                             : "gain %s dB not applied: the device's high-pass filter has no gain; the response "
                               "differs by up to %s dB",
                         {FormatGiven(f.gainDb, 1), FormatGiven(std::fabs(f.gainDb), 2)}));
  }
  if (clamped)
    notes.push_back(Note(f.line, ImportNoteKind::kQClamped, "Q值%s超出范围，已限制为%s", "Q %s held at %s",
                         {FormatGiven(f.q, 3), FormatFixed(q, 3)}));
  BandRecord r;
  r.gainField = std::uint16_t(std::lround((gain + kMaxGainDb) * 10.0));
  r.frequency = std::uint16_t(std::lround(hz));
  r.qField = std::uint16_t(std::lround(q * 1000.0));
  r.type = std::uint8_t(type);
  return r;
}

// A crossover section behind a plain tenth band: flat ("PEQ", 0 dB) at the head's
// frequency, as the type menu leaves it. A flat section's Q changes nothing it plays,
// so a section that is a "PEQ" already keeps its own; another gets the type menu's 1.41.
BandRecord FlatSection(const BandRecord& head, const BandRecord& current) {
  BandRecord r;
  r.gainField = 150;
  r.frequency = head.frequency;
  r.qField = current.type == kFilterPeq ? current.qField : std::uint16_t(std::lround(kDefaultBandQ * 1000.0));
  r.type = kFilterPeq;
  return r;
}

BandRecord StoredRecord(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return bytes.size() < std::size_t(kBandRecordSize) ? BandRecord{150, 0, 0, 0} : DecodeBandRecord(bytes.data());
}

bool IsFlat(const BandRecord& r) {
  return r.type == kFilterPeq ? r.gainField == 150 : r.type == kFilterOff || r.type > kHighestFilterType;
}

// The band records an import writes into EQ eq, with their band numbers, in order.
std::vector<std::pair<int, BandRecord>> PlannedRecords(int eq, const std::vector<BandRecord>& records) {
  std::vector<std::pair<int, BandRecord>> out;
  for (std::size_t b = 0; b < records.size(); ++b) {
    out.emplace_back(int(b), records[b]);
    if (IsChannelEq(eq) && int(b) == kChannelCrossoverHead)
      for (int s = 1; s <= kCrossoverSections; ++s)
        out.emplace_back(int(b) + s, FlatSection(records[b], StoredRecord(eq, int(b) + s)));
  }
  return out;
}

void WritePlan(int eq, const std::vector<BandRecord>& records) {
  for (const auto& [band, record] : PlannedRecords(eq, records)) WriteEqBandRecord(eq, band, record);
}

}  // namespace

int FilterBandCount(int eq) {
  if (!IsEqNumber(eq)) return 0;
  return IsChannelEq(eq) ? kChannelCrossoverHead + 1 : EqLayoutOf(eq).bandsWritten;
}

FilterImportPlan PlanFilterImport(int eq, const FilterFile& file) {
  FilterImportPlan plan;
  plan.eq = eq;
  const int bands = FilterBandCount(eq);
  std::vector<ImportNote> notes;
  for (const FilterFileNote& n : file.notes) {
    if (n.problem == FilterFileProblem::kPreamp)
      notes.push_back(Note(n.line, ImportNoteKind::kPreamp, "前级增益%s dB未应用", "preamp %s dB not applied",
                           {FormatGiven(n.value, 1)}));
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
  // A channel EQ's tenth band changes only when a filter gives it (see the header).
  const int flatUpTo = IsChannelEq(eq) ? std::min(bands, kChannelCrossoverHead) : bands;
  for (int b = int(plan.records.size()); b < flatUpTo; ++b) plan.records.push_back(FlatBand(eq, b));
  std::stable_sort(notes.begin(), notes.end(), [](const ImportNote& a, const ImportNote& b) { return a.line < b.line; });
  if (!plan.Usable())
    notes.push_back({0, ImportNoteKind::kNoUsableFilter,
                     {"文件中没有可用的滤波器，未做任何更改", "No usable filter in the file: nothing was changed"}});
  plan.notes = std::move(notes);
  return plan;
}

std::vector<int> FilterImportTargets(const FilterImportPlan& plan, const std::vector<int>& linked) {
  if (!plan.Usable() || !IsEqNumber(plan.eq)) return {};
  std::vector<int> targets{plan.eq};
  for (int eq : linked)
    if (IsChannelEq(plan.eq) && IsChannelEq(eq) && std::find(targets.begin(), targets.end(), eq) == targets.end())
      targets.push_back(eq);
  return targets;
}

bool HoldsFilterImport(const FilterImportPlan& plan, int eq) {
  if (!IsEqNumber(eq)) return false;
  for (const auto& [band, want] : PlannedRecords(eq, plan.records)) {
    const BandRecord r = StoredRecord(eq, band);
    if (r.gainField != want.gainField || r.frequency != want.frequency || r.qField != want.qField ||
        r.type != want.type)
      return false;
  }
  return true;
}

int ApplyFilterImport(const FilterImportPlan& plan, const std::vector<int>& linked) {
  const std::vector<int> targets = FilterImportTargets(plan, linked);
  if (targets.empty()) return 0;
  const int bands = std::min(int(plan.records.size()), FilterBandCount(plan.eq));
  const std::vector<BandRecord> records(plan.records.begin(), plan.records.begin() + bands);
  for (int eq : targets) WritePlan(eq, records);
  return bands;
}

std::string ExportEqFilters(int eq) {
  const int bands = FilterBandCount(eq);
  std::string text = "Filter Settings file\n\ndsptune " + EqName(eq)[kTextEnglish] + "\nEqualiser: Generic\n";
  if (bands == 0) return text;
  const int slots = IsChannelEq(eq) ? kChannelCrossoverHead + 1 + kCrossoverSections : bands;
  const std::vector<std::uint8_t> live = ReadLiveBytes(EqBandOffset(eq, 0), slots * kBandRecordSize);
  const auto record = [&live](int b) { return DecodeBandRecord(&live[std::size_t(b) * kBandRecordSize]); };
  for (int b = 0; b < bands && std::size_t(b + 1) * kBandRecordSize <= live.size(); ++b) {
    const BandRecord r = record(b);
    if (IsChannelEq(eq) && b == kChannelCrossoverHead) {
      bool plain = live.size() >= std::size_t(slots) * kBandRecordSize && r.type <= kFilterHighShelf;
      for (int s = 1; plain && s <= kCrossoverSections; ++s) plain = IsFlat(record(b + s));
      if (!plain) {
        text += "# Band " + std::to_string(b + 1) + " is a crossover (" + FilterTypeName(r.type) + " at " +
                std::to_string(r.frequency) + " Hz with its sections): it has no filter line and an import keeps it\n";
        continue;
      }
    }
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
