// dsptune-cli merge run as a program: three mode files, the merged one written whole with
// MINE's header, or every conflict listed and nothing written.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DefaultImage.h"
#include "model/EqLayout.h"
#include "model/ParameterTable.h"
#include "tests/cli/CliRunner.h"

namespace dsptune {
namespace {

using Change = std::function<void(ParameterImageBytes&)>;

Change Percent(std::uint8_t block, std::uint8_t address, int percent) {
  return [=](ParameterImageBytes& image) {
    PutU32(&image[FindRecord(block, address)->ValueOffset()], UiValueToWord(ConversionKind::Percent, percent));
  };
}
Change MicVol(int percent) { return Percent(1, 0x0E, percent); }
Change MusicVol(int percent) { return Percent(4, 0x0C, percent); }
Change MicABand5Gain(int gainField) {
  return [=](ParameterImageBytes& image) {
    EncodeBandRecordBytes({std::uint16_t(gainField), 160, 1414, 1}, &image[std::size_t(EqBandOffset(kEqMicA, 4))]);
  };
}
Change All(std::vector<Change> changes) {
  return [=](ParameterImageBytes& image) {
    for (const Change& c : changes) c(image);
  };
}

ParameterImageBytes Changed(const Change& change) {
  ParameterImageBytes image = DefaultImage();
  change(image);
  return image;
}

// A mode file's bytes: protocol code 20 and `model` as the model name, then the image.
std::string ModeBytes(const std::string& model, const ParameterImageBytes& image) {
  std::string bytes(kModeFileHeaderSize, '\0');
  bytes[0] = 20;
  bytes.replace(4, model.size(), model);
  bytes.append(image.begin(), image.end());
  return bytes;
}

class CliMergeTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(scratch_.Path(name), std::ios::binary) << bytes;
    return scratch_.Path(name);
  }
  // Runs merge on base (the defaults), mine and theirs into out.mode, which holds
  // "old" beforehand.
  test::CliResult Merge(const Change& mine, const Change& theirs, const std::string& options = "") const {
    const std::string base = Write("base.mode", ModeBytes("BASE", DefaultImage()));
    const std::string m = Write("mine.mode", ModeBytes("MINE", Changed(mine)));
    const std::string t = Write("theirs.mode", ModeBytes("THEIRS", Changed(theirs)));
    Write("out.mode", "old");
    return scratch_.Run("merge '" + base + "' '" + m + "' '" + t + "' -o '" + Out() + "' " + options);
  }
  std::string Out() const { return scratch_.Path("out.mode"); }

  test::CliScratch scratch_{"dsptune-merge-test"};
};

TEST_F(CliMergeTest, WritesTheMergeOrListsEveryConflict) {
  const struct {
    const char* name;
    Change mine, theirs;
    std::string options;
    int status;
    Change merged;                   // when written: applied to the defaults
    std::vector<std::string> lines;  // stdout
  } rows[] = {
      {"edits on both sides, one the same",
       All({MicVol(55), MicABand5Gain(210)}),
       All({MusicVol(37), MicABand5Gain(210)}),
       "",
       0,
       All({MicVol(55), MusicVol(37), MicABand5Gain(210)}),
       {}},
      {"conflicts: nothing written",
       All({MicVol(55), MicABand5Gain(210)}),
       All({MicVol(60), MicABand5Gain(190), MusicVol(37)}),
       "",
       1,
       nullptr,
       {"Mic A EQ / band 5: PEQ 160 Hz +0.0 dB Q 1.414 -> mine PEQ 160 Hz +6.0 dB Q 1.414, theirs PEQ 160 Hz +4.0 dB "
        "Q 1.414",
        "Master controls / Mic Vol: 50% -> mine 55%, theirs 60%"}},
      {"--prefer mine",
       All({MicVol(55), MicABand5Gain(210)}),
       All({MicVol(60), MicABand5Gain(190), MusicVol(37)}),
       "--prefer mine",
       0,
       All({MicVol(55), MicABand5Gain(210), MusicVol(37)}),
       {}},
      {"--prefer theirs",
       All({MicVol(55), MicABand5Gain(210)}),
       All({MicVol(60), MicABand5Gain(190), MusicVol(37)}),
       "--prefer=theirs",
       0,
       All({MicVol(60), MicABand5Gain(190), MusicVol(37)}),
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const test::CliResult run = Merge(row.mine, row.theirs, row.options);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(run.OutLines(), row.lines);
    const std::string written = test::CliScratch::Text(Out());
    if (row.merged) EXPECT_TRUE(written == ModeBytes("MINE", Changed(row.merged))) << run.err;
    else EXPECT_EQ(written, "old");
  }
}

TEST_F(CliMergeTest, UsageErrorsWriteNothing) {
  const std::string base = Write("base.mode", ModeBytes("BASE", DefaultImage()));
  const std::string q = "'" + base + "' ";
  const std::string out = " -o '" + Out() + "'";
  for (const std::string& args : {q + q + q,                              // no -o
                                  q + q + out,                            // two files
                                  q + q + q + out + " --prefer both",     // an unknown side
                                  q + q + q + out + " --csv",             // an option merge does not take
                                  q + q + "'" + scratch_.Path("none.mode") + "'" + out}) {
    SCOPED_TRACE(args);
    Write("out.mode", "old");
    const test::CliResult run = scratch_.Run("merge " + args);
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(test::CliScratch::Text(Out()), "old");
  }
}

}  // namespace
}  // namespace dsptune
