#include "tools/cli/HelpTexts.h"

#include <string>

#include "tools/cli/CommandTable.h"

#ifndef DSPTUNE_VERSION
#error "DSPTUNE_VERSION is set by tools/CMakeLists.txt from the project version"
#endif

namespace dsptune::cli {
namespace {

// The overall help's description column.
constexpr std::size_t kSummaryColumn = 28;

void PrintSummary(std::FILE* out, const CommandSynopsis& s) {
  const std::string head = "  " + std::string(s.line);
  const std::string indent(kSummaryColumn, ' ');
  std::string_view rest = s.summary;
  // A short usage line takes the first line of the description beside it.
  if (head.size() + 2 <= kSummaryColumn) {
    const std::size_t end = rest.find('\n');
    std::fprintf(out, "%-*s%.*s\n", int(kSummaryColumn), head.c_str(), int(rest.substr(0, end).size()), rest.data());
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  } else {
    std::fprintf(out, "%s\n", head.c_str());
  }
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::fprintf(out, "%s%.*s\n", indent.c_str(), int(rest.substr(0, end).size()), rest.data());
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
}

}  // namespace

const char* const kDeviceOptionsHelp =
    "device options (DEVICE is --tcp HOST[:PORT], several --tcp, --hosts FILE or --usb; the\n"
    "device is read first):\n"
    "  --tcp HOST[:PORT]   the network module (port 30303 unless given); HOST is a name or an\n"
    "                      IPv4 address; give --tcp again for more hosts (a host given twice\n"
    "                      is run once)\n"
    "  --hosts FILE        the hosts, one HOST[:PORT] a line ('#' starts a comment)\n"
    "  --usb               the device on USB\n"
    "  --jobs N            with several hosts, how many run at once (default 8, 1..64); each\n"
    "                      host runs in a process of its own; one result line per host (ok,\n"
    "                      busy, identity mismatch, timed out, error) and a summary\n"
    "  --reply-timeout MS  how long each command waits for its answer (10..60000, default 2000)\n"
    "  -q, --quiet         no progress line (also before the command)\n";

const char* const kExitStatusHelp =
    "exit status (diff: see dsptune-cli diff --help):\n"
    "  0  success\n"
    "  1  device or file error (also an incomplete transfer, a failed verify, a lost link,\n"
    "     a silent device, garbled answers, output that could not be written; with several\n"
    "     hosts: any host that failed)\n"
    "  2  usage: unknown or conflicting options, bad values\n"
    "  3  device busy: another host is connected to the network module\n"
    "  4  identity mismatch: not a supported model or protocol\n";

void PrintOverallHelp(std::FILE* out) {
  std::fprintf(out, "usage: dsptune-cli [-q] COMMAND [options]\n\ncommands:\n");
  for (const CommandDoc& doc : CommandDocs())
    for (const CommandSynopsis& s : doc.synopsis) PrintSummary(out, s);
  std::fprintf(out,
               "\n"
               "  COMMAND --help            that command's options\n"
               "  --help, --version         this text; the version\n"
               "\n%s\n%s",
               kDeviceOptionsHelp, kExitStatusHelp);
}

bool PrintCommandHelp(std::string_view command) {
  const CommandDoc* doc = FindCommandDoc(command);
  if (!doc) return false;
  const char* lead = "usage: ";
  for (const CommandSynopsis& s : doc->synopsis) {
    std::printf("%sdsptune-cli %.*s\n", lead, int(s.line.size()), s.line.data());
    lead = "       ";
  }
  std::printf("\n%.*s", int(doc->details.size()), doc->details.data());
  if (doc->device) std::printf("\n%s", kDeviceOptionsHelp);
  std::printf("\n%s", kExitStatusHelp);
  return true;
}

const char* VersionText() { return "dsptune-cli " DSPTUNE_VERSION; }

}  // namespace dsptune::cli
