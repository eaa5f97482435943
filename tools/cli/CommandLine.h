#pragma once
// Option parsing shared by every sub-command: each command names the options it takes,
// and anything else that starts with '-' is a usage error, found before a file is opened
// or a device connected.
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/CliCommands.h"

namespace dsptune::cli {

struct OptionSpec {
  std::string_view name;    // "--csv", "-o"
  bool takesValue = false;  // "--table NAME" or "--table=NAME"
  bool internal = false;    // used between this program's own processes, not documented
};

// Options every device command takes: --tcp (repeatable), --usb, --hosts FILE, --jobs N,
// --reply-timeout MS, -q/--quiet, and the internal --outcome-fd N of a provisioning worker
// (defined beside the commands, in tools/cli/CommandTable.cpp).
std::span<const OptionSpec> DeviceOptions();

class ParsedArgs {
 public:
  bool Has(std::string_view name) const;
  // The last value given for the option ("" when absent).
  std::string Value(std::string_view name) const;
  std::vector<std::string> Values(std::string_view name) const;
  std::vector<std::string> positional;

  // The options in the order given, values beside their names.
  std::vector<std::pair<std::string, std::string>> options;
};

// Parses args against the command's own options plus `more` (DeviceOptions(), say).
// On a usage error prints "dsptune-cli: COMMAND: ..." and returns nullopt.
std::optional<ParsedArgs> ParseArgs(std::string_view command, const Args& args,
                                    const std::vector<OptionSpec>& options,
                                    std::span<const OptionSpec> more = {});

// Of the options named, at most one may be given: returns "--csv and --hex cannot be
// combined" (empty when fine).
std::string Conflict(const ParsedArgs& parsed, std::initializer_list<std::string_view> names);

// A whole number lowest..highest, or nullopt.
std::optional<long> ParseCount(const std::string& text, long lowest, long highest);

// An output channel as typed, "3" or "CH3" (any case): 1..channels, or nullopt.
std::optional<long> ParseChannel(const std::string& text, long channels);

// Progress lines are for a person watching: -q or --quiet silences them.
bool Quiet(const ParsedArgs& parsed);

}  // namespace dsptune::cli
