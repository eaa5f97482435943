#pragma once
// The device keeps four modes (M1..M4, slots 0..3). These commands move the current
// settings into a slot or make the device take one; every slot given is clamped to 0..3.
// They update the link's current mode and changed flag as the device will see them.
#include <chrono>

namespace dsptune {

inline constexpr int kModeSlots = 4;
inline constexpr std::chrono::milliseconds kSelectToStorePause{20};

int ClampModeSlot(int slot);

// Clears the changed flag, makes the slot current and sends "store into mode" (0x04).
void SaveIntoDeviceMode(int slot);

// After a mode file named for a slot was written to the device: makes the slot current,
// sends "select mode" (0x03), waits kSelectToStorePause and sends "store into mode".
void SelectAndStoreMode(int slot);

// Clears the status block, pauses status polling (the following read job resumes it),
// waits `settle`, makes the slot current and sends `command` (0x05 load or 0x06 factory
// restore) with it. The device answers by sending the slot's parameters, which starts
// the read job.
void RequestModeReload(unsigned char command, int slot, std::chrono::milliseconds settle);

}  // namespace dsptune
