#pragma once
// What `dsptune-cli --help`, `dsptune-cli COMMAND --help` and `--version` print, made from
// the command list (tools/cli/CommandTable.h).
#include <cstdio>
#include <string_view>

namespace dsptune::cli {

// Every command's usage lines and what it does, the device options and the exit statuses.
void PrintOverallHelp(std::FILE* out);

// Prints the help of one sub-command on stdout, followed by the device options where
// they apply and the exit statuses. False (nothing printed) for a command not listed.
bool PrintCommandHelp(std::string_view command);

// The device options and the exit statuses, as the overall help ends too.
extern const char* const kDeviceOptionsHelp;
extern const char* const kExitStatusHelp;

// "dsptune-cli 1.3.3": the project version the build was made from.
const char* VersionText();

}  // namespace dsptune::cli
