// Single parameters by name against the emulator: get prints them in display units, set
// writes them as the window does and says so only when the device holds them; remote
// files load once and every command says one line on success.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterTable.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

std::uint32_t DeviceWord(const test::LoopbackEmulator& emulator, std::uint8_t block, std::uint8_t address) {
  return GetU32(&emulator.sim.WorkingImage()[FindRecord(block, address)->ValueOffset()]);
}

class CliParametersTest : public ::testing::Test {
 protected:
  CliParametersTest() : scratch_("dsptune-cli-parameters") {}
  std::string Target() const {
    return " --tcp 127.0.0.1:" + std::to_string(emulator_.net.Port()) + " --reply-timeout 300";
  }
  test::LoopbackEmulator emulator_;
  test::CliScratch scratch_;
};

TEST_F(CliParametersTest, SetWritesDisplayValuesThatGetReadsBack) {
  ASSERT_TRUE(emulator_.started);
  const struct {
    const char* assignment;  // as typed: any case, spaces around '/' or none
    std::uint8_t block, address;
    std::uint32_t word;  // what the device then holds
    const char* shown;   // what get prints
  } rows[] = {
      {"master controls/mic vol=55%", 1, 0x0E, UiValueToWord(ConversionKind::Percent, 55), "55%"},
      {"Master controls / Music Vol=7", 4, 0x0C, UiValueToWord(ConversionKind::Percent, 7), "7%"},
      {"Music EQ / Bypass=ON", 4, 0x0B, 1, "on"},
      {"Output CH6 / Role=ch-sub", 10, 0x10, 4, "CH-SUB"},
      {"Music source setting / Input source=HDMI2", 4, 0x17, 1, "HDMI2"},
      {"Output CH3 / Delay=12.5 ms", 7, 0x12, MillisecondsToSamples(12.5f), "12.5 ms"},
      // The ends of the window's controls, in any spelling of the unit.
      {"Output CH4 / Delay=1.4ms", 8, 0x12, MillisecondsToSamples(1.4f), "1.4 ms"},
      {"Output CH1 / Mute gain=0 %", 5, 0x1A, UiValueToWord(ConversionKind::Percent, 0), "0%"},
      {"Features / Mic Exciter HighF=18000 HZ", 14, 0x04, FloatBits(18000.0f), "18000 Hz"},
      // The window writes the reverb time to its copy as well.
      {"Reverb / Reverb A Time=70", 3, 0x0A, UiValueToWord(ConversionKind::Percent, 70), "70%"},
  };
  std::string sets, gets;
  for (const auto& r : rows) {
    sets += std::string(" '") + r.assignment + "'";
    gets += " '" + std::string(r.assignment).substr(0, std::string(r.assignment).find('=')) + "'";
  }

  const test::CliResult set = scratch_.Run("set" + sets + Target());

  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.err.rfind("set 10 parameters on the device: Master controls / Mic Vol = 55%;", 0), 0u) << set.err;
  EXPECT_EQ(std::count(set.err.begin(), set.err.end(), '\n'), 1) << "one line on a pipe: " << set.err;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.assignment);
    EXPECT_EQ(DeviceWord(emulator_, r.block, r.address), r.word);
  }
  EXPECT_EQ(DeviceWord(emulator_, 3, 0x0B), DeviceWord(emulator_, 3, 0x0A)) << "the reverb time's copy";

  const test::CliResult get = scratch_.Run("get" + gets + Target());
  ASSERT_EQ(get.status, 0) << get.err;
  const std::vector<std::string> lines = get.OutLines();
  ASSERT_EQ(lines.size(), std::size(rows));
  EXPECT_EQ(lines[0], "Master controls / Mic Vol = 55%");
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_TRUE(lines[i].ends_with(std::string(" = ") + rows[i].shown)) << lines[i];
}

TEST_F(CliParametersTest, RemoteFilesLoadOnceAndSaveWithOneLineEach) {
  ASSERT_TRUE(emulator_.started);
  std::vector<std::uint8_t> codes(30);
  for (std::size_t i = 0; i < codes.size(); ++i) codes[i] = std::uint8_t(0x30 + i);
  std::ofstream(scratch_.Path("keys.remo"), std::ios::binary).write(reinterpret_cast<const char*>(codes.data()), 30);

  const test::CliResult load = scratch_.Run("remote-load '" + scratch_.Path("keys.remo") + "'" + Target());

  ASSERT_EQ(load.status, 0) << load.err;
  EXPECT_EQ(load.err, "sent the remote codes of " + scratch_.Path("keys.remo") + " to the device\n");
  EXPECT_EQ(emulator_.CountLines("81 63"), 1) << "the table is sent once";
  const auto device = emulator_.sim.RemoteCodes();
  EXPECT_TRUE(std::equal(codes.begin(), codes.end(), device.begin()));

  const test::CliResult save = scratch_.Run("remote-save '" + scratch_.Path("copy.txt") + "'" + Target());
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.err, "saved the remote codes as " + scratch_.Path("copy.remo") + "\n");
}

TEST_F(CliParametersTest, ProgressIsOneUpdatingLineOnATerminalOnly) {
  ASSERT_TRUE(emulator_.started);
  // script(1) gives the program a terminal and keeps what it wrote there.
  const std::string log = scratch_.Path("terminal.txt");
  const std::string read = std::string(DSPTUNE_CLI_PATH) + " read -o " + scratch_.Path("a.mode") + Target();
  ASSERT_EQ(std::system(("script -qec '" + read + "' '" + log + "' >/dev/null 2>&1").c_str()), 0);
  const std::string shown = test::CliScratch::Text(log);
  EXPECT_NE(shown.find("\rreading 100%  chunk 63 of 63"), std::string::npos) << shown;
  // From the first progress text to the result, one line that the progress wipes clean.
  const std::size_t first = shown.find("reading");
  const std::size_t saved = shown.find("saved " + scratch_.Path("a.mode") + "\r\n");
  ASSERT_NE(first, std::string::npos) << shown;
  ASSERT_NE(saved, std::string::npos) << shown;
  EXPECT_EQ(shown.find('\n', first), saved + shown.substr(saved).find('\n')) << shown;
  EXPECT_EQ(shown.substr(saved - 2, 2), " \r") << "the progress is blanked before the result line";

  const test::CliResult quiet = scratch_.Run("read -q -o '" + scratch_.Path("b.mode") + "'" + Target());
  EXPECT_EQ(quiet.err, "saved " + scratch_.Path("b.mode") + "\n");
}

}  // namespace
}  // namespace dsptune
