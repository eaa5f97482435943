#include "link/DeviceSession.h"

#include <atomic>

#include "link/CommandSet.h"
#include "link/SyncJobs.h"
#include "model/DebugLog.h"

namespace dsptune {
namespace {

std::atomic<DeviceSession*>& CurrentSlot() {
  static std::atomic<DeviceSession*> current{nullptr};
  return current;
}

DeviceSession& DefaultSession() {
  static DeviceSession session(CurrentDeviceData());
  return session;
}

}  // namespace

void LinkDeviceWriter::SendDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) {
  SendDspRecordCommand(session_, block, address, values);
}
void LinkDeviceWriter::SendLiveBytes(std::uint16_t offset, std::span<const std::uint8_t> bytes) {
  SendOffsetWrite(session_, kCmdWriteLive, offset, bytes);
}
void LinkDeviceWriter::SetCoalescingAllowed(bool allowed) { session_.Link().coalescingAllowed = allowed; }
bool LinkDeviceWriter::Delivers() const {
  const LinkState& link = session_.Link();
  return link.connected && link.transport.load() != nullptr;
}

DeviceSession::DeviceSession() : DeviceSession(*new DeviceData) { ownData_.reset(&data_); }

DeviceSession::DeviceSession(DeviceData& data)
    : data_(data),
      link_(std::make_unique<LinkState>()),
      usb_(MakeUsbLink(*this)),
      network_(MakeNetworkLink(*this)),
      jobs_(MakeSyncJobRunner(*this)) {
  // The log sink the link threads use must outlive the session, whose destructor joins them.
  SetDebugLogSink(SetDebugLogSink({}));
  InstallWriters();
}

DeviceSession::~DeviceSession() {
  DeviceSession* self = this;
  CurrentSlot().compare_exchange_strong(self, nullptr);
  // The parts go first, joining their threads: the running job stops, then the links
  // close (a mode reload they receive meanwhile may start one more job), then the runner
  // joins whatever job started last. The model's writers must not point here afterwards.
  ShutdownSyncJobs(*this);
  network_.reset();
  usb_.reset();
  jobs_.reset();
  {
    DataModel& m = data_.Model();
    std::lock_guard lock(m.mutex);
    if (m.writer == &writer_) m.writer = nullptr;
  }
  DeviceWriter* writer = &writer_;
  data_.coefficientWriter.compare_exchange_strong(writer, nullptr);
}

void DeviceSession::ResetLink() {
  link_ = std::make_unique<LinkState>();
  InstallWriters();
}

void DeviceSession::InstallWriters() {
  SetDeviceWriter(data_.Model(), &writer_);
  data_.coefficientWriter = &writer_;
}

DeviceSession& CurrentSession() {
  DeviceSession* session = CurrentSlot().load();
  return session ? *session : DefaultSession();
}

void SetCurrentSession(DeviceSession* session) {
  CurrentSlot() = session;
  SetCurrentDeviceData(session ? &session->Data() : nullptr);
}

}  // namespace dsptune
