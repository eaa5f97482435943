// The fit against the synthetic rooms of tests/autoeq/data, each generated with an
// independent least-squares optimum under the same limits by
// tests/autoeq/reference/make_rooms.py (one file per room, its fit in '#' lines).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "autoeq/EqFit.h"
#include "autoeq/Measurement.h"
#include "autoeq/Target.h"
#include "dsp/Biquad.h"

namespace dsptune {
namespace {

struct RoomCase {
  std::string file;
  FitOptions options;
  int bands = 0;
  std::string target;
  double beforeRms = 0.0, referenceRms = 0.0;
};

// Reads "key=value" words from the file's "# fit:" and "# reference:" lines.
RoomCase ReadRoomCase(const std::filesystem::path& path) {
  RoomCase c;
  c.file = path.string();
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("# fit:", 0) != 0 && line.rfind("# reference:", 0) != 0) continue;
    std::istringstream words(line.substr(line.find(':') + 1));
    std::string word;
    while (words >> word) {
      const std::size_t eq = word.find('=');
      const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
      if (key == "bands") c.bands = std::stoi(value);
      if (key == "low") c.options.lowHz = std::stod(value);
      if (key == "high") c.options.highHz = std::stod(value);
      if (key == "max-boost") c.options.maxBoostDb = std::stod(value);
      if (key == "shelves") c.options.allowShelves = value == "1";
      if (key == "target") c.target = value;
      if (key == "before-rms") c.beforeRms = std::stod(value);
      if (key == "optimum-rms") c.referenceRms = std::stod(value);
    }
  }
  return c;
}

std::vector<RoomCase> Rooms() {
  std::vector<RoomCase> rooms;
  for (const auto& entry : std::filesystem::directory_iterator(DSPTUNE_AUTOEQ_DATA))
    if (entry.path().filename().string().rfind("room-", 0) == 0) rooms.push_back(ReadRoomCase(entry.path()));
  std::sort(rooms.begin(), rooms.end(), [](const RoomCase& a, const RoomCase& b) { return a.file < b.file; });
  return rooms;
}

FitSetup FreeSlots(int count) {
  FitSetup setup;
  for (int b = 0; b < count; ++b) setup.freeSlots.push_back(b);
  return setup;
}

TEST(RoomFitTest, ReachesTheReferenceOptimumOnEverySyntheticRoom) {
  const std::vector<RoomCase> rooms = Rooms();
  EXPECT_GE(rooms.size(), 8u);
  std::cout << "room                                  before   after  reference (RMS dB)\n";
  for (const RoomCase& room : rooms) {
    SCOPED_TRACE(room.file);
    const MeasurementFile m = ReadMeasurementFile(room.file);
    ASSERT_TRUE(m.ok) << m.error[kTextEnglish];
    Target target;
    BilingualText error;
    ASSERT_TRUE(ParseTarget(room.target, target, error)) << error[kTextEnglish];
    const FitResult r = FitEq(m.measurement, target, FreeSlots(room.bands), room.options);
    ASSERT_TRUE(r.ok) << r.error[kTextEnglish];
    std::printf("%-36s %7.3f %7.3f %7.3f\n", m.measurement.name.c_str(), r.rmsBeforeDb, r.rmsAfterDb,
                room.referenceRms);
    // The same measurement on the same grid as the script saw it.
    EXPECT_NEAR(r.rmsBeforeDb, room.beforeRms, 0.002);
    EXPECT_LE(r.rmsAfterDb, room.referenceRms + 0.1);
    std::vector<BandRecord> used;
    for (const FittedBand& b : r.bands) {
      EXPECT_LE(b.record.GainDb(), room.options.maxBoostDb + 1e-6);
      if (b.used) used.push_back(b.record);
    }
    // Cuts only never boosts, anywhere in the audio band.
    if (room.options.maxBoostDb == 0.0) {
      std::vector<double> hz;
      for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 96.0)) hz.push_back(f);
      for (double db : BandRecordsResponseDb(used, hz)) EXPECT_LE(db, 1e-9);
    }
  }
}

}  // namespace
}  // namespace dsptune
