// dsptune-cli: the device's parameters and equaliser curves from a terminal.
#include <cstdio>
#include <initializer_list>
#include <string>

#include "tools/cli/CliCommands.h"
#include "tools/cli/HelpTexts.h"

namespace {

constexpr const char* kHelp =
    "usage: dsptune-cli COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  show [--csv [--table parameters|bands|records] | --hex | --json] [FILE.mode]\n"
    "                            print the default parameter set (or a mode file's): every\n"
    "                            parameter by name, every equaliser's bands, the derived records\n"
    "  response --type T --freq F --gain G --q Q\n"
    "                            one band's designed response on the 512-point grid\n"
    "                            (T: PEQ, LP, HP, LS, HS in any case, or a code 0..21)\n"
    "  response --eq N           the summed response of EQ N's default bands (N 0..15)\n"
    "  response --chain CH [--source mic-a|mic-b|music] [FILE.mode]\n"
    "                            what output CH (1..8) plays: its source path's EQ (as routed\n"
    "                            unless --source names one), then its own EQ and crossover\n"
    "                            output: CSV rows frequency_hz,db\n"
    "  eq-import FILTERS.txt --eq N [--in A.mode] -o B.mode\n"
    "                            a measurement tool's filter set into EQ N (with --tcp/--usb:\n"
    "                            into the device's); each problem is reported by line\n"
    "  eq-export --eq N [FILE.mode] [-o FILE.txt]\n"
    "                            EQ N's bands as a filter set (also with --tcp/--usb)\n"
    "  diff A.mode B.mode [--csv] [--lang en|zh]\n"
    "                            what differs between two mode files, one line each:\n"
    "                            \"<page> / <item>: <in A> -> <in B>\"\n"
    "                            exit status 0 when equal, 1 when they differ\n"
    "  merge BASE.mode MINE.mode THEIRS.mode -o OUT.mode [--prefer mine|theirs]\n"
    "                            the edits of MINE and the changes of THEIRS since BASE in\n"
    "                            one file; exit status 1 (nothing written) when an item\n"
    "                            changed differently on both sides, unless --prefer decides\n"
    "\n"
    "device commands (with --tcp HOST[:PORT], several --tcp or --hosts FILE, or --usb;\n"
    "the device is read first):\n"
    "  info                      identity, current mode, converters, About lines\n"
    "  read -o FILE.mode         save the device's parameters as a mode file (several hosts:\n"
    "                            -o DIR/ receives one file per host)\n"
    "  write [--verify] FILE.mode\n"
    "                            load a mode file and write it to the device; --verify reads\n"
    "                            the image back and compares it\n"
    "  get NAME...               print parameters by the names show prints\n"
    "  set NAME=VALUE...         write parameters in display units\n"
    "  remote-save FILE.remo     save the learned remote codes\n"
    "  remote-load FILE.remo     load remote codes and send them to the device\n"
    "  diff FILE.mode            what differs between a mode file and the device (the\n"
    "                            file first); exit status 0 when equal, 1 when they differ\n"
    "\n"
    "  COMMAND --help            that command's options\n"
    "  --help, --version         this text; the version\n"
    "\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace dsptune::cli;
  const auto printHelp = [](std::FILE* out) {
    std::fprintf(out, "%s%s\n%s", kHelp, kDeviceOptionsHelp, kExitStatusHelp);
  };
  if (argc < 2) {
    printHelp(stderr);
    return 2;
  }
  const std::string command = argv[1];
  const Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    printHelp(stdout);
    return 0;
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
    return 0;
  }
  if (asked({"--help", "-h"})) {
    if (!PrintCommandHelp(command)) printHelp(stdout);
    return 0;
  }
  if (command == "show") return RunShow(args);
  if (command == "response") return IsChainResponse(args) ? RunChainResponse(args) : RunResponse(args);
  if (command == "eq-import") return RunEqImport(args);
  if (command == "eq-export") return RunEqExport(args);
  if (command == "diff") return RunDiff(args);
  if (command == "merge") return RunMerge(args);
  if (command == "info" || command == "read" || command == "write" || command == "remote-save" ||
      command == "remote-load" || command == "get" || command == "set")
    return RunDeviceCommand(command, args);
  return UsageError("unknown command '" + command + "' (try --help)");
}

namespace dsptune::cli {
int UsageError(const std::string& message) {
  std::fprintf(stderr, "dsptune-cli: %s\n", message.c_str());
  return 2;
}
}  // namespace dsptune::cli
