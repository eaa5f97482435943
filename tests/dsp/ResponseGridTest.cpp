#include "dsp/ResponseGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <limits>
#include <utility>
#include <vector>

#include "dsp/Biquad.h"

namespace dsptune {
namespace {

constexpr float kSentinel = 7.25f;

// f_i written out from its definition, to compare the library's grid bit for bit.
float GridFrequencyByDefinition(int i, double fMin, double fMax) {
  return static_cast<float>(fMin * std::pow(10.0, (i / 512.0) * std::log10(fMax / fMin)));
}

float PointDb(const EqBand& band, int i, double fMin, double fMax) {
  const BiquadCoefficients c = DesignBiquad(band.type, band.frequency, band.gain, band.q, 0.0, kDeviceSampleRate);
  return static_cast<float>(BiquadMagnitudeDb(c, ResponseGridFrequency(i, fMin, fMax), kDeviceSampleRate));
}

EqBand MakeBand(int type, float frequency, float gain, float q) {
  EqBand band;
  band.type = type;
  band.frequency = frequency;
  band.gain = gain;
  band.q = q;
  return band;
}

TEST(ResponseGridFrequency, FollowsDefinitionAndStaysBelowNyquist) {
  for (auto [fMin, fMax] : {std::pair{kGridMinHz, kGridMaxHz}, std::pair{20.0, 20000.0}}) {
    for (int i = 0; i < kResponsePoints; ++i) {
      ASSERT_EQ(ResponseGridFrequency(i, fMin, fMax), GridFrequencyByDefinition(i, fMin, fMax))
          << "point " << i << " of " << fMin << ".." << fMax << " Hz";
      if (i > 0) {
        ASSERT_GT(ResponseGridFrequency(i, fMin, fMax), ResponseGridFrequency(i - 1, fMin, fMax));
      }
    }
  }
  EXPECT_EQ(ResponseGridFrequency(0), 18.0f);
  EXPECT_NEAR(ResponseGridFrequency(kResponsePoints - 1), 22680.91f, 0.01f);  // 18·(23000/18)^(511/512)
  EXPECT_LT(ResponseGridFrequency(kResponsePoints - 1), kDeviceSampleRate / 2);
}

// Every point is the designer's magnitude at the grid frequency, bit for bit, except
// the pinned point of a "PEQ" band, which holds the band's gain exactly.
TEST(ComputeBandResponse, MatchesDesignerAndPinsPeakingBands) {
  struct Row {
    int type;
    float frequency, gain, q;
    double fMin, fMax;
    int plotWidth;
    int pinnedPoint;  // -1: none
  };
  // Pinned points from tests/dsp/reference/biquad_reference.py.
  const std::vector<Row> rows = {
      {kFilterPeq, 1000, 6, 1.41f, kGridMinHz, kGridMaxHz, 800, 287},
      {kFilterPeq, 1000, -9, 2, kGridMinHz, kGridMaxHz, 300, 286},  // 287 if the column were not truncated
      {kFilterPeq, 100, 3, 1, kGridMinHz, kGridMaxHz, 1000, 122},
      {kFilterPeq, 5000, 6, 4, kGridMinHz, kGridMaxHz, 777, 402},
      {kFilterPeq, 20000, 12, 1.41f, kGridMinHz, kGridMaxHz, 800, 501},
      {kFilterPeq, 1000, 6, 1.41f, 20, 20000, 800, 289},
      {kFilterPeq, 1000, 6, 1.41f, kGridMinHz, kGridMaxHz, 0, -1},
      {kFilterLowShelf, 100, 6, 0.7f, kGridMinHz, kGridMaxHz, 800, -1},
      {kFilterLowPass, 1000, 0, 0.7f, 20, 20000, 800, -1},
      {18, 1000, 0, 1.41f, kGridMinHz, kGridMaxHz, 800, -1},
      {6, 250, 0, 1.41f, kGridMinHz, kGridMaxHz, 800, -1},
      {22, 1000, 6, 1.41f, kGridMinHz, kGridMaxHz, 800, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << FilterTypeName(r.type) << " at " << r.frequency << " Hz, axis " << r.fMin
                                    << ".." << r.fMax << ", width " << r.plotWidth);
    EqBand band = MakeBand(r.type, r.frequency, r.gain, r.q);
    ComputeBandResponse(band, r.fMin, r.fMax, r.plotWidth);
    int mismatches = 0;
    for (int i = 0; i < kResponsePoints; ++i) {
      if (i == r.pinnedPoint) continue;
      if (band.response[i] != PointDb(band, i, r.fMin, r.fMax) && mismatches++ == 0) {
        ADD_FAILURE() << "first mismatch at point " << i << ": " << band.response[i] << " dB";
      }
    }
    EXPECT_EQ(mismatches, 0);
    if (r.pinnedPoint >= 0) {
      EXPECT_EQ(band.response[r.pinnedPoint], r.gain);
      EXPECT_NE(PointDb(band, r.pinnedPoint, r.fMin, r.fMax), r.gain) << "pin not observable at this point";
    }
  }
}

// A type-0 band, or an axis outside 0 < fMin < fMax < Nyquist, computes nothing: the
// band, and the sections it heads, keep their stored responses and frequencies.
TEST(ComputeBandResponse, LeavesResponseUntouched) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* what;
    int type;
    double fMin, fMax;
  };
  const std::vector<Row> rows = {
      {"type 0", kFilterOff, kGridMinHz, kGridMaxHz},  {"zero fMin", kFilterPeq, 0, kGridMaxHz},
      {"fMin above fMax", kFilterPeq, 1000, 100},      {"fMax above Nyquist", kFilterPeq, 18, 30000},
      {"NaN fMax", kFilterPeq, 18, kNaN},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    EqBand section = MakeBand(kFilterPeq, 50, 3, 1);
    section.response.fill(kSentinel);
    EqBand head = MakeBand(r.type, 1000, 6, 1.41f);
    head.response.fill(kSentinel);
    head.linkedCount = 1;
    head.linked[0] = &section;
    ComputeBandResponse(head, r.fMin, r.fMax, 800);
    for (const EqBand* band : {&head, &section}) {
      for (float v : band->response) ASSERT_EQ(v, kSentinel);
    }
    EXPECT_EQ(section.frequency, 50.0f);
  }
}

TEST(ComputeBandResponse, LinkedSectionsTakeHeadFrequency) {
  EqBand sections[3] = {MakeBand(21, 50, 0, 0.3f), MakeBand(kFilterPeq, 60, 2, 1.41f), MakeBand(kFilterOff, 70, 0, 1)};
  sections[2].response.fill(kSentinel);
  EqBand head = MakeBand(19, 1000, 0, 0.7f);
  head.linkedCount = 3;
  head.linked = {&sections[0], &sections[1], &sections[2]};
  sections[0].linkedCount = 1;  // a link back to the head is not followed
  sections[0].linked[0] = &head;

  ComputeBandResponse(head, kGridMinHz, kGridMaxHz, 800);

  for (const EqBand& s : sections) EXPECT_EQ(s.frequency, 1000.0f);
  for (int j = 0; j < 2; ++j) {  // each computed as a standalone band at the head's frequency
    EqBand alone = MakeBand(sections[j].type, 1000, sections[j].gain, sections[j].q);
    ComputeBandResponse(alone, kGridMinHz, kGridMaxHz, 800);
    EXPECT_EQ(sections[j].response, alone.response) << "section " << j;
  }
  EXPECT_EQ(sections[0].type, 21);
  EXPECT_EQ(sections[1].gain, 2.0f);
  EXPECT_EQ(sections[0].q, 0.3f);
  for (float v : sections[2].response) ASSERT_EQ(v, kSentinel);  // type 0 stays uncomputed

  EqBand headAlone = MakeBand(19, 1000, 0, 0.7f);
  headAlone.linkedCount = 3;  // a head whose sections are missing computes just itself
  ComputeBandResponse(headAlone, kGridMinHz, kGridMaxHz, 800);
  EXPECT_EQ(head.response, headAlone.response);
}

TEST(SumBandResponses, AddsBandsInUseOnly) {
  EqBand bands[3] = {MakeBand(kFilterPeq, 100, 0, 1), MakeBand(kFilterOff, 100, 0, 1), MakeBand(22, 100, 0, 1)};
  bands[0].response.fill(1.5f);
  bands[1].response.fill(2.25f);  // off: skipped although it holds a stale curve
  bands[2].response.fill(-4.0f);  // codes above 21 are not 0, so they count
  struct Row {
    const EqBand* bands;
    int count;
    float expected;
  };
  const std::vector<Row> rows = {{bands, 3, -2.5f}, {bands, 2, 1.5f}, {bands, 0, 0.0f}, {nullptr, 3, 0.0f}};
  for (const Row& r : rows) {
    std::array<float, kResponsePoints> sum;
    sum.fill(kSentinel);
    SumBandResponses(r.bands, r.count, sum);
    for (float v : sum) ASSERT_EQ(v, r.expected) << "count " << r.count;
  }
}

}  // namespace
}  // namespace dsptune
