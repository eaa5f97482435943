// What dsptune-cli says and how it exits where a script or a person relies on it: output
// that cannot be written, diff's statuses, hosts named twice, the device's own texts in
// the command line's language, the lines of a busy or silent device, band numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/Dispatcher.h"
#include "model/SettingsDiff.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"
#include "tools/cli/DeviceTexts.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Target(const test::LoopbackEmulator& e) {
  return " --tcp 127.0.0.1:" + std::to_string(e.net.Port()) + " --reply-timeout 300";
}

// A mode file of the supported protocol (20) whose settings are all zero.
void WriteModeFile(const std::string& path) {
  std::ofstream(path, std::ios::binary) << '\x14' << std::string(3577, '\0');
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CliOutput, AWriteErrorOnStandardOutputFailsTheRunAndSaysWhy) {
  const test::CliScratch scratch("dsptune-cli-full");
  const struct {
    const char* args;
    int status;
  } rows[] = {
      {"show --json", 1},
      {"show", 1},
      {"response --type PEQ --freq 1000 --q 1", 1},
      {"--help", 1},
      {"--version", 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args);
    const test::CliResult run = scratch.Run(r.args, "/dev/full");
    EXPECT_EQ(run.status, r.status);
    EXPECT_EQ(run.err, "dsptune-cli: cannot write to standard output: No space left on device\n");
  }
}

TEST(CliResponse, EqualiserOfAModeFileAndUnknownOptionsByName) {
  const test::CliScratch scratch("dsptune-cli-response-file");
  { std::ofstream(scratch.Path("peak.txt")) << "Filter 1: ON PK Fc 1000 Hz Gain 6 dB Q 2\n"; }
  ASSERT_EQ(scratch.Run("eq-import '" + scratch.Path("peak.txt") + "' --eq 3 -o '" + scratch.Path("a.mode") + "'").status, 0);

  const test::CliResult defaults = scratch.Run("response --eq 3");
  const test::CliResult file = scratch.Run("response --eq 3 '" + scratch.Path("a.mode") + "'");
  ASSERT_EQ(file.status, 0) << file.err;
  EXPECT_NE(file.out, defaults.out) << "the file's bands, not the defaults'";
  const auto lines = file.OutLines();
  double peak = -100;
  for (std::size_t i = 1; i < lines.size(); ++i) peak = std::max(peak, std::stod(lines[i].substr(lines[i].find(',') + 1)));
  EXPECT_NEAR(peak, 6.0, 0.5) << "the imported +6 dB peak";

  const struct {
    std::string args;
    int status;
    const char* says;
  } refused[] = {
      {"response --eq 3 '" + scratch.Path("none.mode") + "'", 1, "none.mode: no such file"},
      {"response --foo 1", 2, "unknown option '--foo'"},
      {"response --foo", 2, "unknown option '--foo'"},
      {"response --type PEQ --freq 1000 --q 1 '" + scratch.Path("a.mode") + "'", 2, "goes with --eq N or --chain"},
      {"response --source music --eq 3", 2, "--source goes with --chain"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.args);
    const test::CliResult run = scratch.Run(r.args);
    EXPECT_EQ(run.status, r.status);
    EXPECT_TRUE(Has(run.err, r.says)) << run.err;
    EXPECT_FALSE(Has(run.err, "needs a value")) << run.err;
  }
}

// diff(1)'s statuses: 0 equal, 1 different, 2 trouble, alone and across hosts.
TEST(CliDiffStatus, TroubleIsTwoAndNeverLooksLikeADifference) {
  test::LoopbackEmulator first, second;
  ASSERT_TRUE(first.started && second.started);
  const test::CliScratch scratch("dsptune-cli-diff-status");
  const std::string same = "'" + scratch.Path("same.mode") + "'", other = "'" + scratch.Path("other.mode") + "'";
  ASSERT_EQ(scratch.Run("read -o " + same + Target(first)).status, 0);
  { std::ofstream(scratch.Path("peak.txt")) << "Filter 1: ON PK Fc 1000 Hz Gain 6 dB Q 2\n"; }
  ASSERT_EQ(scratch.Run("eq-import '" + scratch.Path("peak.txt") + "' --eq 3 --in " + same + " -o " + other).status, 0);
  const std::string unreachable = " --tcp 127.0.0.1:1";
  const struct {
    const char* name;
    std::string args;
    int status;
  } rows[] = {
      {"equal to the device", same + Target(first), 0},
      {"differs from the device", other + Target(first), 1},
      {"a device that cannot be reached", same + unreachable, 2},
      {"every host differs", other + Target(first) + Target(second), 1},
      {"one host cannot be reached", same + Target(first) + unreachable, 2},
      {"one differs, one cannot be reached", other + Target(first) + unreachable, 2},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(scratch.Run("diff " + r.args).status, r.status);
  }
  EXPECT_EQ(scratch.Run("diff " + same + Target(first), "/dev/full").status, 2) << "lost output is trouble";
  EXPECT_EQ(scratch.Run("diff " + other + " " + same, "/dev/full").status, 2);
}

TEST(CliHosts, AHostGivenTwiceRunsOnceAndOptionsMayLeadTheCommand) {
  test::LoopbackEmulator first, second;
  ASSERT_TRUE(first.started && second.started);
  const test::CliScratch scratch("dsptune-cli-twice");
  const std::string port = std::to_string(first.net.Port());

  const test::CliResult twice = scratch.Run("info --tcp 127.0.0.1:" + port + " --tcp 127.0.0.1:" + port);
  EXPECT_EQ(twice.status, 0) << twice.err;
  EXPECT_TRUE(Has(twice.out, "Model: LQ830")) << "run as one device, not as a busy second run";
  EXPECT_EQ(twice.err, "dsptune-cli: 127.0.0.1:" + port + " is given more than once; it is run once\n");

  { std::ofstream(scratch.Path("hosts.txt")) << "127.0.0.1:" << port << "\n127.0.0.1:" << port << "\n"; }
  const test::CliResult file = scratch.Run("info --hosts '" + scratch.Path("hosts.txt") + "'");
  EXPECT_EQ(file.status, 0) << file.out << file.err;
  EXPECT_EQ(file.OutLines().back(), "1 host: 1 ok, 0 busy, 0 identity mismatch, 0 timed out, 0 errors");

  const test::CliResult leading = scratch.Run("-q --reply-timeout 300 info --tcp 127.0.0.1:" + port);
  EXPECT_EQ(leading.status, 0) << leading.err;

  // Several hosts save into a folder that is made when missing.
  const fs::path folder = scratch.Path("new/rooms/");
  const test::CliResult read = scratch.Run("read -o '" + folder.string() + "'" + Target(first) + Target(second));
  EXPECT_EQ(read.status, 0) << read.out << read.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST(CliDeviceTexts, TheDevicesOwnTextsInTheChosenLanguage) {
  // The parameter error as the link formats it.
  const std::string refused = FormatParameterError(0x01, 0x62, 0x00);
  cli::SetDeviceTextLanguage(kTextEnglish);
  EXPECT_EQ(cli::DeviceText(refused), "parameter error: code 0x01, command 0x62 0x00");
  EXPECT_EQ(cli::DeviceText("something else"), "something else");
  cli::SetDeviceTextLanguage(kTextChinese);
  EXPECT_EQ(cli::DeviceText(refused), refused);
  cli::SetDeviceTextLanguage(kTextEnglish);

  DeviceOptions model;
  model.modelName = "XYZ";
  test::LoopbackEmulator stranger(model);
  ASSERT_TRUE(stranger.started);
  const test::CliScratch scratch("dsptune-cli-device-texts");
  const test::CliResult english = scratch.Run("info" + Target(stranger));
  EXPECT_EQ(english.status, 4);
  EXPECT_TRUE(Has(english.err, "(E:XYZ_14 model mismatch!)")) << english.err;
  WriteModeFile(scratch.Path("a.mode"));
  const test::CliResult chinese = scratch.Run("diff --lang zh '" + scratch.Path("a.mode") + "'" + Target(stranger));
  EXPECT_TRUE(Has(chinese.err, "(E:XYZ_14 机器型号不匹配!)")) << chinese.err;
}

TEST(CliDeviceLines, BusyAndSilentDevicesAreNamedOnce) {
  ServerOptions busyServer, silentServer;
  busyServer.busy = true;
  silentServer.silentAfter = 0ms;
  test::LoopbackEmulator busy({}, busyServer), silent({}, silentServer);
  ASSERT_TRUE(busy.started && silent.started);
  const test::CliScratch scratch("dsptune-cli-device-lines");
  WriteModeFile(scratch.Path("a.mode"));

  const test::CliResult one = scratch.Run("info" + Target(busy));
  EXPECT_EQ(one.status, 3);
  EXPECT_EQ(one.err, "dsptune-cli: device busy: another host is connected\n");
  const test::CliResult many = scratch.Run("info" + Target(busy) + Target(silent));
  EXPECT_TRUE(Has(many.out, std::to_string(busy.net.Port()) + "  busy: another host is connected\n")) << many.out;

  const test::CliResult write = scratch.Run("write '" + scratch.Path("a.mode") + "'" + Target(silent));
  EXPECT_EQ(write.status, 1);
  EXPECT_TRUE(Has(write.err, "the device did not answer")) << write.err;
  EXPECT_TRUE(Has(write.err, "nothing was saved or written\n")) << write.err;
}

TEST(CliShowText, BandsNumberedFromOneAndTheSplitSectionsByName) {
  const test::CliScratch scratch("dsptune-cli-show-bands");
  const test::CliResult show = scratch.Run("show");
  ASSERT_EQ(show.status, 0);
  EXPECT_FALSE(Has(show.out, "  band 0 ")) << "bands count from 1 as in the CSV, JSON and the window";
  EXPECT_TRUE(Has(show.out, "\n  band 1 ")) << show.out.substr(0, 200);
  EXPECT_TRUE(Has(show.out, "\n  band split high-pass ")) << "the output EQs' split sections by name";
  EXPECT_TRUE(Has(show.out, "\n  band split low-pass "));
}

}  // namespace
}  // namespace dsptune
