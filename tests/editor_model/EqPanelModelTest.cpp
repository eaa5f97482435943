#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "editors/model/EqPanelModel.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"

namespace dsptune {
namespace {

// Client 642 x 338 gives a 600 x 300 plot at (36, 18): x = 600·log10(f/18)/log10(23000/18),
// y = 10·(15 − gain).
class EqPanelModelTest : public ::testing::Test {
 protected:
  EqPanelModelTest() {
    model.SetClientSize(642, 338);
    model.SetEqNumber(kEqMusic);
  }
  // Client position of band i's marker.
  double MarkerX(int i) const { return model.Plot().left + model.BandAt(i)->x; }
  double MarkerY(int i) const { return model.Plot().top + model.BandAt(i)->y; }
  const EqBand& Band(int i) const { return *model.BandAt(i); }
  CascadeTypes CascadeTypesAt(int head) const {
    return {Band(head).type, Band(head + 1).type, Band(head + 2).type, Band(head + 3).type};
  }

  EqPanelModel model;
};

TEST_F(EqPanelModelTest, ConstructionGivesFortyIndexedSlotsTenInUse) {
  EqPanelModel fresh;
  EXPECT_EQ(fresh.BandCount(), 10);
  EXPECT_EQ(fresh.EqNumber(), 0);
  EXPECT_EQ(fresh.Selected(), -1);
  EXPECT_EQ(fresh.Hovered(), -1);
  for (int i = 0; i < EqPanelModel::kMaxBands; ++i) EXPECT_EQ(fresh.BandAt(i)->index, i);
  EXPECT_EQ(fresh.BandAt(-1), nullptr);
  EXPECT_EQ(fresh.BandAt(40), nullptr);

  const PlotRect plot = model.Plot();
  EXPECT_EQ(plot.left, 36);
  EXPECT_EQ(plot.top, 18);
  EXPECT_EQ(plot.right, 636);
  EXPECT_EQ(plot.bottom, 318);
}

TEST_F(EqPanelModelTest, SetEqNumberLoadsDefaultBandsAndWiresTheChannelCrossover) {
  const struct {
    int eq, count;
    float first, last;
  } rows[] = {{0, 15, 25, 16000}, {1, 15, 25, 16000}, {2, 7, 50, 3200},  {5, 7, 50, 3200},
              {6, 10, 31, 16000}, {7, 13, 31, 16000}, {14, 13, 31, 16000}, {15, 5, 50, 800}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.eq);
    ASSERT_TRUE(model.SetEqNumber(row.eq));
    EXPECT_EQ(model.EqNumber(), row.eq);
    ASSERT_EQ(model.BandCount(), row.count);
    EXPECT_EQ(Band(0).frequency, row.first);
    EXPECT_EQ(Band(row.count - 1).frequency, row.last);
    for (const EqBand& band : model.Bands()) {
      EXPECT_EQ(band.type, kFilterPeq);
      EXPECT_EQ(band.gain, 0.0f);
      EXPECT_FLOAT_EQ(band.q, 1.41f);
    }
    const bool channel = IsChannelEq(row.eq);
    EXPECT_EQ(Band(9).linkedCount, channel ? 3 : 0);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(Band(9).linked[j], channel ? model.BandAt(10 + j) : nullptr);
      EXPECT_EQ(Band(10 + j).shown, channel ? 0 : 1);
    }
    EXPECT_EQ(Band(9).shown, 1);
  }
  EXPECT_FALSE(model.SetEqNumber(16));
  EXPECT_FALSE(model.SetEqNumber(-1));
  EXPECT_EQ(model.EqNumber(), 15);
}

TEST_F(EqPanelModelTest, SelectionPastANewSmallerBandCountIsCleared) {
  model.SetSelected(8);
  model.SetEqNumber(kEqRecord);
  EXPECT_EQ(model.Selected(), -1);
  model.SetSelected(3);
  model.LoadSevenBandPreset();
  EXPECT_EQ(model.Selected(), 3);
  EXPECT_EQ(model.BandCount(), 7);
  EXPECT_EQ(Band(6).frequency, 2000.0f);
  model.SetSelected(7);  // not in use: refused
  EXPECT_EQ(model.Selected(), 3);
}

// Sets the band's type first, then applies `op` with `input`.
enum class Op { kGain, kQ, kFrequency };
TEST_F(EqPanelModelTest, SetterLimitsDependOnTheBandType) {
  const struct {
    int type;
    Op op;
    float input;
    bool accepted;
    float expected;
  } rows[] = {
      {1, Op::kGain, 20.0f, true, 15.0f},      {1, Op::kGain, -20.0f, true, -15.0f},
      {4, Op::kGain, 6.0f, true, 6.0f},        {5, Op::kGain, -6.0f, true, -6.0f},
      {2, Op::kGain, 6.0f, true, 0.0f},        {3, Op::kGain, -6.0f, true, 0.0f},
      {18, Op::kGain, 6.0f, true, 0.0f},       {0, Op::kGain, 6.0f, true, 6.0f},
      {1, Op::kQ, 50.0f, true, 30.0f},         {4, Op::kQ, 50.0f, true, 2.0f},
      {0, Op::kQ, 50.0f, true, 2.0f},          {19, Op::kQ, 50.0f, true, 2.0f},
      {1, Op::kQ, 0.01f, true, 0.1f},          {1, Op::kQ, -3.0f, true, 0.1f},
      {1, Op::kQ, 0.0f, false, 1.41f},         {1, Op::kFrequency, 0.0f, false, 500.0f},
      {1, Op::kFrequency, 10.0f, true, 20.0f}, {1, Op::kFrequency, 30000.0f, true, 20000.0f},
      {2, Op::kFrequency, 1234.5f, true, 1234.5f},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "type " << row.type << " op " << int(row.op) << " input " << row.input);
    model.SetEqNumber(kEqMusic);  // band 4: 500 Hz, "PEQ", Q 1.41
    ASSERT_TRUE(model.SetBandType(4, row.type));
    switch (row.op) {
      case Op::kGain:
        EXPECT_EQ(model.SetBandGain(4, row.input), row.accepted);
        EXPECT_FLOAT_EQ(Band(4).gain, row.expected);
        break;
      case Op::kQ:
        EXPECT_EQ(model.SetBandQ(4, row.input), row.accepted);
        EXPECT_FLOAT_EQ(Band(4).q, row.expected);
        break;
      case Op::kFrequency:
        EXPECT_EQ(model.SetBandFrequency(4, row.input), row.accepted);
        EXPECT_FLOAT_EQ(Band(4).frequency, row.expected);
        break;
    }
  }
  EXPECT_FALSE(model.SetBandGain(10, 1.0f));  // Music EQ has 10 bands in use
  EXPECT_FALSE(model.SetBandType(-1, 1));
  EXPECT_FALSE(model.SetBandGain(0, std::numeric_limits<float>::quiet_NaN()));
}

TEST_F(EqPanelModelTest, PixelMappingFollowsTheAxes) {
  EXPECT_NEAR(model.FrequencyToX(18.0), 0.0, 1e-9);
  EXPECT_NEAR(model.FrequencyToX(23000.0), 600.0, 1e-9);
  EXPECT_NEAR(model.XToFrequency(model.FrequencyToX(1000.0)), 1000.0, 1e-6);
  EXPECT_NEAR(model.GainToY(15.0), 0.0, 1e-9);
  EXPECT_NEAR(model.GainToY(0.0), 150.0, 1e-9);
  EXPECT_NEAR(model.GainToY(-15.0), 300.0, 1e-9);
  EXPECT_NEAR(model.YToGain(60.0), 9.0, 1e-9);

  model.SetBandGain(2, 6.0f);
  EXPECT_NEAR(Band(2).x, model.FrequencyToX(125.0), 1e-3);
  EXPECT_NEAR(Band(2).y, 90.0, 1e-3);
}

TEST_F(EqPanelModelTest, ResponsesAreComputedAndSummed) {
  model.SetBandGain(5, 6.0f);
  // The "PEQ" peak under the marker is pinned to the band's gain.
  const int k = int(std::trunc(std::trunc(600 * std::log10(1000.0 / 18) / std::log10(23000.0 / 18)) / (600 / 512.0f)));
  EXPECT_EQ(Band(5).response[k], 6.0f);
  model.SetBandGain(1, -3.0f);
  model.SetBandType(7, kFilterOff);
  model.BandAt(7)->response.fill(50.0f);  // an off band never counts
  const auto sum = model.SummedResponse();
  for (int i : {0, 100, k, 511}) EXPECT_FLOAT_EQ(sum[i], Band(5).response[i] + Band(1).response[i]) << i;
}

TEST_F(EqPanelModelTest, ChannelSummedCurveIncludesTheHiddenSections) {
  model.SetEqNumber(kEqCh1);
  model.SetBandFrequency(9, 1000.0f);
  ASSERT_TRUE(model.ApplyMenuType(9, kFilterLowPass));
  std::array<float, kResponsePoints> expected{};
  for (const EqBand& band : model.Bands()) {
    for (int i = 0; i < kResponsePoints; ++i) expected[i] += band.response[i];
  }
  const auto sum = model.SummedResponse();
  const auto area = model.BandAreaResponse(9);
  for (int i : {0, 300, 400, 511}) {
    EXPECT_FLOAT_EQ(sum[i], expected[i]) << i;
    EXPECT_FLOAT_EQ(area[i], Band(9).response[i] + Band(10).response[i] + Band(11).response[i] +
                                 Band(12).response[i]) << i;
  }
  EXPECT_LT(area[450], -20.0f);  // well into the stop band of a 24 dB/octave low-pass
}

TEST_F(EqPanelModelTest, TypeMenuOnTheChannelCrossoverHeadSetsItsSectionRow) {
  const struct {
    int menu;
    CascadeTypes types;
  } rows[] = {{2, {18, 20, 1, 1}}, {3, {19, 21, 1, 1}}, {1, {1, 1, 1, 1}}, {4, {4, 1, 1, 1}}, {5, {5, 1, 1, 1}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.menu);
    model.SetEqNumber(kEqCh1 + 2);
    model.SetBandGain(9, 6.0f);
    model.BandAt(11)->gain = 3.0f;  // a stored record may carry a gain on a hidden section
    ASSERT_TRUE(model.ApplyMenuType(9, row.menu));
    EXPECT_EQ(CascadeTypesAt(9), row.types);
    for (int i = 9; i <= 12; ++i) EXPECT_EQ(Band(i).gain, 0.0f) << i;
    for (int i = 10; i <= 12; ++i) EXPECT_EQ(Band(i).frequency, Band(9).frequency) << i;
  }
  // A plain band takes the menu type with the band-type rule.
  model.SetBandGain(3, 6.0f);
  ASSERT_TRUE(model.ApplyMenuType(3, kFilterLowShelf));
  EXPECT_EQ(Band(3).type, kFilterLowShelf);
  EXPECT_EQ(Band(3).gain, 0.0f);
  EXPECT_FLOAT_EQ(Band(3).q, 0.7f);
  EXPECT_FALSE(model.ApplyMenuType(3, 6));
  EXPECT_EQ(Band(3).type, kFilterLowShelf);
}

TEST_F(EqPanelModelTest, CrossoverFamilyOnlyOnTheHead) {
  model.SetEqNumber(kEqCh1 + 1);
  model.ApplyMenuType(9, kFilterLowPass);
  ASSERT_TRUE(model.SetCrossoverFamily(9, 3));
  EXPECT_EQ(CascadeTypesAt(9), (CascadeTypes{18, 20, 18, 20}));
  EXPECT_FALSE(model.SetCrossoverFamily(3, 3));
  EXPECT_FALSE(model.SetCrossoverFamily(9, 12));
  EXPECT_EQ(CascadeTypesAt(9), (CascadeTypes{18, 20, 18, 20}));
}

// ---- hit testing ----

TEST_F(EqPanelModelTest, LeftPickWithin10PxRightPickWithin16Px) {
  const double x = MarkerX(4), y = MarkerY(4);  // 500 Hz, neighbours are far enough
  const struct {
    double dx, dy;
    int left, right;
  } rows[] = {{0, 0, 4, 4}, {9, -9, 4, 4}, {10, 0, -1, 4}, {0, -10, -1, 4}, {15, 15, -1, 4}, {16, 0, -1, -1}};
  for (const auto& row : rows) {
    EXPECT_EQ(model.HitTest(x + row.dx, y + row.dy), row.left) << row.dx << "," << row.dy;
    EXPECT_EQ(model.HitTestRight(x + row.dx, y + row.dy), row.right) << row.dx << "," << row.dy;
  }
  // An off band is passed over by the left button only; hover takes the highest index.
  model.SetBandType(4, kFilterOff);
  EXPECT_EQ(model.HitTest(x, y), -1);
  EXPECT_EQ(model.HitTestRight(x, y), 4);
  EXPECT_EQ(model.HoverTest(x, y), -1);
  model.SetBandType(4, kFilterPeq);
  model.SetBandFrequency(5, 520.0f);
  EXPECT_EQ(model.HitTest(x, y), 4);
  EXPECT_EQ(model.HoverTest(x, y), 5);
}

TEST_F(EqPanelModelTest, HiddenCrossoverSectionsAreNeverPicked) {
  model.SetEqNumber(kEqCh1);
  model.SetBandFrequency(9, 1400.0f);  // clear of the 1000 Hz and 2000 Hz markers
  // The sections sit under the head's marker; with the head off nothing may be found there.
  const double x = MarkerX(9), y = MarkerY(9);
  EXPECT_EQ(model.HoverTest(x, y), 9);
  model.SetBandType(9, kFilterOff);
  EXPECT_EQ(model.HitTest(x, y), -1);
  EXPECT_EQ(model.HoverTest(x, y), -1);
  EXPECT_EQ(model.HitTestRight(x, y), 9);
  // A section's marker elsewhere is not pickable either.
  model.BandAt(12)->gain = 10.0f;
  model.RecomputeBand(12);
  EXPECT_EQ(model.HitTest(MarkerX(12), MarkerY(12)), -1);
  EXPECT_EQ(model.HitTestRight(MarkerX(12), MarkerY(12)), -1);
  EXPECT_EQ(model.HoverTest(MarkerX(12), MarkerY(12)), -1);
}

// ---- drags ----

TEST_F(EqPanelModelTest, DragArithmetic) {
  const struct {
    int type;
    double x, y;  // client pixels
    float frequency, gain;
  } rows[] = {
      {1, 36 - 40, 168, 20.0f, 0.0f},        // past the left edge: the band's 20 Hz, not the axis' 18 Hz
      {1, 700, 168, 20000.0f, 0.0f},         // past the right edge
      {1, 336, -30, 0.0f, 15.0f},            // above the plot
      {4, 336, 400, 0.0f, -15.0f},           // below the plot
      {1, 336, 18 + 118.6, 0.0f, 3.1f},      // 3.14 dB rounds to 3.1
      {5, 336, 18 + 172.5, 0.0f, -2.3f},     // -2.25 dB rounds away from zero
      {2, 336, 18, 0.0f, 0.0f},              // "LP" stays at 0 dB
      {3, 336, 318, 0.0f, 0.0f},             // "HP" too
      {20, 336, 18, 0.0f, 0.0f},             // and every crossover section
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "type " << row.type << " at " << row.x << "," << row.y);
    model.SetEqNumber(kEqMusic);
    model.SetBandType(4, row.type);
    ASSERT_TRUE(model.DragTo(4, row.x, row.y));
    if (row.frequency > 0) {
      EXPECT_FLOAT_EQ(Band(4).frequency, row.frequency);
    } else {
      EXPECT_NEAR(Band(4).frequency, model.XToFrequency(row.x - 36), 0.01);
    }
    EXPECT_FLOAT_EQ(Band(4).gain, row.gain);
  }
}

TEST_F(EqPanelModelTest, LeftDragKeepsTheGrabOffsetInY) {
  model.SetBandGain(4, 3.0f);
  const double x = MarkerX(4), y = MarkerY(4);
  const PanelEvent press = model.LeftPress(x + 4, y + 6);
  EXPECT_TRUE(press.accepted);
  EXPECT_TRUE(press.bandPressed);
  EXPECT_EQ(press.band, 4);
  EXPECT_EQ(model.GrabOffset(), (std::array<int, 2>{4, 6}));
  // Moving straight down by 20 px lowers the gain by 2 dB; x did not move, so the
  // frequency is the band's own, not what the pressed pixel maps back to.
  const PanelEvent move = model.MouseMove(x + 4, y + 26);
  EXPECT_TRUE(move.bandChanged);
  EXPECT_FLOAT_EQ(Band(4).gain, 1.0f);
  EXPECT_EQ(Band(4).frequency, 500.0f);
  // Sideways, x is taken without the offset.
  model.MouseMove(x + 30, y + 26);
  EXPECT_NEAR(Band(4).frequency, model.XToFrequency(x + 30 - 36), 0.01);
  const PanelEvent release = model.LeftRelease();
  EXPECT_TRUE(release.bandChanged);
  EXPECT_FALSE(release.emptyClicked);
  EXPECT_FALSE(model.LeftDown());
}

// A drag along one axis leaves the other axis' value exactly as it was, wherever on the
// marker it was grabbed: pixels map back to nearby values only (630 Hz would become 626).
TEST_F(EqPanelModelTest, StraightDragKeepsTheAxisNotMoved) {
  const struct {
    float frequency, gain;
    int grabX, grabY;
  } rows[] = {{630.0f, 0.0f, 0, 0}, {630.0f, 2.7f, 3, -5}, {12345.0f, -4.4f, -7, 8}, {31.0f, 11.9f, 9, 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.frequency << " Hz " << row.gain << " dB");
    model.SetEqNumber(kEqMusic);
    model.SetBandFrequency(4, row.frequency);
    model.SetBandGain(4, row.gain);
    const double x = MarkerX(4) + row.grabX, y = MarkerY(4) + row.grabY;
    ASSERT_EQ(model.LeftPress(x, y).band, 4);
    model.MouseMove(x, y + 25);  // straight down
    EXPECT_EQ(Band(4).frequency, row.frequency);
    EXPECT_LT(Band(4).gain, row.gain);
    model.MouseMove(x, y);  // and back
    EXPECT_EQ(Band(4).frequency, row.frequency);
    EXPECT_EQ(Band(4).gain, row.gain);
    model.MouseMove(x + 40, y);  // straight sideways
    EXPECT_GT(Band(4).frequency, row.frequency);
    EXPECT_EQ(Band(4).gain, row.gain);
    model.LeftRelease();
  }
}

// The readout (80 x 45 beside a marker at 300, 150 in a 600 x 300 panel) takes the
// first place that covers no other marker.
TEST(EqReadoutPlacement, AvoidsOtherMarkers) {
  using Others = std::vector<std::array<double, 2>>;
  const struct {
    const char* name;
    double x;
    bool above;
    Others others;
    double left, top;
  } rows[] = {
      {"alone: right and below", 300, false, {}, 312, 162},
      {"alone, negative gain: right and above", 300, true, {}, 312, 93},
      {"a neighbour right below: left below", 300, false, {{330, 180}}, 208, 162},
      {"at the right edge: left", 580, false, {}, 488, 162},
      {"all four corners taken: pushed further right", 300, false, {{330, 175}, {270, 175}, {330, 125}, {270, 125}}, 348,
       162},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ReadoutPlace place = PlaceReadout(row.x, 150, 80, 45, 12, row.above, 600, 300, row.others, 9);
    EXPECT_DOUBLE_EQ(place.left, row.left);
    EXPECT_DOUBLE_EQ(place.top, row.top);
  }
}

TEST_F(EqPanelModelTest, PressWithoutMovingMoreThanOnePixelChangesNothing) {
  const double x = MarkerX(4), y = MarkerY(4);
  model.LeftPress(x, y);
  const PanelEvent move = model.MouseMove(x + 1, y - 1);
  EXPECT_FALSE(move.bandChanged);
  EXPECT_FALSE(model.Moved());
  EXPECT_EQ(Band(4).frequency, 500.0f);
  const PanelEvent release = model.LeftRelease();
  EXPECT_FALSE(release.bandChanged);
  EXPECT_FALSE(release.emptyClicked);
  EXPECT_EQ(model.Selected(), 4);
}

TEST_F(EqPanelModelTest, ClickAwayFromEveryMarkerClearsTheSelection) {
  model.SetSelected(4);
  const PanelEvent press = model.LeftPress(MarkerX(4), MarkerY(4) + 12);
  EXPECT_TRUE(press.accepted);
  EXPECT_FALSE(press.bandPressed);
  EXPECT_EQ(model.Selected(), -1);
  model.MouseMove(MarkerX(4) + 40, MarkerY(4) + 40);
  const PanelEvent release = model.LeftRelease();
  EXPECT_TRUE(release.emptyClicked);
  EXPECT_FALSE(release.bandChanged);
}

TEST_F(EqPanelModelTest, RightDragChangesQWithTheTypesScale) {
  // Right and up raise Q, left and down lower it, by the same scale.
  const struct {
    int type;
    double dx, dy;
    float q;
  } rows[] = {{1, 24, 0, 1.41f + 2.0f}, {1, 600, 0, 30.0f},   {1, -600, 0, 0.1f},        {4, 8, 0, 0.7f + 0.1f},
              {4, 200, 0, 2.0f},      {18, 12, 0, 2.41f},    {1, 0, -24, 1.41f + 2.0f}, {1, 0, 12, 1.41f - 1.0f},
              {4, 0, -8, 0.7f + 0.1f}, {1, 12, 12, 1.41f}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "type " << row.type << " dx " << row.dx << " dy " << row.dy);
    model.SetEqNumber(kEqMusic);
    model.SetBandType(4, row.type);
    if (row.type == 18) model.BandAt(4)->q = 1.41f;
    const double x = MarkerX(4), y = MarkerY(4);
    const PanelEvent press = model.RightPress(x, y);
    EXPECT_TRUE(press.bandChanged);
    ASSERT_EQ(press.band, 4);
    // Two moves: the second is measured from the first, not from the press.
    model.MouseMove(x + row.dx / 2, y + row.dy / 2);
    const PanelEvent move = model.MouseMove(x + row.dx, y + row.dy);
    EXPECT_TRUE(move.bandChanged);
    EXPECT_NEAR(Band(4).q, row.q, 1e-5);
    const PanelEvent release = model.RightRelease();
    EXPECT_TRUE(release.bandChanged);
    EXPECT_FALSE(release.showTypeMenu);
  }
}

TEST_F(EqPanelModelTest, RightReleaseOffersTheRightMenu) {
  const double x = MarkerX(4), y = MarkerY(4);
  model.RightPress(x + 40, y + 40);
  PanelEvent release = model.RightRelease();
  EXPECT_TRUE(release.showCopyPasteMenu);
  EXPECT_FALSE(release.bandChanged);

  model.RightPress(x, y);
  release = model.RightRelease();
  EXPECT_TRUE(release.bandChanged);
  EXPECT_TRUE(release.showTypeMenu);
  EXPECT_FALSE(release.showCopyPasteMenu);
  EXPECT_EQ(release.band, 4);

  EXPECT_FALSE(model.RightRelease().accepted);  // no press, nothing to release
}

TEST_F(EqPanelModelTest, PressesAreIgnoredWhileDisabledOrWhileTheOtherButtonIsDown) {
  const double x = MarkerX(4), y = MarkerY(4);
  model.SetDisabled(true);
  EXPECT_FALSE(model.LeftPress(x, y).accepted);
  EXPECT_FALSE(model.RightPress(x, y).accepted);
  EXPECT_FALSE(model.LeftRelease().accepted);
  model.SetDisabled(false);
  model.LeftPress(x, y);
  EXPECT_FALSE(model.RightPress(x, y).accepted);
  model.LeftRelease();
  model.RightPress(x, y);
  EXPECT_FALSE(model.LeftPress(x, y).accepted);
}

TEST_F(EqPanelModelTest, HoverIsKeptWhileAButtonIsDown) {
  model.MouseMove(MarkerX(4), MarkerY(4));
  EXPECT_EQ(model.Hovered(), 4);
  model.LeftPress(MarkerX(4), MarkerY(4));
  model.MouseMove(MarkerX(8), MarkerY(8));
  EXPECT_EQ(model.Hovered(), 4);
  model.LeftRelease();
  model.MouseMove(MarkerX(8) + 100, 0);
  EXPECT_EQ(model.Hovered(), -1);
}

// ---- wheel and keys ----

TEST_F(EqPanelModelTest, WheelStepsGainTypesOnly) {
  model.SetSelected(4);
  PanelEvent wheel = model.Wheel(3);
  EXPECT_TRUE(wheel.accepted);
  EXPECT_TRUE(wheel.bandChanged);
  EXPECT_NEAR(Band(4).gain, 0.3f, 1e-6);
  model.Wheel(-5);
  EXPECT_NEAR(Band(4).gain, -0.2f, 1e-6);
  model.SetBandGain(4, 14.95f);
  model.Wheel(1);
  EXPECT_EQ(Band(4).gain, 15.0f);

  model.SetBandType(4, kFilterHighPass);
  wheel = model.Wheel(1);
  EXPECT_FALSE(wheel.accepted);
  EXPECT_EQ(Band(4).gain, 0.0f);
  model.SetSelected(-1);
  EXPECT_FALSE(model.Wheel(1).accepted);
}

TEST_F(EqPanelModelTest, KeySteps) {
  enum Field { kFrequency, kGain, kQ };
  const struct {
    int type;
    Field field;
    float start;
    PanelKey key;
    bool ctrl, handled;
    float expected;
  } rows[] = {
      {1, kFrequency, 15000, PanelKey::kRight, false, true, 15100},
      {1, kFrequency, 10000, PanelKey::kRight, false, true, 10010},
      {1, kFrequency, 10000, PanelKey::kLeft, true, true, 9989},
      {1, kFrequency, 1000, PanelKey::kLeft, false, true, 995},
      {1, kFrequency, 500, PanelKey::kRight, true, true, 506},
      {1, kFrequency, 100, PanelKey::kRight, false, true, 102},
      {1, kFrequency, 21, PanelKey::kLeft, false, true, 20},
      {1, kFrequency, 19990, PanelKey::kRight, false, true, 20000},
      {1, kGain, 0, PanelKey::kUp, false, true, 0.2f},
      {4, kGain, 0, PanelKey::kDown, true, true, -0.1f},
      {5, kGain, 14.9f, PanelKey::kUp, false, true, 15.0f},
      {2, kGain, 0, PanelKey::kUp, false, false, 0.0f},
      {1, kQ, 1.41f, PanelKey::kPlus, false, true, 1.51f},
      {1, kQ, 1.41f, PanelKey::kMinus, true, true, 1.40f},
      {4, kQ, 1.95f, PanelKey::kPlus, false, true, 2.0f},
      {19, kQ, 1.95f, PanelKey::kPlus, false, true, 2.05f},
      {1, kQ, 0.15f, PanelKey::kMinus, false, true, 0.1f},
      {1, kQ, 1.41f, PanelKey::kOther, false, false, 1.41f},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "type " << row.type << " start " << row.start << " key " << int(row.key)
                                    << (row.ctrl ? " ctrl" : ""));
    model.SetEqNumber(kEqMusic);
    model.SetBandType(4, row.type);
    EqBand& band = *model.BandAt(4);
    (row.field == kFrequency ? band.frequency : row.field == kGain ? band.gain : band.q) = row.start;
    model.SetSelected(4);
    const PanelEvent event = model.KeyPress(row.key, row.ctrl);
    EXPECT_TRUE(event.accepted);
    EXPECT_EQ(event.bandChanged, row.handled);
    const float value = row.field == kFrequency ? band.frequency : row.field == kGain ? band.gain : band.q;
    EXPECT_NEAR(value, row.expected, 1e-4);
  }
  model.SetSelected(-1);
  EXPECT_FALSE(model.KeyPress(PanelKey::kUp, false).accepted);
}

// ---- live block ----

TEST_F(EqPanelModelTest, BandsLoadFromTheLiveBlockAndKeepTheCascade) {
  ResetDataModel();
  std::array<std::uint8_t, 7> bytes{};
  EncodeBandRecordBytes(MakeBandRecord(6.0f, 1234, 2.5f, kFilterHighShelf), bytes.data());
  StoreLiveBytes(EqBandOffset(kEqCh1 + 3, 2), bytes);
  const int types[] = {19, 21, 1, 1};
  for (int j = 0; j < 4; ++j) {
    EncodeBandRecordBytes(MakeBandRecord(0.0f, 80, 1.41f, types[j]), bytes.data());
    StoreLiveBytes(EqBandOffset(kEqCh1 + 3, 9 + j), bytes);
  }
  model.SetEqNumber(kEqCh1 + 3);
  ASSERT_TRUE(model.LoadBandsFromLiveBlock());
  EXPECT_EQ(Band(2).type, kFilterHighShelf);
  EXPECT_EQ(Band(2).frequency, 1234.0f);
  EXPECT_FLOAT_EQ(Band(2).gain, 6.0f);
  EXPECT_FLOAT_EQ(Band(2).q, 2.5f);
  EXPECT_EQ(CascadeTypesAt(9), (CascadeTypes{19, 21, 1, 1}));
  EXPECT_EQ(Band(9).linkedCount, 3);
  EXPECT_EQ(Band(10).shown, 0);
  int menu = 0;
  EXPECT_EQ(CrossoverReverseLookup(19, 21, 1, 1, menu), 9);
  // The responses follow the loaded values: a high-pass at 80 Hz is deep down at 20 Hz.
  EXPECT_LT(model.BandAreaResponse(9)[10], -20.0f);
  ResetDataModel();
}

TEST_F(EqPanelModelTest, LoadingNeverReadsPastTheEqsOwnRecords) {
  ResetDataModel();
  std::array<std::uint8_t, 7> bytes{};
  EncodeBandRecordBytes(MakeBandRecord(3.0f, 777, 1.0f, kFilterPeq), bytes.data());
  StoreLiveBytes(EqBandOffset(kEqRecord, 4), bytes);
  model.SetEqNumber(kEqRecord);
  model.SetBandCount(8);  // more than the Record EQ's 5 record slots
  EXPECT_FALSE(model.LoadBandsFromLiveBlock());
  EXPECT_EQ(Band(4).frequency, 777.0f);
  EXPECT_EQ(Band(5).type, 1);
  EXPECT_EQ(Band(5).frequency, 100.0f);
  ResetDataModel();
}

TEST_F(EqPanelModelTest, OutOfRangeStoredValuesKeepMarkersOnThePlot) {
  EqBand& band = *model.BandAt(3);
  band.frequency = 0.0f;
  band.gain = 200.0f;
  model.RecomputeBand(3);
  EXPECT_EQ(band.x, 0.0f);
  EXPECT_EQ(band.y, 0.0f);
}

TEST_F(EqPanelModelTest, ResizeRecomputesTheBandsAndMarkers) {
  model.SetBandGain(5, 6.0f);
  const float oldX = Band(5).x;
  model.SetClientSize(342, 238);  // a 300 x 200 plot
  EXPECT_NEAR(Band(5).x, oldX / 2, 1e-3);
  EXPECT_NEAR(Band(5).y, 60.0f, 1e-3);
  const int k = int(std::trunc(std::trunc(300 * std::log10(1000.0 / 18) / std::log10(23000.0 / 18)) / (300 / 512.0f)));
  EXPECT_EQ(Band(5).response[k], 6.0f);
}

TEST_F(EqPanelModelTest, CopiesPointTheirCascadeAtTheirOwnSlots) {
  model.SetEqNumber(kEqCh1 + 4);
  const EqPanelModel copy = model;
  for (int j = 0; j < 3; ++j) EXPECT_EQ(copy.BandAt(9)->linked[j], copy.BandAt(10 + j));
  EqPanelModel assigned;
  assigned = model;
  EXPECT_EQ(assigned.BandAt(9)->linked[0], assigned.BandAt(10));
}

TEST(EqPanelTextTest, TitlesAndGainLevels) {
  EXPECT_STREQ(EqPanelTitle(0, 1), "Mic A EQ");
  EXPECT_STREQ(EqPanelTitle(0, 0), "话筒A均衡");
  EXPECT_STREQ(EqPanelTitle(10, 1), "CH4 EQ");
  EXPECT_STREQ(EqPanelTitle(10, 0), "通道4均衡");
  EXPECT_STREQ(EqPanelTitle(15, 1), "Record EQ");
  EXPECT_STREQ(EqPanelTitle(16, 1), "");
  const struct {
    float gain;
    GainLevel level;
  } rows[] = {{6.0f, GainLevel::kNormal},  {-6.0f, GainLevel::kNormal}, {6.1f, GainLevel::kRaised},
              {-10.0f, GainLevel::kRaised}, {10.1f, GainLevel::kHigh},   {-15.0f, GainLevel::kHigh}};
  for (const auto& row : rows) EXPECT_EQ(GainLevelOf(row.gain), row.level) << row.gain;
  EXPECT_TRUE(LabelsAboveMarker(-0.1f));
  EXPECT_FALSE(LabelsAboveMarker(-0.01f));
}

}  // namespace
}  // namespace dsptune
