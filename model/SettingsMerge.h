#pragma once
// Three sets of settings brought together item by item: what the device last confirmed
// (the base), the working settings (mine) and what the device holds now (theirs).
//
// An item is one of SettingsDiff's items (a DSP record, a band slot, a live record, a
// group of other bytes), so a merge never splits a value. Comparing each side with the
// base tells who changed an item since the device last confirmed it:
//
//   mine changed, theirs not     UserEdit      a question; mine unless the user says no
//   theirs changed, mine not     DeviceChange  taken from the device, listed for information
//   both changed, to different   Conflict      a question; the device's unless the user says so
//   both changed, to the same    SameChange    nothing to do
//
// Without a base nobody can tell who changed what: every difference is a WithoutBase
// question. The working settings carry the mark of unsent edits whenever a merge runs,
// so such a row starts as mine, as every difference did before a base was kept.
//
// Used by the reconcile step after a reconnect and by the command line's merge.
#include <optional>
#include <vector>

#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"

namespace dsptune {

enum class MergeKind { UserEdit, DeviceChange, Conflict, SameChange, WithoutBase };
enum class MergeSide { Mine, Device };

struct MergeItem {
  MergeKind kind = MergeKind::WithoutBase;
  // Where and what: first = the device's value, second = mine (for SameChange both hold
  // the same value).
  SettingsDifference item;
  BilingualText base;  // the value the device last confirmed; empty without a base
  MergeSide take = MergeSide::Device;  // the side the merged settings hold for this item
};

struct SettingsMerge {
  std::optional<ParameterImageBytes> base;
  ParameterImageBytes mine{}, theirs{};
  // Every item that differs between any two of the three, in image order.
  std::vector<MergeItem> items;
};

// Classifies every item and sets each one's `take` to its default: mine for UserEdit
// and WithoutBase, the device's for everything else.
SettingsMerge MergeSettings(const std::optional<ParameterImageBytes>& base, const ParameterImageBytes& mine,
                            const ParameterImageBytes& theirs);

// Whether the user decides the item (UserEdit, Conflict, WithoutBase).
bool IsQuestion(MergeKind kind);

// The device's settings with mine put in wherever an item's `take` says so.
ParameterImageBytes MergedSettings(const SettingsMerge& merge);

// Sets `take` of every item of `kind`: the command line's --prefer for conflicts.
void ChooseForKind(SettingsMerge& merge, MergeKind kind, MergeSide side);

}  // namespace dsptune
