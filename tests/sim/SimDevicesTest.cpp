// dsptune-sim --devices: several emulated devices from one program, each with its own
// port, image, state file and transcript.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/sim/LoopbackClient.h"
#include "tests/sim/SimProcess.h"
#include "tools/sim/DeviceSimulator.h"

namespace dsptune {
namespace {

using test::Bytes;
using test::Client;
using test::Payloads;

constexpr std::uint8_t kOffset = 100;  // an image byte each device holds differently

class Scratch {
 public:
  explicit Scratch(const std::string& name)
      : dir_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~Scratch() { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One request on a connection kept open: a device serves one client at a time and turns
// away a second one that arrives before it has seen the first one go.
Bytes Ask(Client& client, const Bytes& payload) {
  client.received.clear();
  if (!client.Connected() || !client.Send(EncodeFrame(payload)) || !client.ReadFrames(1)) return {};
  return Payloads(client.received).front();
}

// The image byte at kOffset as the device answers it; -1 when it does not.
int ReadByte(Client& client) {
  const Bytes answer = Ask(client, {0x81, 0x30, 0x00, kOffset, 0x01});
  return answer.size() == 6 ? answer[5] : -1;
}

bool WriteByte(Client& client, std::uint8_t value) {
  return Ask(client, {0x81, 0x31, 0x00, kOffset, 0x01, value}) == Bytes{0x81, 0x31};
}

std::uint8_t SavedByte(const std::string& statePath) {
  DeviceOptions options;
  options.statePath = statePath;
  DeviceSimulator device(options);
  std::string error;
  EXPECT_TRUE(device.OpenFiles(error)) << error;
  return device.WorkingImage()[kOffset];
}

TEST(SimDevices, EachDeviceKeepsItsOwnImageStateAndTranscript) {
  const Scratch scratch("dsptune-sim-devices");
  constexpr int kDevices = 3;
  const std::array<std::uint8_t, kDevices> images = {0x11, 0x22, 0x33};
  for (int k = 1; k <= kDevices; ++k) {  // device K starts from its own state file
    DeviceOptions options;
    options.statePath = scratch.Path("room.state." + std::to_string(k));
    DeviceSimulator device(options);
    device.HandlePacket(Bytes{0x31, 0x00, kOffset, 0x01, images[std::size_t(k - 1)]});
    std::string error;
    ASSERT_TRUE(device.SaveStateIfChanged(error)) << error;
  }

  test::SimProcess sim(DSPTUNE_SIM_PATH,
                       {"--devices", "3", "--port", "0", "--heartbeat", "0", "--state", scratch.Path("room.state"),
                        "--transcript", scratch.Path("room.log")},
                       kDevices);
  ASSERT_TRUE(sim.Started()) << sim.Output();
  const std::vector<std::uint16_t> ports = sim.Ports();
  ASSERT_EQ(ports.size(), std::size_t(kDevices));
  EXPECT_EQ(std::set<std::uint16_t>(ports.begin(), ports.end()).size(), ports.size()) << sim.Output();

  std::vector<std::unique_ptr<Client>> clients;
  for (std::uint16_t port : ports) clients.push_back(std::make_unique<Client>(port));
  for (int i = 0; i < kDevices; ++i) EXPECT_EQ(ReadByte(*clients[std::size_t(i)]), images[std::size_t(i)]) << i;
  ASSERT_TRUE(WriteByte(*clients[1], 0x77));
  const std::array<int, kDevices> after = {0x11, 0x77, 0x33};
  for (int i = 0; i < kDevices; ++i) EXPECT_EQ(ReadByte(*clients[std::size_t(i)]), after[std::size_t(i)]) << i;
  clients.clear();

  EXPECT_EQ(sim.Stop(), 0) << "a clean exit saves every state";
  const std::string read = "81 30 00 64 01";
  const std::vector<std::vector<std::string>> transcripts = {
      {read, read}, {read, "81 31 00 64 01 77", read}, {read, read}};
  for (int i = 0; i < kDevices; ++i) {
    const std::string k = std::to_string(i + 1);
    EXPECT_EQ(Lines(scratch.Path("room.log." + k)), transcripts[std::size_t(i)]) << "device " << k;
    EXPECT_EQ(SavedByte(scratch.Path("room.state." + k)), after[std::size_t(i)]) << "device " << k;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch.Path("room.log"))) << "no device writes the bare name";
}

// The model name the device answers; "" when it answers none.
std::string ModelName(Client& client) {
  const Bytes answer = Ask(client, {0x81, 0x80});
  if (answer.size() < 3) return "";
  return std::string(answer.begin() + 2, std::find(answer.begin() + 2, answer.end(), 0));
}

TEST(SimDevices, OptionsAfterDeviceKApplyToThatDeviceOnly) {
  test::SimProcess sim(DSPTUNE_SIM_PATH,
                       {"--devices", "3", "--port", "0", "--heartbeat", "0", "--model", "LQ830", "--device", "2",
                        "--model", "KX900", "--device", "3", "--busy"},
                       3);
  ASSERT_TRUE(sim.Started()) << sim.Output();
  Client first(sim.Ports()[0]), second(sim.Ports()[1]), third(sim.Ports()[2]);
  EXPECT_EQ(ModelName(first), "LQ830");
  EXPECT_EQ(ModelName(second), "KX900");
  ASSERT_TRUE(third.Connected());
  EXPECT_TRUE(third.WaitClosed());
  EXPECT_EQ(third.received, Bytes({'I', 'S', 'C', 'O', 'N', 'N', 'E', 'C', 'T', 'E', 'D'}));
  EXPECT_EQ(ModelName(first), "LQ830") << "the busy device's neighbour still answers";
}

// A port from the kernel whose next `count - 1` neighbours are free as well; 0 when none
// turned up in a few tries.
std::uint16_t FreeConsecutivePorts(int count) {
  auto bindable = [](std::uint16_t port, std::uint16_t* bound) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) == 0;
    if (ok && bound) *bound = ntohs(sa.sin_port);
    if (fd >= 0) ::close(fd);
    return ok;
  };
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::uint16_t base = 0;
    if (!bindable(0, &base) || int(base) + count - 1 > 0xFFFF) continue;
    bool all = true;
    for (int i = 1; i < count && all; ++i) all = bindable(std::uint16_t(base + i), nullptr);
    if (all) return base;
  }
  return 0;
}

TEST(SimDevices, GivenAPortTheDevicesListenOnConsecutivePorts) {
  // Another program may take a probed port before the emulator does: a few tries.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::uint16_t base = FreeConsecutivePorts(4);
    ASSERT_NE(base, 0);
    test::SimProcess sim(DSPTUNE_SIM_PATH, {"--devices", "4", "--port", std::to_string(base), "--heartbeat", "0"}, 4);
    if (!sim.Started()) continue;
    EXPECT_EQ(sim.Ports(), (std::vector<std::uint16_t>{base, std::uint16_t(base + 1), std::uint16_t(base + 2),
                                                        std::uint16_t(base + 3)}));
    Client last(sim.Ports()[3]);
    EXPECT_EQ(ReadByte(last), DeviceSimulator().WorkingImage()[kOffset]);
    return;
  }
  FAIL() << "no run of four consecutive free ports";
}

TEST(SimDevices, AFleetWithAPortTakenDoesNotStartHalfway) {
  const std::uint16_t base = FreeConsecutivePorts(3);
  ASSERT_NE(base, 0);
  // The middle port is taken by another program.
  const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(std::uint16_t(base + 1));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken, reinterpret_cast<const sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(taken, 1), 0);

  test::SimProcess sim(DSPTUNE_SIM_PATH, {"--devices", "3", "--port", std::to_string(base)}, 3,
                       std::chrono::seconds(3));
  EXPECT_FALSE(sim.Started());
  EXPECT_EQ(sim.Output(), "") << "no device is announced unless all of them listen";
  EXPECT_EQ(sim.Stop(), 1);
  ::close(taken);
}

}  // namespace
}  // namespace dsptune
