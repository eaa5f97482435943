// dsptune-cli handed files that are not plain files of their size: each is refused by
// name before the device is contacted, and no run blocks or fills the memory (a FIFO is
// refused before it is opened; the runner stops a run that hangs after a minute).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/BoundedFileRead.h"
#include "files/ModeFile.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> ModeFileOf(std::uint8_t fill) {
  std::vector<std::uint8_t> bytes(kModeFileSize, fill);
  bytes[0] = 20;
  bytes[1] = bytes[2] = bytes[3] = 0;
  return bytes;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

class CliSpecialFilesTest : public ::testing::Test {
 protected:
  CliSpecialFilesTest() : scratch_("dsptune-cli-special") {}
  ~CliSpecialFilesTest() override {
    if (socket_ >= 0) ::close(socket_);
  }

  std::string Fifo(const std::string& name) const {
    const std::string path = scratch_.Path(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
    return path;
  }
  std::string Socket(const std::string& name) {
    const std::string path = scratch_.Path(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return path;
  }

  test::CliScratch scratch_;
  int socket_ = -1;
};

struct Row {
  std::string name, args;
  int status;
  std::string says;
};

void RunRows(const test::CliScratch& scratch, const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const test::CliResult run = scratch.Run(r.args);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
  }
}

TEST_F(CliSpecialFilesTest, SpecialInputsAreRefusedBeforeTheDevice) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port());
  const std::string good = scratch_.Path("good.mode");
  WriteBytes(good, ModeFileOf(0));
  std::vector<std::uint8_t> tail = ModeFileOf(0);
  tail.push_back(0);
  WriteBytes(scratch_.Path("tail.mode"), tail);
  WriteBytes(scratch_.Path("empty.remo"), {});
  WriteBytes(scratch_.Path("junk.remo"), std::vector<std::uint8_t>(200, 'j'));
  WriteBytes(scratch_.Path("long.remo"), std::vector<std::uint8_t>(31, 1));
  WriteBytes(scratch_.Path("filters.txt"), std::vector<std::uint8_t>(kTextFileLimit + 1, ' '));
  const std::string pipe = Quoted(Fifo("pipe.mode"));
  const std::string pipeRemo = Quoted(Fifo("pipe.remo"));
  const std::string fifo = "is a FIFO, not a file";
  const std::vector<Row> rows = {
      {"show a FIFO", "show " + pipe, 1, fifo},
      {"show --json a FIFO", "show --json " + pipe, 1, fifo},
      {"diff a FIFO", "diff " + Quoted(good) + " " + pipe, 2, fifo},
      {"write a FIFO", "write " + pipe + target, 1, fifo},
      {"remote-load a FIFO", "remote-load " + pipeRemo + target, 1, fifo},
      {"eq-import a FIFO", "eq-import " + pipe + " --eq 0 -o " + Quoted(scratch_.Path("o.mode")), 1, fifo},
      {"hosts from a FIFO", "info --hosts " + pipe, 1, fifo},
      {"eq-import /dev/zero", "eq-import /dev/zero --eq 0 -o " + Quoted(scratch_.Path("o.mode")), 1,
       "is a device, not a file"},
      {"hosts over 1 MiB", "info --hosts " + Quoted(scratch_.Path("filters.txt")), 1, "is larger than 1 MiB"},
      {"filters over 1 MiB", "eq-import " + Quoted(scratch_.Path("filters.txt")) + " --eq 0" + target, 1,
       "is larger than 1 MiB"},
      {"show a folder", "show " + Quoted(scratch_.Path("")), 1, "is a folder, not a file"},
      {"show a mode file with trailing data", "show " + Quoted(scratch_.Path("tail.mode")), 1,
       std::string(kModeVersionText)},
      {"write a mode file with trailing data", "write " + Quoted(scratch_.Path("tail.mode")) + target, 1,
       "is 3579 bytes; a mode file is 3578 bytes"},
      {"remote-load an empty file", "remote-load " + Quoted(scratch_.Path("empty.remo")) + target, 1,
       "is empty; a remote file holds 1 to 30 bytes"},
      {"remote-load a text", "remote-load " + Quoted(scratch_.Path("junk.remo")) + target, 1,
       "is 200 bytes; a remote file holds 1 to 30 bytes"},
      {"remote-load trailing data", "remote-load " + Quoted(scratch_.Path("long.remo")) + target, 1,
       "is 31 bytes; a remote file holds 1 to 30 bytes"},
  };
  RunRows(scratch_, rows);
  EXPECT_EQ(emulator.net.ClientsAccepted(), 0) << "a refused command connected to the device";
}

// Saving over a device node, FIFO or socket would put a plain file in its place; each is
// refused by name before the device is read, and left as it was.
TEST_F(CliSpecialFilesTest, OutputsAreOnlyPlainFilesOrNewNames) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = " --tcp 127.0.0.1:" + std::to_string(emulator.net.Port());
  std::vector<std::string> outputs = {Fifo("out.mode"), Socket("sock.mode")};
  // /dev/full is safe here only because it is refused before anything is written; a node
  // of our own stands in for it where this user may make one.
  outputs.push_back("/dev/full");
  if (const std::string node = scratch_.Path("node.mode"); ::mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0)
    outputs.push_back(node);
  std::vector<Row> rows;
  for (const std::string& out : outputs) {
    rows.push_back({"read -o " + out, "read -o " + Quoted(out) + target, 1, "not a file; nothing is written there"});
    rows.push_back({"eq-export -o " + out, "eq-export --eq 0 -o " + Quoted(out), 1, "not a file"});
  }
  rows.push_back({"read -o ''", "read -o ''" + target, 2, "usage"});
  struct stat before {};
  ASSERT_EQ(::stat("/dev/full", &before), 0);
  RunRows(scratch_, rows);
  struct stat after {};
  ASSERT_EQ(::stat("/dev/full", &after), 0);
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_ino, before.st_ino);
  for (const std::string& out : outputs) {
    struct stat st {};
    ASSERT_EQ(::lstat(out.c_str(), &st), 0) << out;
    EXPECT_FALSE(S_ISREG(st.st_mode)) << out << " was replaced by a file";
  }
  EXPECT_EQ(emulator.net.ClientsAccepted(), 0) << "a refused command connected to the device";
}

// Floats that are NaN or infinite (an image of 0xFF bytes) and texts that are not UTF-8
// (a file name of such bytes) are written as JSON can carry them, not a crash.
TEST_F(CliSpecialFilesTest, ShowJsonCarriesNanAndBytesThatAreNotUtf8) {
  const std::string nan = scratch_.Path("ff.mode");
  WriteBytes(nan, ModeFileOf(0xFF));
  const std::string foreign = scratch_.Path("\xff\xfe.mode");
  WriteBytes(foreign, ModeFileOf(0));
  for (const std::string& path : {nan, foreign}) {
    SCOPED_TRACE(path);
    const test::CliResult run = scratch_.Run("show --json " + Quoted(path));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json all = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(all.is_discarded()) << run.out.substr(0, 400);
    int nulls = 0;
    for (const auto& p : all["parameters"]) {
      if (!p.contains("ui_raw")) continue;
      ++nulls;
      EXPECT_TRUE(p["ui_value"].is_null()) << p.dump();
      EXPECT_EQ(p["ui_raw"], "FFFFFFFF") << p.dump();
    }
    if (path == nan) {
      EXPECT_GT(nulls, 0) << "no NaN value met: the fixture no longer tests what it should";
    }
    // Each byte that is not UTF-8 stands for itself: 0xFF is U+00FF.
    if (path == foreign) {
      EXPECT_EQ(all["source"], scratch_.Path("\u00ff\u00fe.mode"));
    }
  }
}

}  // namespace
}  // namespace dsptune
