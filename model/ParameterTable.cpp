#include "model/ParameterTable.h"

#include <cmath>
#include <algorithm>
#include <initializer_list>

#include "model/BigEndian.h"
#include "model/ParameterImage.h"
#include "model/RecordFormulas.h"
#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

using K = ConversionKind;

class LayoutBuilder {
 public:
  // A single-value record whose default is given as a UI value of its kind.
  void Value(std::uint8_t block, std::uint8_t address, K kind, double uiDefault) {
    DspRecordLayout r = Start(block, address, 1, kind);
    std::int32_t ui = 0;
    if (kind == K::Raw || kind == K::Milliseconds)
      ui = UiFromFloat(static_cast<float>(uiDefault));
    else
      ui = SaturatingCast<std::int32_t>(uiDefault);
    r.defaults[0] = UiValueToWord(kind, ui);
    Push(r);
  }
  // The same kind and default at consecutive addresses.
  void Values(std::uint8_t block, std::uint8_t first, int n, K kind, double uiDefault) {
    for (int i = 0; i < n; ++i) Value(block, std::uint8_t(first + i), kind, uiDefault);
  }
  // A record of kind None (or without an entry) given as raw words.
  void Words(std::uint8_t block, std::uint8_t address, std::initializer_list<std::uint32_t> words,
             bool hasEntry = true, bool imageLinked = true) {
    DspRecordLayout r = Start(block, address, std::uint8_t(words.size()), K::None);
    r.hasEntry = hasEntry;
    r.imageLinked = imageLinked;
    int i = 0;
    for (std::uint32_t w : words) r.defaults[i++] = w;
    Push(r);
  }
  void Floats(std::uint8_t block, std::uint8_t address, std::initializer_list<float> values) {
    DspRecordLayout r = Start(block, address, std::uint8_t(values.size()), K::None);
    int i = 0;
    for (float v : values) r.defaults[i++] = FloatBits(v);
    Push(r);
  }
  // A multi-value record of kind None given as raw words.
  void Record(std::uint8_t block, std::uint8_t address, std::span<const std::uint32_t> words) {
    DspRecordLayout r = Start(block, address, std::uint8_t(words.size()), K::None);
    std::copy(words.begin(), words.end(), r.defaults.begin());
    Push(r);
  }
  void Push(const DspRecordLayout& r) {
    records_.push_back(r);
    next_ = std::uint16_t(next_ + r.Size());
  }
  std::vector<DspRecordLayout> Take() { return std::move(records_); }

 private:
  DspRecordLayout Start(std::uint8_t block, std::uint8_t address, std::uint8_t count, K kind) const {
    DspRecordLayout r;
    r.block = block;
    r.address = address;
    r.count = count;
    r.kind = kind;
    r.offset = next_;
    return r;
  }
  std::vector<DspRecordLayout> records_;
  std::uint16_t next_ = kRecordAreaOffset;
};


void AddShiftFrequencyTriple(LayoutBuilder& b, std::uint8_t first) {
  b.Words(1, first, {FloatBits(ShiftFrequencyIncrement(5))});
  b.Value(1, std::uint8_t(first + 1), K::Milliseconds, 25.0);
  b.Value(1, std::uint8_t(first + 2), K::Byte, 0);
}

void AddMicrophoneBlock(LayoutBuilder& b) {
  b.Values(1, 0x04, 4, K::Percent, 100);        // microphone 1..4 input volume
  b.Values(1, 0x08, 4, K::PerTenThousand, 20);  // microphone 1..4 noise gate
  b.Value(1, 0x0C, K::Byte, 0);
  b.Value(1, 0x0D, K::Percent, 0);
  b.Value(1, 0x0E, K::Percent, 50);   // microphone master volume
  b.Value(1, 0x0F, K::Percent, 100);  // microphone mute gain
  b.Value(1, 0x10, K::Percent, 50);   // effect master volume
  b.Value(1, 0x11, K::Percent, 100);  // effect mute gain
  for (std::uint8_t path : {0x21, 0x3C}) {
    const bool a = path == 0x21;
    b.Value(1, path, K::Byte, 0);                                    // path EQ bypass
    b.Values(1, std::uint8_t(path + 1), 4, K::Percent, a ? 100 : 0);  // microphone 1..4 to path
    AddShiftFrequencyTriple(b, std::uint8_t(path + 5));
    b.Floats(1, std::uint8_t(path + 8), {1.0f});  // subwoofer-decay gains
    b.Floats(1, std::uint8_t(path + 9), {1.0f});
    b.Value(1, std::uint8_t(path + 10), K::Byte, 1);
    b.Record(1, std::uint8_t(path + 11), SixValueGainWords(0.0f, SixValueBlock::Microphone));
  }
}

void AddEchoBlock(LayoutBuilder& b) {
  for (std::uint8_t h : {0, 14}) {
    b.Value(2, std::uint8_t(0x07 + h), K::Byte, 0);            // EQ bypass
    b.Value(2, std::uint8_t(0x08 + h), K::Byte, 0);            // echo switch
    b.Value(2, std::uint8_t(0x09 + h), K::Percent, 65);        // echo level
    b.Value(2, std::uint8_t(0x0A + h), K::Milliseconds, 2);    // predelay
    b.Value(2, std::uint8_t(0x0B + h), K::Milliseconds, 247);  // echo time
    b.Value(2, std::uint8_t(0x0C + h), K::Percent, 88);        // start volume
    b.Value(2, std::uint8_t(0x0D + h), K::Percent, 50);        // volume decay
  }
  b.Value(2, 0x1C, K::Percent, 80);
  b.Value(2, 0x1D, K::Percent, 100);
}

void AddReverbBlock(LayoutBuilder& b) {
  for (std::uint8_t h : {0, 12}) {
    b.Value(3, std::uint8_t(0x07 + h), K::Byte, 0);
    b.Value(3, std::uint8_t(0x08 + h), K::Percent, 12);
    b.Value(3, std::uint8_t(0x09 + h), K::Milliseconds, 2);
    b.Values(3, std::uint8_t(0x0A + h), 2, K::Percent, 56);  // reverb time pair
  }
  b.Value(3, 0x18, K::Percent, 50);
  b.Value(3, 0x19, K::Percent, 100);
}

void AddMusicBlock(LayoutBuilder& b) {
  b.Value(4, 0x0B, K::Byte, 0);
  b.Value(4, 0x0C, K::Percent, 16);
  b.Value(4, 0x0D, K::Percent, 100);
  b.Record(4, 0x0E, CompressorRecordWords(0.0f, 4.0f, 60.0f, 600.0f));
  b.Value(4, 0x0F, K::Byte, 1);
  b.Words(4, 0x10, {0}, /*hasEntry=*/false);
  b.Words(4, 0x11, {FloatBits(-25.0f)}, /*hasEntry=*/false);
  b.Words(4, 0x15, {5}, /*hasEntry=*/true, /*imageLinked=*/false);  // music pitch + 5
  b.Value(4, 0x16, K::PerTenThousand, 0);
  b.Value(4, 0x17, K::Byte, 11);  // input source
  b.Values(4, 0x18, 14, K::Percent, 100);
  b.Value(4, 0x27, K::Milliseconds, 0);
  b.Value(4, 0x28, K::Percent, 0);
}

void AddOutputChannels(LayoutBuilder& b) {
  static constexpr std::array<int, 8> kDefaultSource = {1, 0, 7, 6, 5, 4, 3, 2};
  for (int c = 1; c <= 8; ++c) {
    const std::uint8_t block = std::uint8_t(c + 4);
    b.Value(block, 0x0F, K::Byte, 0);
    b.Value(block, 0x10, K::Byte, kDefaultSource[c - 1]);
    b.Floats(block, 0x11, {1.0f, 0.0f});  // band-split mix pair
    b.Value(block, 0x12, K::Milliseconds, 2);
    b.Value(block, 0x13, K::Byte, 1);
    b.Values(block, 0x14, 4, K::Percent, 100);
    b.Value(block, 0x18, K::Percent, 100);  // SSVC level
    b.Value(block, 0x19, K::Percent, 100);  // polarity
    b.Value(block, 0x1A, K::Percent, 100);  // mute gain
    b.Record(block, 0x1B, CompressorRecordWords(0.0f, 30.0f, 1.0f, 100.0f));
    b.Value(block, 0x1C, K::Byte, 1);
    b.Record(block, 0x1D, SixValueGainWords(0.0f, SixValueBlock::OutputChannel));
  }
}

void AddRecordOutput(LayoutBuilder& b) {
  b.Value(13, 0x05, K::Byte, 0);
  b.Values(13, 0x06, 4, K::Percent, 100);
  b.Record(13, 0x0A, CompressorRecordWords(0.0f, 30.0f, 1.0f, 100.0f));
  b.Value(13, 0x0B, K::Byte, 1);
  b.Value(13, 0x0C, K::Percent, 100);
}

void AddLoudnessBlock(LayoutBuilder& b) {
  const double raw[] = {200.0, 3.0, 1500.0, 3.0, 3200.0, 5.0};  // Hz, dB pairs
  for (int i = 0; i < 6; ++i) b.Value(14, std::uint8_t(i), K::Raw, raw[i]);
  b.Value(14, 0x06, K::Percent, 36);
  b.Values(14, 0x07, 3, K::Percent, 100);
  b.Value(14, 0x0A, K::Byte, 0);
  b.Value(14, 0x0B, K::Byte, 1);
}

struct Tables {
  std::vector<DspRecordLayout> records;
  std::vector<ParameterEntry> entries;
};

const Tables& BuiltTables() {
  static const Tables tables = [] {
    LayoutBuilder b;
    AddMicrophoneBlock(b);
    AddEchoBlock(b);
    AddReverbBlock(b);
    AddMusicBlock(b);
    AddOutputChannels(b);
    AddRecordOutput(b);
    AddLoudnessBlock(b);
    Tables t;
    t.records = b.Take();
    for (const DspRecordLayout& r : t.records) {
      if (!r.hasEntry) continue;
      ParameterEntry e;
      e.block = r.block;
      e.address = r.address;
      e.kind = r.kind;
      e.count = r.count;
      e.uiSlot = r.kind == K::None ? -1 : int(t.entries.size());
      e.valueOffset = r.imageLinked ? r.ValueOffset() : -1;
      t.entries.push_back(e);
    }
    return t;
  }();
  return tables;
}

}  // namespace

std::span<const DspRecordLayout> RecordLayout() { return BuiltTables().records; }
std::span<const ParameterEntry> ParameterTable() { return BuiltTables().entries; }

int FindParameterIndex(std::uint8_t block, std::uint8_t address) {
  const auto& entries = BuiltTables().entries;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].block == block && entries[i].address == address) return int(i);
  return -1;
}

const ParameterEntry* FindParameter(std::uint8_t block, std::uint8_t address) {
  const int i = FindParameterIndex(block, address);
  return i < 0 ? nullptr : &BuiltTables().entries[std::size_t(i)];
}

const DspRecordLayout* FindRecord(std::uint8_t block, std::uint8_t address) {
  for (const DspRecordLayout& r : BuiltTables().records)
    if (r.block == block && r.address == address) return &r;
  return nullptr;
}

}  // namespace dsptune
