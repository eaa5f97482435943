#pragma once
// The device emulator serving on a free loopback port for the length of a test, with
// a way to count what it received.
#include <string>
#include <string_view>
#include <utility>

#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune::test {

struct LoopbackEmulator {
  explicit LoopbackEmulator(DeviceOptions device = {}, ServerOptions server = {})
      : sim(std::move(device)), net(sim, AnyPort(std::move(server))) {
    started = net.Start();
  }
  ~LoopbackEmulator() { net.Stop(); }
  LoopbackEmulator(const LoopbackEmulator&) = delete;
  LoopbackEmulator& operator=(const LoopbackEmulator&) = delete;

  // Received packets whose hex line ("81 05 02 ...") starts with `prefix`.
  int CountLines(std::string_view prefix) const {
    int n = 0;
    for (const std::string& line : sim.Transcript()) n += std::string_view(line).substr(0, prefix.size()) == prefix;
    return n;
  }

  DeviceSimulator sim;
  SimServer net;
  bool started = false;

 private:
  static ServerOptions AnyPort(ServerOptions options) {
    options.port = 0;
    return options;
  }
};

}  // namespace dsptune::test
