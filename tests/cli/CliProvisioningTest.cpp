// Provisioning many rooms at once: the same mode file written to 20 emulators on loopback,
// some of them faulty, each host in a worker process of its own; read into one file per
// host and diff against several hosts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/DefaultImage.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/LoopbackEmulator.h"

namespace dsptune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ModeFile(const test::CliScratch& scratch, const std::string& name, const ParameterImageBytes& image) {
  std::ofstream out(scratch.Path(name), std::ios::binary);
  std::vector<char> header(kModeFileHeaderSize, 0);
  header[0] = 20;  // the protocol code; the rest of the identity may stay empty
  out.write(header.data(), std::streamsize(header.size()));
  out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  return scratch.Path(name);
}

struct Room {
  std::string fault;   // "" healthy
  std::string result;  // the word its line carries
  std::unique_ptr<test::LoopbackEmulator> emulator;
  std::string host;
};

std::vector<Room> Rooms(int count) {
  std::vector<Room> rooms;
  for (int i = 0; i < count; ++i) {
    Room room;
    DeviceOptions device;
    ServerOptions server;
    server.heartbeatInterval = 200ms;
    room.result = "ok";
    if (i == 3) room.fault = "silent", room.result = "timed out", server.silentAfter = 1ms;
    if (i == 7) room.fault = "busy", room.result = "busy", server.busy = true;
    if (i == 11) room.fault = "wrong model", room.result = "identity mismatch", device.modelName = "KX900";
    if (i == 15) room.fault = "bad checksums", room.result = "error", server.badChecksumEvery = 1;
    room.emulator = std::make_unique<test::LoopbackEmulator>(device, server);
    room.host = (i % 2 ? "localhost:" : "127.0.0.1:") + std::to_string(room.emulator->net.Port());
    rooms.push_back(std::move(room));
  }
  return rooms;
}

// The line of a host: "HOST  result...".
std::string LineOf(const std::vector<std::string>& lines, const std::string& host) {
  for (const std::string& line : lines)
    if (line.rfind(host + "  ", 0) == 0) return line;
  return "";
}

TEST(CliProvisioningTest, WritesTwentyRoomsAndReportsEachOne) {
  const test::CliScratch scratch("dsptune-cli-fleet");
  std::vector<Room> rooms = Rooms(20);
  ParameterImageBytes image = DefaultImage();
  image[100] ^= 0x5A;
  image[kImageSize - 2] ^= 0x3C;
  const std::string file = ModeFile(scratch, "venue.mode", image);
  std::string hosts;
  for (const Room& r : rooms) {
    ASSERT_TRUE(r.emulator->started);
    hosts += " --tcp " + r.host;
  }

  const test::CliResult run = scratch.Run("write '" + file + "'" + hosts + " --jobs 20 --reply-timeout 300");

  EXPECT_EQ(run.status, 1) << "not every room succeeded\n" << run.out << run.err;
  const std::vector<std::string> lines = run.OutLines();
  ASSERT_EQ(lines.size(), rooms.size() + 1) << run.out;
  for (const Room& r : rooms) {
    SCOPED_TRACE(r.host + " " + r.fault);
    const std::string line = LineOf(lines, r.host);
    EXPECT_EQ(line.rfind(r.host + "  " + r.result, 0), 0u) << line;
    if (r.fault.empty()) EXPECT_TRUE(r.emulator->sim.WorkingImage() == image) << "the room does not hold the file";
    else EXPECT_FALSE(r.emulator->sim.WorkingImage() == image);
  }
  EXPECT_EQ(lines.back(), "20 hosts: 16 ok, 1 busy, 1 identity mismatch, 1 timed out, 1 error");
}

TEST(CliProvisioningTest, ReadsOneFilePerHostAndDiffsEach) {
  const test::CliScratch scratch("dsptune-cli-fleet-read");
  std::vector<Room> rooms = Rooms(3);
  ParameterImageBytes changed = DefaultImage();
  changed[FindRecord(1, 0x0E)->ValueOffset() + 3] ^= 0x01;
  std::ofstream(scratch.Path("hosts.txt")) << "# the venue\n" << rooms[0].host << "\n\n" << rooms[1].host << "  # bar\n"
                                          << rooms[2].host << "\n";
  fs::create_directories(scratch.Path("rooms"));

  const test::CliResult read = scratch.Run("read -o '" + scratch.Path("rooms/") + "' --hosts '" +
                                           scratch.Path("hosts.txt") + "' --reply-timeout 300");

  EXPECT_EQ(read.status, 0) << read.out << read.err;
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(scratch.Path("rooms"))) {
    EXPECT_EQ(entry.path().extension(), ".mode");
    EXPECT_EQ(fs::file_size(entry.path()), std::uintmax_t(kModeFileSize));
    ++files;
  }
  EXPECT_EQ(files, rooms.size());
  EXPECT_EQ(read.OutLines().back(), "3 hosts: 3 ok, 0 busy, 0 identity mismatch, 0 timed out, 0 errors");

  // Against the defaults every room is equal; against a changed file each one differs.
  const std::string hostsFile = " --hosts '" + scratch.Path("hosts.txt") + "' --reply-timeout 300";
  EXPECT_EQ(scratch.Run("diff '" + ModeFile(scratch, "same.mode", DefaultImage()) + "'" + hostsFile).status, 0);
  const test::CliResult diff = scratch.Run("diff '" + ModeFile(scratch, "other.mode", changed) + "'" + hostsFile);
  EXPECT_EQ(diff.status, 1);
  const std::vector<std::string> lines = diff.OutLines();
  for (const Room& r : rooms) EXPECT_EQ(LineOf(lines, r.host), r.host + "  differs") << diff.out;
  EXPECT_NE(diff.out.find("    Master controls / Mic Vol: "), std::string::npos) << "each room's differences under it";
  EXPECT_EQ(lines.back(), "3 hosts: 0 ok, 0 busy, 0 identity mismatch, 0 timed out, 0 errors, 3 differ");
}

}  // namespace
}  // namespace dsptune
