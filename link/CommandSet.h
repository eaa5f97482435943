#pragma once
// Every command the program sends passes through SendPacket, which keeps at most one
// synchronous command unanswered: it waits for the reply event (auto-reset, set by the
// dispatcher after every received packet) before it writes.
//
// Each command goes to a session's device; the forms without a session send to the
// current session's (CurrentSession).
#include <cstdint>
#include <initializer_list>
#include <span>

namespace dsptune {

class DeviceSession;

// The packet for the network already starts with the destination byte.
void SendPacket(std::span<const std::uint8_t> packet, bool synchronous);
void SendPacket(DeviceSession& session, std::span<const std::uint8_t> packet, bool synchronous);

// A short command (1..60 bytes), prefixed with 0x81 on the network. Synchronous.
void SendCommand(std::span<const std::uint8_t> bytes);
void SendCommand(std::initializer_list<std::uint8_t> bytes);
void SendCommand(DeviceSession& session, std::span<const std::uint8_t> bytes);
void SendCommand(DeviceSession& session, std::initializer_list<std::uint8_t> bytes);
// code, offH, offL, length, up to 56 data bytes. Synchronous. False when too long.
bool SendOffsetWrite(std::uint8_t code, std::uint16_t offset, std::span<const std::uint8_t> data);
bool SendOffsetWrite(DeviceSession& session, std::uint8_t code, std::uint16_t offset,
                     std::span<const std::uint8_t> data);
// 0x09 0x00 block address n values (n = values.size() / 4, at most 13 values).
void SendDspRecordCommand(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values);
void SendDspRecordCommand(DeviceSession& session, std::uint8_t block, std::uint8_t address,
                          std::span<const std::uint8_t> values);
// Z-Wave bytes wrapped for the link's kind; not synchronous.
void SendZWave(std::span<const std::uint8_t> zwaveBytes);
void SendZWave(DeviceSession& session, std::span<const std::uint8_t> zwaveBytes);

// Command codes.
enum CommandCode : std::uint8_t {
  kCmdSelectMode = 0x03,
  kCmdStoreMode = 0x04,
  kCmdLoadMode = 0x05,
  kCmdFactoryMode = 0x06,
  kCmdGetMode = 0x07,
  kCmdWriteDsp = 0x09,
  kCmdParameterError = 0x0A,
  kCmdStatus = 0x0E,
  kCmdZWave = 0x12,
  kCmdReadImage = 0x30,
  kCmdWriteImage = 0x31,
  kCmdEndImageWrite = 0x32,
  kCmdLearnKey = 0x60,
  kCmdEndLearn = 0x61,
  kCmdGetRemoteTable = 0x62,
  kCmdSetRemoteTable = 0x63,
  kCmdResetMachine = 0x68,
  kCmdDspVersion = 0x7E,
  kCmdProtocolCode = 0x7F,
  kCmdModelName = 0x80,
  kCmdMcuVersion = 0x81,
  kCmdWriteLive = 0x85,
  kCmdLiveData = 0x86,
  kCmdDisconnect = 0x8A,
  kCmdSetMachineSettings = 0x91,
  kCmdGetMachineSettings = 0x92,
};

}  // namespace dsptune
