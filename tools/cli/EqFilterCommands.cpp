// dsptune-cli eq-import, eq-export and response --chain: a measurement tool's filter set
// into an equaliser (of a mode file or of the device), an equaliser back out as a filter
// set, and the response an output channel really plays.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "dsp/FilterFile.h"
#include "dsp/ResponseGrid.h"
#include "editors/model/ChannelChain.h"
#include "editors/model/EqFilterImport.h"
#include "editors/model/OutputChannels.h"
#include "files/ModeFile.h"
#include "model/DeviceIdentity.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceSession.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/InputFiles.h"
#include "tools/cli/SettingsTarget.h"

namespace dsptune::cli {
namespace {

constexpr const char* kImportUsage =
    "eq-import: usage: eq-import FILTERS.txt --eq N [--in A.mode] -o B.mode, or eq-import FILTERS.txt --eq N "
    "--tcp HOST[:PORT] | --usb [-o B.mode]";
constexpr const char* kExportUsage = "eq-export: usage: eq-export --eq N [FILE.mode | --tcp HOST[:PORT] | --usb] [-o FILE.txt]";
constexpr const char* kChainUsage =
    "response: usage: response --chain CH [--source mic-a|mic-b|music] [FILE.mode] (CH 1..8)";

std::optional<int> EqNumber(const ParsedArgs& parsed) {
  if (!parsed.Has("--eq")) return std::nullopt;
  const auto n = ParseCount(parsed.Value("--eq"), 0, kEqCount - 1);
  if (!n) return std::nullopt;
  return int(*n);
}

std::string EnglishEqName(int eq) { return EqName(eq)[kTextEnglish]; }

}  // namespace

int RunEqImport(const Args& args) {
  const auto parsed = ParseArgs("eq-import", args, {{"--eq", true}, {"--in", true}, {"-o", true}}, DeviceOptions());
  if (!parsed) return kExitUsage;
  const bool device = WantsDevice(*parsed);
  const auto eq = EqNumber(*parsed);
  if (parsed->positional.size() != 1 || !eq || (!device && !parsed->Has("-o")) || (device && parsed->Has("--in")))
    return UsageError(kImportUsage);
  int exitCode = 0;
  const std::optional<DeviceChoice> choice = device ? OneDevice(*parsed, "eq-import", exitCode) : std::nullopt;
  if (device && !choice) return exitCode;

  // Every file is checked, and the filters read, before a device is opened.
  const std::string filters = parsed->positional[0];
  const std::string in = parsed->Value("--in");
  const std::string out = parsed->Value("-o");
  for (const std::string& path : {filters, in})
    if (const std::string problem = path.empty() ? "" : InputFileProblem(path); !problem.empty())
      return FileFailure(problem);
  if (const std::string problem = out.empty() ? "" : OutputFileProblem(out); !problem.empty())
    return FileFailure(problem);
  const FileReadResult read = ReadBoundedFile(filters);
  if (!read.Ok()) return FileFailure(filters + ": " + FileReadProblem(read));
  const std::string text(read.bytes.begin(), read.bytes.end());
  const FilterImportPlan plan = PlanFilterImport(*eq, ParseFilterFile(text));
  for (const ImportNote& note : plan.notes) std::fprintf(stderr, "%s: %s\n", filters.c_str(), note.text[kTextEnglish].c_str());
  if (!plan.Usable()) return kExitFailure;

  const std::string what = std::to_string(plan.filtersUsed) + (plan.filtersUsed == 1 ? " filter" : " filters") +
                           " into " + EnglishEqName(*eq);
  SettingsTarget target = choice ? SettingsTarget(*choice, out) : SettingsTarget(in, out);
  if (const int status = target.Open(); status != 0) return status;
  return target.Store(plan, "imported " + what);
}

int RunEqExport(const Args& args) {
  const auto parsed = ParseArgs("eq-export", args, {{"--eq", true}, {"-o", true}}, DeviceOptions());
  if (!parsed) return kExitUsage;
  const bool device = WantsDevice(*parsed);
  const auto eq = EqNumber(*parsed);
  if (!eq || parsed->positional.size() > (device ? 0u : 1u)) return UsageError(kExportUsage);
  int exitCode = 0;
  const std::optional<DeviceChoice> choice = device ? OneDevice(*parsed, "eq-export", exitCode) : std::nullopt;
  if (device && !choice) return exitCode;
  const std::string in = parsed->positional.empty() ? "" : parsed->positional[0];
  const std::string out = parsed->Value("-o");
  if (const std::string problem = in.empty() ? "" : InputFileProblem(in); !problem.empty()) return FileFailure(problem);
  if (const std::string problem = out.empty() ? "" : OutputFileProblem(out); !problem.empty())
    return FileFailure(problem);

  SettingsTarget source = choice ? SettingsTarget(*choice, "") : SettingsTarget(in, "");
  if (const int status = source.Open(); status != 0) return status;
  const std::string text = ExportEqFilters(*eq);
  if (out.empty()) {
    std::fputs(text.c_str(), stdout);
    return kExitSuccess;
  }
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (const int error = ReplaceFileContents(out, bytes); error != 0) return FileFailure(WriteErrorText(error, out));
  std::fprintf(stderr, "saved the filters of %s in %s\n", EnglishEqName(*eq).c_str(), out.c_str());
  return kExitSuccess;
}

bool IsChainResponse(const Args& args) {
  for (const std::string& a : args)
    if (a == "--chain" || a.rfind("--chain=", 0) == 0) return true;
  return false;
}

int RunChainResponse(const Args& args) {
  const auto parsed = ParseArgs("response", args, {{"--chain", true}, {"--source", true}});
  if (!parsed) return kExitUsage;
  const auto channel = ParseChannel(parsed->Value("--chain"), kOutputChannelCount);
  if (!channel || parsed->positional.size() > 1) return UsageError(kChainUsage);
  std::optional<ChainSource> source;
  if (parsed->Has("--source")) {
    const std::string s = parsed->Value("--source");
    if (s == "mic-a") source = ChainSource::kMicA;
    else if (s == "mic-b") source = ChainSource::kMicB;
    else if (s == "music") source = ChainSource::kMusic;
    else return UsageError("response: --source must be mic-a, mic-b or music, not '" + s + "'");
  }
  const std::string in = parsed->positional.empty() ? "" : parsed->positional[0];
  if (const std::string problem = in.empty() ? "" : InputFileProblem(in); !problem.empty()) return FileFailure(problem);
  if (const int status = LoadSettings(in); status != 0) return status;

  const int c = int(*channel) - 1;
  const ChainSource from = source.value_or(RoutedChainSource(c));
  std::fprintf(stderr, "chain: %s\n", ChainName(c, from)[kTextEnglish].c_str());
  const std::array<float, kResponsePoints> chain = ChainResponse(c, from);
  std::printf("frequency_hz,db\n");
  for (int i = 0; i < kResponsePoints; ++i)
    std::printf("%.3f,%.4f\n", double(ResponseGridFrequency(i)), double(chain[std::size_t(i)]));
  return kExitSuccess;
}

}  // namespace dsptune::cli
