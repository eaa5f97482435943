#include "tools/sim/SimFleet.h"

#include <algorithm>
#include <utility>

namespace dsptune {

std::string SimFleet::DeviceFilePath(const std::string& path, int index, int count) {
  if (path.empty() || count <= 1) return path;
  return path + "." + std::to_string(index + 1);
}

bool SimFleet::PortsFit(std::uint16_t first, int count) { return first == 0 || int(first) + count - 1 <= 0xFFFF; }

SimFleet::SimFleet(FleetOptions options) : portsFit_(PortsFit(options.server.port, options.devices)) {
  const int count = std::clamp(options.devices, 1, kSimMaxDevices);
  devices_.reserve(std::size_t(count));
  for (int i = 0; i < count; ++i) {
    DeviceOptions device = options.device;
    device.statePath = DeviceFilePath(options.device.statePath, i, count);
    device.transcriptPath = DeviceFilePath(options.device.transcriptPath, i, count);
    ServerOptions server = options.server;
    // A base too close to the top of the range is refused by Start, not wrapped around.
    if (server.port != 0) server.port = std::uint16_t(std::min(int(server.port) + i, 0xFFFF));
    if (options.adjust) options.adjust(i, device, server);
    Member member;
    member.device = std::make_unique<DeviceSimulator>(std::move(device));
    member.server = std::make_unique<SimServer>(*member.device, std::move(server));
    devices_.push_back(std::move(member));
  }
}

SimFleet::~SimFleet() { Stop(); }

bool SimFleet::Start(std::string& error) {
  if (!portsFit_) {
    error = "the ports of " + std::to_string(devices_.size()) + " devices run past 65535";
    return false;
  }
  for (Member& m : devices_) {
    if (!m.device->OpenFiles(error)) return false;
  }
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (!devices_[i].server->Start()) {
      error = devices_[i].server->LastError();
      if (devices_.size() > 1) error = "device " + std::to_string(i + 1) + ": " + error;
      Stop();
      return false;
    }
  }
  return true;
}

void SimFleet::Stop() {
  for (Member& m : devices_) m.server->RequestStop();
  for (Member& m : devices_) m.server->Stop();
}

std::uint16_t SimFleet::Port(std::size_t index) const { return devices_.at(index).server->Port(); }
DeviceSimulator& SimFleet::Device(std::size_t index) { return *devices_.at(index).device; }
SimServer& SimFleet::Server(std::size_t index) { return *devices_.at(index).server; }

bool SimFleet::SaveStatesIfChanged(std::string& error) {
  bool ok = true;
  for (Member& m : devices_) ok = m.device->SaveStateIfChanged(error) && ok;
  return ok;
}

}  // namespace dsptune
