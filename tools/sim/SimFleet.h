#pragma once
// Several emulated devices served from one process, so a test or a benchmark of many
// rooms starts one program instead of one per room. Every device is a DeviceSimulator of
// its own behind a SimServer of its own (its own thread, port, state file and
// transcript); they share nothing but the options they were made from.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/sim/DeviceSimulator.h"
#include "tools/sim/SimServer.h"

namespace dsptune {

inline constexpr int kSimMaxDevices = 256;

struct FleetOptions {
  int devices = 1;  // 1..kSimMaxDevices
  // Applied to every device. server.port is the first device's port and the others
  // follow it one by one; 0 gives each device a free port of its own. With more than one
  // device, device.statePath and device.transcriptPath name one file per device (see
  // DeviceFilePath).
  DeviceOptions device;
  ServerOptions server;
  // Called for each device (0-based index) once its options above are worked out, to
  // give it options of its own (a fault, another model). May be empty.
  std::function<void(int index, DeviceOptions& device, ServerOptions& server)> adjust;
};

class SimFleet {
 public:
  explicit SimFleet(FleetOptions options);
  ~SimFleet();  // Stop()
  SimFleet(const SimFleet&) = delete;
  SimFleet& operator=(const SimFleet&) = delete;

  // Opens every device's files, then binds and starts every server. On the first
  // failure everything started so far is stopped again and `error` names the device.
  bool Start(std::string& error);
  void Stop();

  std::size_t Size() const { return devices_.size(); }
  std::uint16_t Port(std::size_t index) const;
  DeviceSimulator& Device(std::size_t index);
  SimServer& Server(std::size_t index);

  // Saves every device's state that changed. True when all saves succeeded; `error`
  // holds the last failure.
  bool SaveStatesIfChanged(std::string& error);

  // The file of device `index` (0-based) out of `count`: the path itself for a single
  // device, "PATH.K" with K = index + 1 for several; empty stays empty.
  static std::string DeviceFilePath(const std::string& path, int index, int count);
  // False when `count` consecutive ports from `first` would pass 65535 (0: free ports).
  static bool PortsFit(std::uint16_t first, int count);

 private:
  struct Member {
    std::unique_ptr<DeviceSimulator> device;
    std::unique_ptr<SimServer> server;
  };
  const bool portsFit_;
  std::vector<Member> devices_;
};

}  // namespace dsptune
