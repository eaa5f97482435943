#include "tools/cli/HelpTexts.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#ifndef DSPTUNE_VERSION
#error "DSPTUNE_VERSION is set by tools/CMakeLists.txt from the project version"
#endif

namespace dsptune::cli {
namespace {

struct CommandText {
  std::string_view command;
  const char* text;
};

constexpr CommandText kCommands[] = {
    {"show",
     "usage: dsptune-cli show [--csv [--table parameters|bands|records] | --hex | --json] [FILE.mode]\n"
     "\n"
     "Prints the default parameter set, or a mode file's: every parameter with its name,\n"
     "every equaliser's bands and the derived records (SSVC levels and settings, subwoofer\n"
     "decay level, locate selector). The names are those get and set take. A value no\n"
     "control of the window could have set is marked (\"outside 0..100%\"), not changed.\n"
     "\n"
     "  --csv           one table as CSV under its header; --table chooses it:\n"
     "                  parameters (default): name,block,address,kind,value,ui_value,hex_bytes\n"
     "                  bands: eq,eq_name,band,name,type,freq_hz,gain_db,q\n"
     "                  records: name,offset,value,hex_bytes\n"
     "  --hex           the whole 3518-byte image, 16 bytes a line\n"
     "  --json          everything above as one JSON object\n"
     "  --csv, --hex and --json cannot be combined.\n"},
    {"response",
     "usage: dsptune-cli response --type T --freq F --gain G --q Q\n"
     "       dsptune-cli response --eq N\n"
     "\n"
     "One band's designed response on the 512-point grid, or the summed response of EQ N's\n"
     "default bands (N 0..15), as CSV rows frequency_hz,db.\n"
     "\n"
     "  --type T   PEQ, LP, HP, LS or HS in any case, or a filter code 0..21\n"
     "  --freq F   1..23999 Hz\n"
     "  --gain G   -40..40 dB (default 0)\n"
     "  --q Q      0.01..100\n"},
    {"diff",
     "usage: dsptune-cli diff A.mode B.mode [--csv] [--lang en|zh]\n"
     "       dsptune-cli diff FILE.mode --tcp HOST[:PORT]... | --hosts FILE | --usb [--csv] [--lang en|zh]\n"
     "\n"
     "What differs between two mode files, or between a mode file and the device (the file\n"
     "first), one line each: \"<page> / <item>: <first> -> <second>\".\n"
     "\n"
     "  --csv       rows page,item,first,second under a header\n"
     "  --lang      names and values in English (en, default) or Chinese (zh)\n"
     "\n"
     "Exit status 0 when the settings are equal, 1 when they differ (with several hosts: when\n"
     "any differs or fails), and otherwise as below.\n"},
    {"merge",
     "usage: dsptune-cli merge BASE.mode MINE.mode THEIRS.mode -o OUT.mode [--prefer mine|theirs]\n"
     "\n"
     "Brings two sets of settings that both started from BASE together, item by item (the\n"
     "items diff names): an item only MINE changed takes MINE's value, one only THEIRS\n"
     "changed takes THEIRS', one both changed to the same value keeps it. An item both\n"
     "changed to different values is a conflict: each is listed, one line each,\n"
     "\"<page> / <item>: <in BASE> -> mine <in MINE>, theirs <in THEIRS>\", and nothing is\n"
     "written. OUT gets MINE's header (model name and versions).\n"
     "\n"
     "  -o OUT.mode       the merged settings; an existing file is replaced whole\n"
     "  --prefer SIDE     decides every conflict for mine or theirs\n"
     "\n"
     "Exit status 0 when OUT was written, 1 on a conflict --prefer does not decide or when OUT\n"
     "cannot be written, and otherwise as below.\n"},
    {"info",
     "usage: dsptune-cli info --tcp HOST[:PORT] | --usb\n"
     "\n"
     "Reads the device and prints its identity, current mode, converters and About lines.\n"},
    {"read",
     "usage: dsptune-cli read -o FILE.mode --tcp HOST[:PORT] | --usb\n"
     "       dsptune-cli read -o DIR/ --tcp HOST1 --tcp HOST2... | --hosts FILE\n"
     "\n"
     "Saves the device's parameters as a mode file. A read that misses a chunk saves\n"
     "nothing. With several hosts -o names a folder, which receives one file per host,\n"
     "HOST_PORT.mode.\n"},
    {"write",
     "usage: dsptune-cli write [--verify] FILE.mode --tcp HOST[:PORT]... | --hosts FILE | --usb\n"
     "\n"
     "Loads a mode file and writes it to the device (with several hosts: to every one of\n"
     "them, --jobs at a time). It says \"wrote\" only when the device acknowledged all 63\n"
     "chunks; otherwise it says how many reached the device.\n"
     "\n"
     "  --verify    read the image back and compare it\n"},
    {"get",
     "usage: dsptune-cli get NAME... --tcp HOST[:PORT] | --usb\n"
     "\n"
     "Reads the device and prints the named parameters, one line each, \"NAME = VALUE\" in\n"
     "display units. NAME is a name as show prints it (\"Master controls / Mic Vol\"), in any\n"
     "case; spaces around '/' do not matter. An unknown name is refused with its near\n"
     "matches before the device is opened.\n"},
    {"set",
     "usage: dsptune-cli set NAME=VALUE... --tcp HOST[:PORT] | --usb\n"
     "\n"
     "Writes the named parameters to the device, each as the window writes it, and reads\n"
     "the device back to confirm. VALUE is in display units, with or without the unit:\n"
     "55 or 55% for a percentage, 12.5 or 12.5 ms for a time, on/off for a switch, a shown\n"
     "choice such as CH-SUB or HDMI2 by its name or number. Only what the window's control\n"
     "for the parameter could set is taken: another unit, hex, a value outside the control's\n"
     "range or between its steps, and a parameter named twice are refused, with the valid\n"
     "range and step, before the device is opened.\n"},
    {"remote-save",
     "usage: dsptune-cli remote-save FILE.remo --tcp HOST[:PORT] | --usb\n"
     "\n"
     "Reads the device and saves its learned remote codes (30 bytes). The name's extension\n"
     "becomes .remo whatever was typed.\n"},
    {"remote-load",
     "usage: dsptune-cli remote-load FILE.remo --tcp HOST[:PORT]... | --hosts FILE | --usb\n"
     "\n"
     "Loads remote codes from a file and sends them to the device once. The name's\n"
     "extension becomes .remo whatever was typed.\n"},
};

constexpr std::string_view kDeviceCommands[] = {"info", "read", "write", "get", "set", "remote-save", "remote-load"};

}  // namespace

const char* const kDeviceOptionsHelp =
    "device options:\n"
    "  --tcp HOST[:PORT]   the network module (port 30303 unless given); HOST is a name or an\n"
    "                      IPv4 address; give --tcp again for more hosts\n"
    "  --hosts FILE        the hosts, one HOST[:PORT] a line ('#' starts a comment)\n"
    "  --usb               the device on USB\n"
    "  --jobs N            with several hosts, how many run at once (default 8, 1..64); each\n"
    "                      host runs in a process of its own; one result line per host (ok,\n"
    "                      busy, identity mismatch, timed out, error) and a summary\n"
    "  --reply-timeout MS  how long each command waits for its answer (10..60000, default 2000)\n"
    "  -q, --quiet         no progress line\n";

const char* const kExitStatusHelp =
    "exit status:\n"
    "  0  success\n"
    "  1  device or file error (also an incomplete transfer, a failed verify, a lost link,\n"
    "     a silent device, garbled answers; with several hosts: any host that failed)\n"
    "  2  usage: unknown or conflicting options, bad values\n"
    "  3  device busy: another host is connected to the network module\n"
    "  4  identity mismatch: not a supported model or protocol\n";

bool PrintCommandHelp(std::string_view command) {
  for (const CommandText& c : kCommands) {
    if (c.command != command) continue;
    std::fputs(c.text, stdout);
    const bool device = command == "diff" || std::find(std::begin(kDeviceCommands), std::end(kDeviceCommands),
                                                       command) != std::end(kDeviceCommands);
    if (device) std::printf("\n%s", kDeviceOptionsHelp);
    std::printf("\n%s", kExitStatusHelp);
    return true;
  }
  return false;
}

const char* VersionText() { return "dsptune-cli " DSPTUNE_VERSION; }

}  // namespace dsptune::cli
