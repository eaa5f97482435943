// A fleet from one emulator program: dsptune-cli writes and verifies a mode file on ten
// devices that one dsptune-sim --devices serves.
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

TEST(CliSimDevicesTest, WritesAndVerifiesEveryDeviceOfOneEmulator) {
  constexpr int kDevices = 10;
  const test::CliScratch scratch("dsptune-cli-sim-devices");
  ParameterImageBytes image = DefaultImage();
  image[100] ^= 0x5A;
  image[kImageSize - 2] ^= 0x3C;
  {
    std::ofstream out(scratch.Path("venue.mode"), std::ios::binary);
    std::vector<char> header(kModeFileHeaderSize, 0);
    header[0] = 20;  // the protocol code; the rest of the identity may stay empty
    out.write(header.data(), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
  }
  test::SimProcess sim(DSPTUNE_SIM_PATH,
                       {"--devices", std::to_string(kDevices), "--port", "0", "--heartbeat", "200", "--state",
                        scratch.Path("room.state")},
                       kDevices);
  ASSERT_TRUE(sim.Started()) << sim.Output();
  std::string hosts;
  for (std::uint16_t port : sim.Ports()) hosts += " --tcp 127.0.0.1:" + std::to_string(port);

  const test::CliResult run = scratch.Run("write --verify '" + scratch.Path("venue.mode") + "'" + hosts +
                                          " --jobs " + std::to_string(kDevices));

  EXPECT_EQ(run.status, 0) << run.out << run.err;
  const std::vector<std::string> lines = run.OutLines();
  ASSERT_EQ(lines.size(), std::size_t(kDevices + 1)) << run.out;
  for (std::uint16_t port : sim.Ports()) {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(host + "  ok", 0) == 0; }),
              1)
        << host << "\n" << run.out;
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

}  // namespace
}  // namespace dsptune
#endif
