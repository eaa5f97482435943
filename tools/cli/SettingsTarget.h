#pragma once
// The settings a command changes bands in: a mode file's (the defaults' without one),
// saved as another file, or the device's, read first and read back afterwards. eq-import
// and autoeq both go through it, so bands reach a file or a device, and are confirmed
// there, the same way whichever command made them.
#include <optional>
#include <string>

#include "editors/model/EqFilterImport.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DeviceSession.h"

namespace dsptune::cli {

// Prints "dsptune-cli: <problem>" on stderr and returns kExitFailure.
int FileFailure(const std::string& problem);
// The settings a file-based command works on, made live: a mode file's, taken as stored,
// or the defaults when `path` is empty. The identity becomes the file's header (the
// defaults: the supported protocol), so that a file saved from them loads again.
// 0, or kExitFailure after naming the file's problem.
int LoadSettings(const std::string& path);
// The live settings saved as a mode file: 0 or kExitFailure after naming the problem.
int SaveSettings(const std::string& path);
// The device options of a command that works on one device; nullopt with exitCode set
// when they are wrong or name several hosts.
std::optional<DeviceChoice> OneDevice(const ParsedArgs& parsed, const char* command, int& exitCode);

class SettingsTarget {
 public:
  // The mode file `in` (the defaults when empty), saved as `out`.
  SettingsTarget(std::string in, std::string out);
  // The device; `out`, when not empty, receives a copy of what it holds afterwards.
  SettingsTarget(const DeviceChoice& device, std::string out);

  // Makes the settings live: loads the file, or connects to and reads the device.
  // 0 or the exit status, the reason printed.
  int Open();
  // Writes the plan's bands into the live settings as an import does (ApplyFilterImport)
  // and makes sure they are kept: a device is read back and must hold every band (then
  // `out` is saved when given); a file's settings are saved as `out`. On success prints
  // `done` followed by " of the device" or "; saved OUT". 0 or the exit status.
  int Store(const FilterImportPlan& plan, const std::string& done);
  bool IsDevice() const { return session_.has_value(); }

 private:
  std::string in_, out_;
  std::optional<DeviceSession> session_;
};

}  // namespace dsptune::cli
