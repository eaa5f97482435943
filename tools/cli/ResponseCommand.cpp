// dsptune-cli response: designed band responses on the 512-point grid, as CSV (the
// --chain form is in tools/cli/EqFilterCommands.cpp).
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "dsp/Biquad.h"
#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"
#include "files/ModeFile.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/CommandTable.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/InputFiles.h"

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

// The defaults, or a mode file's settings as stored (no model clamp: no device is
// connected). 0, or the exit status after saying why.
int LoadEqSettings(const std::string& file) {
  LoadDefaultImage();
  if (file.empty()) return kExitSuccess;
  if (const std::string problem = InputFileProblem(file); !problem.empty()) {
    std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
    return kExitFailure;
  }
  std::string error;
  ParameterImageBytes image{};
  if (ReadModeFileImage(file, image, &error) != 1) {
    std::fprintf(stderr, "dsptune-cli: %s: %s\n", file.c_str(),
                 error.empty() ? std::string(kModeVersionText).c_str() : error.c_str());
    return kExitFailure;
  }
  ReplaceImage(image);
  ApplyImage();
  return kExitSuccess;
}

}  // namespace

int RunResponse(const Args& args) {
  const auto parsed = ParseArgs("response", args, CommandOptions("response"));
  if (!parsed) return kExitUsage;
  if (parsed->Has("--source")) return UsageError("response: --source goes with --chain");
  EqBand band;
  band.gain = 0.0f;
  const auto given = [&](const char* name, std::string& value) {
    value = parsed->Value(name);
    return parsed->Has(name);
  };
  std::string value;
  if (given("--type", value)) {
    const auto t = ParseType(value);
    if (!t) return UsageError("response: --type must be PEQ, LP, HP, LS, HS (any case) or 0..21, not '" + value + "'");
    band.type = *t;
  }
  if (given("--freq", value)) {
    const auto f = ParseNumber(value);
    if (!f || *f < 1.0 || *f >= kDeviceSampleRate / 2) return UsageError("response: --freq must be 1..23999 Hz, not '" + value + "'");
    band.frequency = static_cast<float>(*f);
  }
  if (given("--gain", value)) {
    const auto g = ParseNumber(value);
    if (!g || *g < -40.0 || *g > 40.0) return UsageError("response: --gain must be -40..40 dB, not '" + value + "'");
    band.gain = static_cast<float>(*g);
  }
  if (given("--q", value)) {
    const auto q = ParseNumber(value);
    if (!q || *q < 0.01 || *q > 100.0) return UsageError("response: --q must be 0.01..100, not '" + value + "'");
    band.q = static_cast<float>(*q);
  }
  const bool bandGiven = parsed->Has("--type") || parsed->Has("--freq") || parsed->Has("--q") || parsed->Has("--gain");
  if (parsed->Has("--eq")) {
    const auto eq = ParseWholeNumber(parsed->Value("--eq"), 0, kEqCount - 1);
    if (!eq) return UsageError("response: --eq must be 0..15, not '" + parsed->Value("--eq") + "'");
    if (bandGiven) return UsageError("response: --eq cannot be combined with --type/--freq/--gain/--q");
    if (parsed->positional.size() > 1) return UsageError("response: --eq takes one mode file at most");
    if (const int status = LoadEqSettings(parsed->positional.empty() ? "" : parsed->positional[0]); status != 0)
      return status;
    PrintEqSum(*eq);
    return kExitSuccess;
  }
  if (!parsed->positional.empty())
    return UsageError("response: '" + parsed->positional[0] + "': a mode file goes with --eq N or --chain CH");
  if (!parsed->Has("--type")) return UsageError("response: --type is required (or --eq N)");
  if (!parsed->Has("--freq")) return UsageError("response: --freq is required");
  if (!parsed->Has("--q")) return UsageError("response: --q is required");
  PrintBand(band);
  return kExitSuccess;
}

}  // namespace dsptune::cli
