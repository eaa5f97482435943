// dsptune-cli: the device's parameters and equaliser curves from a terminal.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "link/DeviceSession.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/HelpTexts.h"

namespace {

using namespace dsptune::cli;

// Device options typed before the command name ("dsptune-cli -q read ...") belong to the
// command: they are moved behind it, with their values.
Args WithLeadingOptionsMoved(int argc, char** argv, std::string& command) {
  Args leading, rest;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    const std::string name = a.substr(0, a.find('='));
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& o : DeviceOptions())
      if (o.name == name && !o.internal) spec = &o;
    if (!spec) break;
    leading.push_back(a);
    if (spec->takesValue && a.find('=') == std::string::npos && i + 1 < argc) leading.push_back(argv[++i]);
  }
  command = i < argc ? argv[i] : "";
  rest.assign(argv + std::min(i + 1, argc), argv + argc);
  rest.insert(rest.end(), leading.begin(), leading.end());
  return rest;
}

int Run(const std::string& command, const Args& args) {
  if (command == "--help" || command == "-h" || command == "help") {
    PrintOverallHelp(stdout);
    return kExitSuccess;
  }
  // Asked anywhere on the line, help and version win over everything else, even an
  // argument that would be refused.
  const auto asked = [&args](std::initializer_list<const char*> names) {
    for (const std::string& a : args)
      for (const char* n : names)
        if (a == n) return true;
    return false;
  };
  if (command == "--version" || asked({"--version"})) {
    std::printf("%s\n", VersionText());
    return kExitSuccess;
  }
  if (asked({"--help", "-h"})) {
    if (!PrintCommandHelp(command)) PrintOverallHelp(stdout);
    return kExitSuccess;
  }
  if (command == "show") return RunShow(args);
  if (command == "response") return IsChainResponse(args) ? RunChainResponse(args) : RunResponse(args);
  if (command == "eq-import") return RunEqImport(args);
  if (command == "eq-export") return RunEqExport(args);
  if (command == "autoeq") return RunAutoEq(args);
  if (command == "diff") return RunDiff(args);
  if (command == "merge") return RunMerge(args);
  if (command == "info" || command == "read" || command == "write" || command == "remote-save" ||
      command == "remote-load" || command == "get" || command == "set")
    return RunDeviceCommand(command, args);
  return UsageError("unknown command '" + command + "' (try --help)");
}

// Output a script reads must not vanish without a word: a full disk, a closed pipe or a
// broken terminal makes the run a failure (for diff, whose 1 means "differs": trouble, 2).
int CheckStandardOutput(const std::string& command, int status) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno;  // the stream keeps what it could not write, so the flush meets the error again
  std::fprintf(stderr, "dsptune-cli: cannot write to standard output: %s\n",
               error != 0 ? std::strerror(error) : "write error");
  if (command == "diff") return status == kExitSuccess || status == kExitFailure ? kExitUsage : status;
  return status == kExitSuccess ? kExitFailure : status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintOverallHelp(stderr);
    return kExitUsage;
  }
  // A script's output is kept whole until the end, so that a write error is met by the
  // last flush with its reason (a single large print past a small buffer goes straight
  // to the file and its reason would be lost); a terminal keeps its lines as they come.
  static char buffer[1 << 20];
  if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::string command;
  const Args args = WithLeadingOptionsMoved(argc, argv, command);
  if (command.empty()) return UsageError("no command (try --help)");
  // The device this run works on (several hosts run as worker processes, each with its
  // own). The commands still reach it as the current session.
  dsptune::DeviceSession device;
  dsptune::SetCurrentSession(&device);
  return CheckStandardOutput(command, Run(command, args));
}

namespace dsptune::cli {
int UsageError(const std::string& message) {
  std::fprintf(stderr, "dsptune-cli: %s\n", message.c_str());
  return kExitUsage;
}
}  // namespace dsptune::cli
