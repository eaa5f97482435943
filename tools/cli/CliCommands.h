#pragma once
// Sub-commands of dsptune-cli. Each returns the process exit status (tools/cli/ExitStatus.h):
// 0 success, 1 device or file error, 2 bad arguments (after printing a one-line message
// naming the argument), 3 device busy, 4 identity mismatch.
#include <string>
#include <vector>

namespace dsptune::cli {

using Args = std::vector<std::string>;

int RunShow(const Args& args);
int RunResponse(const Args& args);
// diff A.mode B.mode, or diff FILE.mode with --tcp/--usb (the device second). Exits 0
// when the settings are equal, 1 when they differ, 2 on bad arguments or an unreadable
// file, and a device failure's status when the device cannot be read.
int RunDiff(const Args& args);
// merge BASE.mode MINE.mode THEIRS.mode -o OUT.mode [--prefer mine|theirs]: MINE's edits
// and THEIRS' changes since BASE in one file with MINE's header. Exits 0 when written,
// 1 when items changed differently on both sides and --prefer does not decide them (each
// listed on stdout, nothing written) or when OUT cannot be written, 2 on bad arguments or
// an unreadable file.
int RunMerge(const Args& args);
// info, read, write, get, set, remote-save, remote-load (args still hold the device
// options); with several hosts each runs in a worker process of its own.
int RunDeviceCommand(const std::string& command, Args args);

// eq-import FILTERS.txt --eq N into a mode file or the device; eq-export --eq N of a mode
// file, the defaults or the device; response --chain CH (IsChainResponse tells it apart
// from the other response forms).
int RunEqImport(const Args& args);
int RunEqExport(const Args& args);
bool IsChainResponse(const Args& args);
int RunChainResponse(const Args& args);
// autoeq MEAS... --eq N: the EQ fitted to measurements, into a mode file or the device
// (read back to confirm), its report on stdout and, with --plot, its graph. Exits 1 when
// a file cannot be read or the fit fails (nothing is then written), 2 on bad arguments.
int RunAutoEq(const Args& args);

// Prints "dsptune-cli: <message>" on stderr and returns 2.
int UsageError(const std::string& message);

}  // namespace dsptune::cli
