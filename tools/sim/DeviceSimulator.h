#pragma once
// The device controller as the program sees it: four resident mode slots, the working
// parameter image, the machine settings record, the remote code table, the identity
// answers and a moving status block. Transport-free: a USB fake hands it the packets of
// its reports, the TCP server the payloads of its frames, and both send back what it
// returns. It stands in for the real device in demos and tests, so it also misbehaves
// on request (latency, lost replies, a parameter error).
//
// Every public member is safe to call from any thread (one mutex guards the state).
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/ParameterImage.h"

namespace dsptune {

inline constexpr int kSimModeSlots = 4;
inline constexpr int kSimStatusSize = 30;
inline constexpr int kSimSettingsSize = 14;
inline constexpr int kSimRemoteTableSize = 30;
inline constexpr int kSimRemoteReadSize = 16;  // 0x62 answers the head of the table
inline constexpr int kSimMaxChunk = 56;         // most image bytes one 0x30 answer carries
inline constexpr int kSimMaxText = 58;          // text answers stay within one 60-byte packet
// The learn answer's first parameter: the remote's address byte as the receiver saw it.
inline constexpr std::uint8_t kSimLearnAddress = 0x01;

// Codes of the parameter-error answer 0x0A (code, command, first parameter).
enum SimErrorCode : std::uint8_t {
  kSimErrorInjected = 0x01,    // the "parameter error after N commands" fault
  kSimErrorOutOfRange = 0x02,  // mode slot above 3, key outside 1..25, reset without 0xAA
  kSimErrorTooShort = 0x03,    // a command that lacks its required parameters
};

struct DeviceOptions {
  // Identity answers. Any name and any code may be given to play an unknown model or an
  // unsupported protocol; texts longer than 58 characters are cut.
  std::string modelName = "LQ830";
  int protocolCode = 20;  // answered as one byte
  std::string mcuVersion = "V1.3.3";
  std::string dspVersion = "DSP 2.0.1";
  std::uint8_t streamFormat = 0;  // status byte 7, low nibble (0 "STEREO" .. 8 "LPCM MultiCh")

  // A learn request (0x60) is answered once this has passed, as if a key was pressed.
  std::chrono::milliseconds learnDelay{1500};

  // ---- faults ----
  std::chrono::milliseconds replyLatency{0};  // every answer is held back this long
  int dropEvery = 0;             // every Nth answer is lost (0: none)
  int parameterErrorAfter = 0;   // the Nth command is refused once with 0x0A (0: never)

  // ---- files (empty: none); opened by OpenFiles ----
  std::string transcriptPath;  // every received packet appended as one hex line
  std::string statePath;       // slots, working image, settings and remote table
};

class DeviceSimulator {
 public:
  using Packet = std::vector<std::uint8_t>;
  using Clock = std::chrono::steady_clock;
  using Settings = std::array<std::uint8_t, kSimSettingsSize>;
  using RemoteTable = std::array<std::uint8_t, kSimRemoteTableSize>;
  using Status = std::array<std::uint8_t, kSimStatusSize>;

  explicit DeviceSimulator(DeviceOptions options = {});
  ~DeviceSimulator();
  DeviceSimulator(const DeviceSimulator&) = delete;
  DeviceSimulator& operator=(const DeviceSimulator&) = delete;

  // Opens the transcript file (append) and loads the state file when it exists. A
  // missing state file is not an error (the device starts from the factory state); an
  // unreadable or malformed one is, and leaves the factory state in place.
  bool OpenFiles(std::string& error);

  // One command packet (code first, no destination byte; a USB caller may pass the
  // report's zero padding along). Returns the answers to send now, each code first. An
  // answer that is due later (a learned key, or every answer under reply latency) is
  // queued for TakeDueReplies. Never throws; any byte sequence is accepted.
  std::vector<Packet> HandlePacket(std::span<const std::uint8_t> packet);
  // One network frame payload: destination 0x81 goes to HandlePacket, destination 0x80
  // (the program's Z-Wave acknowledgement) is counted and not answered, anything else is
  // ignored. The transcript records the payload with its destination byte.
  std::vector<Packet> HandleNetworkPayload(std::span<const std::uint8_t> payload);

  // Answers whose time has come, in the order they fell due.
  std::vector<Packet> TakeDueReplies(Clock::time_point now);
  // When the next queued answer falls due; empty when none is queued.
  std::optional<Clock::time_point> NextDueTime() const;
  // The peer went away: queued answers (and a pending learn) are dropped.
  void DropQueuedReplies();
  // True once after a machine reset (0x68 0xAA) was carried out: the machine restarts,
  // which a transport plays by dropping its connection for a while.
  bool TakeRestart();

  // Writes the state file (when one is configured) if anything changed since the last
  // save. True when nothing needed saving or the save succeeded.
  bool SaveStateIfChanged(std::string& error);

  // ---- inspection ----
  ParameterImageBytes WorkingImage() const;
  ParameterImageBytes SlotImage(int slot) const;  // slot 0..3
  int CurrentMode() const;
  Settings MachineSettings() const;
  RemoteTable RemoteCodes() const;
  Status StatusBlock() const;
  bool LearnPending() const;
  int ZWaveAcks() const;
  int CommandsReceived() const;  // controller packets, the Z-Wave acknowledgements not counted
  std::vector<std::string> Transcript() const;

  // The factory state of the records the machine keeps besides its images.
  static Settings FactorySettings();
  static RemoteTable FactoryRemoteTable();
  // The code the simulated remote sends for function key k.
  static std::uint8_t LearnedCode(std::uint8_t key);

 private:
  struct Queued {
    Clock::time_point due;
    Packet packet;
    bool learn = false;
  };
  struct Commands;  // the handler of each command code (DeviceSimulator.cpp)

  void Record(std::span<const std::uint8_t> bytes);
  std::vector<Packet> Handle(std::span<const std::uint8_t> packet, Clock::time_point now);
  std::vector<Packet> Execute(std::span<const std::uint8_t> packet, Clock::time_point now);
  // Applies the loss fault and the latency fault to answers produced now.
  std::vector<Packet> Release(std::vector<Packet> replies, Clock::time_point now);
  bool DropThisReply();
  void Enqueue(Queued item);
  void DropPendingLearn();  // a learn answer still to come is not sent
  void FactoryReset();
  Status BuildStatus(Clock::time_point now) const;
  bool LoadState(std::string& error);
  bool SaveState(std::string& error);

  const DeviceOptions options_;
  const Clock::time_point started_;
  mutable std::mutex mutex_;

  std::array<ParameterImageBytes, kSimModeSlots> slots_{};
  ParameterImageBytes working_{};
  int currentMode_ = 0;
  Settings settings_{};
  RemoteTable remote_{};
  bool changed_ = false;  // since the last state save
  bool restart_ = false;  // a machine reset waits for TakeRestart

  std::deque<Queued> queued_;  // sorted by due time
  int commands_ = 0;
  int replies_ = 0;
  int zwaveAcks_ = 0;

  std::deque<std::string> transcript_;
  std::FILE* transcriptFile_ = nullptr;
};

// The DSP record for (block, address) found by walking the record area of an image
// from offset 1422: the image offset of its first value byte and its value count.
struct SimRecordSlot {
  int valueOffset = 0;
  int count = 0;
};
std::optional<SimRecordSlot> FindImageRecord(const ParameterImageBytes& image, std::uint8_t block,
                                             std::uint8_t address);

}  // namespace dsptune
