#include "model/ParameterImage.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/DeviceData.h"
#include "model/RecordFormulas.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

// Runs f on a model under its lock and returns what f returns.
template <typename F>
auto Locked(DataModel& m, F&& f) {
  std::lock_guard lock(m.mutex);
  return f(m);
}

// The same on the current device's model.
template <typename F>
auto Locked(F&& f) {
  return Locked(CurrentModel(), std::forward<F>(f));
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

DataModel::DataModel(DeviceData* owner) : device(owner) {
  image = DefaultImage();
  ApplyImageLocked(*this);
}

DataModel& CurrentModel() { return CurrentDeviceData().Model(); }

void ResetDataModel() { CurrentDeviceData().ResetModel(); }

void SetDeviceWriter(DeviceWriter* writer) { SetDeviceWriter(CurrentModel(), writer); }
void SetDeviceWriter(DataModel& m, DeviceWriter* writer) {
  Locked(m, [&](DataModel& locked) { locked.writer = writer; });
}

void SetCoefficientWriter(DeviceWriter* writer) { CurrentDeviceData().coefficientWriter = writer; }

namespace {
// Copies `bytes` over `target` at `offset` (the caller has checked the range) and tells
// the model's observer, if any, what changed. Called with the model lock held.
template <std::size_t N>
void StoreObserved(const DataModel& m, std::array<std::uint8_t, N>& target, int offset,
                   std::span<const std::uint8_t> bytes) {
  EditObserver* observer = m.device ? m.device->editObserver.load() : nullptr;
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

void SetEditObserver(EditObserver* observer) { CurrentDeviceData().editObserver = observer; }

void SendBandCoefficients(std::uint8_t block, std::uint8_t address, std::span<const std::uint8_t> values) {
  if (DeviceWriter* writer = CurrentDeviceData().coefficientWriter.load())
    writer->SendBandCoefficients(block, address, values);
}

void LoadDefaultImage() {
  Locked([](DataModel& m) {
    m.fileOrigin.reset();
    m.image = DefaultImage();
    ApplyImageLocked(m);
  });
}

void ApplyImage() { ApplyImage(CurrentModel()); }
void ApplyImage(DataModel& m) { Locked(m, ApplyImageLocked); }

bool HasUnsentEdits() { return HasUnsentEdits(CurrentModel()); }
bool HasUnsentEdits(DataModel& model) {
  return Locked(model, [](DataModel& m) { return m.unsentEdits; });
}
void MarkUnsentEdits() { MarkUnsentEdits(CurrentModel()); }
void MarkUnsentEdits(DataModel& model) {
  Locked(model, [](DataModel& m) { m.unsentEdits = true; });
}
void ClearUnsentEdits() { ClearUnsentEdits(CurrentModel()); }
void ClearUnsentEdits(DataModel& model) {
  Locked(model, [](DataModel& m) {
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
void NoteConfirmedSettings(const ParameterImageBytes& settings) { NoteConfirmedSettings(CurrentModel(), settings); }
void NoteConfirmedSettings(DataModel& model, const ParameterImageBytes& settings) {
  Locked(model, [&](DataModel& m) { m.confirmed = settings; });
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
      StoreObserved(m, m.image, e->valueOffset, values.first(std::min(values.size(), room)));
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
    StoreObserved(m, m.image, e->valueOffset, word);
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
    StoreObserved(m, m.live, offset, bytes);
    writer = NoteDelivery(m);
  }
  if (writer) writer->SendLiveBytes(std::uint16_t(offset), bytes);
  return true;
}

void AllowSendCoalescing(bool allowed) {
  DeviceWriter* writer = Locked([](DataModel& m) { return m.writer; });
  if (writer) writer->SetCoalescingAllowed(allowed);
}

ParameterImageBytes ImageSnapshot() { return ImageSnapshot(CurrentModel()); }
ParameterImageBytes ImageSnapshot(DataModel& model) {
  return Locked(model, [](DataModel& m) { return m.image; });
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

DeviceIdentity IdentitySnapshot() { return IdentitySnapshot(CurrentModel()); }
DeviceIdentity IdentitySnapshot(DataModel& model) {
  return Locked(model, [](DataModel& m) { return m.identity; });
}

void StoreImageBytes(int offset, std::span<const std::uint8_t> bytes) { StoreImageBytes(CurrentModel(), offset, bytes); }
void StoreImageBytes(DataModel& model, int offset, std::span<const std::uint8_t> bytes) {
  Locked(model, [&](DataModel& m) { CopyClipped(m.image, offset, bytes); });
}

void StoreLiveBytes(int offset, std::span<const std::uint8_t> bytes) { StoreLiveBytes(CurrentModel(), offset, bytes); }
void StoreLiveBytes(DataModel& model, int offset, std::span<const std::uint8_t> bytes) {
  Locked(model, [&](DataModel& m) { CopyClipped(m.live, offset, bytes); });
}

void ReplaceImage(const ParameterImageBytes& image) {
  Locked([&](DataModel& m) { m.image = image; });
}

void UpdateEditorValues(const std::function<void(EditorValues&)>& change) { UpdateEditorValues(CurrentModel(), change); }
void UpdateEditorValues(DataModel& model, const std::function<void(EditorValues&)>& change) {
  Locked(model, [&](DataModel& m) { change(m.editor); });
}

void UpdateIdentity(const std::function<void(DeviceIdentity&)>& change) { UpdateIdentity(CurrentModel(), change); }
void UpdateIdentity(DataModel& model, const std::function<void(DeviceIdentity&)>& change) {
  Locked(model, [&](DataModel& m) { change(m.identity); });
}

void ApplySsvcSettingsRecordToEditor() { ApplySsvcSettingsRecordToEditor(CurrentModel()); }
void ApplySsvcSettingsRecordToEditor(DataModel& model) {
  Locked(model, [](DataModel& m) { ApplySsvcRecord(&m.live[kSsvcSettingsOffset], m.editor.ssvc); });
}

}  // namespace dsptune
