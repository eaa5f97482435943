#include "model/ParameterImage.h"

#include <atomic>

#include <algorithm>
#include <cmath>

#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/RecordFormulas.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

std::unique_ptr<DataModel>& ModelSlot() {
  static std::unique_ptr<DataModel> model;
  return model;
}

// Runs f on the current model under its lock and returns what f returns.
template <typename F>
auto Locked(F&& f) {
  DataModel& m = CurrentModel();
  std::lock_guard lock(m.mutex);
  return f(m);
}

// The writer for an edit, noting in the model when no device will receive it. Called
// with the model lock held.
DeviceWriter* NoteDelivery(DataModel& m) {
  if (!m.writer || !m.writer->Delivers()) m.unsentEdits = true;
  else if (m.fileOrigin) m.fileOrigin->leftForDevice = true;
  return m.writer;
}

// The settings as a mode file stores them: the live block over the image's first bytes.
ParameterImageBytes WorkingBytes(const DataModel& m) {
  ParameterImageBytes settings = m.image;
  std::copy(m.live.begin(), m.live.end(), settings.begin());
  return settings;
}

std::array<std::uint32_t, 7> RecordWords(const ParameterImageBytes& image, const DspRecordLayout& r) {
  std::array<std::uint32_t, 7> words{};
  for (int i = 0; i < r.count && i < 7; ++i) words[std::size_t(i)] = GetU32(&image[r.ValueOffset() + 4u * i]);
  return words;
}

std::uint32_t FirstWord(const ParameterImageBytes& image, std::uint8_t block, std::uint8_t address) {
  const DspRecordLayout* r = FindRecord(block, address);
  return r ? GetU32(&image[r->ValueOffset()]) : 0;
}

CompressorValues DecodeCompressorAt(const ParameterImageBytes& image, std::uint8_t block, std::uint8_t address) {
  const DspRecordLayout* r = FindRecord(block, address);
  return r ? DecodeCompressorRecord(RecordWords(image, *r)) : CompressorValues{};
}

void ApplySsvcRecord(const std::uint8_t* record, SsvcSettings& ssvc) {
  ssvc.roomWidth = record[0];
  ssvc.roomLength = record[1];
  ssvc.listenerX = DecodeSignedTenths(record[2]);
  ssvc.listenerY = DecodeSignedTenths(record[3]);
  for (int s = 0; s < 8; ++s) {
    ssvc.speakers[std::size_t(s)][0] = DecodeSignedTenths(record[4 + 2 * s]);
    ssvc.speakers[std::size_t(s)][1] = DecodeSignedTenths(record[5 + 2 * s]);
  }
}

int ShiftFrequencyFromImage(const ParameterImageBytes& image, const std::array<std::int32_t, kParameterCount>& ui,
                            std::uint8_t incrementAddress, std::uint8_t switchAddress) {
  const int slot = FindParameter(1, switchAddress)->uiSlot;
  if (ui[std::size_t(slot)] != 0) return 1;
  const double increment = BitsFloat(FirstWord(image, 1, incrementAddress));
  return SaturatingCast<int>(increment * 48000.0 * 0.5 / 3.141592653589793 + 0.001);
}

// The whole recomputation; the caller holds the model lock.
void ApplyImageLocked(DataModel& m) {
  std::copy_n(m.image.begin(), kApplyCopySize, m.live.begin());
  EditorValues& ev = m.editor;
  ApplySsvcRecord(&m.image[kSsvcSettingsOffset], ev.ssvc);

  for (int c = 1; c <= 8; ++c) {
    const std::uint8_t block = std::uint8_t(c + 4);
    ev.channelLimiters[std::size_t(c - 1)] = DecodeCompressorAt(m.image, block, 0x1B);
    const DspRecordLayout* split = FindRecord(block, 0x11);
    const float second = GetFloat(&m.image[split->ValueOffset() + 4u]);
    ev.bandSplitFlag[std::size_t(c - 1)] = SaturatingCast<int>(second * 100.0f) == 0 ? 1 : 0;
  }
  ev.recordLimiter = DecodeCompressorAt(m.image, 13, 0x0A);
  ev.musicCompressor = DecodeCompressorAt(m.image, 4, 0x0E);

  for (const ParameterEntry& e : ParameterTable()) {
    if (e.kind == ConversionKind::None) continue;
    if (e.uiSlot < 0 || e.valueOffset < 0) break;
    m.ui[std::size_t(e.uiSlot)] = WordToUiValue(e.kind, GetU32(&m.image[std::size_t(e.valueOffset)]));
  }

  ev.shiftFrequency[0] = ShiftFrequencyFromImage(m.image, m.ui, 0x26, 0x28);
  ev.shiftFrequency[1] = ShiftFrequencyFromImage(m.image, m.ui, 0x41, 0x43);
  ev.musicPitch = static_cast<int>(FirstWord(m.image, 4, 0x15) & 0xFF) - 5;
  ev.subwooferDecayLevel = GetFloat(&m.live[kSubDecayLevelOffset]);
  ev.ssvcLocateSelector = m.live[kSsvcLocateOffset];
}

template <std::size_t N>
void CopyClipped(std::array<std::uint8_t, N>& target, int offset, std::span<const std::uint8_t> bytes) {
  if (offset < 0 || offset >= int(N)) return;
  const std::size_t n = std::min(bytes.size(), N - std::size_t(offset));
  std::copy_n(bytes.begin(), n, target.begin() + offset);
}

template <std::size_t N>
std::vector<std::uint8_t> ReadClipped(const std::array<std::uint8_t, N>& source, int offset, int length) {
  if (offset < 0 || length <= 0 || offset >= int(N)) return {};
  const std::size_t n = std::min(std::size_t(length), N - std::size_t(offset));
  return std::vector<std::uint8_t>(source.begin() + offset, source.begin() + offset + long(n));
}

}  // namespace

DataModel::DataModel() {
  image = DefaultImage();
  ApplyImageLocked(*this);
}

DataModel& CurrentModel() {
  auto& slot = ModelSlot();
  if (!slot) slot = std::make_unique<DataModel>();
  return *slot;
}

void ResetDataModel() { ModelSlot() = std::make_unique<DataModel>(); }

void SetDeviceWriter(DeviceWriter* writer) {
  Locked([&](DataModel& m) { m.writer = writer; });
}

namespace {
std::atomic<DeviceWriter*>& CoefficientWriter() {
  static std::atomic<DeviceWriter*> writer{nullptr};
  return writer;
}
}  // namespace

void SetCoefficientWriter(DeviceWriter* writer) { CoefficientWriter() = writer; }

namespace {
std::atomic<EditObserver*>& Observer() {
  static std::atomic<EditObserver*> observer{nullptr};
  return observer;
}

// Copies `bytes` over `target` at `offset` (the caller has checked the range) and tells
// the observer, if any, what changed. Called with the model lock held.
template <std::size_t N>
void StoreObserved(std::array<std::uint8_t, N>& target, int offset, std::span<const std::uint8_t> bytes) {
  EditObserver* observer = Observer().load();
  if (!observer) {
    std::copy(bytes.begin(), bytes.end(), target.begin() + offset);
    return;
  }
  std::array<std::uint8_t, kMaxLiveWrite> before{};
  const std::size_t n = std::min(bytes.size(), before.size());
  std::copy_n(target.begin() + offset, n, before.begin());
  std::copy(bytes.begin(), bytes.end(), target.begin() + offset);
  observer->OnEdit(offset, std::span(before).first(n), bytes.first(n));
}
}  // namespace

void SetEditObserver(EditObserver* observer) { Observer() = observer; }

void SendBandCoefficients(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) {
  if (DeviceWriter* writer = CoefficientWriter().load()) writer->SendBandCoefficients(block, address, values);
}

void LoadDefaultImage() {
  Locked([](DataModel& m) {
    m.fileOrigin.reset();
    m.image = DefaultImage();
    ApplyImageLocked(m);
  });
}

void ApplyImage() { Locked(ApplyImageLocked); }

bool HasUnsentEdits() {
  return Locked([](DataModel& m) { return m.unsentEdits; });
}
void MarkUnsentEdits() {
  Locked([](DataModel& m) { m.unsentEdits = true; });
}
void ClearUnsentEdits() {
  Locked([](DataModel& m) {
    m.unsentEdits = false;
    if (m.fileOrigin && WorkingBytes(m) != m.fileOrigin->settings) m.fileOrigin->leftForDevice = true;
  });
}

void NoteSettingsFromFile(const IdentityBlock& header, const ParameterImageBytes& settings) {
  Locked([&](DataModel& m) { m.fileOrigin = DataModel::FileOrigin{header, settings, false}; });
}

std::optional<IdentityBlock> FileHeaderFor(const ParameterImageBytes& settings) {
  return Locked([&](DataModel& m) -> std::optional<IdentityBlock> {
    if (!m.fileOrigin) return std::nullopt;
    const DataModel::FileOrigin& origin = *m.fileOrigin;
    if (settings == origin.settings || (!origin.leftForDevice && settings == WorkingBytes(m))) return origin.header;
    return std::nullopt;
  });
}
std::optional<ParameterImageBytes> ConfirmedSettings() {
  return Locked([](DataModel& m) { return m.confirmed; });
}
void NoteConfirmedSettings(const ParameterImageBytes& settings) {
  Locked([&](DataModel& m) { m.confirmed = settings; });
}

void CommitLiveBlock() {
  Locked([](DataModel& m) { std::copy(m.live.begin(), m.live.end(), m.image.begin()); });
}

void WriteDspRecord(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values, int count) {
  if (count < 0) return;
  const std::size_t bytes = std::min(values.size(), std::size_t(count) * 4);
  values = values.first(bytes);
  DataModel& m = CurrentModel();
  DeviceWriter* writer = nullptr;
  {
    std::lock_guard lock(m.mutex);
    const ParameterEntry* e = FindParameter(block, address);
    if (e && e->valueOffset >= 0) {
      // Never past the record's own values: a longer write would run into the next record.
      const std::size_t room = std::size_t(e->count) * 4;
      StoreObserved(m.image, e->valueOffset, values.first(std::min(values.size(), room)));
      if (e->uiSlot >= 0 && values.size() >= 4)
        m.ui[std::size_t(e->uiSlot)] = WordToUiValue(e->kind, GetU32(values.data()));
    }
    writer = NoteDelivery(m);
  }
  if (writer) writer->SendDspRecord(block, address, values);
}

void SetParameter(std::uint8_t block, std::uint8_t address, std::int32_t uiValue) {
  DataModel& m = CurrentModel();
  std::array<std::uint8_t, 4> word{};
  DeviceWriter* writer = nullptr;
  {
    std::lock_guard lock(m.mutex);
    const ParameterEntry* e = FindParameter(block, address);
    if (!e || e->uiSlot < 0 || e->valueOffset < 0) return;
    m.ui[std::size_t(e->uiSlot)] = uiValue;
    PutU32(word.data(), UiValueToWord(e->kind, uiValue));
    StoreObserved(m.image, e->valueOffset, word);
    writer = NoteDelivery(m);
  }
  if (writer) writer->SendDspRecord(block, address, word);
}

bool WriteLiveBytes(int offset, std::span<const std::uint8_t> bytes) {
  if (offset < 0 || bytes.size() > std::size_t(kMaxLiveWrite) || offset + int(bytes.size()) > kLiveBlockSize)
    return false;
  DataModel& m = CurrentModel();
  DeviceWriter* writer = nullptr;
  {
    std::lock_guard lock(m.mutex);
    StoreObserved(m.live, offset, bytes);
    writer = NoteDelivery(m);
  }
  if (writer) writer->SendLiveBytes(std::uint16_t(offset), bytes);
  return true;
}

void AllowSendCoalescing(bool allowed) {
  DeviceWriter* writer = Locked([](DataModel& m) { return m.writer; });
  if (writer) writer->SetCoalescingAllowed(allowed);
}

ParameterImageBytes ImageSnapshot() {
  return Locked([](DataModel& m) { return m.image; });
}

LiveBlockBytes LiveBlockSnapshot() {
  return Locked([](DataModel& m) { return m.live; });
}

std::vector<std::uint8_t> ReadImageBytes(int offset, int length) {
  return Locked([&](DataModel& m) { return ReadClipped(m.image, offset, length); });
}

std::vector<std::uint8_t> ReadLiveBytes(int offset, int length) {
  return Locked([&](DataModel& m) { return ReadClipped(m.live, offset, length); });
}

std::int32_t UiValue(std::uint8_t block, std::uint8_t address) {
  const ParameterEntry* e = FindParameter(block, address);
  if (!e || e->uiSlot < 0) return 0;
  return Locked([&](DataModel& m) { return m.ui[std::size_t(e->uiSlot)]; });
}

EditorValues EditorSnapshot() {
  return Locked([](DataModel& m) { return m.editor; });
}

DeviceIdentity IdentitySnapshot() {
  return Locked([](DataModel& m) { return m.identity; });
}

void StoreImageBytes(int offset, std::span<const std::uint8_t> bytes) {
  Locked([&](DataModel& m) { CopyClipped(m.image, offset, bytes); });
}

void StoreLiveBytes(int offset, std::span<const std::uint8_t> bytes) {
  Locked([&](DataModel& m) { CopyClipped(m.live, offset, bytes); });
}

void ReplaceImage(const ParameterImageBytes& image) {
  Locked([&](DataModel& m) { m.image = image; });
}

void UpdateEditorValues(const std::function<void(EditorValues&)>& change) {
  Locked([&](DataModel& m) { change(m.editor); });
}

void UpdateIdentity(const std::function<void(DeviceIdentity&)>& change) {
  Locked([&](DataModel& m) { change(m.identity); });
}

void ApplySsvcSettingsRecordToEditor() {
  Locked([](DataModel& m) { ApplySsvcRecord(&m.live[kSsvcSettingsOffset], m.editor.ssvc); });
}

}  // namespace dsptune
