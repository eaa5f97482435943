#pragma once
// The fewest frames that bring a device from one set of settings to another, sent
// through the model's normal write paths (a record as its DSP write, a band as its
// coefficient write plus its band record, live settings as live-block writes).
#include <vector>

#include "model/SettingsDiff.h"

namespace dsptune {

// Frames a whole-image write job takes (63 image chunks and the end-of-write).
inline constexpr int kFullWriteFrames = 64;

struct WritePlan {
  std::vector<SettingsDifference> items;  // what will be written, in image order
  int frames = 0;                         // frames the item writes take
  // True when some difference has no write of its own (OtherBytes) or when the item
  // writes would take at least as many frames as a full write job: then the caller
  // sends the target with a write job instead.
  bool fullWriteCheaper = false;
};

// Plans the writes that turn settings `from` into settings `to`.
WritePlan PlanWrites(const ParameterImageBytes& from, const ParameterImageBytes& to);

// Sends each planned item's value from `to` through the normal write paths, then leaves
// the model holding `to` exactly (image, live block, UI values and editor values, as a
// file load would). Does not look at fullWriteCheaper: the caller chooses.
void SendPlan(const WritePlan& plan, const ParameterImageBytes& to);

// Makes the model hold `settings` exactly (image, the whole live block, UI and editor
// values) without sending anything: the end of SendPlan, and the way to take settings
// the device already holds.
void LoadSettings(const ParameterImageBytes& settings);

}  // namespace dsptune
