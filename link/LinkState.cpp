#include "link/LinkState.h"

#include <algorithm>
#include <memory>

#include "link/CommandSet.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

// The model's writes become device commands through the current link.
class LinkDeviceWriter final : public DeviceWriter {
 public:
  void SendDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) override {
    SendDspRecordCommand(block, address, values);
  }
  void SendLiveBytes(std::uint16_t offset, std::span<const std::uint8_t> bytes) override {
    SendOffsetWrite(kCmdWriteLive, offset, bytes);
  }
  void SetCoalescingAllowed(bool allowed) override { CurrentLink().coalescingAllowed = allowed; }
  // A closed link drops every write (link/CommandSet.cpp).
  bool Delivers() const override {
    const LinkState& link = CurrentLink();
    return link.connected && link.transport.load() != nullptr;
  }
};

LinkDeviceWriter& Writer() {
  static LinkDeviceWriter writer;
  return writer;
}

std::unique_ptr<LinkState>& LinkSlot() {
  static std::unique_ptr<LinkState> link;
  return link;
}

// Runs f on the current link's device answers under their lock.
template <typename F>
auto WithData(F&& f) {
  LinkState& l = CurrentLink();
  std::lock_guard lock(l.dataMutex);
  return f(l);
}

}  // namespace

LinkState::LinkState() {
  // Until the device has been read, the volume limits count as unlimited.
  deviceSettings[5] = 99;
  deviceSettings[6] = 99;
}

LinkState& CurrentLink() {
  auto& slot = LinkSlot();
  if (!slot) {
    slot = std::make_unique<LinkState>();
    SetDeviceWriter(&Writer());
    SetCoefficientWriter(&Writer());
  }
  return *slot;
}

void ResetLinkState() {
  LinkSlot() = std::make_unique<LinkState>();
  SetDeviceWriter(&Writer());
  SetCoefficientWriter(&Writer());
}

StatusBlock StatusBlockSnapshot() {
  return WithData([](LinkState& l) { return l.statusBlock; });
}
void ClearStatusBlock() {
  WithData([](LinkState& l) { l.statusBlock.fill(0); });
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
