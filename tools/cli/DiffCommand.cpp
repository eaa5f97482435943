// dsptune-cli diff: what differs between two mode files, or between a mode file and the
// device, one line (or CSV row) per difference in the user's terms.
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/DeviceSession.h"

namespace dsptune::cli {
namespace {

constexpr const char* kUsage = "diff: usage: diff A.mode B.mode [--csv] [--lang en|zh]";
constexpr const char* kDeviceUsage = "diff: usage: diff FILE.mode --tcp HOST[:PORT] | --usb [--csv] [--lang en|zh]";

// A mode file's image as stored (no model clamp: nothing is loaded), or the reason it
// cannot be compared.
std::optional<ParameterImageBytes> ReadSettings(const std::string& path, std::string& problem) {
  ParameterImageBytes image{};
  std::string error;
  if (ReadModeFileImage(path, image, &error) == 1) return image;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    problem = "no such file";
  else if (std::filesystem::is_directory(path, ec))
    problem = "is a folder, not a file";
  else if (!error.empty())
    problem = "cannot be read";
  else
    problem = kModeVersionText;
  problem = path + ": " + problem;
  return std::nullopt;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

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

int RunDiff(const Args& given) {
  Args args = given;
  const bool device = WantsDevice(args);
  int exitCode = 0;
  std::optional<DeviceSession> session = device ? DeviceSession::FromArgs(args, exitCode) : std::nullopt;
  if (device && !session) return exitCode;

  bool csv = false;
  int language = kTextEnglish;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--csv") {
      csv = true;
    } else if (a == "--lang") {
      const std::string value = i + 1 < args.size() ? args[++i] : "";
      if (value != "en" && value != "zh") return UsageError("diff: --lang needs en or zh");
      language = value == "zh" ? kTextChinese : kTextEnglish;
    } else if (!a.empty() && a[0] != '-') {
      files.push_back(a);
    } else {
      return UsageError("diff: unknown argument '" + a + "'");
    }
  }
  if (files.size() != (device ? 1u : 2u)) return UsageError(device ? kDeviceUsage : kUsage);

  // Both files are checked before the device is opened, so a typing error costs no read.
  std::array<ParameterImageBytes, 2> settings{};
  for (std::size_t f = 0; f < files.size(); ++f) {
    std::string problem;
    const std::optional<ParameterImageBytes> image = ReadSettings(files[f], problem);
    if (!image) return UsageError(problem);
    settings[f] = *image;
  }
  if (session) {
    if (const int status = session->ConnectAndRead(); status != 0) return status;
    // The image exactly as read; the live block's reserved bytes are not the device's.
    settings[1] = ImageSnapshot();
  }

  const std::vector<SettingsDifference> differences = DiffSettings(settings[0], settings[1]);
  Print(differences, csv, language);
  return differences.empty() ? 0 : 1;
}

}  // namespace dsptune::cli
