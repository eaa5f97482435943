// dsptune-cli autoeq: an equaliser fitted to room measurements, into a mode file or the
// device, with the fit's report and, when asked, its graph.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "autoeq/DeviceFit.h"
#include "autoeq/EqFit.h"
#include "autoeq/FitReport.h"
#include "autoeq/Measurement.h"
#include "autoeq/Target.h"
#include "editors/model/EqFilterImport.h"
#include "editors/model/OutputChannels.h"
#include "files/BoundedFileRead.h"
#include "files/ModeFile.h"
#include "model/SettingNames.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/CommandTable.h"
#include "tools/cli/DeviceSession.h"
#include "tools/cli/DeviceTexts.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/InputFiles.h"
#include "tools/cli/PlotRaster.h"
#include "tools/cli/ResponsePlot.h"
#include "tools/cli/SettingsTarget.h"

namespace dsptune::cli {
namespace {

constexpr const char* kUsage =
    "autoeq: usage: autoeq MEAS... --eq N [--target T] [--range LO-HI] [--bands K] [--max-boost DB] "
    "[--smoothing S] [--chain CH] [--keep-bands] [--plot FILE.png|svg] [--in A.mode] -o B.mode, or the same "
    "with --tcp HOST[:PORT] | --usb [-o B.mode] instead of --in";

// A measurement program exports every point it measured: a full-resolution sweep is
// several megabytes of text.
constexpr FileSizeRule kMeasurementRule{64u * 1024u * 1024u};
// The graph is drawn from the measurement resampled this finely: finer than any
// smoothing the fit takes, and an SVG of modest size whatever the export's resolution.
constexpr double kPlotPointsPerOctave = 96;

enum class PlotFormat { kNone, kSvg, kPng };

struct AutoEqRequest {
  int eq = -1;
  int chainChannel = -1;  // 0..7, or -1
  FitOptions options;
  Smoothing smoothing{SmoothingKind::kVariable, 0};
  std::string targetSpec = "flat";
  int language = kTextEnglish;
  std::vector<std::string> measurements;
  std::string in, out, plot;
  PlotFormat plotFormat = PlotFormat::kNone;
};

// "300", "2.5k": hertz; nullopt for anything else.
std::optional<double> ParseHertz(std::string text) {
  double scale = 1;
  if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) scale = 1000, text.pop_back();
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value * scale;
}

std::optional<double> ParseDecimal(const std::string& text, double lowest, double highest) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= lowest && value <= highest)) return std::nullopt;
  return value;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Every option checked, nothing opened: 0 with `request` filled, or the usage status.
int ReadRequest(const ParsedArgs& parsed, bool device, AutoEqRequest& request) {
  const auto usage = [](const std::string& message) { return UsageError("autoeq: " + message); };
  // The plot's format first: a name it cannot write costs no fit.
  if (parsed.Has("--plot")) {
    request.plot = parsed.Value("--plot");
    const std::size_t dot = request.plot.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : Lowered(request.plot.substr(dot));
    if (extension == ".svg") request.plotFormat = PlotFormat::kSvg;
    else if (extension == ".png") request.plotFormat = PlotFormat::kPng;
    else return usage("--plot needs a file name ending in .png or .svg, not '" + request.plot + "'");
    if (request.plotFormat == PlotFormat::kPng && !PngPlotsAvailable())
      return usage("--plot " + request.plot + ": this build writes plots as SVG only (PNG needs the build with the window)");
  }
  if (parsed.Has("--lang")) {
    const std::string value = parsed.Value("--lang");
    if (value != "en" && value != "zh") return usage("--lang needs en or zh");
    request.language = value == "zh" ? kTextChinese : kTextEnglish;
  }
  if (parsed.Has("--chain")) {
    const auto channel = ParseChannel(parsed.Value("--chain"), kOutputChannelCount);
    if (!channel) return usage("--chain needs an output channel, 1..8 or CH1..CH8");
    request.chainChannel = int(*channel) - 1;
  }
  if (parsed.Has("--eq")) {
    const auto eq = ParseCount(parsed.Value("--eq"), 0, kEqCount - 1);
    if (!eq) return usage("--eq needs an equaliser, 0..15");
    request.eq = int(*eq);
  }
  if (request.chainChannel >= 0) {
    const int channelEq = kEqCh1 + request.chainChannel;
    if (request.eq < 0) request.eq = channelEq;
    if (request.eq != channelEq)
      return usage("--chain " + std::to_string(request.chainChannel + 1) + " fits " + EqName(channelEq)[kTextEnglish] +
                   " (--eq " + std::to_string(channelEq) + "), not --eq " + std::to_string(request.eq));
  }
  if (request.eq < 0 || parsed.positional.empty() || (!device && !parsed.Has("-o")) || (device && parsed.Has("--in")))
    return UsageError(kUsage);

  FitOptions& o = request.options;
  if (parsed.Has("--range")) {
    const std::string text = parsed.Value("--range");
    const std::size_t dash = text.find('-', 1);
    const auto low = dash == std::string::npos ? std::nullopt : ParseHertz(text.substr(0, dash));
    const auto high = dash == std::string::npos ? std::nullopt : ParseHertz(text.substr(dash + 1));
    if (!low || !high || *low < kFitMinHz || *high > kFitMaxHz || *low >= *high)
      return usage("--range needs LO-HI in hertz, 20 <= LO < HI <= 20000 (say 20-300), not '" + text + "'");
    o.lowHz = *low, o.highHz = *high;
  }
  if (parsed.Has("--bands")) {
    const int most = FilterBandCount(request.eq);
    const auto bands = ParseCount(parsed.Value("--bands"), 1, most);
    if (!bands)
      return usage("--bands needs K, 1.." + std::to_string(most) + " for " + EqName(request.eq)[kTextEnglish]);
    o.bands = int(*bands);
  }
  if (parsed.Has("--max-boost")) {
    const auto boost = ParseDecimal(parsed.Value("--max-boost"), 0.0, kFitMaxGainDb);
    if (!boost) return usage("--max-boost needs DB, 0..15 (0: cuts only)");
    o.maxBoostDb = *boost;
  }
  if (parsed.Has("--smoothing") && !ParseSmoothing(parsed.Value("--smoothing"), request.smoothing))
    return usage("--smoothing needs 1/1, 1/3, 1/6, 1/12, 1/24, 1/48, var or none, not '" +
                 parsed.Value("--smoothing") + "'");
  o.keepExistingBands = parsed.Has("--keep-bands");
  if (parsed.Has("--target")) request.targetSpec = parsed.Value("--target");
  request.measurements = parsed.positional;
  request.in = parsed.Value("--in");
  request.out = parsed.Value("-o");
  return kExitSuccess;
}

bool IsTargetFile(const std::string& spec) { return spec != "flat" && spec.rfind("house:", 0) != 0; }

// Each measurement read and its unreadable lines named ("FILE: Line 7: ..."); nullopt
// after naming why one cannot be used.
std::optional<std::vector<Measurement>> ReadMeasurements(const AutoEqRequest& request) {
  std::vector<Measurement> measurements;
  for (const std::string& path : request.measurements) {
    const FileReadResult read = ReadBoundedFile(path, kMeasurementRule);
    if (!read.Ok()) {
      FileFailure(path + ": " + FileReadProblem(read, kMeasurementRule));
      return std::nullopt;
    }
    const MeasurementFile file =
        ParseMeasurement(std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()), path);
    for (const BilingualText& note : file.notes)
      std::fprintf(stderr, "%s: %s\n", path.c_str(), note[std::size_t(request.language)].c_str());
    if (!file.ok) {
      FileFailure(path + ": " + file.error[std::size_t(request.language)]);
      return std::nullopt;
    }
    measurements.push_back(file.measurement);
  }
  return measurements;
}

const char* Say(const AutoEqRequest& request, const char* chinese, const char* english) {
  return request.language == kTextChinese ? chinese : english;
}

// The next frequency of the 1-2-5 series at or beyond hz (up or down), where the axis
// has a label.
double LabelledHz(double hz, bool up) {
  const double decade = std::pow(10.0, std::floor(std::log10(hz) + 1e-9));
  const double steps[] = {1, 2, 5, 10};
  if (up) {
    for (double s : steps)
      if (s * decade >= hz * (1 - 1e-9)) return s * decade;
  }
  for (int i = 3; i >= 0; --i)
    if (steps[i] * decade <= hz * (1 + 1e-9)) return steps[i] * decade;
  return hz;
}

// Measurement, target and prediction over the whole measured span (the fit's own curves
// cover only its range), on an axis that begins and ends at a labelled frequency.
ResponsePlot FitPlot(const AutoEqRequest& request, const Measurement& room, const Target& target,
                     const FitSetup& setup, const FitResult& result) {
  const double lowHz = std::max(kFitMinHz, room.LowestHz()), highHz = std::min(kFitMaxHz, room.HighestHz());
  ResponsePlot plot;
  plot.lowHz = std::max(kFitMinHz, LabelledHz(lowHz, false));
  plot.highHz = std::min(kFitMaxHz, LabelledHz(highHz, true));
  std::vector<double> hz;
  const double octaves = std::log2(highHz / lowHz);
  const int points = std::max(2, int(std::ceil(octaves * kPlotPointsPerOctave)) + 1);
  for (int i = 0; i < points; ++i) hz.push_back(lowHz * std::exp2(octaves * i / (points - 1)));
  const FitCurves curves = FitCurvesAt(result, room, target, setup, hz);

  PlotSeries measured{setup.fixed.empty() ? Say(request, "测量", "Measurement")
                                          : Say(request, "测量（含固定频段）", "Measurement with the fixed bands"),
                      "#7f7f7f", false, {}};
  PlotSeries aim{Say(request, "目标", "Target"), "#2ca02c", true, {}};
  PlotSeries predicted{Say(request, "加均衡后的预测", "Predicted with the EQ"), "#d62728", false, {}};
  for (std::size_t i = 0; i < hz.size(); ++i) {
    measured.points.emplace_back(hz[i], curves.measurementDb[i]);
    aim.points.emplace_back(hz[i], curves.targetDb[i]);
    predicted.points.emplace_back(hz[i], curves.predictedDb[i]);
  }
  plot.series = {measured, aim, predicted};
  const std::size_t l = std::size_t(request.language);
  const std::string eqName = result.chainName[l].empty() ? EqName(request.eq)[l] : result.chainName[l];
  char rms[96];
  std::snprintf(rms, sizeof rms, "RMS %.1f → %.1f dB", result.rmsBeforeDb, result.rmsAfterDb);
  plot.title = eqName + Say(request, "：自动均衡，", ": automatic EQ, ") + rms;
  plot.frequencyLabel = Say(request, "频率 (Hz)", "Frequency (Hz)");
  plot.levelLabel = Say(request, "电平 (dB)", "Level (dB)");
  if (result.lowHz > plot.lowHz * 1.01 || result.highHz < plot.highHz * 0.99) {
    plot.shadeLowHz = result.lowHz, plot.shadeHighHz = result.highHz;
    plot.shadeLabel = Say(request, "拟合范围", "fit range");
  }
  return plot;
}

int SavePlot(const AutoEqRequest& request, const ResponsePlot& plot) {
  const std::string svg = ResponsePlotSvg(plot);
  std::string problem;
  if (request.plotFormat == PlotFormat::kPng) {
    problem = SaveSvgAsPng(svg, request.plot);
  } else {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size());
    if (const int error = ReplaceFileContents(request.plot, bytes); error != 0) problem = WriteErrorText(error, request.plot);
  }
  if (!problem.empty()) return FileFailure(problem + "; nothing was saved or written");
  std::fprintf(stderr, "saved the plot in %s\n", request.plot.c_str());
  return kExitSuccess;
}

}  // namespace

int RunAutoEq(const Args& args) {
  const auto parsed = ParseArgs("autoeq", args, CommandOptions("autoeq"), DeviceOptions());
  if (!parsed) return kExitUsage;
  const bool device = WantsDevice(*parsed);
  AutoEqRequest request;
  if (const int status = ReadRequest(*parsed, device, request); status != 0) return status;
  SetDeviceTextLanguage(request.language);
  const std::size_t language = std::size_t(request.language);

  Target target;
  BilingualText problem;
  if (!IsTargetFile(request.targetSpec) && !ParseTarget(request.targetSpec, target, problem))
    return UsageError("autoeq: --target " + request.targetSpec + ": " + problem[kTextEnglish]);
  int exitCode = 0;
  const std::optional<DeviceChoice> choice = device ? OneDevice(*parsed, "autoeq", exitCode) : std::nullopt;
  if (device && !choice) return exitCode;

  // Every file is checked, and the measurements read, before a device is opened.
  std::vector<std::string> inputs = request.measurements;
  inputs.push_back(request.in);
  if (IsTargetFile(request.targetSpec)) inputs.push_back(request.targetSpec);
  for (const std::string& path : inputs) {
    const FileSizeRule rule = path == request.in ? FileSizeRule{} : kMeasurementRule;
    if (const std::string p = path.empty() ? "" : InputFileProblem(path, rule); !p.empty()) return FileFailure(p);
  }
  for (const std::string& path : {request.out, request.plot})
    if (const std::string p = path.empty() ? "" : OutputFileProblem(path); !p.empty()) return FileFailure(p);
  if (IsTargetFile(request.targetSpec)) {
    std::vector<BilingualText> notes;
    const bool read = ParseTarget(request.targetSpec, target, problem, notes);
    for (const BilingualText& note : notes) std::fprintf(stderr, "%s: %s\n", request.targetSpec.c_str(), note[language].c_str());
    if (!read) return FileFailure(request.targetSpec + ": " + problem[language]);
  }
  const std::optional<std::vector<Measurement>> measurements = ReadMeasurements(request);
  if (!measurements) return kExitFailure;
  std::vector<BilingualText> preparation;
  const Measurement room = PrepareMeasurements(*measurements, request.smoothing, preparation);
  if (room.Empty())
    return FileFailure(Say(request, "测量文件的频率范围没有重叠，无法平均", "the measurements cover no common frequency range; they cannot be averaged"));

  SettingsTarget settings = choice ? SettingsTarget(*choice, request.out) : SettingsTarget(request.in, request.out);
  if (const int status = settings.Open(); status != 0) return status;
  const FitSetup setup = AutoEqSetupFor(request.eq, request.options, request.chainChannel);
  const FitResult result = FitEq(room, target, setup, request.options, preparation);
  if (!result.ok)
    return FileFailure(result.error[language] + (settings.IsDevice() ? "; nothing was written" : "; nothing was saved"));
  std::fputs(FitReportText(result, request.language).c_str(), stdout);

  if (request.plotFormat != PlotFormat::kNone)
    if (const int status = SavePlot(request, FitPlot(request, room, target, setup, result)); status != 0) return status;
  const FilterImportPlan plan = AutoEqImportPlan(setup, result);
  int used = 0;
  for (const FittedBand& b : result.bands) used += b.used ? 1 : 0;
  return settings.Store(plan, "fitted " + std::to_string(used) + (used == 1 ? " band" : " bands") + " into " +
                                  EqName(request.eq)[kTextEnglish]);
}

}  // namespace dsptune::cli
