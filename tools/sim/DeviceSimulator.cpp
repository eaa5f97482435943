#include "tools/sim/DeviceSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "link/CommandSet.h"
#include "link/FrameCodec.h"
#include "link/PacketParams.h"
#include "model/DefaultImage.h"
#include "tools/sim/SimStateFile.h"

namespace dsptune {
namespace {

// A long demo polls the status every 500 ms; the in-memory transcript keeps the latest
// lines only, the file keeps them all.
constexpr std::size_t kTranscriptMemoryLines = 65536;

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
  DropPendingLearn();
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
  SimSavedState state;
  switch (LoadSimState(options_.statePath, state, error)) {
    case SimStateLoad::kMissing:
      return true;
    case SimStateLoad::kFailed:
      return false;
    case SimStateLoad::kLoaded:
      break;
  }
  currentMode_ = state.currentMode;
  working_ = state.working;
  slots_ = state.slots;
  settings_ = state.settings;
  remote_ = state.remote;
  changed_ = false;
  return true;
}

bool DeviceSimulator::SaveState(std::string& error) {
  return SaveSimState(options_.statePath, {currentMode_, working_, slots_, settings_, remote_}, error);
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

// The command handlers, one per command code. A nested class, so the handlers reach the
// device's state while the header names none of them.
struct DeviceSimulator::Commands {
  using Replies = std::vector<Packet>;
  struct Request {
    std::uint8_t code;
    const Params& p;
    Clock::time_point now;
  };
  using Handler = Replies (*)(DeviceSimulator&, const Request&);

  // Commands on one mode slot: checked, applied, and the slot becomes the current mode.
  template <typename Apply>
  static Replies OnMode(DeviceSimulator& d, const Request& r, Apply&& apply) {
    if (!r.p.Has(1)) return {Error(kSimErrorTooShort, r.code, r.p)};
    if (r.p[0] >= kSimModeSlots) return {Error(kSimErrorOutOfRange, r.code, r.p)};
    apply(std::size_t(r.p[0]));
    d.currentMode_ = r.p[0];
    d.changed_ = true;
    return {{r.code}};
  }
  static Replies SelectMode(DeviceSimulator& d, const Request& r) {
    return OnMode(d, r, [](std::size_t) {});
  }
  static Replies StoreMode(DeviceSimulator& d, const Request& r) {
    return OnMode(d, r, [&d](std::size_t m) { d.slots_[m] = d.working_; });
  }
  static Replies LoadMode(DeviceSimulator& d, const Request& r) {
    return OnMode(d, r, [&d](std::size_t m) { d.working_ = d.slots_[m]; });
  }
  static Replies FactoryMode(DeviceSimulator& d, const Request& r) {
    return OnMode(d, r, [&d](std::size_t m) {
      d.slots_[m] = DefaultImage();
      d.working_ = d.slots_[m];
    });
  }
  static Replies GetMode(DeviceSimulator& d, const Request& r) { return {{r.code, std::uint8_t(d.currentMode_)}}; }

  static Replies WriteDsp(DeviceSimulator& d, const Request& r) {
    // 09 00 block address n values. Only parameters with a record in the image are
    // kept; band coefficients (and the SSVC locate selector) go straight to the DSP.
    const Params& p = r.p;
    if (!p.Has(4)) return {Error(kSimErrorTooShort, r.code, p)};
    const std::size_t present = (p.size() - 4) / 4;
    if (const auto slot = FindImageRecord(d.working_, p[1], p[2])) {
      const std::size_t n = std::min({std::size_t(p[3]), present, std::size_t(slot->count)});
      if (n > 0 && StoreBytes(d.working_, kImageSize, slot->valueOffset, p.From(4, 4 * n))) d.changed_ = true;
    }
    return {{r.code}};
  }

  static Replies Status(DeviceSimulator& d, const Request& r) {
    const DeviceSimulator::Status status = d.BuildStatus(r.now);
    Packet out{r.code};
    out.insert(out.end(), status.begin(), status.end());
    return {out};
  }

  static Replies ReadImage(DeviceSimulator& d, const Request& r) {
    const Params& p = r.p;
    if (!p.Has(3)) return {Error(kSimErrorTooShort, r.code, p)};
    const int offset = (p[0] << 8) | p[1];
    const int n = offset >= kImageSize ? 0 : std::min({int(p[2]), kSimMaxChunk, kImageSize - offset});
    Packet out{r.code, p[0], p[1], std::uint8_t(n)};
    if (n > 0) out.insert(out.end(), d.working_.begin() + offset, d.working_.begin() + offset + n);
    return {out};
  }
  static Replies WriteImage(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(3)) return {Error(kSimErrorTooShort, r.code, r.p)};
    if (StoreBytes(d.working_, kImageSize, (r.p[0] << 8) | r.p[1], r.p.From(3, r.p[2]))) d.changed_ = true;
    return {{r.code}};
  }

  static Replies LearnKey(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(1)) return {Error(kSimErrorTooShort, r.code, r.p)};
    const std::uint8_t key = r.p[0];
    if (key < 1 || key > kLearnKeyCount) return {Error(kSimErrorOutOfRange, r.code, r.p)};
    // The answer comes when "the user presses the key": a later learn request replaces
    // a pending one, as the receiver listens for one key at a time.
    d.DropPendingLearn();
    d.Enqueue({r.now + d.options_.learnDelay + d.options_.replyLatency,
               {r.code, kSimLearnAddress, key, LearnedCode(key)},
               true});
    return {};
  }
  static Replies EndLearn(DeviceSimulator& d, const Request& r) {
    d.DropPendingLearn();
    return {{r.code}};
  }
  static Replies GetRemoteTable(DeviceSimulator& d, const Request& r) {
    Packet out{r.code};
    out.insert(out.end(), d.remote_.begin(), d.remote_.begin() + kSimRemoteReadSize);
    return {out};
  }
  static Replies SetRemoteTable(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(kSimRemoteTableSize)) return {Error(kSimErrorTooShort, r.code, r.p)};
    std::copy_n(r.p.From(0, kSimRemoteTableSize).begin(), kSimRemoteTableSize, d.remote_.begin());
    d.changed_ = true;
    return {{r.code}};
  }

  static Replies ResetMachine(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(1)) return {Error(kSimErrorTooShort, r.code, r.p)};
    if (r.p[0] != kFactoryResetKey) return {Error(kSimErrorOutOfRange, r.code, r.p)};
    d.FactoryReset();
    d.restart_ = true;
    return {{r.code}};
  }

  static Replies DspVersion(DeviceSimulator& d, const Request& r) { return {Text(r.code, d.options_.dspVersion)}; }
  static Replies ProtocolCode(DeviceSimulator& d, const Request& r) {
    return {{r.code, std::uint8_t(d.options_.protocolCode)}};
  }
  static Replies ModelName(DeviceSimulator& d, const Request& r) { return {Text(r.code, d.options_.modelName)}; }
  static Replies McuVersion(DeviceSimulator& d, const Request& r) { return {Text(r.code, d.options_.mcuVersion)}; }

  static Replies WriteLive(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(3)) return {Error(kSimErrorTooShort, r.code, r.p)};
    if (StoreBytes(d.working_, kLiveBlockSize, (r.p[0] << 8) | r.p[1], r.p.From(3, r.p[2]))) d.changed_ = true;
    return {{r.code}};
  }
  static Replies Disconnect(DeviceSimulator& d, const Request&) {
    // The program is leaving: no answer, and nobody is left to press a key for.
    d.DropPendingLearn();
    return {};
  }

  static Replies SetMachineSettings(DeviceSimulator& d, const Request& r) {
    if (!r.p.Has(kSimSettingsSize)) return {Error(kSimErrorTooShort, r.code, r.p)};
    std::copy_n(r.p.From(0, kSimSettingsSize).begin(), kSimSettingsSize, d.settings_.begin());
    d.changed_ = true;
    return {{r.code}};
  }
  static Replies GetMachineSettings(DeviceSimulator& d, const Request& r) {
    Packet out{r.code};
    out.insert(out.end(), d.settings_.begin(), d.settings_.end());
    return {out};
  }

  // Any other code (the end of an image write among them) is acknowledged with its code.
  static Replies Acknowledge(DeviceSimulator&, const Request& r) { return {{r.code}}; }

  static constexpr std::array<Handler, 256> Table() {
    std::array<Handler, 256> table{};
    table.fill(&Acknowledge);
    table[kCmdSelectMode] = &SelectMode;
    table[kCmdStoreMode] = &StoreMode;
    table[kCmdLoadMode] = &LoadMode;
    table[kCmdFactoryMode] = &FactoryMode;
    table[kCmdGetMode] = &GetMode;
    table[kCmdWriteDsp] = &WriteDsp;
    table[kCmdStatus] = &Status;
    table[kCmdReadImage] = &ReadImage;
    table[kCmdWriteImage] = &WriteImage;
    table[kCmdLearnKey] = &LearnKey;
    table[kCmdEndLearn] = &EndLearn;
    table[kCmdGetRemoteTable] = &GetRemoteTable;
    table[kCmdSetRemoteTable] = &SetRemoteTable;
    table[kCmdResetMachine] = &ResetMachine;
    table[kCmdDspVersion] = &DspVersion;
    table[kCmdProtocolCode] = &ProtocolCode;
    table[kCmdModelName] = &ModelName;
    table[kCmdMcuVersion] = &McuVersion;
    table[kCmdWriteLive] = &WriteLive;
    table[kCmdDisconnect] = &Disconnect;
    table[kCmdSetMachineSettings] = &SetMachineSettings;
    table[kCmdGetMachineSettings] = &GetMachineSettings;
    return table;
  }
};

std::vector<DeviceSimulator::Packet> DeviceSimulator::Execute(std::span<const std::uint8_t> packet,
                                                              Clock::time_point now) {
  static constexpr std::array<Commands::Handler, 256> kHandlers = Commands::Table();
  const Params p = CommandParams(packet);
  return kHandlers[packet[0]](*this, {packet[0], p, now});
}

void DeviceSimulator::DropPendingLearn() {
  std::erase_if(queued_, [](const Queued& q) { return q.learn; });
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
