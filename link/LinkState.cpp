#include "link/LinkState.h"

#include <algorithm>
#include <utility>

#include "link/DeviceSession.h"

namespace dsptune {
namespace {

// Runs f on a link's device answers under their lock.
template <typename F>
auto WithData(LinkState& l, F&& f) {
  std::lock_guard lock(l.dataMutex);
  return f(l);
}

// The same on the current session's link.
template <typename F>
auto WithData(F&& f) {
  return WithData(CurrentLink(), std::forward<F>(f));
}

}  // namespace

LinkState::LinkState() {
  // Until the device has been read, the volume limits count as unlimited.
  deviceSettings[5] = 99;
  deviceSettings[6] = 99;
}

LinkState& CurrentLink() { return CurrentSession().Link(); }

void ResetLinkState() { CurrentSession().ResetLink(); }

StatusBlock StatusBlockSnapshot() {
  return WithData([](LinkState& l) { return l.statusBlock; });
}
void ClearStatusBlock() { ClearStatusBlock(CurrentLink()); }
void ClearStatusBlock(LinkState& link) {
  WithData(link, [](LinkState& l) { l.statusBlock.fill(0); });
}
MachineSettings DeviceSettingsSnapshot() {
  return WithData([](LinkState& l) { return l.deviceSettings; });
}
MachineSettings EditedSettingsSnapshot() {
  return WithData([](LinkState& l) { return l.editedSettings; });
}
void SetEditedSettings(const MachineSettings& settings) {
  WithData([&](LinkState& l) { l.editedSettings = settings; });
}
RemoteCodeTable RemoteTableSnapshot() {
  return WithData([](LinkState& l) { return l.remoteTable; });
}
void SetRemoteTable(const RemoteCodeTable& table) {
  WithData([&](LinkState& l) {
    l.remoteTable = table;
    l.remoteKnown.set();
  });
}
void ForgetRemoteTable() {
  WithData([](LinkState& l) {
    l.remoteTable.fill(0);
    l.remoteKnown.reset();
  });
}
void MarkRemoteTableKnown() {
  WithData([](LinkState& l) { l.remoteKnown.set(); });
}
std::vector<int> UnknownRemoteKeys(int fromKey) {
  const RemoteKnownBytes known = WithData([](LinkState& l) { return l.remoteKnown; });
  std::vector<int> keys;
  for (int key = std::max(fromKey, kFirstRemoteKey); key <= kLastRemoteKey; ++key)
    if (!known.test(std::size_t(key))) keys.push_back(key);
  return keys;
}

}  // namespace dsptune
