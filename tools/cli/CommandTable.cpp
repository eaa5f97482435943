#include "tools/cli/CommandTable.h"

#include <algorithm>

namespace dsptune::cli {
namespace {

constexpr OptionSpec kDeviceOptions[] = {
    {"--tcp", true},           {"--usb", false}, {"--hosts", true},   {"--jobs", true},
    {"--reply-timeout", true}, {"-q", false},    {"--quiet", false},  {"--outcome-fd", true, true},
};

std::vector<CommandDoc> MakeCommandDocs() {
  std::vector<CommandDoc> docs;
  docs.push_back({"show",
                  {{"show [--csv [--table parameters|bands|records] | --hex | --json] [FILE.mode]",
                    "print the default parameter set (or a mode file's): every\n"
                    "parameter by name, every equaliser's bands, the derived records"}},
                  {{"--csv"}, {"--hex"}, {"--json"}, {"--table", true}},
                  false,
                  false,
                  "Prints the default parameter set, or a mode file's: every parameter with its name,\n"
                  "every equaliser's bands (numbered from 1, as the window lists them) and the derived\n"
                  "records (SSVC levels and settings, subwoofer decay level, locate selector). The names\n"
                  "are those get and set take. A value no control of the window could have set is\n"
                  "marked (\"outside 0..100%\"), not changed.\n"
                  "\n"
                  "  --csv           one table as CSV under its header; --table chooses it:\n"
                  "                  parameters (default): name,block,address,kind,value,ui_value,hex_bytes\n"
                  "                  bands: eq,eq_name,band,name,type,freq_hz,gain_db,q\n"
                  "                  records: name,offset,value,hex_bytes\n"
                  "  --hex           the whole 3518-byte image, 16 bytes a line\n"
                  "  --json          everything above as one JSON object\n"
                  "  --csv, --hex and --json cannot be combined.\n"});
  docs.push_back({"response",
                  {{"response --type T --freq F --gain G --q Q",
                    "one band's designed response on the 512-point grid\n"
                    "(T: PEQ, LP, HP, LS, HS in any case, or a code 0..21)"},
                   {"response --eq N [FILE.mode]",
                    "the summed response of EQ N's bands (N 0..15), the defaults'\n"
                    "or a mode file's"},
                   {"response --chain CH [--source mic-a|mic-b|music] [FILE.mode]",
                    "what output CH (1..8) plays: its source path's EQ (as routed\n"
                    "unless --source names one), then its own EQ and crossover\n"
                    "output: CSV rows frequency_hz,db"}},
                  {{"--type", true},
                   {"--freq", true},
                   {"--gain", true},
                   {"--q", true},
                   {"--eq", true},
                   {"--chain", true},
                   {"--source", true}},
                  false,
                  false,
                  "Responses on the 512-point grid as CSV rows frequency_hz,db: one band as designed, the\n"
                  "sum of EQ N's bands (the defaults', or those of FILE.mode), or what an output channel\n"
                  "really plays.\n"
                  "\n"
                  "  --type T      PEQ, LP, HP, LS or HS in any case, or a filter code 0..21\n"
                  "  --freq F      1..23999 Hz\n"
                  "  --gain G      -40..40 dB (default 0)\n"
                  "  --q Q         0.01..100\n"
                  "  --eq N        an equaliser, 0..15\n"
                  "  --chain CH    an output channel, 1..8 (or CH1..CH8): its source path's EQ, its own\n"
                  "                EQ and its crossover, summed\n"
                  "  --source S    with --chain: the path mic-a, mic-b or music instead of the routed one\n"});
  docs.push_back({"eq-import",
                  {{"eq-import FILTERS.txt --eq N [--in A.mode] -o B.mode",
                    "a measurement tool's filter set into EQ N of a mode file\n"
                    "(the defaults' without --in); each problem is reported by line"},
                   {"eq-import FILTERS.txt --eq N DEVICE [-o B.mode]",
                    "the same into the device's EQ N, read back to confirm"}},
                  {{"--eq", true}, {"--in", true}, {"-o", true}},
                  true,
                  false,
                  "Reads a measurement tool's filter set (\"Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00\"\n"
                  "lines) into equaliser N. Each line that cannot be used is named with its number; what\n"
                  "does not fit the equaliser is said, not dropped silently.\n"
                  "\n"
                  "  --eq N        the equaliser, 0..15\n"
                  "  --in A.mode   the mode file to start from (default: the default settings)\n"
                  "  -o B.mode     where the result is saved; with a device, also a copy of what the\n"
                  "                device holds afterwards\n"
                  "\n"
                  "With a device (one --tcp or --usb) the bands are written to it and read back.\n"});
  docs.push_back({"eq-export",
                  {{"eq-export --eq N [FILE.mode | DEVICE] [-o FILE.txt]",
                    "EQ N's bands as a filter set (of the defaults, a mode file\n"
                    "or the device)"}},
                  {{"--eq", true}, {"-o", true}},
                  true,
                  false,
                  "Writes equaliser N's bands as a filter set a measurement tool reads, from the default\n"
                  "settings, a mode file or the device (one --tcp or --usb).\n"
                  "\n"
                  "  --eq N        the equaliser, 0..15\n"
                  "  -o FILE.txt   save the filter set there (default: standard output)\n"});
  docs.push_back({"autoeq",
                  {{"autoeq MEAS... --eq N [FIT OPTIONS] [--plot FILE.png|svg] [--in A.mode] -o B.mode",
                    "fit EQ N to room measurements within the device's limits,\n"
                    "print the report and save the bands in a mode file"},
                   {"autoeq MEAS... --eq N [FIT OPTIONS] [--plot FILE.png|svg] DEVICE [-o B.mode]",
                    "the same into the device's EQ N, read back to confirm"}},
                  {{"--eq", true},
                   {"--target", true},
                   {"--range", true},
                   {"--bands", true},
                   {"--max-boost", true},
                   {"--smoothing", true},
                   {"--chain", true},
                   {"--keep-bands"},
                   {"--in", true},
                   {"-o", true},
                   {"--plot", true},
                   {"--lang", true}},
                  true,
                  false,
                  "Fits equaliser N to room measurements, so that what the room plays through it approaches\n"
                  "the target, with bands exactly as the device stores them: its types (peaking and the\n"
                  "shelves), its limits of gain, Q and frequency, and its steps. MEAS is a measurement\n"
                  "program's text export (frequency, level in dB and optionally phase a line; '*' and '#'\n"
                  "start comments) or CSV with a header; several files (microphone positions) are\n"
                  "averaged. Each line that cannot be read is named with its number. The report says the\n"
                  "deviation from the target before and after, each band set, every limit that held a\n"
                  "band and a preamp when the result boosts; nothing is written when the fit fails.\n"
                  "\n"
                  "  --eq N              the equaliser, 0..15 (with --chain: that channel's EQ)\n"
                  "  --target T          flat (default), house:BASS_DB,CORNER_HZ,TILT_DB_PER_OCTAVE (a bass\n"
                  "                      rise below the corner and a tilt per octave) or a target file in\n"
                  "                      the measurement formats\n"
                  "  --range LO-HI       the fit range in Hz (default 20-20000; 20-300 for room modes only)\n"
                  "  --bands K           at most K bands (default: every band the crossover does not hold)\n"
                  "  --max-boost DB      the highest gain a band gets, 0..15 (default 0: cuts only)\n"
                  "  --smoothing S       1/1, 1/3, 1/6, 1/12, 1/24, 1/48 octave, var (psychoacoustic,\n"
                  "                      default) or none\n"
                  "  --chain CH          an output channel, 1..8 (or CH1..CH8): fits its EQ with its source\n"
                  "                      path's EQ and its crossover included\n"
                  "  --keep-bands        keep the bands already set; fit only the flat ones\n"
                  "  --in A.mode         the mode file to start from (default: the default settings)\n"
                  "  -o B.mode           where the result is saved; with a device, also a copy of what the\n"
                  "                      device holds afterwards\n"
                  "  --plot FILE         measurement, target and predicted result as a graph, FILE.svg or\n"
                  "                      FILE.png\n"
                  "  --lang L            the report in English (en, default) or Chinese (zh)\n"
                  "\n"
                  "With a device (one --tcp or --usb) the device is read first, the fit starts from the\n"
                  "bands it holds, and the bands are written to it and read back.\n"});
  docs.push_back({"diff",
                  {{"diff A.mode B.mode [--csv] [--lang en|zh]",
                    "what differs between two mode files, one line each:\n"
                    "\"<page> / <item>: <in A> -> <in B>\", or \"no differences\""},
                   {"diff FILE.mode DEVICE [--csv] [--lang en|zh]",
                    "what differs between a mode file and the device (the file first)"}},
                  {{"--csv"}, {"--lang", true}},
                  true,
                  false,
                  "What differs between two mode files, or between a mode file and the device (the file\n"
                  "first), one line each: \"<page> / <item>: <first> -> <second>\"; \"no differences\"\n"
                  "when there are none.\n"
                  "\n"
                  "  --csv       rows page,item,first,second under a header (only the header when equal)\n"
                  "  --lang      names, values and the device's own messages in English (en, default)\n"
                  "              or Chinese (zh)\n"
                  "\n"
                  "Exit status, as diff(1) has it: 0 when the settings are equal, 1 when they differ,\n"
                  "2 on trouble: bad arguments, a file that cannot be read, a device that cannot be\n"
                  "reached or read (with several hosts: 1 when some differ and none failed, 2 when any\n"
                  "failed); 3 and 4 as below.\n"});
  docs.push_back({"merge",
                  {{"merge BASE.mode MINE.mode THEIRS.mode -o OUT.mode [--prefer mine|theirs]",
                    "a three-way merge of two mode files made from BASE"}},
                  {{"-o", true}, {"--prefer", true}},
                  false,
                  false,
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
                  "cannot be written, and otherwise as below.\n"});
  docs.push_back({"info",
                  {{"info DEVICE", "identity, current mode, converters, About lines"}},
                  {},
                  true,
                  true,
                  "Reads the device and prints its identity, current mode, converters and About lines.\n"});
  docs.push_back({"read",
                  {{"read -o FILE.mode DEVICE",
                    "save the device's parameters as a mode file (several hosts:\n"
                    "-o DIR/ receives one file per host; DIR is created when missing)"}},
                  {{"-o", true}},
                  true,
                  true,
                  "Saves the device's parameters as a mode file. A read that misses a chunk saves\n"
                  "nothing. With several hosts -o names a folder (created when missing), which receives\n"
                  "one file per host, HOST_PORT.mode.\n"
                  "\n"
                  "  -o FILE.mode    the mode file, or with several hosts the folder\n"});
  docs.push_back({"write",
                  {{"write [--verify] FILE.mode DEVICE",
                    "load a mode file and write it to the device; --verify reads\n"
                    "the image back and compares it"}},
                  {{"--verify"}},
                  true,
                  true,
                  "Loads a mode file and writes it to the device (with several hosts: to every one of\n"
                  "them, --jobs at a time). It says \"wrote\" only when the device acknowledged all 63\n"
                  "chunks; otherwise it says how many reached the device.\n"
                  "\n"
                  "  --verify    read the image back and compare it\n"});
  docs.push_back({"get",
                  {{"get NAME... DEVICE", "print parameters by the names show prints"}},
                  {},
                  true,
                  true,
                  "Reads the device and prints the named parameters, one line each, \"NAME = VALUE\" in\n"
                  "display units. NAME is a name as show prints it (\"Master controls / Mic Vol\"), in any\n"
                  "case; spaces around '/' do not matter. An unknown name is refused with its near\n"
                  "matches before the device is opened.\n"});
  docs.push_back({"set",
                  {{"set NAME=VALUE... DEVICE", "write parameters in display units"}},
                  {},
                  true,
                  true,
                  "Writes the named parameters to the device, each as the window writes it, and reads\n"
                  "the device back to confirm. VALUE is in display units, with or without the unit:\n"
                  "55 or 55% for a percentage, 12.5 or 12.5 ms for a time, on/off for a switch, a shown\n"
                  "choice such as CH-SUB or HDMI2 by its name or number. Only what the window's control\n"
                  "for the parameter could set is taken: another unit, hex, a value outside the control's\n"
                  "range or between its steps, and a parameter named twice are refused, with the valid\n"
                  "range and step, before the device is opened.\n"});
  docs.push_back({"remote-save",
                  {{"remote-save FILE.remo DEVICE", "save the learned remote codes (one device)"}},
                  {},
                  true,
                  true,
                  "Reads the device and saves its learned remote codes (30 bytes). The name's extension\n"
                  "becomes .remo whatever was typed.\n"});
  docs.push_back({"remote-load",
                  {{"remote-load FILE.remo DEVICE", "load remote codes and send them to the device"}},
                  {},
                  true,
                  true,
                  "Loads remote codes from a file and sends them to the device once. The name's\n"
                  "extension becomes .remo whatever was typed.\n"});
  return docs;
}

}  // namespace

std::span<const OptionSpec> DeviceOptions() { return kDeviceOptions; }

const std::vector<CommandDoc>& CommandDocs() {
  static const std::vector<CommandDoc> docs = MakeCommandDocs();
  return docs;
}

const CommandDoc* FindCommandDoc(std::string_view name) {
  const auto& docs = CommandDocs();
  const auto it = std::find_if(docs.begin(), docs.end(), [&](const CommandDoc& d) { return d.name == name; });
  return it == docs.end() ? nullptr : &*it;
}

std::vector<OptionSpec> CommandOptions(std::string_view name) {
  const CommandDoc* doc = FindCommandDoc(name);
  return doc ? doc->options : std::vector<OptionSpec>{};
}

}  // namespace dsptune::cli
