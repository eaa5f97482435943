#include "model/SettingsMerge.h"

#include <algorithm>
#include <map>
#include <set>

namespace dsptune {
namespace {

// Items of a difference list by their first byte (each item has its own).
std::map<int, const SettingsDifference*> ByOffset(const std::vector<SettingsDifference>& differences) {
  std::map<int, const SettingsDifference*> byOffset;
  for (const SettingsDifference& d : differences) byOffset.emplace(d.offset, &d);
  return byOffset;
}

const SettingsDifference* Find(const std::map<int, const SettingsDifference*>& byOffset, int offset) {
  const auto it = byOffset.find(offset);
  return it == byOffset.end() ? nullptr : it->second;
}

}  // namespace

bool IsQuestion(MergeKind kind) {
  return kind == MergeKind::UserEdit || kind == MergeKind::Conflict || kind == MergeKind::WithoutBase;
}

SettingsMerge MergeSettings(const std::optional<ParameterImageBytes>& base, const ParameterImageBytes& mine,
                            const ParameterImageBytes& theirs) {
  SettingsMerge merge{base, mine, theirs, {}};
  const std::vector<SettingsDifference> apart = DiffSettings(theirs, mine);
  if (!base) {
    for (const SettingsDifference& d : apart) merge.items.push_back({MergeKind::WithoutBase, d, {}, MergeSide::Mine});
    return merge;
  }
  const std::vector<SettingsDifference> mineChanged = DiffSettings(*base, mine);
  const std::vector<SettingsDifference> theirsChanged = DiffSettings(*base, theirs);
  const auto byApart = ByOffset(apart), byMine = ByOffset(mineChanged), byTheirs = ByOffset(theirsChanged);
  // Every offset that appears in any list: the map keeps them in image order.
  std::set<int> offsets;
  for (const auto* list : {&byApart, &byMine, &byTheirs})
    for (const auto& entry : *list) offsets.insert(entry.first);

  for (const int offset : offsets) {
    const SettingsDifference* differs = Find(byApart, offset);
    const SettingsDifference* mineSide = Find(byMine, offset);
    const SettingsDifference* theirSide = Find(byTheirs, offset);
    MergeItem m;
    if (!differs) {
      // Both moved away from the base to the same bytes.
      m.kind = MergeKind::SameChange;
      m.item = *mineSide;
      m.base = mineSide->first;
      m.item.first = mineSide->second;
    } else {
      m.kind = mineSide && theirSide ? MergeKind::Conflict : mineSide ? MergeKind::UserEdit : MergeKind::DeviceChange;
      m.item = *differs;
      m.base = (mineSide ? mineSide : theirSide)->first;
      m.take = m.kind == MergeKind::UserEdit ? MergeSide::Mine : MergeSide::Device;
    }
    merge.items.push_back(std::move(m));
  }
  return merge;
}

ParameterImageBytes MergedSettings(const SettingsMerge& merge) {
  ParameterImageBytes merged = merge.theirs;
  for (const MergeItem& m : merge.items) {
    if (m.take != MergeSide::Mine) continue;
    const auto from = merge.mine.begin() + m.item.offset;
    std::copy(from, from + m.item.length, merged.begin() + m.item.offset);
  }
  return merged;
}

void ChooseForKind(SettingsMerge& merge, MergeKind kind, MergeSide side) {
  for (MergeItem& m : merge.items)
    if (m.kind == kind) m.take = side;
}

}  // namespace dsptune
