// dsptune-cli autoeq run as a program: a fit saved into a mode file touches only its
// equaliser and stores bands the device can hold, the same fit reaches the emulator and
// is confirmed by reading it back, a failing device gets no claim, each bad input is
// named, and --plot draws the three curves.
#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dsp/Biquad.h"
#include "files/ModeFile.h"
#include "link/TransferLedger.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A room as a measurement program exports it: 1/24-octave points 15 Hz..22 kHz, a mode
// peak at 55 Hz (+9 dB), a dip at 130 Hz, a falling top end. `cut` leaves out what lies
// outside lowHz..highHz; `badLine` (1-based, 0 none) is written as garbage.
std::string RoomText(double lowHz = 15, double highHz = 22000, int badLine = 0) {
  std::string text = "* synthetic room\n* Freq(Hz) SPL(dB) Phase(degrees)\n";
  int line = 2;
  for (double f = 15; f <= 22000; f *= std::exp2(1.0 / 24)) {
    if (f < lowHz || f > highHz) continue;
    const auto bump = [f](double centre, double db, double width) {
      return db * std::exp(-std::pow(std::log2(f / centre) / width, 2));
    };
    const double level = 78 + bump(55, 9, 0.25) + bump(130, -6, 0.15) - 1.5 * std::max(0.0, std::log2(f / 4000));
    char row[64];
    std::snprintf(row, sizeof row, "%.3f %.2f %.1f\n", f, level, -30.0);
    ++line;
    text += line == badLine ? "42 dB at 1 kHz\n" : row;
  }
  return text;
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

ParameterImageBytes ImageOf(const std::string& modeFile) {
  ParameterImageBytes image{};
  EXPECT_EQ(ReadModeFileImage(modeFile, image), 1) << modeFile << " does not load";
  return image;
}

// The span of the image that holds EQ eq's band records.
std::pair<std::size_t, std::size_t> EqRecords(int eq) {
  const EqLayout& layout = EqLayoutOf(eq);
  return {std::size_t(layout.recordOffset), std::size_t(layout.recordOffset + layout.recordSlots * kBandRecordSize)};
}

// Every record is of a type, frequency, gain and Q the device takes; cuts only when
// maxBoost is 0.
void ExpectStorableBands(const ParameterImageBytes& image, int eq, int bands, double maxBoostDb) {
  for (int b = 0; b < bands; ++b) {
    SCOPED_TRACE("band " + std::to_string(b + 1));
    const BandRecord r = DecodeBandRecord(&image[std::size_t(EqLayoutOf(eq).recordOffset + b * kBandRecordSize)]);
    EXPECT_TRUE(r.type == kFilterPeq || r.type == kFilterLowShelf || r.type == kFilterHighShelf) << int(r.type);
    EXPECT_GE(r.frequency, 20);
    EXPECT_LE(r.frequency, 20000);
    EXPECT_LE(r.GainDb(), maxBoostDb + 1e-4);
    EXPECT_GE(r.GainDb(), -15.0 - 1e-4);
    EXPECT_GE(r.Q(), 0.1f - 1e-4f);
    EXPECT_LE(r.Q(), r.type == kFilterPeq ? 30.0f : 2.0f);
  }
}

class CliAutoEqTest : public ::testing::Test {
 protected:
  CliAutoEqTest() : scratch_("dsptune-cli-autoeq") { WriteText(Path("room.txt"), RoomText()); }
  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  std::string Quoted(const std::string& name) const { return " '" + Path(name) + "'"; }
  test::CliResult Run(const std::string& args) const { return scratch_.Run(args); }

  test::CliScratch scratch_;
};

TEST_F(CliAutoEqTest, FitsIntoAModeFileAndChangesNothingElse) {
  // A start with another EQ changed, so that "unchanged" is not just "the defaults".
  WriteText(Path("filters.txt"), "Filter 1: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10\n");
  ASSERT_EQ(Run("eq-import" + Quoted("filters.txt") + " --eq 0 -o" + Quoted("a.mode")).status, 0);
  const struct {
    const char* options;
    int eq;
    double maxBoostDb;
    const char* report;  // a word of the report's deviation line, in the language asked for
    bool keepsImportedBand = false;
  } rows[] = {
      {" --eq 7 --range 20-300", kEqCh1, 0.0, "RMS"},
      {" --eq 6 --max-boost 3 --smoothing 1/6 --target house:4,120,-0.5 --lang zh", kEqMusic, 3.0, "均方根"},
      {" --chain CH1 --range 20-300 --bands 4", kEqCh1, 0.0, "Mic A EQ → CH1 EQ"},
      {" --eq 0 --keep-bands --range 20-500", kEqMicA, 0.0, "RMS", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options);
    const test::CliResult run =
        Run("autoeq" + Quoted("room.txt") + row.options + " --in" + Quoted("a.mode") + " -o" + Quoted("b.mode"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(row.report), std::string::npos) << "the report is printed\n" << run.out;
    EXPECT_NE(run.err.find("saved " + Path("b.mode")), std::string::npos) << run.err;

    const ParameterImageBytes before = ImageOf(Path("a.mode")), after = ImageOf(Path("b.mode"));
    const auto [from, to] = EqRecords(row.eq);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + long(from), after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + long(to), before.end(), after.begin() + long(to)));
    EXPECT_FALSE(std::equal(before.begin() + long(from), before.begin() + long(to), after.begin() + long(from)))
        << "the fit set no band";
    if (row.keepsImportedBand) {
      EXPECT_TRUE(std::equal(before.begin() + long(from), before.begin() + long(from) + kBandRecordSize,
                             after.begin() + long(from)))
          << "--keep-bands replaced the imported band";
    }
    // The header (identity) is carried over too.
    const std::string a = test::CliScratch::Text(Path("a.mode")), b = test::CliScratch::Text(Path("b.mode"));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.substr(0, kModeFileHeaderSize), b.substr(0, kModeFileHeaderSize));
    // A channel EQ's bands the output page edits: nine, and the tenth that heads the crossover.
    ExpectStorableBands(after, row.eq, IsChannelEq(row.eq) ? 10 : EqLayoutOf(row.eq).bandsWritten, row.maxBoostDb);
    // The bands leave as a filter set and come back as the same bytes, with nothing held
    // at a limit or rounded on the way: each is in the steps and limits every editor keeps.
    const std::string eq = " --eq " + std::to_string(row.eq);
    ASSERT_EQ(Run("eq-export" + eq + Quoted("b.mode") + " -o" + Quoted("e.txt")).status, 0);
    const test::CliResult back = Run("eq-import" + Quoted("e.txt") + eq + " --in" + Quoted("b.mode") + " -o" + Quoted("c.mode"));
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.err.find("Line "), std::string::npos) << back.err;
    EXPECT_EQ(test::CliScratch::Text(Path("c.mode")), b);
  }
}

TEST_F(CliAutoEqTest, RefusesBadInputNamingIt) {
  WriteText(Path("short.txt"), "20 70\n40 71\n80 72\n");
  WriteText(Path("narrow.txt"), RoomText(200, 8000));
  const std::string out = " -o" + Quoted("never.mode");
  const struct {
    const char* name;
    std::string args;
    int status;
    const char* says;
  } rows[] = {
      {"too few points", Quoted("short.txt") + " --eq 0" + out, 1, "short.txt"},
      {"range not covered", Quoted("narrow.txt") + " --eq 0 --range 20-300" + out, 1, "nothing was saved"},
      {"missing file", Quoted("nope.txt") + " --eq 0" + out, 1, "no such file"},
      {"missing target file", Quoted("room.txt") + " --eq 0 --target" + Quoted("nope.txt") + out, 1, "no such file"},
      {"plot format first", Quoted("nope.txt") + " --eq 0 --plot" + Quoted("fit.jpg") + out, 2, "--plot"},
      {"unknown option", Quoted("room.txt") + " --eq 0 --boost 3" + out, 2, "unknown option '--boost'"},
      {"range upside down", Quoted("room.txt") + " --eq 0 --range 300-20" + out, 2, "--range"},
      {"boost too high", Quoted("room.txt") + " --eq 0 --max-boost 16" + out, 2, "--max-boost"},
      {"smoothing", Quoted("room.txt") + " --eq 0 --smoothing 1/5" + out, 2, "--smoothing"},
      {"bands", Quoted("room.txt") + " --eq 7 --bands 0" + out, 2, "--bands"},
      {"house curve", Quoted("room.txt") + " --eq 0 --target house:6" + out, 2, "--target"},
      {"chain of another EQ", Quoted("room.txt") + " --eq 0 --chain 3" + out, 2, "--chain 3 fits CH3 EQ"},
      {"no output", Quoted("room.txt") + " --eq 0", 2, "usage"},
      {"--in with a device", Quoted("room.txt") + " --eq 0 --in x.mode --tcp 127.0.0.1:9", 2, "usage"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const test::CliResult run = Run("autoeq" + row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("never.mode")));
  }
}

TEST_F(CliAutoEqTest, NamesEachUnreadableLine) {
  WriteText(Path("bad.txt"), RoomText(15, 22000, 40));
  for (const std::string& args : {Quoted("bad.txt") + " --eq 0", Quoted("room.txt") + " --eq 0 --target" + Quoted("bad.txt")}) {
    SCOPED_TRACE(args);
    const test::CliResult run = Run("autoeq" + args + " -o" + Quoted("b.mode"));
    EXPECT_NE(run.err.find(Path("bad.txt") + ": Line 40: "), std::string::npos) << run.err;
    EXPECT_EQ(run.status, 0) << "one line short is still a measurement\n" << run.err;
  }
}

TEST_F(CliAutoEqTest, PlotsMeasurementTargetAndPrediction) {
  for (const char* name : {"fit.svg", "fit.png"}) {
    SCOPED_TRACE(name);
    const test::CliResult run =
        Run("autoeq" + Quoted("room.txt") + " --eq 7 --range 20-500 --plot" + Quoted(name) + " -o" + Quoted("b.mode"));
    if (std::string(name).ends_with(".png") && run.err.find("SVG only") != std::string::npos) {
      EXPECT_EQ(run.status, 2);  // a core-only build: refused before any work
      EXPECT_FALSE(fs::exists(Path(name)));
      continue;
    }
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string picture = test::CliScratch::Text(Path(name));
    if (std::string(name).ends_with(".png")) {
      EXPECT_EQ(picture.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
      EXPECT_GT(picture.size(), 10000u) << "a blank picture";
      continue;
    }
    for (const char* series : {">Measurement<", ">Target<", ">Predicted with the EQ<", "id=\"series-3\"", "fit range"})
      EXPECT_NE(picture.find(series), std::string::npos) << series;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    const bool parsed = XML_Parse(parser, picture.data(), int(picture.size()), 1) == XML_STATUS_OK;
    EXPECT_TRUE(parsed) << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                        << XML_GetCurrentLineNumber(parser);
    XML_ParserFree(parser);
  }
}

TEST_F(CliAutoEqTest, FitsTheDeviceAndConfirmsByReadingBack) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port()) + " --reply-timeout 300";
  ASSERT_EQ(Run("read -o" + Quoted("device.mode") + target).status, 0);
  const std::string fit = "autoeq" + Quoted("room.txt") + " --eq 9 --bands 5 --range 20-1000";
  ASSERT_EQ(Run(fit + " --in" + Quoted("device.mode") + " -o" + Quoted("expected.mode")).status, 0);

  const test::CliResult run = Run(fit + target + " -o" + Quoted("copy.mode"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(" into CH3 EQ of the device"), std::string::npos) << run.err;
  const ParameterImageBytes expected = ImageOf(Path("expected.mode"));
  const ParameterImageBytes device = emulator.sim.WorkingImage();
  const auto [from, to] = EqRecords(kEqCh1 + 2);
  EXPECT_TRUE(std::equal(expected.begin() + long(from), expected.begin() + long(to), device.begin() + long(from)))
      << "the device holds the bands the same fit saves in a file";
  EXPECT_TRUE(ImageOf(Path("copy.mode")) == device) << "-o keeps what the device holds";
}

TEST_F(CliAutoEqTest, AFailingDeviceGetsNoClaim) {
  ServerOptions silent, cut;
  silent.silentAfter = 0ms;
  cut.closeAfterCommands = 4 + 1 + kImageChunkCount + 2 + 3;  // the read, then three band writes
  const struct {
    const char* name;
    ServerOptions server;
    const char* says;
  } rows[] = {{"silent", silent, "did not answer"}, {"link lost while writing", cut, "link to the device was lost"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ServerOptions server = row.server;
    server.heartbeatInterval = 200ms;
    test::LoopbackEmulator emulator({}, server);
    ASSERT_TRUE(emulator.started);
    const test::CliResult run = Run("autoeq" + Quoted("room.txt") + " --eq 0 --tcp 127.0.0.1:" +
                                    std::to_string(emulator.net.Port()) + " --reply-timeout 300 -o" + Quoted("never.mode"));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("of the device"), std::string::npos) << "claimed:\n" << run.err;
    EXPECT_FALSE(fs::exists(Path("never.mode")));
  }
}

}  // namespace
}  // namespace dsptune
