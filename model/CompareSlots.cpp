#include "model/CompareSlots.h"

#include "model/DeviceData.h"

namespace dsptune {
namespace {

const BilingualText kSwitchLabel{"切换 A/B", "Switch A/B"};

}  // namespace

void CompareSlots::Store(int slot) {
  if (slot != kA && slot != kB) return;
  const ParameterImageBytes settings = WorkingSettings();
  std::lock_guard lock(mutex_);
  slots_[slot] = settings;
  has_[slot] = true;
  live_ = slot;
}

bool CompareSlots::Has(int slot) const {
  std::lock_guard lock(mutex_);
  return (slot == kA || slot == kB) && has_[slot];
}

int CompareSlots::LiveSlot() const {
  std::lock_guard lock(mutex_);
  return live_;
}

bool CompareSlots::Switch(EditJournal& journal) {
  const ParameterImageBytes current = WorkingSettings();
  int from = 0, to = 0;
  ParameterImageBytes target{};
  {
    std::lock_guard lock(mutex_);
    if (live_ < 0 || !has_[1 - live_]) return false;
    from = live_;
    to = 1 - live_;
    target = slots_[to];
  }
  // Undoing the switch brings back the earlier slot's settings: that slot is live again.
  auto follow = [this, from, to](bool undone) {
    std::lock_guard lock(mutex_);
    live_ = undone ? from : to;
  };
  if (!journal.ReplaceSettings(current, target, kSwitchLabel, follow)) return false;
  std::lock_guard lock(mutex_);
  slots_[from] = current;
  live_ = to;
  return true;
}

ParameterImageBytes CompareSlots::Settings(int slot) const {
  {
    std::lock_guard lock(mutex_);
    if (slot != kA && slot != kB) return {};
    if (slot != live_) return slots_[slot];
  }
  return WorkingSettings();
}

void CompareSlots::Clear() {
  std::lock_guard lock(mutex_);
  has_[0] = has_[1] = false;
  live_ = -1;
}

CompareSlots& CurrentCompareSlots() { return CurrentDeviceData().Compare(); }

}  // namespace dsptune
