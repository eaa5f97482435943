#include "autoeq/Target.h"

#include <charconv>
#include <cmath>
#include <string>

#include "dsp/FilterFile.h"  // FormatFixed

namespace dsptune {
namespace {

bool ReadDouble(std::string_view text, double& out) {
  std::string s(text);
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  if (!s.empty() && s.front() == '+') s.erase(0, 1);
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return !s.empty() && ec == std::errc() && ptr == s.data() + s.size() && std::isfinite(out);
}

std::string Signed(double v, int decimals) {
  const std::string s = FormatFixed(v, decimals);
  return v > 0.0 && s.front() != '-' ? "+" + s : s;
}

}  // namespace

bool ParseTarget(std::string_view text, Target& out, BilingualText& error, std::vector<BilingualText>& notes) {
  if (text == "flat") {
    out = Target{};
    return true;
  }
  if (text.substr(0, 6) == "house:") {
    const std::string_view numbers = text.substr(6);
    double v[3] = {0, 0, 0};
    int count = 0;
    std::size_t from = 0;
    bool ok = true;
    while (ok) {
      const std::size_t comma = numbers.find(',', from);
      const std::string_view field = numbers.substr(from, comma == std::string_view::npos ? numbers.npos : comma - from);
      ok = count < 3 && ReadDouble(field, v[count]);
      ++count;
      if (comma == std::string_view::npos) break;
      from = comma + 1;
    }
    if (!ok || count != 3) {
      error = {"房间曲线应写作 house:低音提升dB,转折频率Hz,每倍频程倾斜dB，例如 house:6,120,-0.5",
               "a house curve is house:BASS_DB,CORNER_HZ,TILT_DB_PER_OCTAVE, e.g. house:6,120,-0.5"};
      return false;
    }
    if (v[1] < 20.0 || v[1] > 20000.0) {
      error = {"房间曲线的转折频率须在20–20000 Hz之间", "the house curve's corner frequency must be 20..20000 Hz"};
      return false;
    }
    if (std::fabs(v[0]) > 30.0 || std::fabs(v[2]) > 6.0) {
      error = {"房间曲线的低音提升须在±30 dB内，倾斜须在每倍频程±6 dB内",
               "the house curve's bass rise must be within ±30 dB and its tilt within ±6 dB/octave"};
      return false;
    }
    out = Target{};
    out.kind = TargetKind::kHouse;
    out.house = {v[0], v[1], v[2]};
    return true;
  }
  MeasurementFile file = ReadMeasurementFile(std::string(text));
  notes.insert(notes.end(), file.notes.begin(), file.notes.end());
  if (!file.ok) {
    error = {"目标曲线：" + file.error[kTextChinese], "target curve: " + file.error[kTextEnglish]};
    return false;
  }
  out = Target{};
  out.kind = TargetKind::kFile;
  out.curve = std::move(file.measurement);
  return true;
}

bool ParseTarget(std::string_view text, Target& out, BilingualText& error) {
  std::vector<BilingualText> notes;
  return ParseTarget(text, out, error, notes);
}

double TargetLevelDb(const Target& target, double hz) {
  switch (target.kind) {
    case TargetKind::kFlat: return 0.0;
    case TargetKind::kFile: return LevelAt(target.curve, hz);
    case TargetKind::kHouse: break;
  }
  const HouseCurve& h = target.house;
  const double ratio = hz / h.cornerHz;
  return h.bassDb / (1.0 + ratio * ratio) + h.tiltDbPerOctave * std::log2(hz / 1000.0);
}

BilingualText TargetName(const Target& target) {
  switch (target.kind) {
    case TargetKind::kFlat: return {"平直", "flat"};
    case TargetKind::kFile: return {"目标文件" + target.curve.name, "target file " + target.curve.name};
    case TargetKind::kHouse: break;
  }
  const HouseCurve& h = target.house;
  const std::string bass = Signed(h.bassDb, 1), corner = FormatFixed(h.cornerHz, 0), tilt = Signed(h.tiltDbPerOctave, 2);
  return {"房间曲线：" + corner + " Hz以下" + bass + " dB，每倍频程" + tilt + " dB",
          "house curve: " + bass + " dB below " + corner + " Hz, " + tilt + " dB/octave"};
}

}  // namespace dsptune
