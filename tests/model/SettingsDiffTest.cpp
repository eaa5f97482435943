#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "dsp/Biquad.h"
#include "model/BigEndian.h"
#include "model/DefaultImage.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "model/ParameterTable.h"
#include "model/RecordFormulas.h"
#include "model/SettingNames.h"
#include "model/SettingsDiff.h"

namespace dsptune {
namespace {

std::uint8_t* ValueBytes(ParameterImageBytes& image, std::uint8_t block, std::uint8_t address, int index = 0) {
  return &image[FindRecord(block, address)->ValueOffset() + 4u * unsigned(index)];
}

TEST(SettingsDiffTest, EveryChangedByteShowsAsExactlyOneDifferenceThatReadsDifferently) {
  const ParameterImageBytes base = DefaultImage();
  EXPECT_TRUE(DiffSettings(base, base).empty());
  for (std::uint8_t flip : {0x01, 0x80}) {
    for (int offset = 0; offset < kImageSize; ++offset) {
      ParameterImageBytes changed = base;
      changed[std::size_t(offset)] ^= flip;
      const std::vector<SettingsDifference> d = DiffSettings(base, changed);
      ASSERT_EQ(d.size(), 1u) << "byte " << offset;
      EXPECT_LE(d[0].offset, offset);
      EXPECT_GT(d[0].offset + d[0].length, offset);
      for (int language : {kTextChinese, kTextEnglish}) {
        const std::size_t i = std::size_t(language);
        EXPECT_FALSE(d[0].page[i].empty() || d[0].item[i].empty()) << "byte " << offset;
        EXPECT_NE(d[0].first[i], d[0].second[i]) << DifferenceLine(d[0], language);
      }
    }
  }
}

TEST(SettingsDiffTest, NoTwoItemsShareAName) {
  for (int language : {kTextChinese, kTextEnglish}) {
    const std::size_t i = std::size_t(language);
    std::set<std::string> seen;
    const auto unique = [&](const SettingName& name) {
      EXPECT_NE(name.page[kTextEnglish], "Other") << name.item[kTextEnglish];
      EXPECT_TRUE(seen.insert(name.page[i] + " / " + name.item[i]).second)
          << "shared: " << name.page[i] << " / " << name.item[i];
    };
    for (const DspRecordLayout& r : RecordLayout()) unique(RecordName(r.block, r.address));
    for (int eq = 0; eq < kEqCount; ++eq)
      for (int b = 0; b < EqLayoutOf(eq).recordSlots; ++b) unique(BandName(eq, b));
    for (int offset = kSsvcLevelsOffset; offset < kSsvcSettingsOffset; offset += 4) unique(LiveRecordName(offset));
    for (int offset : {kSsvcSettingsOffset, kSubDecayLevelOffset, kSsvcLocateOffset}) unique(LiveRecordName(offset));
  }
}

TEST(SettingsDiffTest, ValuesReadInDisplayUnits) {
  struct Row {
    const char* name;
    std::function<void(ParameterImageBytes&)> change;
    std::string english;
    std::string chinese;  // empty: not checked
  };
  const auto word = [](std::uint8_t block, std::uint8_t address, std::uint32_t w, int index = 0) {
    return [=](ParameterImageBytes& image) { PutU32(ValueBytes(image, block, address, index), w); };
  };
  const auto band = [](int eq, int slot, BandRecord record) {
    return
        [=](ParameterImageBytes& image) { EncodeBandRecordBytes(record, &image[std::size_t(EqBandOffset(eq, slot))]); };
  };
  const auto limiter = CompressorRecordWords(-10.0f, 4.0f, 1.0f, 100.0f);
  const auto sixValue = SixValueGainWords(-3.0f, SixValueBlock::OutputChannel);
  const Row rows[] = {
      {"percent", word(1, 0x0E, UiValueToWord(ConversionKind::Percent, 55)), "Master controls / Mic Vol: 50% -> 55%",
       "主控制 / 话筒音量: 50% -> 55%"},
      {"milliseconds", word(2, 0x0B, 9600), "Echo / Echo A Time: 247.0 ms -> 200.0 ms",
       "回声 / 回声A间隔: 247.0 ms -> 200.0 ms"},
      {"switch ticked at 0", word(5, 0x13, 0), "Output CH1 / Delay Switch: off -> on",
       "输出通道1 / 延时开关: 关 -> 开"},
      {"EQ bypass", word(1, 0x21, 1), "Mic A EQ / Bypass: off -> on", ""},
      {"switch word with a stray byte", word(5, 0x13, 0x101),
       "Output CH1 / Delay Switch: off [00 00 00 01] -> off [00 00 01 01]", ""},
      {"speaker role", word(7, 0x10, 5), "Output CH3 / Role: CH-SBR -> CH-CEN",
       "输出通道3 / 声道角色: 后环绕右 -> 中置"},
      {"polarity", word(6, 0x19, UiValueToWord(ConversionKind::Percent, -100)), "Output CH2 / Phase 180°: off -> on",
       ""},
      {"band-split mix", word(8, 0x11, FloatBits(1.0f), 1), "Output CH4 / Delay mode: Channel delay -> H.Freq Delay",
       ""},
      {"input source", word(4, 0x17, 0), "Music source setting / Input source: AUX1 -> HDMI1", ""},
      {"music pitch", word(4, 0x15, 8), "Master controls / Music Pitch: +0 -> +3", ""},
      {"raw frequency", word(14, 0x00, FloatBits(300.0f)), "Features / Mic Exciter LowF: 200 Hz -> 300 Hz", ""},
      {"shift frequency", word(1, 0x26, FloatBits(ShiftFrequencyIncrement(8))),
       "Mic CH A / Shift Frequency: 5 Hz -> 8 Hz", ""},
      {"limiter",
       [&](ParameterImageBytes& image) {
         for (int i = 0; i < 7; ++i) PutU32(ValueBytes(image, 5, 0x1B, i), limiter[std::size_t(i)]);
       },
       "Output CH1 / Limiter: threshold 0.0 dB, ratio 30.0, attack 1.0 ms, release 100.0 ms -> threshold -10.0 dB, "
       "ratio 4.0, attack 1.0 ms, release 100.0 ms",
       ""},
      {"six-value gain",
       [&](ParameterImageBytes& image) {
         for (int i = 0; i < 6; ++i) PutU32(ValueBytes(image, 7, 0x1D, i), sixValue[std::size_t(i)]);
       },
       "Location / CH3 position gain: level 0.0 dB -> level -3.0 dB", ""},
      {"band", band(kEqMusic, 2, {180, 1000, 1414, kFilterPeq}),
       "Music EQ / band 3: PEQ 125 Hz +0.0 dB Q 1.414 -> PEQ 1000 Hz +3.0 dB Q 1.414",
       "音乐均衡 / 第3频段: 参量 125 Hz +0.0 dB Q 1.414 -> 参量 1000 Hz +3.0 dB Q 1.414"},
      {"band-split slot", band(kEqCh1 + 2, 13, {150, 800, 707, kFilterHighPass}),
       "CH3 EQ / band split high-pass: PEQ 500 Hz +0.0 dB Q 0.707 -> HP 800 Hz +0.0 dB Q 0.707", ""},
      {"loudness filter slot", band(kEqMusic, 10, {150, 80, 707, kFilterLowPass}),
       "Music EQ / loudness filter (Music Max Bass LPF): LP 100 Hz +0.0 dB Q 0.707 -> LP 80 Hz +0.0 dB Q 0.707", ""},
      {"crossover section", band(kEqCh1 + 5, 9, {150, 100, 707, 19}),
       "CH6 EQ / band 10: XO-LP18 100 Hz +0.0 dB Q 0.707 -> XO-HP19 100 Hz +0.0 dB Q 0.707",
       "通道6均衡 / 第10频段: 分频低通18 100 Hz +0.0 dB Q 0.707 -> 分频高通19 100 Hz +0.0 dB Q 0.707"},
      {"SSVC level", [](ParameterImageBytes& image) { PutFloat(&image[kSsvcLevelsOffset + 4], -3.0f); },
       "Location / CH2 position level: 0.0 dB -> -3.0 dB", ""},
      {"SSVC settings",
       [](ParameterImageBytes& image) {
         image[kSsvcSettingsOffset + 2] = EncodeSignedTenths(-1.0f);
         image[kSsvcSettingsOffset + 3] = EncodeSignedTenths(1.0f);
       },
       "Location / room and positions: listener (+0.0, +0.0) -> listener (-1.0, +1.0)",
       "声场定位 / 房间和位置: 听众 (+0.0, +0.0) -> 听众 (-1.0, +1.0)"},
      {"locate selector", [](ParameterImageBytes& image) { image[kSsvcLocateOffset] = 8; },
       "Location / Locate: CH-L -> none", ""},
      {"record header", [](ParameterImageBytes& image) { image[FindRecord(5, 0x1B)->offset + 2u] = 6; },
       "Other / Output CH1 / Limiter record header: 05 1B 07 -> 05 1B 06", ""},
      {"reserved live bytes", [](ParameterImageBytes& image) { image[kApplyCopySize] = 0xAB; },
       "Other / reserved bytes 1415..1421: 00 00 00 00 00 00 00 -> AB 00 00 00 00 00 00", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ParameterImageBytes changed = DefaultImage();
    row.change(changed);
    const std::vector<SettingsDifference> d = DiffSettings(DefaultImage(), changed);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(DifferenceLine(d[0], kTextEnglish), row.english);
    if (!row.chinese.empty()) {
      EXPECT_EQ(DifferenceLine(d[0], kTextChinese), row.chinese);
    }
  }
}

TEST(SettingsDiffTest, WorkingSettingsTakeTheLiveBlockOverTheImage) {
  ResetDataModel();
  const std::uint8_t band[] = {0x5A};
  const std::uint8_t reserved[] = {0xA5};
  StoreLiveBytes(3, band);
  StoreLiveBytes(kApplyCopySize, reserved);
  StoreImageBytes(kImageSize - 1, band);

  ParameterImageBytes expected = DefaultImage();
  expected[3] = 0x5A;
  expected[kApplyCopySize] = 0xA5;
  expected[kImageSize - 1] = 0x5A;
  EXPECT_TRUE(WorkingSettings() == expected);
  EXPECT_EQ(ImageSnapshot()[3], DefaultImage()[3]) << "the model itself is not changed";
}

}  // namespace
}  // namespace dsptune
