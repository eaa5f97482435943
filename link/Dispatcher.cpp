#include "link/Dispatcher.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <thread>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/LinkState.h"
#include "link/PacketParams.h"
#include "link/TransferLedger.h"
#include "model/DebugLog.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

// A received packet carries one leading byte (report id or destination) before its code.
using Params = PacketParams;
constexpr std::size_t kFirstParam = 2;

// Copies a text answer into a zero-padded field: until a zero byte or 58 bytes, cut so
// that the field stays zero-terminated.
template <std::size_t N>
void CopyText(std::array<char, N>& field, const Params& p) {
  field.fill('\0');
  const std::size_t limit = std::min<std::size_t>({58, p.size(), N - 1});
  for (std::size_t i = 0; i < limit && p[i] != 0; ++i) field[i] = static_cast<char>(p[i]);
}

void HandleLiveData(DataModel& model, const Params& p) {
  if (!p.Has(3)) return;
  const int offset = (p[0] << 8) | p[1];
  const std::span<const std::uint8_t> data = p.From(3, p[2]);
  if (offset < kSsvcLevelsOffset) {
    if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xFF) {
      static const std::array<std::uint8_t, kSsvcLevelsOffset> zeros{};
      StoreLiveBytes(model, 0, zeros);
    } else {
      StoreLiveBytes(model, offset, data);
    }
  } else if (offset == kSsvcLevelsOffset || offset == kSubDecayLevelOffset) {
    StoreLiveBytes(model, offset, data);
  } else if (offset == kSsvcSettingsOffset) {
    StoreLiveBytes(model, offset, data);
    ApplySsvcSettingsRecordToEditor(model);
  }
}

void HandleParameterError(const Params& p, LinkState& link) {
  const std::uint8_t code = p[0];
  if (code == 0 || link.parameterErrorShown.exchange(true)) return;
  if (NotificationSink* sink = link.sink.load()) sink->ShowParameterError(FormatParameterError(code, p[1], p[2]));
}

void HandleStatus(const Params& p, LinkState& link, DataModel& model) {
  const auto data = p.From(0, kStatusBlockSize);
  {
    std::lock_guard lock(link.dataMutex);
    std::copy(data.begin(), data.end(), link.statusBlock.begin());
  }
  if (data.size() > 7) {
    const int pitch = (data[7] >> 4) - 5;
    UpdateEditorValues(model, [pitch](EditorValues& ev) { ev.musicPitch = pitch; });
  }
}

void HandleLearnedKey(const Params& p, LinkState& link) {
  if (!p.Has(3)) return;
  const std::uint8_t status = p[0], key = p[1], code = p[2];
  {
    std::lock_guard lock(link.dataMutex);
    link.remoteTable[0] = status;
    link.remoteKnown.set(0);
    if (key >= 1 && key <= 29) {
      link.remoteTable[key] = code;
      link.remoteKnown.set(key);
    }
  }
  if (NotificationSink* sink = link.sink.load()) sink->Send(kMsgRemoteLearn, code, 0);
}

// Devices answer with as much of the table as they keep (the emulator with 16 bytes);
// every byte that came is this device's, the rest stays as it was and unknown. A network
// frame says how many bytes came; a USB report is padded to its fixed size without a
// length, so there only the 16 bytes every device sends can be told from the padding.
constexpr std::size_t kUsbRemoteAnswerSize = 16;

void HandleRemoteTable(const Params& p, LinkState& link) {
  const std::size_t carried = link.kind == LinkKind::Usb ? kUsbRemoteAnswerSize : kRemoteTableSize;
  const auto data = p.From(0, carried);
  std::lock_guard lock(link.dataMutex);
  std::copy(data.begin(), data.end(), link.remoteTable.begin());
  for (std::size_t i = 0; i < data.size(); ++i) link.remoteKnown.set(i);
}

}  // namespace

std::string FormatParameterError(std::uint8_t code, std::uint8_t command1, std::uint8_t command2) {
  char text[96];
  std::snprintf(text, sizeof text, "参数错误,代码0x:%02X,指令1:0x%02X,指令2:0x%02X ", code, command1, command2);
  return text;
}

const char* StreamFormatName(int index) {
  static constexpr const char* kNames[] = {"STEREO", "AC3",    "DTS",    "DTS-CD",      "E-AC3",
                                           "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh"};
  return index >= 0 && index < 9 ? kNames[index] : "";
}

void DispatchPacket(std::span<const std::uint8_t> packet) { DispatchPacket(CurrentSession(), packet); }

void DispatchPacket(DeviceSession& session, std::span<const std::uint8_t> packet) {
  LinkState& link = session.Link();
  DataModel& model = session.Model();
  if (packet.size() < 2) {
    link.replyEvent.Set();
    return;
  }
  const std::uint8_t code = packet[1];
  const Params p(packet, kFirstParam);
  switch (code) {
    case kCmdLoadMode:
    case kCmdFactoryMode:
      session.Ledger().Record(packet);
      link.replyEvent.Set();
      DebugLog("Start thread:SynchronizeData\n");
      if (link.readJobStarter) link.readJobStarter();
      return;
    case kCmdGetMode:
      if (p.Has(1)) link.currentMode = p[0];
      break;
    case kCmdWriteDsp:
      link.changedFlag = true;
      break;
    case kCmdParameterError:
      HandleParameterError(p, link);
      break;
    case kCmdStatus:
      HandleStatus(p, link, model);
      break;
    case kCmdZWave:
      if (p.Has(2) && p[1] != kZWaveAck) {
        std::this_thread::sleep_for(link.zwaveAckDelay);
        const std::uint8_t ack = kZWaveAck;
        SendZWave(session, std::span(&ack, 1));
      }
      break;
    case kCmdReadImage:
      // Image chunks go to the read job's staging copy (the ledger, above); the image
      // itself changes only when a complete read is committed.
      break;
    case kCmdLearnKey:
      HandleLearnedKey(p, link);
      break;
    case kCmdGetRemoteTable:
      HandleRemoteTable(p, link);
      break;
    case kCmdDspVersion:
      UpdateIdentity(model, [&](DeviceIdentity& id) { CopyText(id.dspVersion, p); });
      break;
    case kCmdProtocolCode:
      if (p.Has(1)) UpdateIdentity(model, [&](DeviceIdentity& id) { id.protocolCode = p[0]; });
      break;
    case kCmdModelName:
      UpdateIdentity(model, [&](DeviceIdentity& id) { CopyText(id.modelName, p); });
      break;
    case kCmdMcuVersion:
      UpdateIdentity(model, [&](DeviceIdentity& id) { CopyText(id.mcuVersion, p); });
      break;
    case kCmdLiveData:
      HandleLiveData(model, p);
      break;
    case kCmdGetMachineSettings: {
      const auto data = p.From(0, kMachineSettingsSize);
      std::lock_guard lock(link.dataMutex);
      std::copy(data.begin(), data.end(), link.deviceSettings.begin());
      std::copy(data.begin(), data.end(), link.editedSettings.begin());
      break;
    }
    default:
      break;
  }
  // Counted once the answer is in the model: a job woken by the count reads it at once.
  session.Ledger().Record(packet);
  link.replyEvent.Set();
}

}  // namespace dsptune
