// The example measurements shipped for the command line and the window: each export
// style loads, and a fit of the averaged positions does what the examples promise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "autoeq/EqFit.h"
#include "autoeq/FitReport.h"
#include "autoeq/Measurement.h"
#include "model/EqLayout.h"

namespace dsptune {
namespace {

std::string Example(const char* name) { return std::string(DSPTUNE_EXAMPLE_MEASUREMENTS) + "/" + name; }

TEST(ExampleMeasurementsTest, EveryExportStyleLoadsAndTheRoomFits) {
  const struct {
    const char* file;
    bool phase;
  } rows[] = {{"living-room-left.txt", true}, {"living-room-right.csv", true}, {"theatre-sub.txt", false}};
  std::vector<Measurement> living;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const MeasurementFile m = ReadMeasurementFile(Example(row.file));
    ASSERT_TRUE(m.ok) << m.error[kTextEnglish];
    EXPECT_TRUE(m.malformed.empty());
    EXPECT_EQ(m.measurement.phaseDeg.empty(), !row.phase);
    EXPECT_EQ(m.measurement.name, row.file);
    EXPECT_TRUE(Covers(m.measurement, 20, std::string(row.file) == "theatre-sub.txt" ? 400 : 20000));
    if (std::string(row.file).rfind("living", 0) == 0) living.push_back(m.measurement);
  }
  std::vector<BilingualText> notes;
  const Measurement room = PrepareMeasurements(living, {SmoothingKind::kOctave, 12}, notes);
  FitSetup setup;
  setup.eq = kEqMicA;
  for (int b = 0; b < 15; ++b) setup.freeSlots.push_back(b);
  FitOptions options;
  options.maxBoostDb = 3.0;
  const FitResult r = FitEq(room, Target{}, setup, options, notes);
  ASSERT_TRUE(r.ok);
  EXPECT_LT(r.rmsAfterDb, 0.5 * r.rmsBeforeDb);
  const std::string report = FitReportText(r, kTextEnglish);
  EXPECT_NE(report.find("averaged 2 measurements (power average of levels)"), std::string::npos) << report;
  EXPECT_NE(report.find("smoothed 1/12 octave"), std::string::npos);
  EXPECT_FALSE(FitReportText(r, kTextChinese).empty());
}

}  // namespace
}  // namespace dsptune
