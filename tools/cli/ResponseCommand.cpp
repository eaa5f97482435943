// dsptune-cli response: designed band responses on the 512-point grid, as CSV.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "dsp/Biquad.h"
#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tools/cli/CliCommands.h"

namespace dsptune::cli {
namespace {

// A finite number, the whole text; "inf", "nan" and values that overflow a double
// (strtod gives infinity for those) are not numbers any argument accepts.
std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

// A whole number in lowest..highest. The range is checked before the conversion, so
// the conversion only ever sees values that fit.
std::optional<int> ParseWholeNumber(const std::string& text, int lowest, int highest) {
  const auto v = ParseNumber(text);
  if (!v || *v < lowest || *v > highest || *v != std::trunc(*v)) return std::nullopt;
  return static_cast<int>(*v);
}

std::optional<int> ParseType(const std::string& text) {
  static const char* kNames[] = {"PEQ", "LP", "HP", "LS", "HS"};
  std::string upper = text;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  for (int i = 0; i < 5; ++i)
    if (upper == kNames[i]) return i + 1;
  return ParseWholeNumber(text, 0, kHighestFilterType);
}

// The designed response itself: no pinned peak, which only serves the graph's drawing.
void PrintBand(const EqBand& band) {
  const BiquadCoefficients c = DesignBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kDeviceSampleRate);
  std::printf("frequency_hz,db\n");
  for (int i = 0; i < kResponsePoints; ++i) {
    const float f = ResponseGridFrequency(i);
    std::printf("%.3f,%.4f\n", static_cast<double>(f), BiquadMagnitudeDb(c, f, kDeviceSampleRate));
  }
}

void PrintEqSum(int eq) {
  const LiveBlockBytes live = LiveBlockSnapshot();
  std::array<double, kResponsePoints> sum{};
  for (int b = 0; b < EqLayoutOf(eq).bandsWritten; ++b) {
    const BandRecord r = DecodeBandRecord(&live[std::size_t(EqBandOffset(eq, b))]);
    if (r.type == kFilterOff) continue;
    const BiquadCoefficients c = DesignBiquad(r.type, r.frequency, r.GainDb(), r.Q(), 0.0, kDeviceSampleRate);
    for (int i = 0; i < kResponsePoints; ++i)
      sum[std::size_t(i)] += BiquadMagnitudeDb(c, ResponseGridFrequency(i), kDeviceSampleRate);
  }
  std::printf("frequency_hz,db\n");
  for (int i = 0; i < kResponsePoints; ++i)
    std::printf("%.3f,%.4f\n", static_cast<double>(ResponseGridFrequency(i)), sum[std::size_t(i)]);
}

}  // namespace

int RunResponse(const Args& args) {
  EqBand band;
  band.gain = 0.0f;
  std::optional<int> eq;
  bool haveType = false, haveFreq = false, haveQ = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (i + 1 >= args.size()) return UsageError("response: " + name + " needs a value");
    const std::string& value = args[++i];
    if (name == "--type") {
      const auto t = ParseType(value);
      if (!t) return UsageError("response: --type must be PEQ, LP, HP, LS, HS (any case) or 0..21, not '" + value + "'");
      band.type = *t;
      haveType = true;
    } else if (name == "--freq") {
      const auto f = ParseNumber(value);
      if (!f || *f < 1.0 || *f >= kDeviceSampleRate / 2) return UsageError("response: --freq must be 1..23999 Hz, not '" + value + "'");
      band.frequency = static_cast<float>(*f);
      haveFreq = true;
    } else if (name == "--gain") {
      const auto g = ParseNumber(value);
      if (!g || *g < -40.0 || *g > 40.0) return UsageError("response: --gain must be -40..40 dB, not '" + value + "'");
      band.gain = static_cast<float>(*g);
    } else if (name == "--q") {
      const auto q = ParseNumber(value);
      if (!q || *q < 0.01 || *q > 100.0) return UsageError("response: --q must be 0.01..100, not '" + value + "'");
      band.q = static_cast<float>(*q);
      haveQ = true;
    } else if (name == "--eq") {
      const auto n = ParseWholeNumber(value, 0, kEqCount - 1);
      if (!n) return UsageError("response: --eq must be 0..15, not '" + value + "'");
      eq = *n;
    } else {
      return UsageError("response: unknown argument '" + name + "'");
    }
  }
  if (eq) {
    if (haveType || haveFreq || haveQ) return UsageError("response: --eq cannot be combined with --type/--freq/--q");
    LoadDefaultImage();
    PrintEqSum(*eq);
    return 0;
  }
  if (!haveType) return UsageError("response: --type is required (or --eq N)");
  if (!haveFreq) return UsageError("response: --freq is required");
  if (!haveQ) return UsageError("response: --q is required");
  PrintBand(band);
  return 0;
}

}  // namespace dsptune::cli
