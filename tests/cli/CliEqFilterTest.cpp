// dsptune-cli eq-import, eq-export and response --chain run as a program: on mode files,
// and against the device emulator on loopback.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

constexpr const char* kFilters =
    "Filter Settings file\r\n"
    "Preamp: -6 dB\r\n"
    "Filter  1: ON  PK   Fc  125 Hz  Gain -4.5 dB  Q 2.10\r\n"
    "Filter  2: ON  HS   Fc 6000 Hz  Gain 18 dB  Q 0.7\r\n"
    "Filter  3: ON  BP   Fc 1000 Hz  Q 1\r\n";

class CliEqFilterTest : public ::testing::Test {
 protected:
  CliEqFilterTest() : dir_(fs::temp_directory_path() / ("dsptune-eqfilter-test-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
    std::ofstream(Path("filters.txt"), std::ios::binary) << kFilters;
  }
  ~CliEqFilterTest() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  CliRun Cli(const std::string& args) const {
    const std::string command = std::string("'") + DSPTUNE_CLI_PATH + "' " + args + " >'" + Path("out.txt") + "' 2>'" +
                                Path("err.txt") + "'";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(Path("out.txt")), ReadText(Path("err.txt"))};
  }

  BandRecord Band(const std::string& modeFile, int eq, int band) const {
    ParameterImageBytes image{};
    EXPECT_EQ(ReadModeFileImage(modeFile, image), 1);
    return DecodeBandRecord(&image[std::size_t(EqBandOffset(eq, band))]);
  }

  fs::path dir_;
};

TEST_F(CliEqFilterTest, ImportsIntoAModeFileAndReportsEachLine) {
  const struct {
    int eq;
    int bands;  // the bands an import fills
  } rows[] = {{kEqMicA, 15}, {kEqCh1 + 2, 9}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.eq);
    const CliRun run = Cli("eq-import '" + Path("filters.txt") + "' --eq " + std::to_string(row.eq) + " -o '" +
                        Path("b.mode") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string f = Path("filters.txt") + ": ";
    EXPECT_NE(run.err.find(f + "Line 2: preamp -6.0 dB not applied\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(f + "Line 4: gain 18.0 dB held at 15.0 dB\n"), std::string::npos);
    EXPECT_NE(run.err.find(f + "Line 5: filter type \"BP\" is not one the device runs; skipped\n"), std::string::npos);
    const BandRecord peak = Band(Path("b.mode"), row.eq, 0);
    EXPECT_EQ(peak.frequency, 125);
    EXPECT_EQ(peak.gainField, 105);
    EXPECT_EQ(peak.qField, 2100);
    EXPECT_EQ(Band(Path("b.mode"), row.eq, 1).type, 5);
    EXPECT_EQ(Band(Path("b.mode"), row.eq, 1).gainField, 300);
    EXPECT_EQ(Band(Path("b.mode"), row.eq, row.bands - 1).gainField, 150);

    // The export imports back into the very same file.
    ASSERT_EQ(Cli("eq-export --eq " + std::to_string(row.eq) + " '" + Path("b.mode") + "' -o '" + Path("e.txt") + "'")
                  .status,
              0);
    ASSERT_EQ(Cli("eq-import '" + Path("e.txt") + "' --eq " + std::to_string(row.eq) + " --in '" + Path("b.mode") +
                  "' -o '" + Path("c.mode") + "'")
                  .status,
              0);
    EXPECT_EQ(ReadText(Path("b.mode")), ReadText(Path("c.mode")));
  }
}

TEST_F(CliEqFilterTest, RefusesBeforeWritingAnything) {
  std::ofstream(Path("empty.txt")) << "Filter 1: OFF PK Fc 100 Hz Gain 3 dB Q 1\nFilter 2: ON PK Fc 1k Hz Gain 1 dB Q 1\n";
  const std::string out = " -o '" + Path("never.mode") + "'";
  const struct {
    const char* name;
    std::string args;
    int status;
    const char* says;
  } rows[] = {
      {"no usable filter", "eq-import '" + Path("empty.txt") + "' --eq 0" + out, 1,
       "Line 2: cannot read this line: Filter 2: ON PK Fc 1k Hz Gain 1 dB Q 1"},
      {"no output", "eq-import '" + Path("filters.txt") + "' --eq 0", 2, "usage"},
      {"EQ out of range", "eq-import '" + Path("filters.txt") + "' --eq 16" + out, 2, "usage"},
      {"missing filter file", "eq-import '" + Path("nope.txt") + "' --eq 0" + out, 1, "no such file"},
      {"--in with a device", "eq-import '" + Path("filters.txt") + "' --eq 0 --in x.mode --tcp 127.0.0.1:9", 2, "usage"},
      {"bad chain", "response --chain CH9", 2, "usage"},
      {"bad source", "response --chain 3 --source dvd", 2, "--source"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const CliRun run = Cli(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("never.mode")));
  }
}

TEST_F(CliEqFilterTest, ChainResponseFollowsTheSourcePath) {
  ASSERT_EQ(Cli("eq-import '" + Path("filters.txt") + "' --eq 0 -o '" + Path("b.mode") + "'").status, 0);
  const struct {
    std::string options;
    const char* chain;
    double at125Hz;  // the imported peak is in Mic A EQ only
  } rows[] = {
      {" --source mic-a", "chain: Mic A EQ → CH3 EQ", -4.5},
      {" --source music", "chain: Music EQ → CH3 EQ", 0.0},
      {"", "chain: Mic A EQ → CH3 EQ", -4.5},  // the default mix: direct as loud as music
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options);
    const CliRun run = Cli("response --chain CH3" + row.options + " '" + Path("b.mode") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(row.chain), std::string::npos) << run.err;
    std::istringstream csv(run.out);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frequency_hz,db");
    int count = 0;
    double nearest = 1e9, db = 0;
    for (double f = 0, v = 0; std::getline(csv, line); ++count) {
      ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf", &f, &v), 2) << line;
      if (std::abs(f - 125) < nearest) nearest = std::abs(f - 125), db = v;
    }
    EXPECT_EQ(count, 512);
    EXPECT_NEAR(db, row.at125Hz, 0.15);
  }
}

TEST_F(CliEqFilterTest, ImportsIntoTheDeviceAndExportsItBack) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port()) + " --reply-timeout 300";
  const CliRun import = Cli("eq-import '" + Path("filters.txt") + "' --eq 9" + target);
  ASSERT_EQ(import.status, 0) << import.err;
  EXPECT_NE(import.err.find("imported 2 filters into CH3 EQ of the device"), std::string::npos) << import.err;
  // Every band goes as a normal band edit: coefficients (0x09 to CH3's block 7) and record (0x85).
  EXPECT_EQ(emulator.CountLines("81 09 00 07"), 9);

  const CliRun exported = Cli("eq-export --eq 9" + target);
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(exported.out.find("Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.100\n"), std::string::npos) << exported.out;
  EXPECT_NE(exported.out.find("Filter 2: ON HSC Fc 6000 Hz Gain 15.0 dB Q 0.700\n"), std::string::npos);
  EXPECT_NE(exported.out.find("Filter 9: ON PK Fc 8000 Hz Gain 0.0 dB Q 1.410\n"), std::string::npos);
  // The tenth band, which the output page edits, is in the set too.
  EXPECT_NE(exported.out.find("Filter 10: ON PK Fc 16000 Hz Gain 0.0 dB Q 1.414\n"), std::string::npos) << exported.out;
}

}  // namespace
}  // namespace dsptune
