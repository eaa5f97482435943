#include "model/DeviceModels.h"

#include <gtest/gtest.h>

#include <cstring>

#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune {
namespace {

DeviceIdentity Identity(const char* model, std::int32_t protocol, const char* mcu = "V1.02", const char* dsp = "D2.10") {
  return DeviceIdentity::With(model, protocol, mcu, dsp);
}

TEST(DeviceModelsTest, KnownNamesAndTheirMusicInputTemplates) {
  struct Row {
    const char* name;
    bool known;
    int musicTemplate;
  };
  const Row rows[] = {
      {"LQ830", true, 530},  {"LQ620", true, 529},   {"LQ4.1", true, 527},   {"LW4.1", true, 536},
      {"LQ480", true, 528},  {"AMP540", true, 512},  {"RN830", true, 532},   {"4R830JJ", true, 534},
      {"P620JJ", true, 535}, {"LQ830 ", false, 512}, {"lq830", false, 512},  {"LQ83", false, 512},
      {"", false, 512},      {"XYZ", false, 512},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string("\"") + r.name + "\"");
    EXPECT_EQ(IsKnownModel(r.name), r.known);
    EXPECT_EQ(MusicInputTemplate(r.name), r.musicTemplate);
  }
}

TEST(DeviceModelsTest, IdentityCheckAndMismatchTexts) {
  struct Row {
    const char* model;
    std::int32_t protocol;
    bool accepted;
    const char* text;
  };
  const Row rows[] = {
      {"LQ830", 20, true, ""},
      {"RN830", 20, true, ""},
      {"LQ830", 21, false, "E:LQ830_15 通信版本不匹配!"},
      {"LQ830", 17, false, "E:LQ830_11 通信版本不匹配!"},
      {"LQ830 ", 20, false, "E:LQ830 _14 机器型号不匹配!"},
      {"XYZ", 17, false, "E:XYZ_11 机器型号不匹配!"},
      {"XYZ", 0, false, "E:XYZ_00 机器型号不匹配!"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.model << " / " << r.protocol);
    const DeviceIdentity id = Identity(r.model, r.protocol);
    EXPECT_EQ(IdentityAccepted(id), r.accepted);
    EXPECT_EQ(IdentityMismatchText(id), r.text);
  }
  // Before the device has answered the program holds "LW4.1" on protocol 17.
  EXPECT_EQ(IdentityMismatchText(DeviceIdentity{}), "E:LW4.1_11 通信版本不匹配!");
}

TEST(DeviceModelsTest, InputSourceKeptOrReplacedPerModel) {
  struct Row {
    const char* model;
    std::uint8_t source, expected;
  };
  const Row rows[] = {
      {"LQ620", 8, 11},  {"LQ620", 6, 6},     {"LQ620", 11, 11},  {"RN830", 12, 12}, {"RN830", 4, 3},
      {"4R830JJ", 13, 3}, {"LQ830", 12, 0},   {"LQ830", 11, 11},  {"LQ4.1", 6, 0},   {"LW4.1", 3, 0},
      {"LQ480", 8, 8},   {"LQ480", 0, 11},    {"AMP540", 5, 0},   {"P620JJ", 9, 9},  {"P620JJ", 0, 11},
      {"XYZ", 200, 200}, {"LQ830 ", 12, 12},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.model << " source " << int(r.source));
    EXPECT_EQ(ClampedInputSource(r.model, r.source), r.expected);
  }
}

TEST(DeviceModelsTest, ConverterNamesWithOutOfRangeCodesAsZero) {
  using P = ConverterPosition;
  struct Row {
    P position;
    int code;
    const char* name;
  };
  const Row rows[] = {
      {P::Mic, 0, "未知"},     {P::Mic, 1, "AK5358"},   {P::Mic, 4, "CS5381"},   {P::Mic, 5, "未知"},
      {P::Mic, 7, "未知"},     {P::Music, 1, "NONE"},   {P::Music, 3, "AK5720"}, {P::Music, 4, "未知"},
      {P::Ch12, 3, "耳放板"},  {P::Ch34, 4, "PCM1794"}, {P::Ch56, 5, "未知"},    {P::Ch78, 2, "CS4398"},
      {P::Ch78, 255, "未知"},  {P::Mic, -1, "未知"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << int(r.position) << " code " << r.code);
    EXPECT_EQ(ConverterName(r.position, r.code), r.name);
  }
}

TEST(DeviceModelsTest, AboutLinesFromIdentityAndStatusBlock) {
  std::array<std::uint8_t, 30> status{};
  status[16] = 2;  // MIC
  status[17] = 4;  // CH78
  status[18] = 3;  // CH56
  status[19] = 9;  // CH34, out of range
  status[20] = 1;  // CH12
  status[21] = 2;  // not a converter
  status[22] = 3;  // Music
  const AboutLines lines = FormatAboutLines(Identity("LQ830", 20, "V1.02", "D2.10"), status);
  EXPECT_EQ(lines.module, "Module:LQ830");
  EXPECT_EQ(lines.mcu, "MCU Ver:V1.02 CMD Ver:01");
  EXPECT_EQ(lines.dsp, "DSP Ver:D2.10");
  EXPECT_EQ(lines.converters, "MIC:PCM4202\nMusic:AK5720\nCH12:AK4396\nCH34:未知\nCH56:耳放板\nCH78:PCM1794 ");

  const AboutLines other = FormatAboutLines(Identity("LQ830", 21), std::array<std::uint8_t, 30>{});
  EXPECT_EQ(other.mcu, "MCU Ver:V1.02 CMD Ver:00");
  EXPECT_EQ(other.converters, "MIC:未知\nMusic:未知\nCH12:未知\nCH34:未知\nCH56:未知\nCH78:未知 ");
}

}  // namespace
}  // namespace dsptune
