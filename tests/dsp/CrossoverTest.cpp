#include <gtest/gtest.h>

#include <string>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "dsp/ResponseGrid.h"

namespace dsptune {
namespace {

// A cascade head with its three sections, linked as an EQ graph links them.
struct Cascade {
  std::array<EqBand, 4> bands{};
  Cascade(int headType, float frequency) {
    for (int j = 0; j < 4; ++j) bands[j].index = 9 + j;
    head().type = headType;
    head().frequency = frequency;
    head().linkedCount = 3;
    for (int j = 0; j < 3; ++j) head().linked[j] = &bands[j + 1];
  }
  EqBand& head() { return bands[0]; }
  CascadeTypes Types() const { return {bands[0].type, bands[1].type, bands[2].type, bands[3].type}; }
};

constexpr int kPlotWidth = 600;

struct FamilyRow {
  int family;
  const char* name;
  CascadeTypes lowPass, highPass;
  double atCrossover, lowPassAt500, lowPassAt2000;  // dB, crossover at 1000 Hz
};

const FamilyRow kFamilyRows[] = {
    {0, "LinkwitzRiely 12dB", {10, 10, 1, 1}, {11, 11, 1, 1}, -6.02, -1.93, -14.04},
    {1, "LinkwitzRiely 24dB", {12, 12, 1, 1}, {13, 13, 1, 1}, -6.02, -0.52, -24.75},
    {2, "LinkwitzRiely 36dB", {14, 10, 14, 10}, {15, 11, 15, 11}, -6.02, -0.13, -36.48},
    {3, "LinkwitzRiely 48dB", {18, 20, 18, 20}, {19, 21, 19, 21}, -6.02, -0.03, -48.50},
    {4, "Bessel 12dB", {8, 1, 1, 1}, {9, 1, 1, 1}, -4.77, -1.18, -13.29},
    {5, "Bessel 18dB", {8, 10, 1, 1}, {9, 11, 1, 1}, -7.78, -2.15, -20.31},
    {6, "Bessel 24dB", {8, 8, 1, 1}, {9, 9, 1, 1}, -9.54, -2.36, -26.57},
    {7, "Butterworth 12dB", {12, 1, 1, 1}, {13, 1, 1, 1}, -3.01, -0.26, -12.37},
    {8, "Butterworth 18dB", {14, 10, 1, 1}, {15, 11, 1, 1}, -3.01, -0.07, -18.24},
    {9, "Butterworth 24dB", {18, 20, 1, 1}, {19, 21, 1, 1}, -3.01, -0.02, -24.25},
    {10, "Chebyshev 12dB", {6, 1, 1, 1}, {7, 1, 1, 1}, -0.10, 0.15, -6.72},
    {11, "", {1, 1, 1, 1}, {1, 1, 1, 1}, 0.0, 0.0, 0.0},
};

TEST(CrossoverTest, FamilyTableNamesAndSectionTypesForBothSides) {
  for (const FamilyRow& row : kFamilyRows) {
    SCOPED_TRACE(row.family);
    EXPECT_EQ(std::string(CrossoverFamilyName(row.family)), row.name);
    CascadeTypes types{};
    ASSERT_TRUE(CrossoverSectionTypes(row.family, false, types));
    EXPECT_EQ(types, row.lowPass);
    ASSERT_TRUE(CrossoverSectionTypes(row.family, true, types));
    EXPECT_EQ(types, row.highPass);
  }
  CascadeTypes untouched{7, 7, 7, 7};
  for (int bad : {-1, 12}) {
    EXPECT_STREQ(CrossoverFamilyName(bad), "");
    EXPECT_FALSE(CrossoverSectionTypes(bad, false, untouched));
  }
  EXPECT_EQ(untouched, (CascadeTypes{7, 7, 7, 7}));
}

// The side follows the head's current type: even low-pass, odd (a "PEQ" head too) high-pass.
TEST(CrossoverTest, ApplyingAFamilySetsTheSectionsForTheHeadsSide) {
  for (const FamilyRow& row : kFamilyRows) {
    for (int headType : {0, 1, 2, 3, 18, 21}) {
      SCOPED_TRACE(testing::Message() << "family " << row.family << " head type " << headType);
      Cascade cascade(headType, 1000.0f);
      ASSERT_TRUE(SetCrossoverFamily(cascade.head(), row.family, kPlotWidth));
      EXPECT_EQ(cascade.Types(), headType % 2 ? row.highPass : row.lowPass);
    }
  }
}

TEST(CrossoverTest, ApplyingAFamilyZeroesGainsAndSetsQOnlyOnFlatSections) {
  Cascade cascade(3, 1000.0f);
  for (EqBand& band : cascade.bands) {
    band.gain = 4.0f;
    band.q = 0.5f;
  }
  ASSERT_TRUE(SetCrossoverFamily(cascade.head(), 9, kPlotWidth));  // 19, 21, 1, 1
  for (const EqBand& band : cascade.bands) EXPECT_EQ(band.gain, 0.0f) << band.index;
  EXPECT_EQ(cascade.bands[0].q, 0.5f);
  EXPECT_EQ(cascade.bands[1].q, 0.5f);
  EXPECT_FLOAT_EQ(cascade.bands[2].q, 1.41f);
  EXPECT_FLOAT_EQ(cascade.bands[3].q, 1.41f);
}

TEST(CrossoverTest, ApplyingAFamilyIsRefusedWithoutSectionsOrForABadFamily) {
  EqBand lone;
  lone.type = 2;
  lone.gain = 3.0f;
  EXPECT_FALSE(SetCrossoverFamily(lone, 3, kPlotWidth));
  EXPECT_EQ(lone.type, 2);
  EXPECT_EQ(lone.gain, 3.0f);

  Cascade partial(2, 1000.0f);
  partial.head().linked[2] = nullptr;
  EXPECT_FALSE(SetCrossoverFamily(partial.head(), 3, kPlotWidth));

  for (int bad : {-1, 12}) {
    Cascade cascade(2, 1000.0f);
    cascade.head().gain = 3.0f;
    EXPECT_FALSE(SetCrossoverFamily(cascade.head(), bad, kPlotWidth));
    EXPECT_EQ(cascade.Types(), (CascadeTypes{2, 1, 1, 1}));
    EXPECT_EQ(cascade.head().gain, 3.0f);
  }
}

TEST(CrossoverTest, CascadeResponseAtTheCrossoverAndAnOctaveEitherSide) {
  for (const FamilyRow& row : kFamilyRows) {
    SCOPED_TRACE(row.family);
    Cascade low(2, 1000.0f);
    ASSERT_TRUE(SetCrossoverFamily(low.head(), row.family, kPlotWidth));
    EXPECT_NEAR(CascadeMagnitudeDb(low.head(), 1000.0), row.atCrossover, 0.01);
    EXPECT_NEAR(CascadeMagnitudeDb(low.head(), 500.0), row.lowPassAt500, 0.01);
    EXPECT_NEAR(CascadeMagnitudeDb(low.head(), 2000.0), row.lowPassAt2000, 0.01);

    Cascade high(3, 1000.0f);
    ASSERT_TRUE(SetCrossoverFamily(high.head(), row.family, kPlotWidth));
    EXPECT_NEAR(CascadeMagnitudeDb(high.head(), 1000.0), row.atCrossover, 0.01);
  }
}

// The stored responses, recomputed by SetCrossoverFamily with the head's frequency copied
// into every section, add up to the directly evaluated cascade at each grid point.
TEST(CrossoverTest, StoredCascadeResponseMatchesTheEvaluatedCascade) {
  for (int family : {0, 3, 5, 10}) {
    SCOPED_TRACE(family);
    Cascade cascade(2, 1000.0f);
    for (int j = 1; j < 4; ++j) cascade.bands[j].frequency = 16000.0f;
    ASSERT_TRUE(SetCrossoverFamily(cascade.head(), family, kPlotWidth));
    for (const EqBand& band : cascade.bands) EXPECT_EQ(band.frequency, 1000.0f);
    std::array<float, kResponsePoints> sum{};
    CascadeResponse(cascade.head(), sum);
    for (int i : {0, 200, 300, 400, 511}) {
      EXPECT_NEAR(sum[i], CascadeMagnitudeDb(cascade.head(), ResponseGridFrequency(i)), 1e-3) << i;
    }
  }
}

TEST(CrossoverTest, CascadeResponseSkipsOffSectionsAndAcceptsABandWithoutLinks) {
  Cascade cascade(2, 1000.0f);
  cascade.bands[0].response.fill(-1.0f);
  cascade.bands[1].response.fill(-2.0f);
  cascade.bands[2].response.fill(-4.0f);
  cascade.bands[3].response.fill(-8.0f);
  cascade.bands[2].type = kFilterOff;
  std::array<float, kResponsePoints> sum{};
  CascadeResponse(cascade.head(), sum);
  EXPECT_EQ(sum[0], -11.0f);
  EXPECT_EQ(sum[511], -11.0f);

  CascadeResponse(cascade.bands[1], sum);
  EXPECT_EQ(sum[100], -2.0f);
}

TEST(CrossoverTest, ReverseLookupFindsEveryRowAndLeavesTheMenuTypeOnAMiss) {
  for (const FamilyRow& row : kFamilyRows) {
    if (row.family == kCrossoverFlatFamily) continue;
    SCOPED_TRACE(row.family);
    int menu = -1;
    const CascadeTypes& lp = row.lowPass;
    EXPECT_EQ(CrossoverReverseLookup(lp[0], lp[1], lp[2], lp[3], menu), row.family);
    EXPECT_EQ(menu, kFilterLowPass);
    const CascadeTypes& hp = row.highPass;
    EXPECT_EQ(CrossoverReverseLookup(hp[0], hp[1], hp[2], hp[3], menu), row.family);
    EXPECT_EQ(menu, kFilterHighPass);
  }
  const struct {
    CascadeTypes types;
    int family, menu;
  } extra[] = {{{1, 1, 1, 1}, 11, 1}, {{4, 1, 1, 1}, 12, 4}, {{5, 1, 1, 1}, 13, 5}};
  for (const auto& row : extra) {
    int menu = -1;
    EXPECT_EQ(CrossoverReverseLookup(row.types[0], row.types[1], row.types[2], row.types[3], menu), row.family);
    EXPECT_EQ(menu, row.menu);
  }
  // A plain "LP" head with flat sections, and an incomplete family, match no row.
  for (const CascadeTypes& miss : {CascadeTypes{2, 1, 1, 1}, CascadeTypes{19, 21, 19, 1}}) {
    int menu = 5;
    EXPECT_EQ(CrossoverReverseLookup(miss[0], miss[1], miss[2], miss[3], menu), 0);
    EXPECT_EQ(menu, 5);
  }
}

TEST(CrossoverTest, AppliedFamilyLooksUpAsItself) {
  Cascade cascade(3, 1000.0f);
  ASSERT_TRUE(SetCrossoverFamily(cascade.head(), 3, kPlotWidth));
  EXPECT_EQ(cascade.Types(), (CascadeTypes{19, 21, 19, 21}));
  int menu = 0;
  const CascadeTypes t = cascade.Types();
  EXPECT_EQ(CrossoverReverseLookup(t[0], t[1], t[2], t[3], menu), 3);
  EXPECT_EQ(menu, kFilterHighPass);
}

TEST(CrossoverTest, HeadMenuChoicesMapToSectionRows) {
  const struct {
    int menu;
    CascadeTypes types;
  } rows[] = {{1, {1, 1, 1, 1}}, {2, {18, 20, 1, 1}}, {3, {19, 21, 1, 1}}, {4, {4, 1, 1, 1}}, {5, {5, 1, 1, 1}}};
  for (const auto& row : rows) {
    CascadeTypes types{};
    ASSERT_TRUE(CascadeMenuTypes(row.menu, types)) << row.menu;
    EXPECT_EQ(types, row.types) << row.menu;
  }
  CascadeTypes types{};
  EXPECT_FALSE(CascadeMenuTypes(0, types));
  EXPECT_FALSE(CascadeMenuTypes(6, types));
}

TEST(CrossoverTest, BandTypeRuleSetsQAndGainByType) {
  const struct {
    int type;
    float gain, q;
  } rows[] = {{1, 5.0f, 1.41f}, {2, 0.0f, 0.7f}, {5, 0.0f, 0.7f}, {0, 5.0f, 3.0f}, {18, 5.0f, 3.0f}, {30, 5.0f, 3.0f}};
  for (const auto& row : rows) {
    EqBand band;
    band.gain = 5.0f;
    band.q = 3.0f;
    ApplyBandType(band, row.type);
    EXPECT_EQ(band.type, row.type);
    EXPECT_FLOAT_EQ(band.gain, row.gain) << row.type;
    EXPECT_FLOAT_EQ(band.q, row.q) << row.type;
  }
}

}  // namespace
}  // namespace dsptune
