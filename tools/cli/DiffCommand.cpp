// dsptune-cli diff: what differs between two mode files, or between a mode file and the
// device (or each of many devices), one line (or CSV row) per difference in the user's terms.
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/CommandTable.h"
#include "tools/cli/Csv.h"
#include "tools/cli/DeviceSession.h"
#include "tools/cli/DeviceTexts.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/HostFleet.h"
#include "tools/cli/InputFiles.h"

namespace dsptune::cli {
namespace {

// As diff(1) has it: 0 equal, 1 different, 2 trouble, so that 1 always means a difference.
// A device that cannot be reached or read is trouble too; busy (3) and identity mismatch
// (4) keep the statuses every command gives them.
constexpr int kExitTrouble = 2;

constexpr const char* kUsage = "diff: usage: diff A.mode B.mode [--csv] [--lang en|zh]";
constexpr const char* kDeviceUsage = "diff: usage: diff FILE.mode --tcp HOST[:PORT] | --usb [--csv] [--lang en|zh]";

void Print(const std::vector<SettingsDifference>& differences, bool csv, int language) {
  const std::size_t i = std::size_t(language);
  if (csv) std::printf("page,item,first,second\n");
  for (const SettingsDifference& d : differences) {
    if (csv)
      std::printf("%s,%s,%s,%s\n", CsvField(d.page[i]).c_str(), CsvField(d.item[i]).c_str(),
                  CsvField(d.first[i]).c_str(), CsvField(d.second[i]).c_str());
    else
      std::printf("%s\n", DifferenceLine(d, language).c_str());
  }
}

}  // namespace

int RunDiff(const Args& args) {
  const auto parsed = ParseArgs("diff", args, CommandOptions("diff"), DeviceOptions());
  if (!parsed) return kExitTrouble;
  const bool device = WantsDevice(*parsed);
  int exitCode = 0;
  const std::optional<DeviceChoice> choice = device ? DeviceChoiceFrom(*parsed, "diff", exitCode) : std::nullopt;
  if (device && !choice) return exitCode == kExitFailure ? kExitTrouble : exitCode;

  const bool csv = parsed->Has("--csv");
  int language = kTextEnglish;
  if (parsed->Has("--lang")) {
    const std::string value = parsed->Value("--lang");
    if (value != "en" && value != "zh") return UsageError("diff: --lang needs en or zh");
    language = value == "zh" ? kTextChinese : kTextEnglish;
  }
  SetDeviceTextLanguage(language);
  const std::vector<std::string>& files = parsed->positional;
  if (files.size() != (device ? 1u : 2u)) return UsageError(device ? kDeviceUsage : kUsage);

  // Both files are checked before the device is opened, so a typing error costs no read.
  std::array<ParameterImageBytes, 2> settings{};
  for (std::size_t f = 0; f < files.size(); ++f) {
    std::string problem;
    const std::optional<ParameterImageBytes> image = ReadModeSettings(files[f], problem);
    if (!image) return UsageError(problem);
    settings[f] = *image;
  }
  if (choice && choice->Many()) {
    return RunOnHosts("diff", *choice, [&](const HostTarget&) {
      Args a{files[0]};
      if (csv) a.push_back("--csv");
      if (parsed->Has("--lang")) a.insert(a.end(), {"--lang", parsed->Value("--lang")});
      return a;
    }, kExitTrouble);
  }
  if (choice) {
    DeviceSession session(*choice, choice->usb ? std::nullopt : std::optional<HostTarget>(choice->hosts[0]));
    if (const int status = session.ConnectAndRead(); status != 0)
      return FinishWorker(*choice, status == kExitFailure ? kExitTrouble : status);
    // The image exactly as read; the live block's reserved bytes are not the device's.
    settings[1] = ImageSnapshot();
  }

  const std::vector<SettingsDifference> differences = DiffSettings(settings[0], settings[1]);
  Print(differences, csv, language);
  if (differences.empty()) {
    if (!csv) std::printf("no differences\n");
    return choice ? FinishWorker(*choice, 0) : 0;
  }
  NoteHostResult(HostResult::Differs);
  return choice ? FinishWorker(*choice, 1) : 1;
}

}  // namespace dsptune::cli
