#include "tools/sim/DeviceSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <utility>

#include "link/CommandSet.h"
#include "link/FrameCodec.h"
#include "link/PacketParams.h"
#include "model/DefaultImage.h"

namespace dsptune {
namespace {

// A long demo polls the status every 500 ms; the in-memory transcript keeps the latest
// lines only, the file keeps them all.
constexpr std::size_t kTranscriptMemoryLines = 65536;

constexpr char kStateMagic[8] = {'D', 'S', 'P', 'T', 'S', 'I', 'M', '1'};
constexpr std::size_t kStateSize = sizeof kStateMagic + 1 + (1 + kSimModeSlots) * std::size_t(kImageSize) +
                                   kSimSettingsSize + kSimRemoteTableSize;

constexpr std::uint8_t kPitchBlock = 4, kPitchAddress = 0x15;
constexpr std::uint8_t kFactoryResetKey = 0xAA;
constexpr int kLearnKeyCount = 25;

// Converter codes the simulated hardware reports in status bytes 16..22: MIC AK5358,
// CH7/8 and CH5/6 AK4396, CH3/4 CS4398, CH1/2 PCM1794, music PCM4202.
constexpr std::array<std::uint8_t, 7> kConverterCodes = {1, 1, 1, 2, 4, 0, 2};
constexpr int kConverterOffset = 16;

// Parameters of a command: the bytes after its code.
using Params = PacketParams;
Params CommandParams(std::span<const std::uint8_t> packet) { return Params(packet, 1); }

DeviceSimulator::Packet Error(std::uint8_t code, std::uint8_t command, const Params& p) {
  return {kCmdParameterError, code, command, p[0]};
}

DeviceSimulator::Packet Text(std::uint8_t code, const std::string& text) {
  const std::size_t n = std::min<std::size_t>(text.size(), kSimMaxText);
  DeviceSimulator::Packet out(n + 2, 0);  // code, text, terminating zero
  out[0] = code;
  std::copy_n(text.begin(), n, out.begin() + 1);
  return out;
}

std::string HexLine(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    if (!line.empty()) line.push_back(' ');
    line.push_back(kDigits[b >> 4]);
    line.push_back(kDigits[b & 0x0F]);
  }
  return line;
}

// Copies at most the bytes present, cut at the end of the target region [0, limit).
template <std::size_t N>
bool StoreBytes(std::array<std::uint8_t, N>& target, int limit, int offset, std::span<const std::uint8_t> data) {
  if (offset < 0 || offset >= limit) return false;
  const std::size_t n = std::min<std::size_t>(data.size(), std::size_t(limit - offset));
  std::copy_n(data.begin(), n, target.begin() + offset);
  return n > 0;
}

}  // namespace

std::optional<SimRecordSlot> FindImageRecord(const ParameterImageBytes& image, std::uint8_t block,
                                             std::uint8_t address) {
  // The record area is packed without gaps; a count that runs past the image end means
  // the area was overwritten with something else and the walk cannot go on.
  int pos = kRecordAreaOffset;
  while (pos + 3 <= kImageSize) {
    const int count = image[std::size_t(pos + 2)];
    const int size = 3 + 4 * count;
    if (pos + size > kImageSize) break;
    if (image[std::size_t(pos)] == block && image[std::size_t(pos + 1)] == address)
      return SimRecordSlot{pos + 3, count};
    pos += size;
  }
  return std::nullopt;
}

DeviceSimulator::DeviceSimulator(DeviceOptions options) : options_(std::move(options)), started_(Clock::now()) {
  FactoryReset();
  changed_ = false;
}

DeviceSimulator::~DeviceSimulator() {
  if (transcriptFile_) std::fclose(transcriptFile_);
}

DeviceSimulator::Settings DeviceSimulator::FactorySettings() {
  // Volumes remembered with the power cycle, no power-on volumes, limits 80 (mic) and
  // 90 (music), nothing locked, power-on mode Auto, HDMI not muted, surround to SL/SR.
  Settings s{};
  s[5] = 80;
  s[6] = 90;
  return s;
}

DeviceSimulator::RemoteTable DeviceSimulator::FactoryRemoteTable() {
  // A new receiver has learned nothing.
  return RemoteTable{};
}

std::uint8_t DeviceSimulator::LearnedCode(std::uint8_t key) { return std::uint8_t(0x40 + key); }

void DeviceSimulator::FactoryReset() {
  for (auto& slot : slots_) slot = DefaultImage();
  working_ = DefaultImage();
  currentMode_ = 0;
  settings_ = FactorySettings();
  remote_ = FactoryRemoteTable();
  std::erase_if(queued_, [](const Queued& q) { return q.learn; });
  changed_ = true;
}

bool DeviceSimulator::OpenFiles(std::string& error) {
  std::lock_guard lock(mutex_);
  if (!options_.transcriptPath.empty() && !transcriptFile_) {
    transcriptFile_ = std::fopen(options_.transcriptPath.c_str(), "a");
    if (!transcriptFile_) {
      error = "cannot open transcript file " + options_.transcriptPath + ": " + std::strerror(errno);
      return false;
    }
  }
  if (!options_.statePath.empty()) return LoadState(error);
  return true;
}

bool DeviceSimulator::LoadState(std::string& error) {
  std::FILE* f = std::fopen(options_.statePath.c_str(), "rb");
  if (!f) {
    if (errno == ENOENT) return true;
    error = "cannot open state file " + options_.statePath + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::uint8_t> bytes(kStateSize + 1);
  const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != kStateSize || !std::equal(std::begin(kStateMagic), std::end(kStateMagic), bytes.begin()) ||
      bytes[sizeof kStateMagic] >= kSimModeSlots) {
    error = "state file " + options_.statePath + " is not a simulator state file";
    return false;
  }
  auto it = bytes.begin() + sizeof kStateMagic;
  currentMode_ = *it++;
  std::copy_n(it, kImageSize, working_.begin());
  it += kImageSize;
  for (auto& slot : slots_) {
    std::copy_n(it, kImageSize, slot.begin());
    it += kImageSize;
  }
  std::copy_n(it, kSimSettingsSize, settings_.begin());
  it += kSimSettingsSize;
  std::copy_n(it, kSimRemoteTableSize, remote_.begin());
  changed_ = false;
  return true;
}

bool DeviceSimulator::SaveState(std::string& error) {
  std::vector<std::uint8_t> bytes(std::begin(kStateMagic), std::end(kStateMagic));
  bytes.reserve(kStateSize);
  bytes.push_back(std::uint8_t(currentMode_));
  bytes.insert(bytes.end(), working_.begin(), working_.end());
  for (const auto& slot : slots_) bytes.insert(bytes.end(), slot.begin(), slot.end());
  bytes.insert(bytes.end(), settings_.begin(), settings_.end());
  bytes.insert(bytes.end(), remote_.begin(), remote_.end());

  // Written beside the target and renamed over it, so a crash mid-write leaves the old
  // state readable.
  const std::string temp = options_.statePath + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot write state file " + temp + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), options_.statePath.c_str()) != 0) {
    error = "cannot write state file " + options_.statePath + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool DeviceSimulator::SaveStateIfChanged(std::string& error) {
  std::lock_guard lock(mutex_);
  if (options_.statePath.empty() || !changed_) return true;
  if (!SaveState(error)) return false;
  changed_ = false;
  return true;
}

void DeviceSimulator::Record(std::span<const std::uint8_t> bytes) {
  std::string line = HexLine(bytes);
  if (transcriptFile_) {
    std::fputs(line.c_str(), transcriptFile_);
    std::fputc('\n', transcriptFile_);
    std::fflush(transcriptFile_);
  }
  if (transcript_.size() == kTranscriptMemoryLines) transcript_.pop_front();
  transcript_.push_back(std::move(line));
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::HandlePacket(std::span<const std::uint8_t> packet) {
  const Clock::time_point now = Clock::now();
  std::lock_guard lock(mutex_);
  Record(packet);
  return Handle(packet, now);
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::HandleNetworkPayload(std::span<const std::uint8_t> payload) {
  const Clock::time_point now = Clock::now();
  std::lock_guard lock(mutex_);
  Record(payload);
  if (payload.empty()) return {};
  if (payload[0] == kDestZWave) {
    ++zwaveAcks_;
    return {};
  }
  if (payload[0] != kDestController) return {};
  return Handle(payload.subspan(1), now);
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::Handle(std::span<const std::uint8_t> packet,
                                                             Clock::time_point now) {
  if (packet.empty()) return {};
  if (packet[0] == kCmdZWave) {
    // On USB the program's Z-Wave acknowledgement comes wrapped as 12 01 06; it is not
    // a controller command and gets no answer.
    ++zwaveAcks_;
    return {};
  }
  ++commands_;
  if (commands_ == options_.parameterErrorAfter) {  // once: the count only grows
    return Release({Error(kSimErrorInjected, packet[0], CommandParams(packet))}, now);
  }
  return Release(Execute(packet, now), now);
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::Execute(std::span<const std::uint8_t> packet,
                                                              Clock::time_point now) {
  const std::uint8_t code = packet[0];
  const Params p = CommandParams(packet);
  auto mode = [&](auto&& apply) -> std::vector<Packet> {
    if (!p.Has(1)) return {Error(kSimErrorTooShort, code, p)};
    if (p[0] >= kSimModeSlots) return {Error(kSimErrorOutOfRange, code, p)};
    apply(p[0]);
    currentMode_ = p[0];
    changed_ = true;
    return {{code}};
  };

  switch (code) {
    case kCmdSelectMode:
      return mode([](int) {});
    case kCmdStoreMode:
      return mode([this](int m) { slots_[std::size_t(m)] = working_; });
    case kCmdLoadMode:
      return mode([this](int m) { working_ = slots_[std::size_t(m)]; });
    case kCmdFactoryMode:
      return mode([this](int m) {
        slots_[std::size_t(m)] = DefaultImage();
        working_ = slots_[std::size_t(m)];
      });
    case kCmdGetMode:
      return {{code, std::uint8_t(currentMode_)}};

    case kCmdWriteDsp: {
      // 09 00 block address n values. Only parameters with a record in the image are
      // kept; band coefficients (and the SSVC locate selector) go straight to the DSP.
      if (!p.Has(4)) return {Error(kSimErrorTooShort, code, p)};
      const std::size_t present = (p.size() - 4) / 4;
      if (const auto slot = FindImageRecord(working_, p[1], p[2])) {
        const std::size_t n = std::min({std::size_t(p[3]), present, std::size_t(slot->count)});
        if (n > 0 && StoreBytes(working_, kImageSize, slot->valueOffset, p.From(4, 4 * n))) changed_ = true;
      }
      return {{code}};
    }

    case kCmdStatus: {
      const Status status = BuildStatus(now);
      Packet out{code};
      out.insert(out.end(), status.begin(), status.end());
      return {out};
    }

    case kCmdReadImage: {
      if (!p.Has(3)) return {Error(kSimErrorTooShort, code, p)};
      const int offset = (p[0] << 8) | p[1];
      const int n = offset >= kImageSize ? 0 : std::min({int(p[2]), kSimMaxChunk, kImageSize - offset});
      Packet out{code, p[0], p[1], std::uint8_t(n)};
      if (n > 0) out.insert(out.end(), working_.begin() + offset, working_.begin() + offset + n);
      return {out};
    }
    case kCmdWriteImage: {
      if (!p.Has(3)) return {Error(kSimErrorTooShort, code, p)};
      if (StoreBytes(working_, kImageSize, (p[0] << 8) | p[1], p.From(3, p[2]))) changed_ = true;
      return {{code}};
    }
    case kCmdEndImageWrite:
      return {{code}};

    case kCmdLearnKey: {
      if (!p.Has(1)) return {Error(kSimErrorTooShort, code, p)};
      const std::uint8_t key = p[0];
      if (key < 1 || key > kLearnKeyCount) return {Error(kSimErrorOutOfRange, code, p)};
      // The answer comes when "the user presses the key": a later learn request replaces
      // a pending one, as the receiver listens for one key at a time.
      std::erase_if(queued_, [](const Queued& q) { return q.learn; });
      Enqueue({now + options_.learnDelay + options_.replyLatency, {code, kSimLearnAddress, key, LearnedCode(key)}, true});
      return {};
    }
    case kCmdEndLearn:
      std::erase_if(queued_, [](const Queued& q) { return q.learn; });
      return {{code}};
    case kCmdGetRemoteTable: {
      Packet out{code};
      out.insert(out.end(), remote_.begin(), remote_.begin() + kSimRemoteReadSize);
      return {out};
    }
    case kCmdSetRemoteTable:
      if (!p.Has(kSimRemoteTableSize)) return {Error(kSimErrorTooShort, code, p)};
      std::copy_n(p.From(0, kSimRemoteTableSize).begin(), kSimRemoteTableSize, remote_.begin());
      changed_ = true;
      return {{code}};

    case kCmdResetMachine:
      if (!p.Has(1)) return {Error(kSimErrorTooShort, code, p)};
      if (p[0] != kFactoryResetKey) return {Error(kSimErrorOutOfRange, code, p)};
      FactoryReset();
      restart_ = true;
      return {{code}};

    case kCmdDspVersion:
      return {Text(code, options_.dspVersion)};
    case kCmdProtocolCode:
      return {{code, std::uint8_t(options_.protocolCode)}};
    case kCmdModelName:
      return {Text(code, options_.modelName)};
    case kCmdMcuVersion:
      return {Text(code, options_.mcuVersion)};

    case kCmdWriteLive: {
      if (!p.Has(3)) return {Error(kSimErrorTooShort, code, p)};
      if (StoreBytes(working_, kLiveBlockSize, (p[0] << 8) | p[1], p.From(3, p[2]))) changed_ = true;
      return {{code}};
    }
    case kCmdDisconnect:
      // The program is leaving: no answer, and nobody is left to press a key for.
      std::erase_if(queued_, [](const Queued& q) { return q.learn; });
      return {};

    case kCmdSetMachineSettings:
      if (!p.Has(kSimSettingsSize)) return {Error(kSimErrorTooShort, code, p)};
      std::copy_n(p.From(0, kSimSettingsSize).begin(), kSimSettingsSize, settings_.begin());
      changed_ = true;
      return {{code}};
    case kCmdGetMachineSettings: {
      Packet out{code};
      out.insert(out.end(), settings_.begin(), settings_.end());
      return {out};
    }

    default:
      return {{code}};
  }
}

bool DeviceSimulator::DropThisReply() {
  ++replies_;
  return options_.dropEvery > 0 && replies_ % options_.dropEvery == 0;
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::Release(std::vector<Packet> replies, Clock::time_point now) {
  if (options_.replyLatency.count() > 0) {
    for (Packet& r : replies) Enqueue({now + options_.replyLatency, std::move(r), false});
    return {};
  }
  std::erase_if(replies, [this](const Packet&) { return DropThisReply(); });
  return replies;
}

void DeviceSimulator::Enqueue(Queued item) {
  // Stable for equal times: answers leave in the order they were made.
  const auto at = std::upper_bound(queued_.begin(), queued_.end(), item.due,
                                   [](Clock::time_point due, const Queued& q) { return due < q.due; });
  queued_.insert(at, std::move(item));
}

std::vector<DeviceSimulator::Packet> DeviceSimulator::TakeDueReplies(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  std::vector<Packet> out;
  while (!queued_.empty() && queued_.front().due <= now) {
    Packet packet = std::move(queued_.front().packet);
    queued_.pop_front();
    if (!DropThisReply()) out.push_back(std::move(packet));
  }
  return out;
}

std::optional<DeviceSimulator::Clock::time_point> DeviceSimulator::NextDueTime() const {
  std::lock_guard lock(mutex_);
  if (queued_.empty()) return std::nullopt;
  return queued_.front().due;
}

void DeviceSimulator::DropQueuedReplies() {
  std::lock_guard lock(mutex_);
  queued_.clear();
}

bool DeviceSimulator::TakeRestart() {
  std::lock_guard lock(mutex_);
  return std::exchange(restart_, false);
}

DeviceSimulator::Status DeviceSimulator::BuildStatus(Clock::time_point now) const {
  Status s{};
  // Six meters sweeping 0..100 and back, each a little behind the previous one.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - started_).count();
  for (int i = 0; i < 6; ++i) {
    const int phase = int((ms / 20 + i * 33) % 200);
    s[std::size_t(i)] = std::uint8_t(phase <= 100 ? phase : 200 - phase);
  }
  std::uint8_t pitchPlusFive = 5;
  if (const auto slot = FindImageRecord(working_, kPitchBlock, kPitchAddress); slot && slot->count > 0)
    pitchPlusFive = working_[std::size_t(slot->valueOffset + 3)];
  s[7] = std::uint8_t(((pitchPlusFive & 0x0F) << 4) | (options_.streamFormat & 0x0F));
  std::copy(kConverterCodes.begin(), kConverterCodes.end(), s.begin() + kConverterOffset);
  return s;
}

ParameterImageBytes DeviceSimulator::WorkingImage() const {
  std::lock_guard lock(mutex_);
  return working_;
}

ParameterImageBytes DeviceSimulator::SlotImage(int slot) const {
  std::lock_guard lock(mutex_);
  return slots_[std::size_t(std::clamp(slot, 0, kSimModeSlots - 1))];
}

int DeviceSimulator::CurrentMode() const {
  std::lock_guard lock(mutex_);
  return currentMode_;
}

DeviceSimulator::Settings DeviceSimulator::MachineSettings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

DeviceSimulator::RemoteTable DeviceSimulator::RemoteCodes() const {
  std::lock_guard lock(mutex_);
  return remote_;
}

DeviceSimulator::Status DeviceSimulator::StatusBlock() const {
  std::lock_guard lock(mutex_);
  return BuildStatus(Clock::now());
}

bool DeviceSimulator::LearnPending() const {
  std::lock_guard lock(mutex_);
  return std::any_of(queued_.begin(), queued_.end(), [](const Queued& q) { return q.learn; });
}

int DeviceSimulator::ZWaveAcks() const {
  std::lock_guard lock(mutex_);
  return zwaveAcks_;
}

int DeviceSimulator::CommandsReceived() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

std::vector<std::string> DeviceSimulator::Transcript() const {
  std::lock_guard lock(mutex_);
  return {transcript_.begin(), transcript_.end()};
}

}  // namespace dsptune
