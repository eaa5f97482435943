#include "autoeq/Measurement.h"

#include "dsp/FilterFile.h"  // FormatGiven

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace dsptune {
namespace {

constexpr double kCoverageOctaves = 1.0 / 96.0;
constexpr double kMaxLevelDb = 1000.0;

std::string_view Trimmed(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// A whole field as a finite number; `comma` turns ',' into the decimal mark.
bool ReadNumber(std::string_view field, bool comma, double& out) {
  std::string text(field);
  if (comma) std::replace(text.begin(), text.end(), ',', '.');
  if (!text.empty() && text.front() == '+') text.erase(0, 1);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end && std::isfinite(out);
}

// The fields of one line (see the header for when a comma separates and when it is a
// decimal mark). Empty fields between two separators make the line unreadable.
bool SplitFields(std::string_view line, std::vector<std::string_view>& fields, bool& commaDecimal) {
  fields.clear();
  std::vector<std::string_view> raw;
  bool emptyField = false;
  const bool semicolons = line.find(';') != std::string_view::npos;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const bool end = i == line.size();
    const char c = end ? ';' : line[i];
    const bool separator = c == ' ' || c == '\t' || c == ';';
    if (!separator) continue;
    std::string_view field = line.substr(start, i - start);
    if (!field.empty()) raw.push_back(field);
    else if (c == ';' && semicolons && !end) emptyField = emptyField || (i > 0 && line[i - 1] == ';');
    start = i + 1;
  }
  if (emptyField) return false;
  bool commaSeparates = raw.size() == 1;
  for (std::string_view f : raw)
    if (f.back() == ',' || f.front() == ',') commaSeparates = true;
  if (semicolons) commaSeparates = false;
  commaDecimal = !commaSeparates;
  if (!commaSeparates) {
    fields = raw;
    return true;
  }
  for (std::string_view f : raw) {
    std::size_t from = 0;
    for (std::size_t i = 0; i <= f.size(); ++i) {
      if (i < f.size() && f[i] != ',') continue;
      std::string_view part = f.substr(from, i - from);
      const bool edge = (from == 0 && i == f.size()) || (part.empty() && (from == 0 || i == f.size()));
      if (part.empty() && !edge) return false;  // "20,,3"
      if (!part.empty()) fields.push_back(part);
      from = i + 1;
    }
  }
  return true;
}

bool HasLetter(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

BilingualText LineNote(int line, std::string_view text) {
  const std::string n = std::to_string(line);
  return {"第" + n + "行：无法读取此行：" + std::string(text), "Line " + n + ": cannot read this line: " + std::string(text)};
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Half width in octaves of the smoothing window at hz.
double HalfWindowOctaves(const Smoothing& smoothing, double hz) {
  if (smoothing.kind == SmoothingKind::kOctave) return 0.5 / smoothing.fraction;
  // Variable: 1/48 octave up to 100 Hz, widening linearly in log-frequency to 1/3 octave
  // at 10 kHz, held above. Fine where room modes are narrow, broad where the ear is.
  const double t = std::clamp(std::log10(hz / 100.0) / 2.0, 0.0, 1.0);
  return 0.5 * (1.0 / 48.0 + t * (1.0 / 3.0 - 1.0 / 48.0));
}

}  // namespace

std::string HzText(double hz) { return FormatGiven(std::round(hz * 10.0) / 10.0, 0); }

MeasurementFile ParseMeasurement(std::string_view text, std::string name) {
  MeasurementFile out;
  out.measurement.name = std::move(name);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<double> phase;
  int phaseRows = 0;
  bool headerSeen = false;
  int lineNumber = 0;
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view rawLine = text.substr(pos, end - pos);
    ++lineNumber;
    pos = end + 1;
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++pos;
    const std::string_view line = Trimmed(rawLine);
    if (line.empty() || line.front() == '*' || line.front() == '#') {
      if (end == text.size()) break;
      continue;
    }
    bool commaDecimal = false;
    double values[3] = {0, 0, 0};
    bool ok = SplitFields(line, fields, commaDecimal) && (fields.size() == 2 || fields.size() == 3);
    for (std::size_t i = 0; ok && i < fields.size(); ++i) ok = ReadNumber(fields[i], commaDecimal, values[i]);
    const Measurement& m = out.measurement;
    // A level beyond ±kMaxLevelDb is no measurement; it would overflow every power mean.
    if (ok) ok = values[0] > 0.0 && std::fabs(values[1]) <= kMaxLevelDb &&
                 (m.frequencyHz.empty() || values[0] > m.frequencyHz.back());
    if (ok) {
      out.measurement.frequencyHz.push_back(values[0]);
      out.measurement.levelDb.push_back(values[1]);
      phase.push_back(values[2]);
      if (fields.size() == 3) ++phaseRows;
    } else if (!headerSeen && m.frequencyHz.empty() && out.malformed.empty() && HasLetter(line)) {
      headerSeen = true;  // "Frequency;SPL;Phase", "freq(Hz) dB"
    } else {
      out.malformed.push_back({lineNumber, std::string(rawLine)});
      out.notes.push_back(LineNote(lineNumber, rawLine));
    }
    if (end == text.size()) break;
  }
  Measurement& m = out.measurement;
  if (phaseRows == m.Size() && phaseRows > 0) m.phaseDeg = std::move(phase);
  if (m.Size() < kMinMeasurementPoints) {
    const std::string n = std::to_string(m.Size()), min = std::to_string(kMinMeasurementPoints);
    const std::string who = m.name.empty() ? std::string() : m.name + ": ";
    out.error = {who + "只有" + n + "个测量点，至少需要" + min + "个",
                 who + "only " + n + " measurement points; at least " + min + " are needed"};
    return out;
  }
  out.ok = true;
  return out;
}

MeasurementFile ReadMeasurementFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    MeasurementFile out;
    out.error = {"无法打开测量文件" + path, "cannot open the measurement file " + path};
    return out;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseMeasurement(text.str(), BaseName(path));
}

double LevelAt(const Measurement& m, double hz) {
  if (m.Empty()) return 0.0;
  const auto& f = m.frequencyHz;
  if (hz <= f.front()) return m.levelDb.front();
  if (hz >= f.back()) return m.levelDb.back();
  const std::size_t hi = std::size_t(std::upper_bound(f.begin(), f.end(), hz) - f.begin());
  const std::size_t lo = hi - 1;
  const double t = std::log(hz / f[lo]) / std::log(f[hi] / f[lo]);
  return m.levelDb[lo] + t * (m.levelDb[hi] - m.levelDb[lo]);
}

bool Covers(const Measurement& m, double lowHz, double highHz) {
  if (m.Empty()) return false;
  const double slack = std::exp2(kCoverageOctaves);
  return m.LowestHz() <= lowHz * slack && m.HighestHz() * slack >= highHz;
}

Measurement AverageMeasurements(const std::vector<Measurement>& measurements) {
  if (measurements.empty()) return {};
  if (measurements.size() == 1) return measurements.front();
  double lo = 0.0, hi = 1e300;
  for (const Measurement& m : measurements) {
    if (m.Empty()) return {};
    lo = std::max(lo, m.LowestHz());
    hi = std::min(hi, m.HighestHz());
  }
  Measurement out;
  out.name = measurements.front().name;
  const Measurement& first = measurements.front();
  for (int i = 0; i < first.Size(); ++i) {
    const double hz = first.frequencyHz[std::size_t(i)];
    if (hz < lo || hz > hi) continue;
    double power = 0.0;
    for (const Measurement& m : measurements) power += std::pow(10.0, LevelAt(m, hz) / 10.0);
    out.frequencyHz.push_back(hz);
    out.levelDb.push_back(10.0 * std::log10(power / double(measurements.size())));
  }
  return out;
}

bool ParseSmoothing(std::string_view text, Smoothing& out) {
  text = Trimmed(text);
  if (text == "none" || text == "0") {
    out = {SmoothingKind::kNone, 0};
    return true;
  }
  if (text == "var" || text == "variable") {
    out = {SmoothingKind::kVariable, 0};
    return true;
  }
  if (text.substr(0, 2) != "1/") return false;
  int n = 0;
  const std::string_view digits = text.substr(2);
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) return false;
  for (int allowed : {1, 3, 6, 12, 24, 48})
    if (n == allowed) {
      out = {SmoothingKind::kOctave, n};
      return true;
    }
  return false;
}

BilingualText SmoothingName(const Smoothing& smoothing) {
  switch (smoothing.kind) {
    case SmoothingKind::kNone: return {"无", "none"};
    case SmoothingKind::kVariable: return {"可变", "variable"};
    case SmoothingKind::kOctave: break;
  }
  const std::string n = std::to_string(smoothing.fraction);
  return {"1/" + n + "倍频程", "1/" + n + " octave"};
}

Measurement SmoothMeasurement(const Measurement& m, const Smoothing& smoothing) {
  if (smoothing.kind == SmoothingKind::kNone || m.Empty()) return m;
  if (smoothing.kind == SmoothingKind::kOctave && smoothing.fraction <= 0) return m;
  const std::size_t n = m.frequencyHz.size();
  // Prefix sums of power, so each window is one subtraction.
  std::vector<double> prefix(n + 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + std::pow(10.0, m.levelDb[i] / 10.0);
  Measurement out;
  out.name = m.name;
  out.frequencyHz = m.frequencyHz;
  out.levelDb.resize(n);
  const auto& f = m.frequencyHz;
  for (std::size_t i = 0; i < n; ++i) {
    // A point exactly on the window's edge belongs to it, whatever the rounding of the
    // frequencies (exports on a 1/48-octave grid put points there).
    const double half = std::exp2(HalfWindowOctaves(smoothing, f[i])) * (1.0 + 1e-9);
    const std::size_t lo = std::size_t(std::lower_bound(f.begin(), f.end(), f[i] / half) - f.begin());
    const std::size_t hi = std::size_t(std::upper_bound(f.begin(), f.end(), f[i] * half) - f.begin());
    out.levelDb[i] = 10.0 * std::log10((prefix[hi] - prefix[lo]) / double(hi - lo));
  }
  return out;
}

Measurement PrepareMeasurements(const std::vector<Measurement>& measurements, const Smoothing& smoothing,
                                std::vector<BilingualText>& notes) {
  Measurement m = AverageMeasurements(measurements);
  if (measurements.size() > 1) {
    const std::string n = std::to_string(measurements.size());
    if (m.Empty())
      notes.push_back({"测量的频率范围互不重叠，无法平均", "the measurements share no frequency range; not averaged"});
    else
      notes.push_back({"已平均" + n + "个测量（电平按功率平均），范围" + HzText(m.LowestHz()) + "–" + HzText(m.HighestHz()) + " Hz",
                       "averaged " + n + " measurements (power average of levels) over " + HzText(m.LowestHz()) + "-" +
                           HzText(m.HighestHz()) + " Hz"});
  }
  if (smoothing.kind != SmoothingKind::kNone && !m.Empty()) {
    m = SmoothMeasurement(m, smoothing);
    const BilingualText name = SmoothingName(smoothing);
    notes.push_back({"平滑：" + name[kTextChinese] + "（功率平均）", "smoothed " + name[kTextEnglish] + " (power mean)"});
  }
  return m;
}

}  // namespace dsptune
