// dsptune-cli diff run as a program: between two mode files, and between a mode file and
// the device emulator on loopback.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/EqLayout.h"
#include "model/ParameterTable.h"
#include "model/RecordFormulas.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;

struct DiffRun {
  int status = -1;
  std::vector<std::string> lines;  // stdout
  std::string err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

class CliDiffTest : public ::testing::Test {
 protected:
  CliDiffTest() : dir_(fs::temp_directory_path() / ("dsptune-diff-test-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~CliDiffTest() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Writes a mode file holding `image` and returns its path.
  std::string ModeFile(const std::string& name, const ParameterImageBytes& image) const {
    std::ofstream out(Path(name), std::ios::binary);
    std::vector<char> header(kModeFileHeaderSize, 0);
    header[0] = 20;  // the protocol code; the rest of the identity may stay empty
    out.write(header.data(), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    return Path(name);
  }

  DiffRun Cli(const std::string& args) const {
    const std::string command = std::string("'") + DSPTUNE_CLI_PATH + "' diff " + args + " >'" + Path("out.txt") +
                                "' 2>'" + Path("err.txt") + "'";
    const int raw = std::system(command.c_str());
    DiffRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::istringstream out(ReadText(Path("out.txt")));
    for (std::string line; std::getline(out, line);) run.lines.push_back(line);
    run.err = ReadText(Path("err.txt"));
    return run;
  }

  fs::path dir_;
};

void SetMicVol(ParameterImageBytes& image, int percent) {
  PutU32(&image[FindRecord(1, 0x0E)->ValueOffset()], UiValueToWord(ConversionKind::Percent, percent));
}

TEST_F(CliDiffTest, FileAgainstFile) {
  const auto limiter = CompressorRecordWords(-10.0f, 4.0f, 1.0f, 100.0f);
  const struct {
    const char* name;
    std::function<void(ParameterImageBytes&)> change;
    std::string options;
    int status;
    std::vector<std::string> lines;
  } rows[] = {
      {"equal", [](ParameterImageBytes&) {}, "", 0, {"no differences"}},
      {"equal as csv: the header alone", [](ParameterImageBytes&) {}, "--csv", 0, {"page,item,first,second"}},
      {"a percent and a band",
       [](ParameterImageBytes& image) {
         SetMicVol(image, 55);
         EncodeBandRecordBytes({210, 160, 1414, 1}, &image[std::size_t(EqBandOffset(kEqMicA, 4))]);
       },
       "",
       1,
       {"Mic A EQ / band 5: PEQ 160 Hz +0.0 dB Q 1.414 -> PEQ 160 Hz +6.0 dB Q 1.414",
        "Master controls / Mic Vol: 50% -> 55%"}},
      {"csv quotes values with commas",
       [&](ParameterImageBytes& image) {
         SetMicVol(image, 55);
         for (int i = 0; i < 7; ++i)
           PutU32(&image[FindRecord(5, 0x1B)->ValueOffset() + 4u * unsigned(i)], limiter[std::size_t(i)]);
       },
       "--csv",
       1,
       {"page,item,first,second", "Master controls,Mic Vol,50%,55%",
        "Output CH1,Limiter,\"threshold 0.0 dB, ratio 30.0, attack 1.0 ms, release 100.0 ms\",\"threshold -10.0 dB, "
        "ratio 4.0, attack 1.0 ms, release 100.0 ms\""}},
      {"chinese",
       [](ParameterImageBytes& image) { SetMicVol(image, 55); },
       "--lang zh",
       1,
       {"主控制 / 话筒音量: 50% -> 55%"}},
  };
  const std::string first = ModeFile("a.mode", DefaultImage());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ParameterImageBytes image = DefaultImage();
    row.change(image);
    const DiffRun run = Cli("'" + first + "' '" + ModeFile("b.mode", image) + "' " + row.options);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(run.lines, row.lines);
  }
}

TEST_F(CliDiffTest, BadArgumentsExitTwoBeforeAnyConnection) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port()) + " --reply-timeout 300";
  const std::string a = "'" + ModeFile("a.mode", DefaultImage()) + "'";
  const std::string missing = "'" + Path("missing.mode") + "'";
  const struct {
    const char* name;
    std::string args;
    const char* says;
  } rows[] = {
      {"unknown option", a + " " + a + " --bogus", "--bogus"},
      {"one file, no device", a, "usage"},
      {"three files", a + " " + a + " " + a, "usage"},
      {"bad language", a + " " + a + " --lang fr", "--lang"},
      {"missing file", a + " " + missing, "no such file"},
      {"folder", a + " '" + dir_.string() + "'", "folder"},
      {"not a mode file", a + " '" + ModeFile("short.mode", {}) + "'", "version"},
      {"two files and a device", a + " " + a + target, "usage"},
      {"missing file against a device", missing + target, "no such file"},
      {"device option without its value", a + " --tcp", "--tcp"},
  };
  fs::resize_file(Path("short.mode"), 100);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const DiffRun run = Cli(row.args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
    EXPECT_TRUE(run.lines.empty());
  }
  EXPECT_EQ(emulator.net.ClientsAccepted(), 0) << "a refused diff connected to the device";
}

TEST_F(CliDiffTest, FileAgainstTheDeviceListsWhatTheFileChanged) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  ParameterImageBytes image = DefaultImage();
  SetMicVol(image, 55);

  const DiffRun run = Cli("'" + ModeFile("mine.mode", image) +
                          "' --tcp 127.0.0.1:" + std::to_string(emulator.net.Port()) + " --reply-timeout 300");

  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.lines, std::vector<std::string>{"Master controls / Mic Vol: 55% -> 50%"}) << run.err;
}

}  // namespace
}  // namespace dsptune
