#include "link/CommandSet.h"

#include <algorithm>
#include <array>
#include <vector>

#include "link/DeviceSession.h"
#include "model/DebugLog.h"

namespace dsptune {

void SendPacket(std::span<const std::uint8_t> packet, bool synchronous) {
  SendPacket(CurrentSession(), packet, synchronous);
}

void SendPacket(DeviceSession& session, std::span<const std::uint8_t> packet, bool synchronous) {
  LinkState& link = session.Link();
  TransferLedger& ledger = session.Ledger();
  PacketTransport* transport = link.transport.load();
  if (link.kind == LinkKind::Usb) {
    // Without an open device (or after its reads failed) the report would be refused;
    // waiting first would only stall the caller for the whole reply time-out.
    if (!link.connected || !transport || !transport->Writable()) return;
    if (synchronous && !link.replyEvent.Wait(link.replyTimeout)) {
      DebugLog("WaitForSingleObject Time Out \r\n ");
      ledger.ReplyTimedOut();
    }
    ledger.Outgoing(packet);
    transport->WriteReport(packet);
    return;
  }
  if (!link.connected || !transport) return;
  if (link.queuedSendMode) {
    transport->EnqueuePacket(packet);
    return;
  }
  if (synchronous && !link.replyEvent.Wait(link.replyTimeout)) {
    DebugLog("NetSendSync WaitObject Time Out \r\n ");
    ledger.ReplyTimedOut();
  }
  std::lock_guard lock(link.linkLock);
  if (!packet.empty() && packet[0] == kDestController) ledger.Outgoing(packet.subspan(1));
  transport->SendDirect(packet);
}

void SendCommand(std::span<const std::uint8_t> bytes) { SendCommand(CurrentSession(), bytes); }

void SendCommand(DeviceSession& session, std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > kMaxPacketSize) return;
  // Builders work in a 61-byte zeroed buffer: the destination byte and 60 bytes of command.
  std::array<std::uint8_t, kReportSize> buffer{};
  std::size_t length = 0;
  if (session.Link().kind == LinkKind::Network) buffer[length++] = kDestController;
  std::copy(bytes.begin(), bytes.end(), buffer.begin() + long(length));
  length += bytes.size();
  SendPacket(session, std::span(buffer.data(), length), true);
}

void SendCommand(std::initializer_list<std::uint8_t> bytes) { SendCommand(CurrentSession(), bytes); }

void SendCommand(DeviceSession& session, std::initializer_list<std::uint8_t> bytes) {
  SendCommand(session, std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}

bool SendOffsetWrite(std::uint8_t code, std::uint16_t offset, std::span<const std::uint8_t> data) {
  return SendOffsetWrite(CurrentSession(), code, offset, data);
}

bool SendOffsetWrite(DeviceSession& session, std::uint8_t code, std::uint16_t offset,
                     std::span<const std::uint8_t> data) {
  if (data.size() > 56) return false;
  std::array<std::uint8_t, kMaxPacketSize> packet{};
  packet[0] = code;
  packet[1] = std::uint8_t(offset >> 8);
  packet[2] = std::uint8_t(offset);
  packet[3] = std::uint8_t(data.size());
  std::copy(data.begin(), data.end(), packet.begin() + 4);
  SendCommand(session, std::span(packet.data(), 4 + data.size()));
  return true;
}

void SendDspRecordCommand(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) {
  SendDspRecordCommand(CurrentSession(), block, address, values);
}

void SendDspRecordCommand(DeviceSession& session, std::uint8_t block, std::uint8_t address,
                          std::span<const std::uint8_t> values) {
  const std::size_t count = std::min<std::size_t>(values.size() / 4, (kMaxPacketSize - 5) / 4);
  std::array<std::uint8_t, kMaxPacketSize> packet{};
  packet[0] = kCmdWriteDsp;
  packet[1] = 0x00;
  packet[2] = block;
  packet[3] = address;
  packet[4] = std::uint8_t(count);
  std::copy_n(values.begin(), count * 4, packet.begin() + 5);
  SendCommand(session, std::span(packet.data(), 5 + count * 4));
}

void SendZWave(std::span<const std::uint8_t> zwaveBytes) { SendZWave(CurrentSession(), zwaveBytes); }

void SendZWave(DeviceSession& session, std::span<const std::uint8_t> zwaveBytes) {
  const std::vector<std::uint8_t> packet = WrapZWave(zwaveBytes, session.Link().kind);
  SendPacket(session, packet, false);
}

}  // namespace dsptune
