#include "tools/cli/SettingsTarget.h"

#include <cstdio>
#include <utility>

#include "files/ModeFile.h"
#include "model/DeviceIdentity.h"
#include "model/ParameterImage.h"
#include "model/SettingNames.h"
#include "tools/cli/ExitStatus.h"

namespace dsptune::cli {

int FileFailure(const std::string& problem) {
  std::fprintf(stderr, "dsptune-cli: %s\n", problem.c_str());
  return kExitFailure;
}

int LoadSettings(const std::string& path) {
  DeviceIdentity identity;
  identity.protocolCode = kSupportedProtocol;
  if (path.empty()) {
    LoadDefaultImage();
  } else {
    // Taken as stored: the file is edited here, not loaded for a connected model, so
    // nothing is corrected for one.
    std::string error;
    ParameterImageBytes image{};
    if (ReadModeFileImage(path, image, &error, &identity) != 1)
      return FileFailure(path + ": " + (error.empty() ? std::string(kModeVersionText) : error));
    ReplaceImage(image);
    ApplyImage();
  }
  UpdateIdentity([&identity](DeviceIdentity& id) { id = identity; });
  return kExitSuccess;
}

int SaveSettings(const std::string& path) {
  std::string error;
  if (SaveModeFile(path, &error) == 1) return kExitSuccess;
  return FileFailure(error.empty() ? path + ": cannot write the mode file" : error);
}

std::optional<DeviceChoice> OneDevice(const ParsedArgs& parsed, const char* command, int& exitCode) {
  std::optional<DeviceChoice> choice = DeviceChoiceFrom(parsed, command, exitCode);
  if (choice && choice->Many()) {
    exitCode = UsageError(std::string(command) + ": works on one device (one --tcp or --usb)");
    return std::nullopt;
  }
  return choice;
}

SettingsTarget::SettingsTarget(std::string in, std::string out) : in_(std::move(in)), out_(std::move(out)) {}

SettingsTarget::SettingsTarget(const DeviceChoice& device, std::string out) : out_(std::move(out)) {
  session_.emplace(device, device.usb ? std::nullopt : std::optional<HostTarget>(device.hosts[0]));
}

int SettingsTarget::Open() { return session_ ? session_->ConnectAndRead() : LoadSettings(in_); }

int SettingsTarget::Store(const FilterImportPlan& plan, const std::string& done) {
  ApplyFilterImport(plan);
  if (!session_) {
    if (const int status = SaveSettings(out_); status != 0) return status;
    std::fprintf(stderr, "%s; saved %s\n", done.c_str(), out_.c_str());
    return kExitSuccess;
  }
  // Band writes are not acknowledged one by one: reading the device back is what shows
  // that it holds them.
  if (const int status = session_->ReadAgain(); status != 0) return status;
  if (!HoldsFilterImport(plan, plan.eq))
    return FileFailure("the device does not hold the new bands of " + EqName(plan.eq)[kTextEnglish]);
  std::fprintf(stderr, "%s of the device\n", done.c_str());
  return out_.empty() ? kExitSuccess : SaveSettings(out_);
}

}  // namespace dsptune::cli
