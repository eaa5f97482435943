#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DefaultImage.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "model/SettingsMerge.h"

namespace dsptune {
namespace {

using Change = std::function<void(ParameterImageBytes&)>;

int ValueOffset(std::uint8_t block, std::uint8_t address) { return FindRecord(block, address)->ValueOffset(); }
const int kMicVol = ValueOffset(1, 0x0E);
const int kMusicVol = ValueOffset(4, 0x0C);
const int kMicABand5 = EqBandOffset(kEqMicA, 4);

Change Percent(int offset, int percent) {
  return [=](ParameterImageBytes& image) {
    PutU32(&image[std::size_t(offset)], UiValueToWord(ConversionKind::Percent, percent));
  };
}
Change BandGain(int gainField) {
  return [=](ParameterImageBytes& image) {
    EncodeBandRecordBytes({std::uint16_t(gainField), 160, 1414, 1}, &image[std::size_t(kMicABand5)]);
  };
}
Change Locate(std::uint8_t selector) {
  return [=](ParameterImageBytes& image) { image[kSsvcLocateOffset] = selector; };
}
Change SubDecay(float db) {
  return [=](ParameterImageBytes& image) { PutFloat(&image[kSubDecayLevelOffset], db); };
}
Change All(std::vector<Change> changes) {
  return [=](ParameterImageBytes& image) {
    for (const Change& c : changes) c(image);
  };
}
const Change kNone = [](ParameterImageBytes&) {};

ParameterImageBytes Changed(const Change& change) {
  ParameterImageBytes image = DefaultImage();
  change(image);
  return image;
}

struct Expected {
  int offset;
  MergeKind kind;
  MergeSide take;
};

TEST(SettingsMergeTest, ClassifiesEachItemAndMergesByDefault) {
  using enum MergeKind;
  using enum MergeSide;
  const struct {
    const char* name;
    bool hasBase;
    Change mine, theirs;
    std::vector<Expected> items;  // in image order
    Change merged;                // applied to the base
  } rows[] = {
      {"user edit only", true, Percent(kMicVol, 55), kNone, {{kMicVol, UserEdit, Mine}}, Percent(kMicVol, 55)},
      {"device change only", true, kNone, Percent(kMusicVol, 37), {{kMusicVol, DeviceChange, Device}},
       Percent(kMusicVol, 37)},
      {"conflict: the device's", true, Percent(kMicVol, 55), Percent(kMicVol, 60), {{kMicVol, Conflict, Device}},
       Percent(kMicVol, 60)},
      {"same change", true, Percent(kMicVol, 55), Percent(kMicVol, 55), {{kMicVol, SameChange, Device}},
       Percent(kMicVol, 55)},
      {"nothing changed", true, kNone, kNone, {}, kNone},
      // Without a base the music volume looks like an edit of mine as much as the mic's.
      {"no base",
       false,
       Percent(kMicVol, 55),
       Percent(kMusicVol, 37),
       {{kMicVol, WithoutBase, Mine}, {kMusicVol, WithoutBase, Mine}},
       Percent(kMicVol, 55)},
      {"bands, live records and parameters at once",
       true,
       All({BandGain(210), Locate(3), Percent(kMicVol, 55)}),
       All({BandGain(190), SubDecay(-7.5f), Percent(kMusicVol, 37), Percent(kMicVol, 55)}),
       {{kMicABand5, Conflict, Device},
        {kSubDecayLevelOffset, DeviceChange, Device},
        {kSsvcLocateOffset, UserEdit, Mine},
        {kMicVol, SameChange, Device},
        {kMusicVol, DeviceChange, Device}},
       All({BandGain(190), SubDecay(-7.5f), Locate(3), Percent(kMusicVol, 37), Percent(kMicVol, 55)})},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<ParameterImageBytes> base =
        row.hasBase ? std::optional<ParameterImageBytes>(DefaultImage()) : std::nullopt;
    const SettingsMerge merge = MergeSettings(base, Changed(row.mine), Changed(row.theirs));
    ASSERT_EQ(merge.items.size(), row.items.size());
    for (std::size_t i = 0; i < row.items.size(); ++i) {
      const MergeItem& m = merge.items[i];
      EXPECT_LE(m.item.offset, row.items[i].offset);
      EXPECT_GT(m.item.offset + m.item.length, row.items[i].offset);
      EXPECT_EQ(m.kind, row.items[i].kind) << i;
      EXPECT_EQ(m.take, row.items[i].take) << i;
      EXPECT_EQ(IsQuestion(m.kind), m.kind == UserEdit || m.kind == Conflict || m.kind == WithoutBase);
    }
    EXPECT_EQ(MergedSettings(merge), Changed(row.merged));
  }
}

// A conflict row names the value on each side and the one both started from, and a
// choice of mine there takes mine for that item only.
TEST(SettingsMergeTest, AConflictShowsThreeValuesAndEachRowChoosesItsSide) {
  const ParameterImageBytes mine = Changed(All({Percent(kMicVol, 55), BandGain(210)}));
  const ParameterImageBytes theirs = Changed(All({Percent(kMicVol, 60), BandGain(190)}));
  SettingsMerge merge = MergeSettings(DefaultImage(), mine, theirs);
  ASSERT_EQ(merge.items.size(), 2u);
  const MergeItem& mic = merge.items[1];
  EXPECT_EQ(mic.item.item[kTextEnglish], "Mic Vol");
  EXPECT_EQ(mic.base[kTextEnglish], "50%");
  EXPECT_EQ(mic.item.first[kTextEnglish], "60%");   // the device's
  EXPECT_EQ(mic.item.second[kTextEnglish], "55%");  // mine

  merge.items[1].take = MergeSide::Mine;
  EXPECT_EQ(MergedSettings(merge), Changed(All({Percent(kMicVol, 55), BandGain(190)})));
  ChooseForKind(merge, MergeKind::Conflict, MergeSide::Mine);
  EXPECT_EQ(MergedSettings(merge), mine);
  ChooseForKind(merge, MergeKind::Conflict, MergeSide::Device);
  EXPECT_EQ(MergedSettings(merge), theirs);
}

}  // namespace
}  // namespace dsptune
