// dsptune-cli: the device's parameters and equaliser curves from a terminal.
#include <cstdio>
#include <string>

#include "tools/cli/CliCommands.h"

namespace {

constexpr const char* kHelp =
    "usage: dsptune-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  show [--csv | --hex] [FILE.mode]\n"
    "                            print the default parameter set (or a mode file's): every\n"
    "                            parameter-table entry, every equaliser's bands, the SSVC record\n"
    "                            --csv  one row per entry and per band record\n"
    "                            --hex  the whole 3518-byte image, 16 bytes a line\n"
    "  response --type T --freq F --gain G --q Q\n"
    "                            one band's designed response on the 512-point grid\n"
    "                            (T: PEQ, LP, HP, LS, HS or a code 0..21)\n"
    "  response --eq N           the summed response of EQ N's default bands (N 0..15)\n"
    "                            output: CSV rows frequency_hz,db\n"
    "  diff A.mode B.mode [--csv] [--lang en|zh]\n"
    "                            what differs between two mode files, one line each:\n"
    "                            \"<page> / <item>: <in A> -> <in B>\"\n"
    "                            --csv   rows page,item,first,second under a header\n"
    "                            --lang  names and values in English (en, default) or Chinese (zh)\n"
    "                            exit status 0 when equal, 1 when they differ\n"
    "\n"
    "device commands (with --tcp HOST[:PORT] or --usb; the device is read first;\n"
    "--reply-timeout MS sets how long each command waits for its answer, default 2000):\n"
    "  info                      identity, current mode, converters, About lines\n"
    "  read -o FILE.mode         save the device's parameters as a mode file\n"
    "  write [--verify] FILE.mode\n"
    "                            load a mode file and write it to the device; --verify reads\n"
    "                            the image back and compares it\n"
    "  remote-save FILE.remo     save the learned remote codes\n"
    "  remote-load FILE.remo     load remote codes and send them to the device\n"
    "  diff FILE.mode [--csv] [--lang en|zh]\n"
    "                            what differs between a mode file and the device (the\n"
    "                            file first); exit status 0 when equal, 1 when they differ\n"
    "  --help                    this text\n"
    "\n"
    "exit status: 0 success, 1 device or file error (also an incomplete transfer), 2 usage,\n"
    "3 device busy (another host is connected), 4 wrong model or protocol, 5 link lost,\n"
    "6 device silent, 7 garbled answers; diff: 1 when the settings differ, 2 also for a file\n"
    "that cannot be read\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace dsptune::cli;
  if (argc < 2) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  const std::string command = argv[1];
  const Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "show") return RunShow(args);
  if (command == "response") return RunResponse(args);
  if (command == "diff") return RunDiff(args);
  if (command == "info" || command == "read" || command == "write" || command == "remote-save" ||
      command == "remote-load")
    return RunDeviceCommand(command, args);
  return UsageError("unknown command '" + command + "' (try --help)");
}

namespace dsptune::cli {
int UsageError(const std::string& message) {
  std::fprintf(stderr, "dsptune-cli: %s\n", message.c_str());
  return 2;
}
}  // namespace dsptune::cli
