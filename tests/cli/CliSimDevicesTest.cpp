// A fleet from one emulator program: dsptune-cli writes and verifies a mode file on the
// devices that one dsptune-sim --devices serves, faulty ones among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "files/ModeFile.h"
#include "model/DefaultImage.h"
#include "tests/cli/CliRunner.h"
#include "tests/sim/SimProcess.h"
#include "tools/sim/DeviceSimulator.h"

#ifdef DSPTUNE_SIM_PATH
namespace dsptune {
namespace {

ParameterImageBytes VenueImage() {
  ParameterImageBytes image = DefaultImage();
  image[100] ^= 0x5A;
  image[kImageSize - 2] ^= 0x3C;
  return image;
}

std::string WriteModeFile(const test::CliScratch& scratch, const ParameterImageBytes& image) {
  std::ofstream out(scratch.Path("venue.mode"), std::ios::binary);
  std::vector<char> header(kModeFileHeaderSize, 0);
  header[0] = 20;  // the protocol code; the rest of the identity may stay empty
  out.write(header.data(), std::streamsize(header.size()));
  out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  return scratch.Path("venue.mode");
}

std::string Hosts(const test::SimProcess& sim) {
  std::string hosts;
  for (std::uint16_t port : sim.Ports()) hosts += " --tcp 127.0.0.1:" + std::to_string(port);
  return hosts;
}

// The line of a host: "HOST  result...".
std::string LineOf(const std::vector<std::string>& lines, std::uint16_t port) {
  const std::string host = "127.0.0.1:" + std::to_string(port) + "  ";
  for (const std::string& line : lines)
    if (line.rfind(host, 0) == 0) return line;
  return "";
}

TEST(CliSimDevicesTest, WritesAndVerifiesEveryDeviceOfOneEmulator) {
  constexpr int kDevices = 10;
  const test::CliScratch scratch("dsptune-cli-sim-devices");
  const ParameterImageBytes image = VenueImage();
  const std::string file = WriteModeFile(scratch, image);
  test::SimProcess sim(DSPTUNE_SIM_PATH,
                       {"--devices", std::to_string(kDevices), "--port", "0", "--heartbeat", "200", "--state",
                        scratch.Path("room.state")},
                       kDevices);
  ASSERT_TRUE(sim.Started()) << sim.Output();

  const test::CliResult run =
      scratch.Run("write --verify '" + file + "'" + Hosts(sim) + " --jobs " + std::to_string(kDevices));

  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> lines = run.OutLines();
  ASSERT_EQ(lines.size(), std::size_t(kDevices + 1)) << run.out;
  for (std::uint16_t port : sim.Ports()) {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(LineOf(lines, port).rfind(host + "  ok", 0), 0u) << host << "\n" << run.out;
  }
  EXPECT_EQ(lines.back(), "10 hosts: 10 ok, 0 busy, 0 identity mismatch, 0 timed out, 0 errors");

  // What each device kept, as its state file tells after a clean exit.
  ASSERT_EQ(sim.Stop(), 0);
  for (int k = 1; k <= kDevices; ++k) {
    DeviceOptions options;
    options.statePath = scratch.Path("room.state." + std::to_string(k));
    DeviceSimulator device(options);
    std::string error;
    ASSERT_TRUE(device.OpenFiles(error)) << error;
    EXPECT_TRUE(device.WorkingImage() == image) << "device " << k << " does not hold the file";
  }
}

TEST(CliSimDevicesTest, EachFaultyDeviceGetsItsOwnLine) {
  const test::CliScratch scratch("dsptune-cli-sim-devices-faults");
  const ParameterImageBytes image = VenueImage();
  const std::string file = WriteModeFile(scratch, image);
  test::SimProcess sim(DSPTUNE_SIM_PATH,
                       {"--devices", "4", "--port", "0", "--heartbeat", "200", "--device", "2", "--silent-after", "0",
                        "--device", "3", "--busy", "--device", "4", "--model", "KX900"},
                       4);
  ASSERT_TRUE(sim.Started()) << sim.Output();

  const test::CliResult run =
      scratch.Run("write --verify '" + file + "'" + Hosts(sim) + " --jobs 4 --reply-timeout 300");

  EXPECT_EQ(run.status, 1) << "not every room succeeded\n" << run.out << run.err;
  const std::vector<std::string> lines = run.OutLines();
  ASSERT_EQ(lines.size(), 5u) << run.out;
  const char* results[] = {"ok", "timed out", "busy", "identity mismatch"};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string host = "127.0.0.1:" + std::to_string(sim.Ports()[i]);
    EXPECT_EQ(LineOf(lines, sim.Ports()[i]).rfind(host + "  " + results[i], 0), 0u) << run.out;
  }
  EXPECT_EQ(lines.back(), "4 hosts: 1 ok, 1 busy, 1 identity mismatch, 1 timed out, 0 errors");
}

}  // namespace
}  // namespace dsptune
#endif
