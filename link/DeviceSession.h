#pragma once
// One device and everything that talks to it: its model-level data (settings, writers,
// history, A/B slots: model/DeviceData.h), its link state, the links that reach it (USB
// and network) with their threads, its transfer ledger and its job runner. Whoever works
// with a device holds a session and hands it, or the part needed, to what it makes; two
// sessions share nothing, so one process can hold many devices.
//
// Destroying a session stops its jobs and closes its links, joining their threads, before
// the link state and the model they use go.
#include <memory>

#include "link/LinkState.h"
#include "link/TransferLedger.h"
#include "model/DeviceData.h"

namespace dsptune {

class DeviceSession;
class SyncJobRunner;  // link/SyncJobs.cpp
class UsbLink;        // link/UsbLink.cpp
class NetworkLink;    // link/NetworkLink.cpp

// A part of the session whose type stays in its own file, which also makes and deletes it.
template <typename T>
using SessionPart = std::unique_ptr<T, void (*)(T*)>;
SessionPart<SyncJobRunner> MakeSyncJobRunner(DeviceSession& session);
SessionPart<UsbLink> MakeUsbLink(DeviceSession& session);
SessionPart<NetworkLink> MakeNetworkLink(DeviceSession& session);

// The model's writes become device commands through a session's link.
class LinkDeviceWriter final : public DeviceWriter {
 public:
  explicit LinkDeviceWriter(DeviceSession& session) : session_(session) {}
  void SendDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) override;
  void SendLiveBytes(std::uint16_t offset, std::span<const std::uint8_t> bytes) override;
  void SetCoalescingAllowed(bool allowed) override;
  // A closed link drops every write (link/CommandSet.cpp).
  bool Delivers() const override;

 private:
  DeviceSession& session_;
};

class DeviceSession {
 public:
  // A session with device data of its own.
  DeviceSession();
  // A session on device data someone else owns and outlives it (the process's default device).
  explicit DeviceSession(DeviceData& data);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  DeviceData& Data() { return data_; }
  DataModel& Model() { return data_.Model(); }
  LinkState& Link() { return *link_; }
  TransferLedger& Ledger() { return ledger_; }
  SyncJobRunner& Jobs() { return *jobs_; }
  UsbLink& Usb() { return *usb_; }
  NetworkLink& Network() { return *network_; }

  // Fresh link state, and this session's link installed as the model's writers. Not while
  // threads use the old state.
  void ResetLink();
  // Installs the link as the writer of the model (after the model was replaced).
  void InstallWriters();

 private:
  std::unique_ptr<DeviceData> ownData_;
  DeviceData& data_;
  std::unique_ptr<LinkState> link_;
  LinkDeviceWriter writer_{*this};
  TransferLedger ledger_;
  SessionPart<UsbLink> usb_;
  SessionPart<NetworkLink> network_;
  SessionPart<SyncJobRunner> jobs_;  // last: a running job uses everything above
};

// The session the link functions without a session act on: the process's default
// session (on the default device) unless another was made current. A step on the way to
// handing every caller its session; new code takes the session it works on.
DeviceSession& CurrentSession();
// Also makes the session's device data current; nullptr: the defaults again.
void SetCurrentSession(DeviceSession* session);

}  // namespace dsptune
