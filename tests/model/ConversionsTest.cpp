#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model/BigEndian.h"
#include "model/Conversions.h"

namespace dsptune {
namespace {

using K = ConversionKind;

TEST(ConversionsTest, DeviceExamplesConvertBothWays) {
  struct Row {
    K kind;
    std::uint32_t word;
    std::int32_t ui;
  };
  const Row reads[] = {
      {K::Percent, 0x3F266666, 65},            // 0.65 stored by the device
      {K::Percent, 0x00000000, 0},
      {K::PerTenThousand, FloatBits(0.002f), 20},
      {K::Byte, 0x00000107, 7},                // bytes 0..2 ignored
      {K::Milliseconds, 11856, UiFromFloat(247.0f)},
      {K::Milliseconds, 96, UiFromFloat(2.0f)},
      {K::Raw, 0x43480000, 0x43480000},
  };
  for (const Row& r : reads) EXPECT_EQ(WordToUiValue(r.kind, r.word), r.ui) << int(r.kind) << " word " << r.word;

  EXPECT_EQ(UiValueToWord(K::Percent, 0), 0u) << "0 is exactly 0.0";
  EXPECT_EQ(UiValueToWord(K::Percent, 65), FloatBits(float(0.65f + 0.0000001)));
  EXPECT_EQ(UiValueToWord(K::Byte, 7), 0x00000007u);
  EXPECT_EQ(UiValueToWord(K::Milliseconds, UiFromFloat(247.0f)), 11856u);
  EXPECT_EQ(UiValueToWord(K::Milliseconds, UiFromFloat(2.0f)), 96u);
  EXPECT_EQ(UiValueToWord(K::Raw, 0x40400000), 0x40400000u);
}

TEST(ConversionsTest, SinglePrecisionReadBackIsPartOfTheRule) {
  // In double precision 0.65 x 100 is 64.99999..., which would truncate to 64.
  EXPECT_EQ(static_cast<int>(static_cast<double>(BitsFloat(0x3F266666)) * 100.0), 64);
  EXPECT_EQ(WordToUiValue(K::Percent, 0x3F266666), 65);
}

// Values the plain rule loses by one (noise-gate sliders, inverted polarity) read back as written.
TEST(ConversionsTest, FormerlyLossyValuesReadBackAsWritten) {
  const std::pair<K, std::int32_t> rows[] = {{K::PerTenThousand, 7},  {K::PerTenThousand, 14},
                                             {K::PerTenThousand, 28}, {K::PerTenThousand, 45},
                                             {K::PerTenThousand, 56}, {K::PerTenThousand, 90},
                                             {K::Percent, -100},      {K::Percent, -1}};
  for (const auto& [kind, ui] : rows) EXPECT_EQ(WordToUiValue(kind, UiValueToWord(kind, ui)), ui) << ui;
}

TEST(ConversionsTest, EveryIntegerUiValueRoundTripsExhaustively) {
  for (K kind : {K::Percent, K::PerTenThousand}) {
    int failures = 0;
    for (std::int32_t ui = -100000; ui <= 100000 && failures < 5; ++ui) {
      const std::int32_t back = WordToUiValue(kind, UiValueToWord(kind, ui));
      if (back != ui) {
        ++failures;
        ADD_FAILURE() << "kind " << int(kind) << ": " << ui << " reads back as " << back;
      }
    }
  }
  for (std::int32_t ui = 0; ui <= 255; ++ui) EXPECT_EQ(WordToUiValue(K::Byte, UiValueToWord(K::Byte, ui)), ui);
}

TEST(ConversionsTest, WritesStayWithinAFewUlpsOfTheDeviceRule) {
  for (std::int32_t ui = -20000; ui <= 20000; ++ui) {
    const float rule = static_cast<float>(ui) / 10000.0f;
    const std::int64_t distance =
        std::int64_t(std::int32_t(UiValueToWord(K::PerTenThousand, ui))) - std::int64_t(std::int32_t(FloatBits(rule)));
    ASSERT_LE(std::llabs(distance), 4) << ui;
  }
}

TEST(ConversionsTest, MillisecondsRoundTripOnTheSampleGrid) {
  // Every sample count up to 100 s survives samples -> ms -> samples.
  for (std::uint32_t samples = 0; samples <= 4800000; samples += 7) {
    const std::int32_t ui = WordToUiValue(K::Milliseconds, samples);
    ASSERT_EQ(UiValueToWord(K::Milliseconds, ui), samples) << samples;
  }
  // Whole milliseconds read back exactly; tenths (the delay slider) within half a
  // sample, so their one-decimal display is unchanged.
  for (int tenths = 0; tenths <= 20000; ++tenths) {
    const float ms = static_cast<float>(tenths) / 10.0f;
    const float back = FloatFromUi(WordToUiValue(K::Milliseconds, UiValueToWord(K::Milliseconds, UiFromFloat(ms))));
    ASSERT_LE(std::fabs(back - ms), 1.0f / 96.0f + 1e-4f) << ms;
    char a[16], b[16];
    std::snprintf(a, sizeof a, "%.1f", static_cast<double>(ms));
    std::snprintf(b, sizeof b, "%.1f", static_cast<double>(back));
    ASSERT_STREQ(a, b);
    if (tenths % 10 == 0) {
      ASSERT_EQ(back, ms);
    }
  }
  EXPECT_EQ(MillisecondsToSamples(-5.0f), 0u);
}

}  // namespace
}  // namespace dsptune
