#pragma once
// The emulator's state file: what the simulated machine keeps across power cycles (the
// current mode, the working image, the four mode slots, the machine settings and the
// remote code table), so a demo device remembers its edits between runs.
#include <array>
#include <string>

#include "tools/sim/DeviceSimulator.h"

namespace dsptune {

struct SimSavedState {
  int currentMode = 0;  // 0..kSimModeSlots-1
  ParameterImageBytes working{};
  std::array<ParameterImageBytes, kSimModeSlots> slots{};
  DeviceSimulator::Settings settings{};
  DeviceSimulator::RemoteTable remote{};
};

enum class SimStateLoad {
  kLoaded,
  kMissing,  // no file yet: the device starts from the factory state
  kFailed,   // unreadable or not a state file; `error` says which
};

// Reads `path` into `state`. On anything but kLoaded, `state` is left as it was.
SimStateLoad LoadSimState(const std::string& path, SimSavedState& state, std::string& error);

// Writes `state` beside `path` and renames it over it, so a crash mid-write leaves the
// old state readable. False (with `error`) when the file could not be written.
bool SaveSimState(const std::string& path, const SimSavedState& state, std::string& error);

}  // namespace dsptune
