// The music input sources without widgets: every variant's rows (source, label, shown
// only conditionally) and size, the variant each model name gets, the exact record
// behind a source choice and a gain change for every source, what a refresh reads, and
// how out-of-range values are shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "editors/model/MusicInputSources.h"
#include "model/Conversions.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

using RowSpec = std::tuple<int, std::string, bool>;  // source, label, conditional

struct VariantCase {
  int templateNumber;
  int width, height;
  std::vector<RowSpec> rows;
};

std::vector<RowSpec> Rows(const MusicInputLayout& layout) {
  std::vector<RowSpec> rows;
  for (const MusicInputRow& row : layout.rows) rows.emplace_back(row.source, std::string(row.label), row.conditional);
  return rows;
}

std::vector<std::uint8_t> WordBytes(std::uint32_t word) {
  return {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word)};
}

TEST(MusicInputLayout, EachVariantOffersItsSourcesUnderItsLabels) {
  const std::vector<VariantCase> cases = {
      {512,
       233,
       318,
       {{0, "HDMI1", false},
        {1, "HDMI2", false},
        {2, "HDMI3", false},
        {3, "HDMI4", false},
        {4, "HDMI5", false},
        {5, "SPDIF1", false},
        {6, "SPDIF2", false},
        {7, "SPDIF3", false},
        {8, "COAX1", false},
        {9, "COAX2", false},
        {10, "COAX3", false},
        {11, "AUX1", false},
        {12, "AUX2", false},
        {13, "AUX3", false}}},
      {527, 233, 139, {{3, "Android", false}, {0, "HDMI1", false}, {1, "HDMI2", false}, {2, "HDMI3", false}, {5, "SPDIF1", true}}},
      {528, 233, 128, {{11, "AUX", false}, {5, "SPDIF", false}, {8, "COAX", false}}},
      {529, 233, 135, {{5, "SPDIF1", false}, {11, "AUX", false}}},
      {530,
       233,
       183,
       {{0, "HDMI1", false}, {1, "HDMI2", false}, {2, "HDMI3", false}, {3, "HDMI4", false}, {5, "SPDIF1", false},
        {11, "AUX1", false}}},
      {532,
       233,
       199,
       {{0, "Android", false}, {1, "HDMI1", false}, {2, "HDMI2", false}, {3, "HDMI3", false}, {5, "SPDIF1", false},
        {6, "SPDIF2", false}, {11, "AUX1", false}}},
      {534,
       233,
       227,
       {{0, "HDMI1", false}, {1, "HDMI2", false}, {2, "HDMI3", false}, {3, "HDMI4", false}, {5, "SPDIF1", false},
        {6, "SPDIF2", false}, {11, "AUX1", false}, {12, "Bluetooth", false}}},
      {535,
       233,
       159,
       {{5, "SPDIF1", false}, {6, "SPDIF2", false}, {8, "COAX1", false}, {9, "COAX2", false}, {11, "AUX1", false}}},
      {536, 233, 139, {{0, "Android", false}, {1, "HDMI1", false}, {2, "HDMI2", false}, {5, "SPDIF1", false}}},
  };
  for (const VariantCase& c : cases) {
    SCOPED_TRACE(c.templateNumber);
    const MusicInputLayout& layout = MusicInputLayoutFor(c.templateNumber);
    EXPECT_EQ(layout.templateNumber, c.templateNumber);
    EXPECT_EQ(layout.width, c.width);
    EXPECT_EQ(layout.height, c.height);
    EXPECT_EQ(Rows(layout), c.rows);
  }
}

TEST(MusicInputLayout, ModelNamesPickTheirVariantAndOthersGetAllSources) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"LQ830", 530}, {"LQ620", 529},  {"LQ4.1", 527}, {"LW4.1", 536}, {"LQ480", 528},  {"AMP540", 512},
      {"RN830", 532}, {"4R830JJ", 534}, {"P620JJ", 535}, {"LQ830 ", 512}, {"", 512}, {"XYZ", 512},
  };
  for (const auto& [model, templateNumber] : cases) {
    SCOPED_TRACE(model);
    EXPECT_EQ(MusicInputLayoutFor(MusicInputTemplate(model)).templateNumber, templateNumber);
  }
  // A number without a variant of its own (the dialog could be asked for one) is 512's.
  for (int number : {0, 511, 531, 533, 537, -1}) EXPECT_EQ(MusicInputLayoutFor(number).templateNumber, 512) << number;
}

TEST(MusicInputLayout, EveryVariantRowIsASourceOnceAndSourceFiveIsAlwaysThere) {
  for (int number : {512, 527, 528, 529, 530, 532, 534, 535, 536}) {
    SCOPED_TRACE(number);
    std::vector<int> seen;
    bool hasSpdif = false;
    for (const MusicInputRow& row : MusicInputLayoutFor(number).rows) {
      EXPECT_TRUE(IsInputSource(row.source));
      EXPECT_EQ(std::count(seen.begin(), seen.end(), row.source), 0);
      seen.push_back(row.source);
      hasSpdif = hasSpdif || row.source == kConditionalSource;
      EXPECT_TRUE(!row.conditional || row.source == kConditionalSource);
    }
    EXPECT_TRUE(hasSpdif);
  }
}

TEST(MusicInputLayout, DefaultLabelsAndRowGeometry) {
  const char* labels[kInputSourceCount] = {"HDMI1",  "HDMI2", "HDMI3", "HDMI4", "HDMI5", "SPDIF1", "SPDIF2",
                                           "SPDIF3", "COAX1", "COAX2", "COAX3", "AUX1",  "AUX2",   "AUX3"};
  for (int k = 0; k < kInputSourceCount; ++k) {
    EXPECT_EQ(DefaultSourceLabel(k), labels[k]);
    EXPECT_EQ(InputGainAddress(k), 0x18 + k);
  }
  EXPECT_EQ(DefaultSourceLabel(-1), "");
  EXPECT_EQ(DefaultSourceLabel(14), "");

  // The columns of template 512; rows 21 units apart from 17 down.
  const DialogUnitRect radio = RadioRect(0), slider = SliderRect(0), value = ValueLabelRect(0);
  EXPECT_EQ(std::tie(radio.x, radio.width, radio.height), std::make_tuple(32, 42, 10));
  EXPECT_EQ(std::tie(slider.x, slider.y, slider.width, slider.height), std::make_tuple(79, 17, 87, 14));
  EXPECT_EQ(std::tie(value.x, value.width, value.height), std::make_tuple(171, 32, 8));
  EXPECT_EQ(SliderRect(13).y, 17 + 13 * 21);
  EXPECT_LE(SliderRect(13).y + SliderRect(13).height, MusicInputLayoutFor(512).height);
  // Every variant's rows fit its height.
  for (int number : {527, 528, 529, 530, 532, 534, 535, 536}) {
    const MusicInputLayout& layout = MusicInputLayoutFor(number);
    const DialogUnitRect last = SliderRect(int(layout.rows.size()) - 1);
    EXPECT_LE(last.y + last.height, layout.height) << number;
  }
}

TEST(MusicInputLayout, ConditionalRowOnlyForAnLq41OnProtocol20) {
  const std::vector<std::tuple<std::string, int, bool>> cases = {
      {"LQ4.1", 20, true},  {"LQ4.1", 17, false}, {"LQ4.1", 21, false},
      {"LQ4.1 ", 20, false}, {"LW4.1", 20, false}, {"lq4.1", 20, false},
  };
  for (const auto& [model, protocol, shown] : cases)
    EXPECT_EQ(ShowsConditionalSource(DeviceIdentity::With(model, protocol, "", "")), shown) << model << " " << protocol;
}

// What a variant lets the user pick, and how a stored value it does not offer is named.
TEST(MusicInputLayout, UnofferedSourcesAreNamedForWhatTheyAre) {
  struct Row {
    int templateNumber;
    int source;
    bool conditionalShown;
    bool offered;
  };
  const Row rows[] = {
      {536, 11, false, false}, {536, 0, false, true},  {530, 6, false, false}, {530, 11, false, true},
      {527, 5, false, false},  {527, 5, true, true},   {527, 3, false, true},  {512, 13, false, true},
      {512, 14, false, false}, {512, -1, false, false}, {535, 200, false, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(OffersSource(MusicInputLayoutFor(r.templateNumber), r.source, r.conditionalShown), r.offered)
        << r.templateNumber << " source " << r.source;

  const std::vector<std::tuple<int, std::string, std::string>> texts = {
      {11, "AUX1 (not on this model)", "AUX1（本机型没有此输入）"},
      {0, "HDMI1 (not on this model)", "HDMI1（本机型没有此输入）"},
      {14, "14 (not on this model)", "14（本机型没有此输入）"},
      {255, "255 (not on this model)", "255（本机型没有此输入）"},
  };
  for (const auto& [source, english, chinese] : texts) {
    const BilingualText text = UnofferedSourceText(source);
    EXPECT_EQ(text[kTextEnglish], english);
    EXPECT_EQ(text[kTextChinese], chinese);
  }
}

TEST(MusicInputValues, SliderPositionClampsAndLabelShowsTheStoredValue) {
  const std::vector<std::tuple<int, int, std::string>> cases = {
      {0, 0, "0%"}, {55, 55, "55%"}, {100, 100, "100%"}, {150, 100, "150%"}, {101, 100, "101%"}, {-5, 0, "-5%"},
  };
  for (const auto& [gain, position, text] : cases) {
    EXPECT_EQ(GainSliderPosition(gain), position) << gain;
    EXPECT_EQ(GainText(gain), text);
  }
}

class MusicInputWrites : public test::ModelFixtureBase, public ::testing::Test {
 protected:
  MusicInputWrites() {
    LoadDefaultImage();
    writer.sent.clear();
  }
  void ExpectOneWrite(std::uint8_t address, const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(writer.sent.size(), 1u);
    const test::SentWrite& w = writer.sent.front();
    EXPECT_EQ(w.kind, test::SentWrite::Dsp);
    EXPECT_EQ(w.block, 4);
    EXPECT_EQ(w.address, address);
    EXPECT_EQ(w.bytes, bytes);
    writer.sent.clear();
  }
};

TEST_F(MusicInputWrites, DefaultsAreSourceElevenAndFullGain) {
  const MusicInputValues values = ReadMusicInputValues();
  EXPECT_EQ(values.selected, 11);
  for (int gain : values.gains) EXPECT_EQ(gain, 100);
}

TEST_F(MusicInputWrites, SourceChoiceWritesAddress17AsAByte) {
  for (int k = 0; k < kInputSourceCount; ++k) {
    SCOPED_TRACE(k);
    SelectInputSource(k);
    ExpectOneWrite(0x17, test::Bytes({0, 0, 0, k}));
    EXPECT_EQ(ReadMusicInputValues().selected, k);
    EXPECT_EQ(ReadImageBytes(2011 + 3, 4), test::Bytes({0, 0, 0, k}));
  }
  // The same source again is written again.
  SelectInputSource(13);
  ExpectOneWrite(0x17, test::Bytes({0, 0, 0, 13}));
}

TEST_F(MusicInputWrites, GainWritesItsSourcesPercentRecord) {
  for (int k = 0; k < kInputSourceCount; ++k) {
    for (int gain : {0, 1, 65, 99, 100}) {
      SCOPED_TRACE(testing::Message() << k << " " << gain);
      SetInputGain(k, gain);
      ExpectOneWrite(std::uint8_t(0x18 + k), WordBytes(UiValueToWord(ConversionKind::Percent, gain)));
      EXPECT_EQ(ReadMusicInputValues().gains[std::size_t(k)], gain);
      EXPECT_EQ(ReadImageBytes(2018 + 7 * k + 3, 4), WordBytes(UiValueToWord(ConversionKind::Percent, gain)));
    }
  }
  // 100% is the float 1.0 plus the nudge that makes it read back as 100.
  SetInputGain(0, 100);
  ExpectOneWrite(0x18, test::Bytes({0x3F, 0x80, 0x00, 0x01}));
}

TEST_F(MusicInputWrites, NoSourceOutsideTheFourteenIsWritten) {
  for (int bad : {-1, 14, 255}) {
    SelectInputSource(bad);
    SetInputGain(bad, 50);
  }
  EXPECT_TRUE(writer.sent.empty());
  EXPECT_EQ(ReadMusicInputValues().selected, 11);
}

TEST_F(MusicInputWrites, RefreshReadsWhatWasStored) {
  SetParameter(4, 0x17, 12);
  SetParameter(4, 0x18 + 3, 150);
  SetParameter(4, 0x18 + 13, 7);
  const MusicInputValues values = ReadMusicInputValues();
  EXPECT_EQ(values.selected, 12);
  EXPECT_EQ(values.gains[3], 150);
  EXPECT_EQ(values.gains[13], 7);
  EXPECT_EQ(values.gains[0], 100);
}

}  // namespace
}  // namespace dsptune
