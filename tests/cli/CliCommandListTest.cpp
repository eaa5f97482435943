// One list of commands and options (tools/cli/CommandTable.h) and everything that
// documents or completes them: the help the program prints, the options it accepts, the
// manual page and the bash completion in dist/.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/cli/CliRunner.h"
#include "tools/cli/CommandTable.h"

namespace dsptune {
namespace {

using cli::CommandDoc;
using cli::CommandDocs;
using cli::OptionSpec;

std::string DistFile(const std::string& name) { return test::CliScratch::Text(std::string(DSPTUNE_SOURCE_DIR) + "/dist/" + name); }

// "--reply-timeout" as a manual page writes it: "\-\-reply\-timeout".
std::string ManEscaped(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

std::vector<OptionSpec> DocumentedDeviceOptions() {
  std::vector<OptionSpec> options;
  for (const OptionSpec& o : cli::DeviceOptions())
    if (!o.internal) options.push_back(o);
  return options;
}

TEST(CliCommandList, HelpListsEveryCommandAndEachCommandItsOptions) {
  const test::CliScratch scratch("dsptune-cli-list-help");
  const test::CliResult top = scratch.Run("--help");
  ASSERT_EQ(top.status, 0);
  for (const CommandDoc& doc : CommandDocs()) {
    SCOPED_TRACE(std::string(doc.name));
    for (const auto& s : doc.synopsis)
      EXPECT_NE(top.out.find("  " + std::string(s.line)), std::string::npos) << s.line;
    const test::CliResult help = scratch.Run(std::string(doc.name) + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: dsptune-cli " + std::string(doc.name), 0), 0u) << help.out;
    for (const OptionSpec& o : doc.options)
      EXPECT_NE(help.out.find(std::string(o.name) + " "), std::string::npos) << o.name << " in\n" << help.out;
    EXPECT_EQ(help.out.find("device options") != std::string::npos, doc.device);
  }
}

// An option the list names is never an unknown option to its command. Each value is
// one that fails a check of its own, so nothing is opened or written.
TEST(CliCommandList, EveryListedOptionIsAccepted) {
  const test::CliScratch scratch("dsptune-cli-list-accepted");
  for (const CommandDoc& doc : CommandDocs())
    for (const OptionSpec& o : doc.options) {
      const std::string args = std::string(doc.name) + " " + std::string(o.name) +
                               (o.takesValue ? " '" + scratch.Path("zz") + "'" : "");
      SCOPED_TRACE(args);
      const test::CliResult run = scratch.Run(args);
      if (run.err.find("not part of this build") != std::string::npos) continue;
      EXPECT_EQ(run.err.find("unknown option"), std::string::npos) << run.err;
    }
}

// The COMMANDS entries of the manual page: the text from each ".TP" whose heading names
// a command up to the next ".TP" or section.
std::map<std::string, std::string> ManEntries(const std::string& page) {
  std::map<std::string, std::string> entries;
  const std::size_t start = page.find(".SH COMMANDS");
  const std::size_t end = page.find(".SH", start + 1);
  std::istringstream in(page.substr(start, end - start));
  std::string line, current;
  bool heading = false;
  for (; std::getline(in, line);) {
    if (line == ".TP") {
      heading = true;
      current.clear();
      continue;
    }
    if (heading) {
      heading = false;
      for (const CommandDoc& doc : CommandDocs())
        if (line.rfind(".B " + ManEscaped(doc.name) + " ", 0) == 0 || line == ".B " + ManEscaped(doc.name))
          current = std::string(doc.name);
    }
    if (!current.empty()) entries[current] += line + "\n";
  }
  return entries;
}

TEST(CliCommandList, ManualPageDescribesEveryCommandAndOption) {
  const std::string page = DistFile("man/dsptune-cli.1");
  ASSERT_FALSE(page.empty());
  const std::map<std::string, std::string> entries = ManEntries(page);
  for (const CommandDoc& doc : CommandDocs()) {
    SCOPED_TRACE(std::string(doc.name));
    const auto entry = entries.find(std::string(doc.name));
    ASSERT_NE(entry, entries.end()) << "no entry in COMMANDS";
    for (const OptionSpec& o : doc.options)
      EXPECT_NE(entry->second.find(ManEscaped(o.name)), std::string::npos) << o.name << " in\n" << entry->second;
    if (doc.device) {
      EXPECT_NE(entry->second.find("DEVICE"), std::string::npos) << entry->second;
    }
  }
  const std::size_t device = page.find(".SH DEVICE OPTIONS");
  ASSERT_NE(device, std::string::npos);
  const std::string section = page.substr(device, page.find(".SH", device + 1) - device);
  for (const OptionSpec& o : DocumentedDeviceOptions())
    EXPECT_NE(section.find(ManEscaped(o.name)), std::string::npos) << o.name;
}

TEST(CliCommandList, CompletionOffersEveryCommandAndItsOptions) {
  const std::string script = DistFile("dsptune-cli.bash");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(script, m, std::regex("local commands=\"([^\"]*)\"")));
  std::set<std::string> commands;
  std::istringstream listed(m[1].str());
  for (std::string c; listed >> c;) commands.insert(c);
  ASSERT_TRUE(std::regex_search(script, m, std::regex("local device=\"([^\"]*)\"")));
  const std::string device = m[1].str();

  // One "command) options+=" ..." ;;" line per command, $device standing for the device options.
  std::map<std::string, std::set<std::string>> offered;
  const std::regex line("\\n\\s*([a-z-]+)\\) options\\+=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(script.begin(), script.end(), line); it != std::sregex_iterator(); ++it) {
    std::string words = std::regex_replace((*it)[2].str(), std::regex("\\$device"), device);
    std::istringstream in(words);
    for (std::string w; in >> w;) offered[(*it)[1].str()].insert(w);
  }
  for (const CommandDoc& doc : CommandDocs()) {
    SCOPED_TRACE(std::string(doc.name));
    EXPECT_TRUE(commands.count(std::string(doc.name))) << "not in the command list";
    std::vector<OptionSpec> expected = doc.options;
    if (doc.device) {
      const auto d = DocumentedDeviceOptions();
      expected.insert(expected.end(), d.begin(), d.end());
    }
    std::set<std::string> names;
    for (const OptionSpec& o : expected) names.insert(std::string(o.name));
    EXPECT_EQ(offered[std::string(doc.name)], names);
  }
  EXPECT_EQ(commands.size(), CommandDocs().size()) << "the completion offers a command the list lacks";
}

}  // namespace
}  // namespace dsptune
