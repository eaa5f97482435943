#pragma once
// Every command of dsptune-cli with its synopsis, options and help text, in one list.
// The overall --help and each command's --help are printed from it, commands parse their
// options from it, and the tests hold the manual page and the bash completion in dist/
// against it: a command or option added here and forgotten there fails a test.
#include <span>
#include <string_view>
#include <vector>

#include "tools/cli/CommandLine.h"

namespace dsptune::cli {

struct CommandSynopsis {
  std::string_view line;     // after "dsptune-cli ": "response --eq N [FILE.mode]"
  std::string_view summary;  // the overall help's description, lines indented by the printer
};

struct CommandDoc {
  std::string_view name;
  std::vector<CommandSynopsis> synopsis;
  std::vector<OptionSpec> options;  // the command's own options
  // Takes the device options (DeviceOptions()); deviceOnly: cannot run without a device.
  bool device = false;
  bool deviceOnly = false;
  std::string_view details;  // the command's --help after its usage lines
};

// In the order the overall help lists them.
const std::vector<CommandDoc>& CommandDocs();
const CommandDoc* FindCommandDoc(std::string_view name);
// A command's own options for ParseArgs (empty for a command not listed).
std::vector<OptionSpec> CommandOptions(std::string_view name);

}  // namespace dsptune::cli
