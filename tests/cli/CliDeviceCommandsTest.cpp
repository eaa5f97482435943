// dsptune-cli end to end against the device emulator on loopback: every fault ends in
// its own exit status and one line, a failed read writes no file, a failed write says
// how much of the image reached the device, and a bad argument is refused before any
// connection is made.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "link/CommandSet.h"
#include "link/TransferLedger.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DefaultImage.h"
#include "model/ParameterTable.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct CliRun {
  int status = -1;
  std::string err;
};

class CliDeviceCommandsTest : public ::testing::Test {
 protected:
  CliDeviceCommandsTest() : dir_(fs::temp_directory_path() / ("dsptune-cli-test-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~CliDeviceCommandsTest() override { fs::remove_all(dir_); }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Runs dsptune-cli with args; stdout is discarded, stderr kept.
  CliRun Cli(const std::string& args) const {
    const fs::path err = Path("stderr.txt");
    const std::string command = std::string("'") + DSPTUNE_CLI_PATH + "' " + args + " >/dev/null 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(err);
    run.err.assign(std::istreambuf_iterator<char>(in), {});
    return run;
  }

  static std::string Target(const test::LoopbackEmulator& emulator) {
    return "--tcp 127.0.0.1:" + std::to_string(emulator.net.Port()) + " --reply-timeout 300";
  }

  fs::path dir_;
};

// Differs from the program's defaults in every chunk, so a default chunk in a saved
// file cannot pass for a read one.
ParameterImageBytes DeviceImage() {
  ParameterImageBytes image = DefaultImage();
  for (int i = 0; i < kImageChunkCount; ++i) image[std::size_t(ImageChunkAt(i).offset + i % 5)] ^= 0xA5;
  return image;
}

void LoadIntoDevice(DeviceSimulator& device, const ParameterImageBytes& image) {
  for (int i = 0; i < kImageChunkCount; ++i) {
    const ImageChunk c = ImageChunkAt(i);
    std::vector<std::uint8_t> packet{kCmdWriteImage, std::uint8_t(c.offset >> 8), std::uint8_t(c.offset), c.length};
    packet.insert(packet.end(), image.begin() + c.offset, image.begin() + c.offset + c.length);
    device.HandlePacket(packet);
  }
  device.DropQueuedReplies();
}

std::vector<std::uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Fault {
  std::string name;
  DeviceOptions device;
  ServerOptions server;
  int status;
  std::string says;  // a part of the one line printed on failure
};
void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

Fault Make(std::string name, int status, std::string says, auto&& configure) {
  Fault f{std::move(name), {}, {}, status, std::move(says)};
  f.server.heartbeatInterval = 200ms;
  configure(f.device, f.server);
  return f;
}

// The setup's 63 chunk writes count as commands too.
constexpr int kSetupCommands = kImageChunkCount;
// A read job's commands: identity (4), mode, 63 chunks, settings, remote table.
constexpr int kReadCommands = 4 + 1 + kImageChunkCount + 2;

std::vector<Fault> ReadFaults() {
  using D = DeviceOptions;
  using S = ServerOptions;
  return {
      Make("healthy", 0, "", [](D&, S&) {}),
      Make("drop_every_5", 0, "", [](D& d, S&) { d.dropEvery = 5; }),
      Make("bad_checksum_every_5", 0, "", [](D&, S& s) { s.badChecksumEvery = 5; }),
      Make("parameter_error_after_10", 0, "", [](D& d, S&) { d.parameterErrorAfter = kSetupCommands + 10; }),
      Make("split_bytes", 0, "", [](D&, S& s) { s.splitBytes = true; }),
      Make("stray_bytes", 0, "", [](D&, S& s) { s.strayBytes = true; }),
      // The program acknowledges each Z-Wave frame 20 ms after it came, on its receive
      // thread: about 33 frames a second keeps that thread two-thirds busy.
      Make("zwave_noise", 0, "", [](D&, S& s) { s.zwaveInterval = 30ms; }),
      Make("slow_answers", 0, "", [](D& d, S&) { d.replyLatency = 100ms; }),
      Make("silent", 1, "did not answer", [](D&, S& s) { s.silentAfter = 1ms; }),
      Make("garbled", 1, "garbled", [](D&, S& s) { s.badChecksumEvery = 1; }),
      Make("busy", 3, "device busy: another host is connected", [](D&, S& s) { s.busy = true; }),
      Make("busy_but_answering", 3, "device busy: another host is connected",
           [](D&, S& s) { s.busyAnswering = true; }),
      Make("link_killed", 1, "link to the device was lost", [](D&, S& s) { s.closeAfterCommands = 30; }),
  };
}

class CliReadTest : public CliDeviceCommandsTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(CliReadTest, SavesTheExactImageOrNoFileAtAll) {
  const Fault& fault = GetParam();
  test::LoopbackEmulator emulator(fault.device, fault.server);
  ASSERT_TRUE(emulator.started);
  LoadIntoDevice(emulator.sim, DeviceImage());
  const fs::path out = Path("read.mode");

  const CliRun run = Cli("read -o '" + out.string() + "' " + Target(emulator));

  EXPECT_EQ(run.status, fault.status) << run.err;
  if (fault.status == 0) {
    const std::vector<std::uint8_t> bytes = FileBytes(out);
    ASSERT_EQ(bytes.size(), std::size_t(kModeFileSize)) << run.err;
    const ParameterImageBytes device = DeviceImage();
    EXPECT_TRUE(std::equal(device.begin(), device.end(), bytes.begin() + kModeFileHeaderSize)) << "the file holds the device's image";
  } else {
    EXPECT_FALSE(fs::exists(out)) << "a failed read saved a file";
    EXPECT_NE(run.err.find(fault.says), std::string::npos) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(EmulatorFaults, CliReadTest, ::testing::ValuesIn(ReadFaults()),
                         [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

std::vector<Fault> WriteFaults() {
  using D = DeviceOptions;
  using S = ServerOptions;
  return {
      Make("healthy_verified", 0, "", [](D&, S&) {}),
      Make("drop_every_5", 0, "", [](D& d, S&) { d.dropEvery = 5; }),
      Make("bad_checksum_every_5", 0, "", [](D&, S& s) { s.badChecksumEvery = 5; }),
      Make("zwave_noise", 0, "", [](D&, S& s) { s.zwaveInterval = 30ms; }),
      // The tenth command of the write, chunk 9, is refused once.
      Make("parameter_error_on_chunk_9", 0, "",
           [](D& d, S&) { d.parameterErrorAfter = kSetupCommands + kReadCommands + 10; }),
      Make("link_killed", 1, "link to the device was lost; the device acknowledged",
           [](D&, S& s) { s.closeAfterCommands = kReadCommands + 30; }),
      Make("busy_but_answering", 3, "device busy: another host is connected",
           [](D&, S& s) { s.busyAnswering = true; }),
  };
}

class CliWriteTest : public CliDeviceCommandsTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(CliWriteTest, SaysWrittenOnlyWhenTheDeviceHoldsTheFile) {
  const Fault& fault = GetParam();
  test::LoopbackEmulator emulator(fault.device, fault.server);
  ASSERT_TRUE(emulator.started);
  const fs::path file = Path("write.mode");
  ParameterImageBytes image = DefaultImage();
  image[9 * kImageChunkSize + 1] ^= 0x0F;
  image[kImageSize - 1] ^= 0xF0;
  {
    std::ofstream out(file, std::ios::binary);
    std::vector<std::uint8_t> header(kModeFileHeaderSize, 0);
    header[0] = 20;  // the protocol code, little-endian; the rest of the identity may stay empty
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }

  const CliRun run = Cli("write --verify '" + file.string() + "' " + Target(emulator));

  EXPECT_EQ(run.status, fault.status) << run.err;
  if (fault.status == 0) {
    EXPECT_NE(run.err.find("wrote"), std::string::npos) << run.err;
    EXPECT_TRUE(emulator.sim.WorkingImage() == image) << "the device does not hold the file";
  } else {
    EXPECT_EQ(run.err.find("wrote"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(fault.says), std::string::npos) << run.err;
  }
  if (fault.status == 3) {
    EXPECT_TRUE(emulator.sim.WorkingImage() == DefaultImage()) << "a busy module was written to";
  }
}

// set: a busy module is left alone, and values that went out but could not be read back
// are called sent and not confirmed, not lost.
TEST_F(CliDeviceCommandsTest, SetSaysWhatBecameOfTheValue) {
  const std::uint32_t defaultWord = GetU32(&DefaultImage()[FindRecord(4, 0x0C)->ValueOffset()]);
  const std::uint32_t setWord = UiValueToWord(ConversionKind::Percent, 7);
  struct Row {
    const char* name;
    ServerOptions server;
    int status;
    const char* says;
    std::uint32_t deviceHolds;
  };
  ServerOptions busy, cutAfterTheValue;
  busy.busyAnswering = true;
  cutAfterTheValue.closeAfterCommands = kReadCommands + 1;  // the read, then the value's write
  const Row rows[] = {
      {"busy but answering", busy, 3, "device busy: another host is connected", defaultWord},
      {"confirming read lost", cutAfterTheValue, 1, "sent Master controls / Music Vol = 7%, but not confirmed", setWord},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ServerOptions server = r.server;
    server.heartbeatInterval = 200ms;
    test::LoopbackEmulator emulator({}, server);
    ASSERT_TRUE(emulator.started);
    const CliRun run = Cli("set 'Master controls / Music Vol=7' " + Target(emulator));
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("nothing was saved"), std::string::npos) << run.err;
    EXPECT_EQ(GetU32(&emulator.sim.WorkingImage()[FindRecord(4, 0x0C)->ValueOffset()]), r.deviceHolds);
  }
}

INSTANTIATE_TEST_SUITE_P(EmulatorFaults, CliWriteTest, ::testing::ValuesIn(WriteFaults()),
                         [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

TEST_F(CliDeviceCommandsTest, ArgumentsAreCheckedBeforeAnyConnection) {
  test::LoopbackEmulator emulator;
  ASSERT_TRUE(emulator.started);
  const std::string target = Target(emulator);
  struct Row {
    const char* name;
    std::string args;
    int status;
    const char* says;
  };
  const Row rows[] = {
      {"read without -o", "read " + target, 2, "usage"},
      {"read into a missing folder", "read -o '" + Path("no/such/dir/x.mode").string() + "' " + target, 1, "no such folder"},
      {"write a missing file", "write '" + Path("missing.mode").string() + "' " + target, 1, "no such file"},
      {"write two files", "write a.mode b.mode " + target, 2, "usage"},
      {"remote-load a missing file", "remote-load '" + Path("missing.remo").string() + "' " + target, 1, "no such file"},
      {"info with an argument", "info extra " + target, 2, "no arguments"},
      {"bad reply time-out", "info " + target + " --reply-timeout 0", 2, "--reply-timeout"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const CliRun run = Cli(r.args);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_NE(run.err.find(r.says), std::string::npos) << run.err;
  }
  EXPECT_EQ(emulator.net.ClientsAccepted(), 0) << "a refused command connected to the device";
}

}  // namespace
}  // namespace dsptune
