#pragma once
// Everything the device link shares between the user interface, the job threads and
// the receive thread: which link is up, the reply pacing, the send-mode switches and
// the device's answers that are not part of the parameter image. Each device session
// (link/DeviceSession.h) has one; CurrentLink() reaches the current session's and
// ResetLinkState() gives tests a fresh one.
#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "link/FrameCodec.h"
#include "link/Notifications.h"
#include "link/PacketTransport.h"
#include "link/ReplyEvent.h"

namespace dsptune {

inline constexpr int kStatusBlockSize = 30;
inline constexpr int kMachineSettingsSize = 14;
inline constexpr int kRemoteTableSize = 30;

using StatusBlock = std::array<std::uint8_t, kStatusBlockSize>;
using MachineSettings = std::array<std::uint8_t, kMachineSettingsSize>;
using RemoteCodeTable = std::array<std::uint8_t, kRemoteTableSize>;
// Which bytes of the remote code table hold this device's values: what it answered,
// what it learned, or what was sent to it whole. The other bytes are placeholders; sent
// to the device they would replace codes it holds.
using RemoteKnownBytes = std::bitset<kRemoteTableSize>;
// The table bytes that are learnable keys (byte k is key k).
inline constexpr int kFirstRemoteKey = 1, kLastRemoteKey = 25;

class LinkState {
 public:
  LinkState();

  std::atomic<LinkKind> kind{LinkKind::Usb};
  std::atomic<bool> connected{false};
  ReplyEvent replyEvent{true};
  std::mutex linkLock;  // USB writes and direct network sends
  std::atomic<bool> queuedSendMode{false};
  std::atomic<bool> coalescingAllowed{true};
  std::atomic<bool> statusPollingAllowed{true};
  std::atomic<bool> pollingNotSuspended{true};
  std::atomic<bool> changedFlag{false};
  std::atomic<int> currentMode{0};
  std::atomic<bool> parameterErrorShown{false};
  // Received bytes that did not make a good frame (checksum errors, stray bytes); the
  // jobs compare it before and after to tell a garbled stream from a silent device.
  std::atomic<int> garbledReceives{0};
  // The network module said "ISCONNECTED" on the current link: another host holds it.
  std::atomic<bool> hostBusy{false};
  // The current link was closed by its own silence check (nothing received for too
  // long), not by the peer, a read error or the program: the device stopped answering.
  std::atomic<bool> closedForSilence{false};

  // How long a synchronous send waits for the previous reply.
  std::chrono::milliseconds replyTimeout{2000};
  // Pause before a Z-Wave frame is acknowledged.
  std::chrono::milliseconds zwaveAckDelay{20};

  // Where packets go and where notifications go; set when a link opens.
  std::atomic<PacketTransport*> transport{nullptr};
  std::atomic<NotificationSink*> sink{nullptr};
  // Starts a read job (the device reloaded a mode). Installed by the job runner.
  std::function<void()> readJobStarter;

  // Guards the device answers below.
  std::mutex dataMutex;
  StatusBlock statusBlock{};
  MachineSettings deviceSettings{};  // as last read from the device
  MachineSettings editedSettings{};  // the copy the machine-settings dialog edits
  RemoteCodeTable remoteTable{};
  RemoteKnownBytes remoteKnown{};
};

// The current session's link state (CurrentSession().Link()).
LinkState& CurrentLink();
// Fresh link state for the current session, its link installed as the model's device
// writer. Not while threads use the old one.
void ResetLinkState();

// ---- copies of the device answers, taken under the data lock ----
StatusBlock StatusBlockSnapshot();
void ClearStatusBlock();
void ClearStatusBlock(LinkState& link);
MachineSettings DeviceSettingsSnapshot();
MachineSettings EditedSettingsSnapshot();
void SetEditedSettings(const MachineSettings& settings);
RemoteCodeTable RemoteTableSnapshot();
// The whole table as the caller chose it; every byte counts as known.
void SetRemoteTable(const RemoteCodeTable& table);
// A link to a device opened: codes of an earlier device must not reach this one, so the
// table is empty and nothing in it is known.
void ForgetRemoteTable();
// The table was sent whole: the device now holds every byte of it.
void MarkRemoteTableKnown();
// Keys 1..25 from `fromKey` on whose codes are not known for this device, ascending.
std::vector<int> UnknownRemoteKeys(int fromKey = kFirstRemoteKey);

}  // namespace dsptune
