// What a single parameter may be set to from outside the window: every parameter with a
// value of its own has the range and step of the window's control (or its choices), takes
// a value only in its own unit, on its steps and inside its range, and a stored value
// beyond them is named.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/ParameterLimits.h"
#include "model/ParameterRoles.h"
#include "model/SettingNames.h"

namespace dsptune {
namespace {

std::string Number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  return text;
}

// What show and get print for a UI value, through the device's word.
std::string ShownText(const ParameterEntry& e, std::int32_t ui) {
  std::array<std::uint8_t, 4> bytes{};
  PutU32(bytes.data(), UiValueToWord(e.kind, ui));
  return RecordValueText(*FindRecord(e.block, e.address), bytes)[kTextEnglish];
}

const ParameterEntry& Entry(std::uint8_t block, std::uint8_t address) {
  const ParameterEntry* e = FindParameter(block, address);
  EXPECT_NE(e, nullptr);
  return *e;
}

TEST(ParameterLimitsTest, EveryParameterWithAValueOfItsOwnHasLimits) {
  int own = 0, bytes = 0, numbers = 0, choices = 0;
  for (const ParameterEntry& e : ParameterTable()) {
    const bool single = e.kind != ConversionKind::None && e.count == 1 && e.valueOffset >= 0;
    own += single;
    bytes += single && e.kind == ConversionKind::Byte;
    const ParameterLimits* limits = LimitsOf(e);
    SCOPED_TRACE(ParameterRole(e.block, e.address));
    ASSERT_EQ(limits != nullptr, single) << "computed records have no value to set alone";
    if (!limits) continue;
    if (!limits->choices.empty()) {
      ++choices;
      continue;
    }
    ++numbers;
    const ValueRange& r = limits->range;
    EXPECT_LT(r.minimum, r.maximum) << "a numeric parameter without a range row";
    EXPECT_GT(r.step, 0.0);
    for (double end : {r.minimum, r.maximum})
      EXPECT_NEAR(end / r.step, std::round(end / r.step), 1e-9) << "the ends lie on the steps";
  }
  EXPECT_EQ(own, 195);
  EXPECT_EQ(own - bytes, 143) << "of a numeric kind (percent, per ten thousand, ms, raw float)";
  EXPECT_EQ(numbers, 135) << "set by number";
  EXPECT_EQ(choices, bytes + 8) << "the switches and choices stored as a byte, and the eight phase boxes";
  EXPECT_EQ(AllParameterLimits().size(), std::size_t(own));
}

TEST(ParameterLimitsTest, EachRangeTakesItsEndsInItsOwnUnitAndNothingElse) {
  for (const ParameterLimits& l : AllParameterLimits()) {
    if (!l.choices.empty()) continue;
    const ParameterEntry& e = *l.entry;
    const ValueRange& r = l.range;
    const std::string unit = UnitSuffix(r.unit);
    SCOPED_TRACE(l.name + " " + RangeText(r));
    for (double end : {r.minimum, r.maximum}) {
      for (const std::string& text : {Number(end) + unit, Number(end), " " + Upper(Number(end) + unit) + " ",
                                      Number(end) + (unit.starts_with(" ") ? unit.substr(1) : unit)}) {
        const CheckedValue c = ValidateParameterText(e, text);
        ASSERT_TRUE(c) << text << ": " << c.problem;
        EXPECT_EQ(c.value, end);
        // The device's word reads back in range, and the text show then prints is taken
        // again for the same word.
        const std::uint32_t word = UiValueToWord(e.kind, c.uiValue);
        EXPECT_EQ(StoredValueNote(e, WordToUiValue(e.kind, word)), "");
        const CheckedValue again = ValidateParameterText(e, ShownText(e, c.uiValue));
        ASSERT_TRUE(again) << again.problem;
        EXPECT_EQ(UiValueToWord(e.kind, again.uiValue), word);
      }
      EXPECT_TRUE(ValidateParameterValue(e, end));
    }
    for (double beyond : {r.minimum - r.step, r.maximum + r.step}) {
      const CheckedValue c = ValidateParameterText(e, Number(beyond) + unit);
      EXPECT_FALSE(c);
      EXPECT_EQ(c.problem, "\"" + l.name + "\": " + Number(beyond) + unit + " is outside " + RangeText(r));
      EXPECT_FALSE(ValidateParameterValue(e, beyond));
    }
    const CheckedValue between = ValidateParameterText(e, Number(r.minimum + r.step / 2));
    EXPECT_NE(between.problem.find("between steps; give " + RangeText(r)), std::string::npos) << between.problem;
    for (DisplayUnit other : kDisplayUnits) {
      if (other == r.unit || other == DisplayUnit::Number) continue;
      const CheckedValue c = ValidateParameterText(e, Number(r.maximum) + UnitSuffix(other));
      EXPECT_FALSE(c) << UnitSuffix(other);
      EXPECT_NE(c.problem.find(RangeText(r)), std::string::npos) << c.problem;
    }
    for (const std::string& text : std::initializer_list<std::string>{"0x" + Number(r.maximum), Number(r.maximum) + "e0", "1,5", "", "nan", "inf"}) {
      const CheckedValue c = ValidateParameterText(e, text);
      EXPECT_FALSE(c) << text;
      EXPECT_NE(c.problem.find("not a number; give " + RangeText(r)), std::string::npos) << c.problem;
    }
    EXPECT_FALSE(ValidateParameterValue(e, std::nan("")));
  }
}

TEST(ParameterLimitsTest, ChoicesTakeTheirNamesInEitherLanguageOrTheirNumbers) {
  for (const ParameterLimits& l : AllParameterLimits()) {
    if (l.choices.empty()) continue;
    const ParameterEntry& e = *l.entry;
    SCOPED_TRACE(l.name);
    std::int32_t highest = l.choices.front().uiValue;
    for (const ParameterChoice& c : l.choices) {
      for (const std::string& text : {c.name[kTextEnglish], Upper(c.name[kTextEnglish]), c.name[kTextChinese],
                                      std::to_string(c.uiValue)}) {
        const CheckedValue got = ValidateParameterText(e, text);
        ASSERT_TRUE(got) << text << ": " << got.problem;
        EXPECT_EQ(got.uiValue, c.uiValue) << text;
      }
      EXPECT_EQ(ShownText(e, c.uiValue), c.name[kTextEnglish]) << "the names are the ones show prints";
      EXPECT_EQ(StoredValueNote(e, c.uiValue), "");
      highest = std::max(highest, c.uiValue);
    }
    const std::string none = "not one of: " + ChoicesText(l);
    for (const std::string& text : {std::to_string(highest + 1), std::to_string(l.choices.front().uiValue) + "%", std::string("0x1")})
      EXPECT_NE(ValidateParameterText(e, text).problem.find(none), std::string::npos) << text;
    EXPECT_FALSE(ValidateParameterValue(e, highest + 1));
    EXPECT_EQ(StoredValueNote(e, highest + 1), none);
  }
}

TEST(ParameterLimitsTest, ValuesThatOnceReachedTheDeviceAreRefused) {
  const struct {
    std::uint8_t block, address;
    const char* text;
    const char* says;
  } rows[] = {
      {5, 0x1A, "999999%", "\"Output CH1 / Mute gain\": 999999% is outside 0..100% (step 1)"},
      {1, 0x0E, "55 Hz", "\"Master controls / Mic Vol\": '55 Hz' is not in %; give 0..99% (step 1)"},
      {7, 0x12, "12.5%", "\"Output CH3 / Delay\": '12.5%' is not in ms; give 1.4..100 ms (step 0.1)"},
      {1, 0x0E, "0x20", "\"Master controls / Mic Vol\": '0x20' is not a number; give 0..99% (step 1)"},
      {7, 0x12, "12.55 ms", "\"Output CH3 / Delay\": 12.55 ms lies between steps; give 1.4..100 ms (step 0.1)"},
      {4, 0x16, "20%", "\"Master controls / Noisegate\": '20%' takes no unit; give 0..100 (step 1)"},
      {2, 0x0B, "100", "\"Echo / Echo A Time\": 100 ms is outside 160..260 ms (step 1)"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    const CheckedValue c = ValidateParameterText(Entry(r.block, r.address), r.text);
    EXPECT_FALSE(c);
    EXPECT_EQ(c.problem, r.says);
  }
  const CheckedValue delay = ValidateParameterValue(Entry(7, 0x12), 12.5);
  ASSERT_TRUE(delay) << delay.problem;
  EXPECT_EQ(delay.uiValue, UiFromFloat(12.5f));
}

TEST(ParameterLimitsTest, StoredValuesNoControlCouldSetAreNamed) {
  const auto ms = [](float v) { return WordToUiValue(ConversionKind::Milliseconds, MillisecondsToSamples(v)); };
  const struct {
    std::uint8_t block, address;
    std::int32_t ui;
    const char* note;
  } rows[] = {
      {5, 0x1A, 999999, "outside 0..100%"},
      {5, 0x1A, -1, "outside 0..100%"},
      {1, 0x0E, 100, "outside 0..99%"},
      {5, 0x12, ms(1.4f), ""},  // the sample count of the shortest delay lies just below 1.4 ms
      {5, 0x12, ms(1.3f), "outside 1.4..100 ms"},
      {14, 0x00, UiFromFloat(std::nanf("")), "outside 70..450 Hz"},
      {14, 0x01, UiFromFloat(12.0f), ""},
      {4, 0x0B, 5, "not one of: off, on"},
      {5, 0x19, 0, "not one of: on, off"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(ParameterRole(r.block, r.address));
    EXPECT_EQ(StoredValueNote(Entry(r.block, r.address), r.ui), r.note);
  }
}

}  // namespace
}  // namespace dsptune
