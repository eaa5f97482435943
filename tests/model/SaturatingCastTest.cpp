#include "model/SaturatingCast.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <limits>
#include <utility>

namespace dsptune {
namespace {

template <typename Int>
constexpr Int Max() {
  return std::numeric_limits<Int>::max();
}
template <typename Int>
constexpr Int Min() {
  return std::numeric_limits<Int>::lowest();
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTwoTo63 = 9223372036854775808.0;

// Each row holds the value and what it becomes in five target types. The rows around
// each type's ends matter most: a bound compared as max() (not max() + 1) converts
// 2^63 with undefined behaviour, one compared with > instead of >= misses it by one.
TEST(SaturatingCastTest, ClampsIntoEachTypeAndTruncatesInRange) {
  struct Row {
    const char* name;
    double x;
    std::int8_t i8;
    std::uint16_t u16;
    std::int32_t i32;
    std::uint32_t u32;
    std::int64_t i64;
  };
  const Row rows[] = {
      {"NaN", kNaN, 0, 0, 0, 0, 0},
      {"-NaN", -kNaN, 0, 0, 0, 0, 0},
      {"+inf", kInf, Max<std::int8_t>(), Max<std::uint16_t>(), Max<std::int32_t>(), Max<std::uint32_t>(),
       Max<std::int64_t>()},
      {"-inf", -kInf, Min<std::int8_t>(), 0, Min<std::int32_t>(), 0, Min<std::int64_t>()},
      {"1e10", 1e10, Max<std::int8_t>(), Max<std::uint16_t>(), Max<std::int32_t>(), Max<std::uint32_t>(),
       10000000000},
      {"-1e10", -1e10, Min<std::int8_t>(), 0, Min<std::int32_t>(), 0, -10000000000},
      {"FLT_MAX", FLT_MAX, Max<std::int8_t>(), Max<std::uint16_t>(), Max<std::int32_t>(), Max<std::uint32_t>(),
       Max<std::int64_t>()},
      {"-FLT_MAX", -FLT_MAX, Min<std::int8_t>(), 0, Min<std::int32_t>(), 0, Min<std::int64_t>()},
      {"normal", 99.75, 99, 99, 99, 99, 99},
      {"negative, toward zero", -99.75, -99, 0, -99, 0, -99},
      {"between -1 and 0", -0.99, 0, 0, 0, 0, 0},
      {"negative zero", -0.0, 0, 0, 0, 0, 0},
      {"smallest subnormal", 4.9e-324, 0, 0, 0, 0, 0},
      {"int8 top", 127.99, 127, 127, 127, 127, 127},
      {"int8 top + 1", 128.0, 127, 128, 128, 128, 128},
      {"int8 bottom", -128.99, -128, 0, -128, 0, -128},
      {"int8 bottom - 1", -129.0, -128, 0, -129, 0, -129},
      {"uint16 top", 65535.99, 127, 65535, 65535, 65535, 65535},
      {"uint16 top + 1", 65536.0, 127, 65535, 65536, 65536, 65536},
      {"int32 top", 2147483647.99, 127, 65535, 2147483647, 2147483647u, 2147483647},
      {"int32 top + 1", 2147483648.0, 127, 65535, Max<std::int32_t>(), 2147483648u, 2147483648},
      {"int32 bottom", -2147483648.99, -128, 0, Min<std::int32_t>(), 0, -2147483648},
      {"int32 bottom - 1", -2147483649.0, -128, 0, Min<std::int32_t>(), 0, -2147483649},
      {"uint32 top", 4294967295.5, 127, 65535, Max<std::int32_t>(), 4294967295u, 4294967295},
      {"uint32 top + 1", 4294967296.0, 127, 65535, Max<std::int32_t>(), Max<std::uint32_t>(), 4294967296},
      {"largest double below 2^63", kTwoTo63 - 1024.0, 127, 65535, Max<std::int32_t>(), Max<std::uint32_t>(),
       9223372036854774784},
      {"2^63", kTwoTo63, 127, 65535, Max<std::int32_t>(), Max<std::uint32_t>(), Max<std::int64_t>()},
      {"-2^63", -kTwoTo63, -128, 0, Min<std::int32_t>(), 0, Min<std::int64_t>()},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(SaturatingCast<std::int8_t>(r.x), r.i8);
    EXPECT_EQ(SaturatingCast<std::uint16_t>(r.x), r.u16);
    EXPECT_EQ(SaturatingCast<std::int32_t>(r.x), r.i32);
    EXPECT_EQ(SaturatingCast<std::uint32_t>(r.x), r.u32);
    EXPECT_EQ(SaturatingCast<std::int64_t>(r.x), r.i64);
  }
  // Usable where a constant is needed.
  static_assert(SaturatingCast<int>(1e300) == Max<int>());
  static_assert(SaturatingCast<unsigned>(-1.0) == 0u);
}

// Rounding is to nearest with halves away from zero, like std::lround, and saturates
// only after rounding: a value that rounds past the end gives the end.
TEST(SaturatingCastTest, RoundsHalvesAwayFromZeroThenClamps) {
  const std::pair<double, std::int32_t> rows[] = {
      {2.5, 3},
      {-2.5, -3},
      {1.4999999999999998, 1},
      {0.49999999999999994, 0},  // adding 0.5 and truncating would give 1
      {-0.5, -1},
      {2147483647.4, Max<std::int32_t>()},
      {2147483647.5, Max<std::int32_t>()},
      {-2147483648.5, Min<std::int32_t>()},
      {kNaN, 0},
      {-kInf, Min<std::int32_t>()},
  };
  for (const auto& [x, expected] : rows) EXPECT_EQ(SaturatingRound<std::int32_t>(x), expected) << x;
  EXPECT_EQ(SaturatingRound<std::uint16_t>(65535.5), 65535);
  EXPECT_EQ(SaturatingRound<std::uint16_t>(-0.4), 0);
}

}  // namespace
}  // namespace dsptune
