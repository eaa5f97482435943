// dsptune-cli's command line: help and version everywhere, every usage error and file
// problem found before a connection is made, the show listings and names given in any case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include <nlohmann/json.hpp>

#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DefaultImage.h"
#include "model/ParameterTable.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;

// Fields of one CSV row; commas inside quotes belong to a field.
std::size_t CsvFieldCount(const std::string& row) {
  std::size_t fields = 1;
  bool quoted = false;
  for (char c : row) {
    if (c == '"') quoted = !quoted;
    else if (c == ',' && !quoted) ++fields;
  }
  return fields;
}

TEST(CliHelpTest, EveryCommandHasHelpAndVersion) {
  const test::CliScratch scratch("dsptune-cli-help");
  for (const char* command :
       {"show", "response", "diff", "merge", "info", "read", "write", "get", "set", "remote-save", "remote-load"}) {
    SCOPED_TRACE(command);
    // Help wins even over arguments that would be refused.
    const test::CliResult help = scratch.Run(std::string(command) + " --bogus --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind(std::string("usage: dsptune-cli ") + command, 0), 0u) << help.out;
    EXPECT_NE(help.out.find("4  identity mismatch"), std::string::npos) << "the exit statuses are listed";
    const test::CliResult version = scratch.Run(std::string(command) + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("dsptune-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
  }
  const test::CliResult top = scratch.Run("--help");
  EXPECT_EQ(top.status, 0);
  for (const char* listed : {"get NAME", "set NAME=VALUE", "--hosts FILE", "--jobs N", "3  device busy"})
    EXPECT_NE(top.out.find(listed), std::string::npos) << listed;
  EXPECT_EQ(scratch.Run("").status, 2) << "no command is a usage error";
}

TEST(CliUsageTest, RefusedBeforeAnyConnection) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const test::CliScratch scratch("dsptune-cli-usage");
  const std::string tcp = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port());
  fs::create_directories(scratch.Path("folder.remo"));
  fs::create_directories(scratch.Path("folder.mode"));
  { std::ofstream(scratch.Path("hosts-bad.txt")) << "127.0.0.1:1\nroom 2:30303\n"; }
  { std::ofstream(scratch.Path("ok.mode")) << std::string(3578, '\0'); }
  const std::string ok = " '" + scratch.Path("ok.mode") + "'";
  const struct {
    const char* name;
    std::string args;
    int status;
    const char* says;
  } rows[] = {
      {"show conflicting forms", "show --csv --hex", 2, "--csv and --hex cannot be combined"},
      {"show json and hex", "show --json --hex", 2, "cannot be combined"},
      {"show table without csv", "show --table bands", 2, "--table goes with --csv"},
      {"show unknown table", "show --csv --table rooms", 2, "parameters, bands or records"},
      {"show unknown option", "show --colour", 2, "unknown option '--colour'"},
      {"show missing file", "show '" + scratch.Path("none.mode") + "'", 1, "no such file"},
      {"show a folder", "show '" + scratch.Path("folder.mode") + "'", 1, "is a folder"},
      {"response type not known", "response --type peak --freq 1000 --q 1", 2, "--type"},
      {"unknown device option", "info --verbose" + tcp, 2, "unknown option '--verbose'"},
      {"usb and tcp", "info --usb" + tcp, 2, "not both"},
      {"no device", "info", 2, "needs --tcp"},
      {"option without value", "info --tcp", 2, "--tcp needs a value"},
      {"bad port", "info --tcp 127.0.0.1:70000", 2, "bad port"},
      {"jobs out of range", "write" + ok + tcp + " --tcp 127.0.0.1:1 --jobs 0", 2, "--jobs"},
      {"write a missing file", "write '" + scratch.Path("none.mode") + "'" + tcp, 1, "no such file"},
      {"write a folder", "write '" + scratch.Path("folder.mode") + "'" + tcp, 1, "is a folder"},
      {"write with --csv", "write --csv" + ok + tcp, 2, "unknown option '--csv'"},
      {"remote-load a folder", "remote-load '" + scratch.Path("folder.remo") + "'" + tcp, 1, "is a folder"},
      {"remote-load a missing file", "remote-load '" + scratch.Path("none.remo") + "'" + tcp, 1, "no such file"},
      {"remote-save to two hosts", "remote-save '" + scratch.Path("x.remo") + "'" + tcp + " --tcp 127.0.0.1:1", 2,
       "one device"},
      {"read many into a folder that cannot be made", "read -o '" + scratch.Path("ok.mode/sub/") + "'" + tcp +
       " --tcp 127.0.0.1:1", 1, "cannot create the folder"},
      {"hosts file missing", "info --hosts '" + scratch.Path("none.txt") + "'", 1, "no such file"},
      {"hosts file with a bad line", "info --hosts '" + scratch.Path("hosts-bad.txt") + "'", 2, "line 2"},
      {"get an unknown name", "get 'Master controls / Mic Volume'" + tcp, 2, "\"Master controls / Mic Vol\""},
      {"get nothing like a name", "get zzzzqqqq" + tcp, 2, "show lists the names"},
      {"set without a value", "set 'Master controls / Mic Vol'" + tcp, 2, "NAME=VALUE"},
      {"set a switch to a number", "set 'Music EQ / Bypass=2'" + tcp, 2, "not one of: off, on"},
      {"set a percentage out of range", "set 'Master controls / Mic Vol=2000000'" + tcp, 2, "outside 0..99% (step 1)"},
      {"set a mute gain far out of range", "set 'Output CH1 / Mute gain=999999%'" + tcp, 2,
       "set: \"Output CH1 / Mute gain\": 999999% is outside 0..100% (step 1)"},
      {"set a bad value after a good one", "set 'Master controls / Mic Vol=5' 'Output CH1 / Mute gain=101'" + tcp, 2,
       "101% is outside"},
      {"set a percentage in hertz", "set 'Master controls / Mic Vol=55 Hz'" + tcp, 2, "'55 Hz' is not in %"},
      {"set a delay in percent", "set 'Output CH1 / Delay=12.5%'" + tcp, 2, "'12.5%' is not in ms"},
      {"set a percentage in hex", "set 'Master controls / Mic Vol=0x20'" + tcp, 2, "'0x20' is not a number"},
      {"set a delay between steps", "set 'Output CH1 / Delay=12.55'" + tcp, 2, "give 1.4..100 ms (step 0.1)"},
      {"set a name twice in two languages", "set 'Master controls / Mic Vol=5' '主控制/话筒音量=6'" + tcp, 2,
       "\"Master controls / Mic Vol\" is given twice"},
      {"set the reverb time and its copy", "set 'Reverb / Reverb A Time=5' 'reverb/reverb a time (copy)=5'" + tcp,
       2, "\"Reverb / Reverb A Time\" and \"Reverb / Reverb A Time (copy)\" both set it"},
      {"set a choice by a number that is none", "set 'Output CH1 / Role=9'" + tcp, 2, "not one of"},
      {"set a choice that is none", "set 'Output CH1 / Role=CH-X'" + tcp, 2, "CH-SUB"},
      {"set below the window's slider", "set 'Echo / Echo A Time=100'" + tcp, 2, "160..260"},
      {"set a percentage by text", "set 'Master controls / Mic Vol=loud'" + tcp, 2, "not a number"},
      {"set a computed record", "set 'Features / Auto Music Input Level=1'" + tcp, 2, "computed"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const test::CliResult run = scratch.Run(r.args);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line: " << run.err;
  }
  EXPECT_EQ(emulator.net.ClientsAccepted(), 0) << "a refused command connected to the device";
}

TEST(CliHostTest, NamesResolveAndAnUnknownNameIsSaidSo) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const test::CliScratch scratch("dsptune-cli-hosts");
  const std::string port = std::to_string(emulator.net.Port());
  const test::CliResult byName = scratch.Run("info --tcp localhost:" + port + " --reply-timeout 300");
  EXPECT_EQ(byName.status, 0) << byName.err;
  EXPECT_NE(byName.out.find("Model: LQ830"), std::string::npos);
  const test::CliResult unknown = scratch.Run("info --tcp no-such-room.invalid:" + port);
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("cannot resolve 'no-such-room.invalid'"), std::string::npos) << unknown.err;
}

TEST(CliShowTest, EachCsvTableHasItsHeaderAndJsonHoldsEverything) {
  const test::CliScratch scratch("dsptune-cli-show");
  const struct {
    const char* table;
    const char* header;
    std::size_t rows;
  } tables[] = {
      {"parameters", "name,block,address,kind,value,ui_value,hex_bytes", std::size_t(kParameterCount)},
      {"bands", "eq,eq_name,band,name,type,freq_hz,gain_db,q", 0},
      {"records", "name,offset,value,hex_bytes", 11},  // 8 SSVC levels, settings, decay level, locate
  };
  std::size_t bandRows = 0;
  for (const auto& t : tables) {
    SCOPED_TRACE(t.table);
    const test::CliResult run = scratch.Run(std::string("show --csv --table ") + t.table);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = run.OutLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], t.header);
    if (t.rows) EXPECT_EQ(lines.size(), t.rows + 1);
    else bandRows = lines.size() - 1;
    for (const std::string& line : lines) EXPECT_EQ(CsvFieldCount(line), CsvFieldCount(lines[0])) << line;
  }
  EXPECT_EQ(scratch.Run("show --csv").out, scratch.Run("show --csv --table parameters").out);

  const test::CliResult json = scratch.Run("show --json");
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json all = nlohmann::json::parse(json.out);
  EXPECT_EQ(all["parameters"].size(), std::size_t(kParameterCount));
  EXPECT_EQ(all["bands"].size(), bandRows);
  EXPECT_EQ(all["records"].size(), 11u);
  std::set<std::string> names;
  for (const auto& p : all["parameters"]) names.insert(p["name"].get<std::string>());
  EXPECT_EQ(names.size(), std::size_t(kParameterCount)) << "every parameter has a name of its own";
  const auto micVol = std::find_if(all["parameters"].begin(), all["parameters"].end(),
                                   [](const auto& p) { return p["name"] == "Master controls / Mic Vol"; });
  ASSERT_NE(micVol, all["parameters"].end());
  EXPECT_EQ((*micVol)["value"], "50%");
  EXPECT_EQ((*micVol)["ui_value"], 50);
}

// A mode file holding what no control of the window could have set is listed as stored,
// each such value marked, and the file is left as it was.
TEST(CliShowTest, ValuesNoControlCouldSetAreMarked) {
  const test::CliScratch scratch("dsptune-cli-show-limits");
  ParameterImageBytes image = DefaultImage();
  PutU32(&image[FindRecord(5, 0x1A)->ValueOffset()], UiValueToWord(ConversionKind::Percent, 999999));
  PutU32(&image[FindRecord(4, 0x0B)->ValueOffset()], 5);
  std::string bytes(std::size_t(kModeFileHeaderSize), '\0');
  bytes[0] = 20;  // the protocol code; the rest of the identity may stay empty
  bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
  { std::ofstream(scratch.Path("odd.mode"), std::ios::binary) << bytes; }

  const test::CliResult readable = scratch.Run("show '" + scratch.Path("odd.mode") + "'");
  ASSERT_EQ(readable.status, 0) << readable.err;
  const auto isMarked = [](const std::string& line) {
    return line.find("  (outside ") != std::string::npos || line.find("  (not one of: ") != std::string::npos;
  };
  std::vector<std::string> marked;
  for (const std::string& line : readable.OutLines())
    if (isMarked(line)) marked.push_back(line);
  ASSERT_EQ(marked.size(), 2u) << readable.out;
  EXPECT_TRUE(marked[0].ends_with("Music EQ / Bypass  (not one of: off, on)")) << marked[0];
  EXPECT_NE(marked[1].find("999999"), std::string::npos) << "shown as stored: " << marked[1];
  EXPECT_TRUE(marked[1].ends_with("Output CH1 / Mute gain  (outside 0..100%)")) << marked[1];

  const test::CliResult json = scratch.Run("show --json '" + scratch.Path("odd.mode") + "'");
  ASSERT_EQ(json.status, 0) << json.err;
  std::vector<std::string> notes;
  const nlohmann::json listed = nlohmann::json::parse(json.out);
  for (const auto& p : listed["parameters"])
    if (p.contains("note")) notes.push_back(p["name"].get<std::string>() + ": " + p["note"].get<std::string>());
  EXPECT_EQ(notes, (std::vector<std::string>{"Music EQ / Bypass: not one of: off, on",
                                             "Output CH1 / Mute gain: outside 0..100%"}));
  EXPECT_EQ(test::CliScratch::Text(scratch.Path("odd.mode")), bytes) << "show leaves the file as it was";
  const test::CliResult defaults = scratch.Run("show");
  for (const std::string& line : defaults.OutLines()) EXPECT_FALSE(isMarked(line)) << "a default out of reach: " << line;
}

TEST(CliResponseTest, FilterTypeNamesInAnyCase) {
  const test::CliScratch scratch("dsptune-cli-response");
  const std::string reference = scratch.Run("response --type PEQ --freq 1000 --gain 6 --q 2").out;
  ASSERT_FALSE(reference.empty());
  for (const char* type : {"peq", "Peq", "1"}) {
    SCOPED_TRACE(type);
    const test::CliResult run = scratch.Run(std::string("response --type ") + type + " --freq 1000 --gain 6 --q 2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, reference);
  }
}

}  // namespace
}  // namespace dsptune
