#pragma once
// Two stored settings to compare by ear. Storing takes the working settings; switching
// first stores the working settings into the live slot (editing while A is live changes
// A), then brings the settings to the other slot's through the planner, as one step of
// the history.
#include <mutex>

#include "model/EditJournal.h"
#include "model/ParameterImage.h"

namespace dsptune {

class CompareSlots {
 public:
  static constexpr int kA = 0, kB = 1;
  void Store(int slot);
  bool Has(int slot) const;
  // -1 before anything was stored or switched.
  int LiveSlot() const;
  // False (nothing sent) unless the other slot holds settings. Undoing the switch makes
  // the earlier slot live again, so these slots must outlive the journal's steps.
  bool Switch(EditJournal& journal = CurrentJournal());
  // The settings a slot holds (the working settings for the live one).
  ParameterImageBytes Settings(int slot) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  ParameterImageBytes slots_[2]{};
  bool has_[2]{false, false};
  int live_ = -1;
};

// The current device's A/B slots (DeviceData::Compare).
CompareSlots& CurrentCompareSlots();

}  // namespace dsptune
