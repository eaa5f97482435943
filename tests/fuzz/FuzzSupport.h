#pragma once
// What the fuzz targets share: a failure that libFuzzer records as a crash with its input,
// recorders for what leaves the program, a temporary file per input, and the rule of
// which state each device answer may change, checked on a copy of the whole model and
// link state taken before and after one packet is dispatched.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "link/CommandSet.h"
#include "link/FrameCodec.h"
#include "link/LinkState.h"
#include "link/Notifications.h"
#include "link/PacketTransport.h"
#include "model/ParameterImage.h"

namespace dsptune::fuzz {

using Bytes = std::vector<std::uint8_t>;

inline std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  char b[4];
  for (std::uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X ", v);
    out += b;
  }
  return out;
}

// An invariant does not hold: abort, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what, std::span<const std::uint8_t> packet = {}) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
  if (!packet.empty()) std::fprintf(stderr, "  packet: %s\n", Hex(packet).c_str());
  std::abort();
}

inline void Expect(bool condition, const std::string& what, std::span<const std::uint8_t> packet = {}) {
  if (!condition) Fail(what, packet);
}

// ---- recorders ----

struct Sent {
  enum Path { Report, Direct, Queue } path;
  Bytes bytes;
  bool operator==(const Sent&) const = default;
};

class RecordingTransport final : public PacketTransport {
 public:
  int WriteReport(std::span<const std::uint8_t> packet) override { return Record(Sent::Report, packet); }
  int SendDirect(std::span<const std::uint8_t> payload) override { return Record(Sent::Direct, payload); }
  void EnqueuePacket(std::span<const std::uint8_t> payload) override { Record(Sent::Queue, payload); }

  std::vector<Sent> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(sent_, {});
  }

  // Answer every packet at once, as a device would, so the next synchronous send does not
  // wait out the reply time-out.
  bool answers = false;

 private:
  int Record(Sent::Path path, std::span<const std::uint8_t> bytes) {
    {
      std::lock_guard lock(mutex_);
      sent_.push_back({path, Bytes(bytes.begin(), bytes.end())});
    }
    if (answers) CurrentLink().replyEvent.Set();
    return 1;
  }
  std::mutex mutex_;
  std::vector<Sent> sent_;
};

struct Notified {
  enum Kind { Post, Send, ParameterError } kind;
  int message = 0;
  std::intptr_t wParam = 0;
};

class RecordingSink final : public NotificationSink {
 public:
  void Post(int message, std::intptr_t wParam, std::intptr_t) override { Record({Notified::Post, message, wParam}); }
  void Send(int message, std::intptr_t wParam, std::intptr_t) override { Record({Notified::Send, message, wParam}); }
  void ShowParameterError(const std::string&) override { Record({Notified::ParameterError, 0, 0}); }

  std::vector<Notified> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  void Record(Notified n) {
    std::lock_guard lock(mutex_);
    calls_.push_back(n);
  }
  std::mutex mutex_;
  std::vector<Notified> calls_;
};

// ---- a file holding the input, removed again at the end of the run ----

class TempFile {
 public:
  // `suffix` is kept at the end of the name (a loader may insist on its extension).
  TempFile(std::span<const std::uint8_t> content, const char* suffix) {
    std::string name = std::string("/tmp/dsptune-fuzz-XXXXXX") + suffix;
    const int fd = ::mkstemps(name.data(), int(std::strlen(suffix)));
    if (fd < 0) Fail("cannot create a temporary file in /tmp");
    std::size_t done = 0;
    while (done < content.size()) {
      const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
      if (n <= 0) Fail("cannot write the temporary file");
      done += std::size_t(n);
    }
    ::close(fd);
    path_ = name;
  }
  ~TempFile() { ::unlink(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// ---- everything a device answer could change ----

struct State {
  ParameterImageBytes image;
  LiveBlockBytes live;
  std::array<std::int32_t, kParameterCount> ui;
  EditorValues editor;
  DeviceIdentity identity;
  StatusBlock status;
  MachineSettings deviceSettings, editedSettings;
  RemoteCodeTable remote;
  LinkKind kind;
  bool connected, queuedSendMode, coalescingAllowed, statusPollingAllowed, pollingNotSuspended;
  bool changedFlag, parameterErrorShown;
  int currentMode;
  PacketTransport* transport;
  NotificationSink* sink;

  static State Take() {
    State s;
    {
      DataModel& m = CurrentModel();
      std::lock_guard lock(m.mutex);
      s.image = m.image;
      s.live = m.live;
      s.ui = m.ui;
      s.editor = m.editor;
      s.identity = m.identity;
    }
    LinkState& l = CurrentLink();
    {
      std::lock_guard lock(l.dataMutex);
      s.status = l.statusBlock;
      s.deviceSettings = l.deviceSettings;
      s.editedSettings = l.editedSettings;
      s.remote = l.remoteTable;
    }
    s.kind = l.kind;
    s.connected = l.connected;
    s.queuedSendMode = l.queuedSendMode;
    s.coalescingAllowed = l.coalescingAllowed;
    s.statusPollingAllowed = l.statusPollingAllowed;
    s.pollingNotSuspended = l.pollingNotSuspended;
    s.changedFlag = l.changedFlag;
    s.parameterErrorShown = l.parameterErrorShown;
    s.currentMode = l.currentMode;
    s.transport = l.transport;
    s.sink = l.sink;
    return s;
  }
};

// EditorValues holds only 4-byte ints and floats, so it has no padding and comparing its
// bytes compares every value (a NaN equal to itself, which == would not give).
inline bool SameBits(const EditorValues& a, const EditorValues& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks that dispatching `packet` (leading byte, code, parameters) changed only what its
// code owns, and that what it wrote is what the packet carried:
//   0x07 current mode; 0x09 the changed flag; 0x0A the "parameter error shown" flag;
//   0x0E status bytes (and the music pitch from status byte 7); 0x30 nothing, or only
//   image bytes at its offset and length; 0x60, 0x62 the remote table; 0x7E..0x81 one
//   identity field each; 0x86 only live-block bytes at its offset and length (or the
//   levels area cleared by the FF FF marker) and the SSVC editor values; 0x92 both copies
//   of the machine settings. Nothing else, whatever the code.
inline void CheckDispatchEffects(const State& before, const State& after, std::span<const std::uint8_t> packet) {
  const int code = packet.size() >= 2 ? packet[1] : -1;
  const std::span<const std::uint8_t> params = packet.size() > 2 ? packet.subspan(2) : std::span<const std::uint8_t>{};
  const auto expect = [&](bool condition, const char* what) { Expect(condition, what, packet); };
  // An answer's offset, and the data bytes that actually arrived after its length byte.
  const int offset = params.size() >= 2 ? (params[0] << 8) | params[1] : -1;
  const std::span<const std::uint8_t> data =
      params.size() >= 3 ? params.subspan(3, std::min<std::size_t>(params[2], params.size() - 3))
                         : std::span<const std::uint8_t>{};

  const bool imageChanged = after.image != before.image;
  for (std::size_t i = 0; imageChanged && i < before.image.size(); ++i) {
    if (after.image[i] == before.image[i]) continue;
    expect(code == kCmdReadImage && params.size() >= 3, "image changed by an answer other than 0x30");
    const long at = long(i) - offset;
    expect(at >= 0 && at < long(data.size()), "0x30 changed image bytes outside its offset and length");
    expect(after.image[i] == data[std::size_t(at)], "0x30 stored bytes it did not carry");
  }

  const bool clearsLevels = code == kCmdLiveData && offset >= 0 && offset < kSsvcLevelsOffset && data.size() >= 2 &&
                            data[0] == 0xFF && data[1] == 0xFF;
  const bool liveChanged = after.live != before.live;
  for (std::size_t i = 0; liveChanged && i < before.live.size(); ++i) {
    if (after.live[i] == before.live[i]) continue;
    expect(code == kCmdLiveData && params.size() >= 3, "live block changed by an answer other than 0x86");
    const long at = long(i) - offset;
    const bool stored = at >= 0 && at < long(data.size()) && after.live[i] == data[std::size_t(at)];
    const bool cleared = clearsLevels && i < std::size_t(kSsvcLevelsOffset) && after.live[i] == 0;
    expect(stored || cleared, "0x86 changed live bytes outside its offset and length");
  }

  expect(after.ui == before.ui, "a UI value changed (no answer owns one)");

  EditorValues editor = before.editor;
  if (code == kCmdStatus && params.size() > 7) {
    expect(after.editor.musicPitch == (params[7] >> 4) - 5, "0x0E music pitch is not status byte 7's high nibble - 5");
    editor.musicPitch = after.editor.musicPitch;
  }
  if (code == kCmdLiveData) editor.ssvc = after.editor.ssvc;
  expect(SameBits(editor, after.editor), "editor values changed that the answer does not own");

  // Text answers: the bytes up to a zero, at most 58 and at most the field less its terminator.
  const auto text = [&](const auto& field) {
    std::remove_cvref_t<decltype(field)> expected{};
    for (std::size_t i = 0; i < std::min<std::size_t>({58, params.size(), field.size() - 1}) && params[i] != 0; ++i)
      expected[i] = char(params[i]);
    return expected;
  };
  const DeviceIdentity& a = after.identity;
  const DeviceIdentity& b = before.identity;
  expect(code == kCmdDspVersion ? a.dspVersion == text(a.dspVersion) : a.dspVersion == b.dspVersion, "DSP version text");
  expect(code == kCmdModelName ? a.modelName == text(a.modelName) : a.modelName == b.modelName, "model name text");
  expect(code == kCmdMcuVersion ? a.mcuVersion == text(a.mcuVersion) : a.mcuVersion == b.mcuVersion, "MCU version text");
  expect(a.protocolCode == (code == kCmdProtocolCode && !params.empty() ? params[0] : b.protocolCode), "protocol code");
  expect(a.modelName.back() == 0 && a.mcuVersion.back() == 0 && a.dspVersion.back() == 0,
         "an identity text lost its terminator");

  const auto prefixCopied = [&](const auto& now, const auto& was, std::size_t limit) {
    const std::size_t n = std::min(limit, params.size());
    for (std::size_t i = 0; i < now.size(); ++i)
      if (now[i] != (i < n ? params[i] : was[i])) return false;
    return true;
  };
  expect(code == kCmdStatus ? prefixCopied(after.status, before.status, kStatusBlockSize) : after.status == before.status,
         "status block");
  expect(code == kCmdGetMachineSettings ? prefixCopied(after.deviceSettings, before.deviceSettings, kMachineSettingsSize) &&
                            prefixCopied(after.editedSettings, before.editedSettings, kMachineSettingsSize)
                      : after.deviceSettings == before.deviceSettings && after.editedSettings == before.editedSettings,
         "machine settings");
  RemoteCodeTable remote = before.remote;
  if (code == kCmdGetRemoteTable) {
    // A USB report is padded without a length: only the 16 bytes every device sends count.
    expect(prefixCopied(after.remote, before.remote, before.kind == LinkKind::Usb ? 16 : kRemoteTableSize),
           "0x62 remote table head");
    remote = after.remote;
  } else if (code == kCmdLearnKey && params.size() >= 3) {
    remote[0] = params[0];
    if (params[1] >= 1 && params[1] <= 29) remote[params[1]] = params[2];
  }
  expect(after.remote == remote, "remote table");

  expect(after.currentMode == (code == kCmdGetMode && !params.empty() ? params[0] : before.currentMode), "current mode");
  expect(after.changedFlag == (before.changedFlag || code == kCmdWriteDsp), "changed flag");
  // The box is shown once per link state, for a non-zero error code.
  const bool errorShown = code == kCmdParameterError && !params.empty() && params[0] != 0;
  expect(after.parameterErrorShown == (before.parameterErrorShown || errorShown), "parameter error flag");
  expect(after.kind == before.kind && after.connected == before.connected &&
             after.queuedSendMode == before.queuedSendMode && after.coalescingAllowed == before.coalescingAllowed &&
             after.statusPollingAllowed == before.statusPollingAllowed &&
             after.pollingNotSuspended == before.pollingNotSuspended && after.transport == before.transport &&
             after.sink == before.sink,
         "link switches changed");
}

// The notifications one answer may cause: the parameter-error box once per link state
// (0x0A with a non-zero code) and the learned-key notice (0x60 with three parameters).
inline void CheckNotifications(const State& before, std::span<const std::uint8_t> packet,
                               const std::vector<Notified>& calls) {
  const int code = packet.size() >= 2 ? packet[1] : -1;
  const std::size_t params = packet.size() > 2 ? packet.size() - 2 : 0;
  std::size_t expected = 0;
  if (code == kCmdParameterError && params >= 1 && packet[2] != 0 && !before.parameterErrorShown) {
    expected = 1;
    Expect(calls.size() == 1 && calls[0].kind == Notified::ParameterError, "0x0A error box", packet);
  }
  if (code == kCmdLearnKey && params >= 3) {
    expected = 1;
    Expect(calls.size() == 1 && calls[0].kind == Notified::Send && calls[0].message == kMsgRemoteLearn &&
               calls[0].wParam == packet[4],
           "0x60 learned-key notice", packet);
  }
  Expect(calls.size() == expected, "notification the answer does not cause", packet);
}

// A Z-Wave frame (0x12 with at least two parameters, the second not the acknowledgement
// itself) is acknowledged once with the single byte 0x06, wrapped for the link; nothing
// else is ever sent in answer to a packet. USB sends only while the device is writable.
inline Sent ZWaveAck(LinkKind kind, bool queued) {
  if (kind == LinkKind::Usb) return {Sent::Report, {kZWavePacketCode, 0x01, kZWaveAck}};
  return {queued ? Sent::Queue : Sent::Direct, {kDestZWave, kZWaveAck}};
}

inline bool AcknowledgesZWave(std::span<const std::uint8_t> packet) {
  return packet.size() >= 4 && packet[1] == kZWavePacketCode && packet[3] != kZWaveAck;
}

}  // namespace dsptune::fuzz
