#include "link/ModeSlots.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#include "link/CommandSet.h"
#include "link/LinkState.h"

namespace dsptune {

int ClampModeSlot(int slot) { return std::clamp(slot, 0, kModeSlots - 1); }

void SaveIntoDeviceMode(int slot) {
  LinkState& link = CurrentLink();
  const int mode = ClampModeSlot(slot);
  link.changedFlag = false;
  link.currentMode = mode;
  SendCommand({kCmdStoreMode, std::uint8_t(mode)});
}

void SelectAndStoreMode(int slot) {
  const int mode = ClampModeSlot(slot);
  CurrentLink().currentMode = mode;
  SendCommand({kCmdSelectMode, std::uint8_t(mode)});
  std::this_thread::sleep_for(kSelectToStorePause);
  SendCommand({kCmdStoreMode, std::uint8_t(mode)});
}

void RequestModeReload(unsigned char command, int slot, std::chrono::milliseconds settle) {
  LinkState& link = CurrentLink();
  ClearStatusBlock();
  link.statusPollingAllowed = false;
  // Status answers already under way must arrive before the reload starts.
  std::this_thread::sleep_for(settle);
  const int mode = ClampModeSlot(slot);
  link.currentMode = mode;
  SendCommand({command, std::uint8_t(mode)});
}

}  // namespace dsptune
