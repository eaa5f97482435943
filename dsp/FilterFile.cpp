#include "dsp/FilterFile.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

namespace dsptune {
namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool StartsWithWord(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && SameWord(text.substr(0, word.size()), word);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  while (true) {
    s = TrimLeft(s);
    if (s.empty()) return words;
    std::size_t n = 0;
    while (n < s.size() && !IsBlank(s[n])) ++n;
    words.push_back(s.substr(0, n));
    s.remove_prefix(n);
  }
}

// A finite number, the whole word; a decimal comma counts as a point (the tools write
// what the measuring computer's locale writes). A unit glued to the number ("125Hz",
// "-4.5dB") is allowed when it is `unit`.
std::optional<double> Number(std::string_view word, std::string_view unit = {}) {
  if (!unit.empty() && word.size() > unit.size() && SameWord(word.substr(word.size() - unit.size()), unit))
    word.remove_suffix(unit.size());
  std::string text(word);
  for (char& c : text)
    if (c == ',') c = '.';
  const char* first = text.data();
  if (!text.empty() && text[0] == '+') ++first;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

FilterKind KindOf(std::string_view word) {
  struct Entry {
    const char* word;
    FilterKind kind;
  };
  static constexpr Entry kEntries[] = {
      {"PK", FilterKind::kPeaking},   {"PEQ", FilterKind::kPeaking},  {"LS", FilterKind::kLowShelf},
      {"LSC", FilterKind::kLowShelf}, {"HS", FilterKind::kHighShelf}, {"HSC", FilterKind::kHighShelf},
      {"LP", FilterKind::kLowPass},   {"LPQ", FilterKind::kLowPass},  {"HP", FilterKind::kHighPass},
      {"HPQ", FilterKind::kHighPass},
  };
  for (const Entry& e : kEntries)
    if (SameWord(word, e.word)) return e.kind;
  return FilterKind::kUnknown;
}

// Q of a bandwidth in octaves: Q = sqrt(2^N) / (2^N − 1).
double QFromOctaves(double octaves) {
  const double r = std::pow(2.0, octaves);
  return std::sqrt(r) / (r - 1.0);
}

// The fields after "Filter N:". False when they cannot be read.
bool ReadFields(const std::vector<std::string_view>& w, FilterSpec& f, bool& unusedSlot) {
  if (w.size() < 2) return false;
  if (SameWord(w[0], "ON")) f.on = true;
  else if (SameWord(w[0], "OFF")) f.on = false;
  else return false;
  if (SameWord(w[1], "None")) {
    unusedSlot = true;
    return true;
  }
  f.typeWord = std::string(w[1]);
  f.kind = KindOf(w[1]);
  std::size_t i = 2;
  // A slope written after the type ("LS 12dB") names a filter the device does not run.
  if (i < w.size() && Number(w[i], "dB") && f.kind != FilterKind::kUnknown) {
    f.typeWord += " " + std::string(w[i++]);
    f.kind = FilterKind::kUnknown;
  }
  bool haveFc = false;
  while (i < w.size()) {
    const std::string_view key = w[i++];
    if (i >= w.size()) return false;
    if (SameWord(key, "Fc")) {
      const auto v = Number(w[i++], "Hz");
      if (!v || *v <= 0.0) return false;
      f.frequencyHz = *v;
      haveFc = true;
      if (i < w.size() && SameWord(w[i], "Hz")) ++i;
    } else if (SameWord(key, "Gain")) {
      const auto v = Number(w[i++], "dB");
      if (!v) return false;
      f.gainDb = *v;
      f.hasGain = true;
      if (i < w.size() && SameWord(w[i], "dB")) ++i;
    } else if (SameWord(key, "Q")) {
      const auto v = Number(w[i++]);
      if (!v || *v <= 0.0) return false;
      f.q = *v;
      f.hasQ = true;
    } else if (SameWord(key, "BW") && SameWord(w[i], "Oct")) {
      if (++i >= w.size()) return false;
      const auto v = Number(w[i++]);
      if (!v || *v <= 0.0) return false;
      f.q = QFromOctaves(*v);
      f.hasQ = true;
    } else {
      return false;
    }
  }
  if (f.kind == FilterKind::kUnknown) return true;  // reported by type, whatever it carries
  if (!haveFc) return false;
  const bool needsGain = f.kind == FilterKind::kPeaking || f.kind == FilterKind::kLowShelf ||
                         f.kind == FilterKind::kHighShelf;
  if (needsGain && !f.hasGain) return false;
  if (f.kind == FilterKind::kPeaking && !f.hasQ) return false;
  return true;
}

// "Filter", an optional number, then ':'. The tools' header "Filter Settings file" has
// no colon and is not a filter line.
bool FilterLineHead(std::string_view line, int& number, std::string_view& rest) {
  if (!StartsWithWord(line, "Filter")) return false;
  std::string_view s = TrimLeft(line.substr(6));
  std::size_t digits = 0;
  while (digits < s.size() && std::isdigit(static_cast<unsigned char>(s[digits]))) ++digits;
  number = -1;
  if (digits > 0) {
    int n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + digits, n);
    number = ec == std::errc() && end == s.data() + digits ? n : -1;
    s = TrimLeft(s.substr(digits));
  }
  if (s.empty() || s.front() != ':') return false;
  rest = s.substr(1);
  return true;
}

void ReadLine(std::string_view line, int lineNumber, FilterFile& file) {
  line = Trim(line);
  if (StartsWithWord(line, "Preamp")) {
    std::string_view s = TrimLeft(line.substr(6));
    if (s.empty() || s.front() != ':') return;
    const std::vector<std::string_view> w = Words(s.substr(1));
    const bool unitOk = w.size() == 1 || (w.size() == 2 && SameWord(w[1], "dB"));
    const auto v = w.empty() ? std::nullopt : Number(w[0], "dB");
    if (v && unitOk)
      file.notes.push_back({lineNumber, FilterFileProblem::kPreamp, *v, {}});
    else
      file.notes.push_back({lineNumber, FilterFileProblem::kMalformed, 0.0, std::string(line)});
    return;
  }
  int number = -1;
  std::string_view rest;
  if (!FilterLineHead(line, number, rest)) return;
  FilterSpec f;
  f.line = lineNumber;
  f.number = number;
  bool unusedSlot = false;
  if (!ReadFields(Words(rest), f, unusedSlot)) {
    file.notes.push_back({lineNumber, FilterFileProblem::kMalformed, 0.0, std::string(line)});
    return;
  }
  if (!unusedSlot) file.filters.push_back(std::move(f));
}

}  // namespace

FilterFile ParseFilterFile(std::string_view text) {
  FilterFile file;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int lineNumber = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    if (!end && text[i] != '\n' && text[i] != '\r') continue;
    ReadLine(text.substr(start, i - start), lineNumber, file);
    if (end) break;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;  // CRLF is one line end
    start = i + 1;
    ++lineNumber;
  }
  return file;
}

const char* FilterKindWord(FilterKind kind) {
  switch (kind) {
    case FilterKind::kPeaking: return "PK";
    case FilterKind::kLowShelf: return "LSC";
    case FilterKind::kHighShelf: return "HSC";
    case FilterKind::kLowPass: return "LPQ";
    case FilterKind::kHighPass: return "HPQ";
    case FilterKind::kUnknown: break;
  }
  return "";
}

namespace {

std::string Shortest(double v) {
  char buffer[64];
  // The general form: fixed while the exponent is small ("0.0004", "100.5"),
  // scientific beyond ("1e+308").
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v + 0.0, std::chars_format::general);
  return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

// Past this the fixed form would carry digits the double does not hold (and the scaled
// rounding below would overflow).
constexpr double kFixedLimit = 1e15;

}  // namespace

// A Qt program takes the user's locale, where printf may write a decimal comma; the
// rounding first keeps "-0.0" out.
std::string FormatFixed(double v, int decimals) {
  if (!std::isfinite(v) || std::fabs(v) >= kFixedLimit) return Shortest(v);
  const double scale = std::pow(10.0, decimals);
  v = std::round(v * scale) / scale + 0.0;
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(buffer, end) : Shortest(v);
}

std::string FormatGiven(double v, int decimals) {
  const std::string fixed = FormatFixed(v, decimals);
  double back = 0.0;
  const auto [end, ec] = std::from_chars(fixed.data(), fixed.data() + fixed.size(), back);
  const bool exact = ec == std::errc() && end == fixed.data() + fixed.size() && back == v;
  return exact ? fixed : Shortest(v);
}

std::string FormatFilterLine(int number, const FilterSpec& f) {
  const bool pass = f.kind == FilterKind::kLowPass || f.kind == FilterKind::kHighPass;
  const std::string word = f.kind == FilterKind::kUnknown ? f.typeWord : FilterKindWord(f.kind);
  std::string line = "Filter " + std::to_string(number) + ": " + (f.on ? "ON " : "OFF ") + word + " Fc " +
                     FormatFixed(f.frequencyHz, 0) + " Hz";
  if (!pass) line += " Gain " + FormatFixed(f.gainDb, 1) + " dB";
  return line + " Q " + FormatFixed(f.q, 3);
}

}  // namespace dsptune
