#include "model/SettingsDiff.h"

#include <algorithm>
#include <mutex>
#include <span>

#include "model/EqLayout.h"
#include "model/ParameterTable.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

// A run of image bytes the user knows as one thing.
struct ImageItem {
  DifferenceKind kind = DifferenceKind::OtherBytes;
  int offset = 0, length = 0;
  const DspRecordLayout* record = nullptr;  // Parameter
  int eq = -1, band = -1;                   // Band
};

// Every item of the image in image order. Together they cover each byte exactly once, so
// no change can hide between two items or show up twice.
const std::vector<ImageItem>& ImageItems() {
  static const std::vector<ImageItem> items = [] {
    using enum DifferenceKind;
    std::vector<ImageItem> v;
    for (int eq = 0; eq < kEqCount; ++eq)
      for (int b = 0; b < EqLayoutOf(eq).recordSlots; ++b)
        v.push_back({Band, EqBandOffset(eq, b), kBandRecordSize, nullptr, eq, b});
    for (int c = 0; c < 8; ++c) v.push_back({LiveRecord, kSsvcLevelsOffset + 4 * c, 4});
    v.push_back({LiveRecord, kSsvcSettingsOffset, kSsvcSettingsSize});
    v.push_back({LiveRecord, kSubDecayLevelOffset, 4});
    v.push_back({LiveRecord, kSsvcLocateOffset, 1});
    v.push_back({OtherBytes, kApplyCopySize, kLiveBlockSize - kApplyCopySize});
    for (const DspRecordLayout& r : RecordLayout()) {
      v.push_back({OtherBytes, r.offset, 3});
      v.push_back({Parameter, r.ValueOffset(), 4 * r.count, &r});
    }
    std::stable_sort(v.begin(), v.end(), [](const ImageItem& a, const ImageItem& b) { return a.offset < b.offset; });
    return v;
  }();
  return items;
}

SettingsDifference Describe(const ImageItem& item, std::span<const std::uint8_t> first,
                            std::span<const std::uint8_t> second) {
  SettingsDifference d;
  d.kind = item.kind;
  d.offset = item.offset;
  d.length = item.length;
  SettingName name;
  switch (item.kind) {
    case DifferenceKind::Parameter:
      d.block = item.record->block;
      d.address = item.record->address;
      name = RecordName(d.block, d.address);
      d.first = RecordValueText(*item.record, first);
      d.second = RecordValueText(*item.record, second);
      break;
    case DifferenceKind::Band:
      d.eq = item.eq;
      d.band = item.band;
      name = BandName(item.eq, item.band);
      d.first = BandValueText(first);
      d.second = BandValueText(second);
      break;
    case DifferenceKind::LiveRecord:
      name = LiveRecordName(item.offset);
      if (item.offset == kSsvcSettingsOffset) {
        const auto texts = SsvcSettingsTexts(first, second);
        d.first = texts[0];
        d.second = texts[1];
      } else {
        d.first = LiveRecordValueText(item.offset, first);
        d.second = LiveRecordValueText(item.offset, second);
      }
      break;
    case DifferenceKind::OtherBytes:
      name = OtherBytesName(item.offset);
      d.first = {HexText(first), HexText(first)};
      d.second = {HexText(second), HexText(second)};
      break;
  }
  d.page = name.page;
  d.item = name.item;
  // Bytes that differ must not read alike (a compressor constant, a switch word with
  // stray high bytes): then both sides also show their bytes.
  for (std::size_t language = 0; language < 2; ++language) {
    if (d.first[language] != d.second[language]) continue;
    d.first[language] += " [" + HexText(first) + "]";
    d.second[language] += " [" + HexText(second) + "]";
  }
  return d;
}

}  // namespace

ParameterImageBytes WorkingSettings() { return WorkingSettings(CurrentModel()); }

ParameterImageBytes WorkingSettings(DataModel& m) {
  std::lock_guard lock(m.mutex);  // image and live block from the same moment
  ParameterImageBytes settings = m.image;
  std::copy(m.live.begin(), m.live.end(), settings.begin());
  return settings;
}

std::vector<SettingsDifference> DiffSettings(const ParameterImageBytes& first, const ParameterImageBytes& second) {
  std::vector<SettingsDifference> differences;
  for (const ImageItem& item : ImageItems()) {
    const auto a = std::span(first).subspan(std::size_t(item.offset), std::size_t(item.length));
    const auto b = std::span(second).subspan(std::size_t(item.offset), std::size_t(item.length));
    if (!std::equal(a.begin(), a.end(), b.begin())) differences.push_back(Describe(item, a, b));
  }
  return differences;
}

std::string DifferenceLine(const SettingsDifference& d, int language) {
  const std::size_t i = language == kTextChinese ? 0 : 1;
  return d.page[i] + " / " + d.item[i] + ": " + d.first[i] + " -> " + d.second[i];
}

}  // namespace dsptune
