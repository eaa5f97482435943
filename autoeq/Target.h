#pragma once
// The response a fit aims at: flat, a house curve, or a curve read from a file in the
// measurement formats (autoeq/Measurement.h).
//
// Usage:
//   Target t;
//   BilingualText error;
//   if (!ParseTarget("house:6,120,-0.5", t, error)) print(error[language]);
//   double db = TargetLevelDb(t, 50.0);
#include <string_view>

#include "autoeq/Measurement.h"
#include "model/SettingsDiff.h"

namespace dsptune {

enum class TargetKind { kFlat, kHouse, kFile };

// Bass rise: bassDb more below cornerHz, half of it at the corner, a smooth second-order
// transition (bassDb / (1 + (f/corner)²)). Tilt: tiltDbPerOctave per octave, 0 dB at
// 1 kHz. Only the shape matters: the measurement is aligned to the target.
struct HouseCurve {
  double bassDb = 0.0;
  double cornerHz = 100.0;
  double tiltDbPerOctave = 0.0;
};

struct Target {
  TargetKind kind = TargetKind::kFlat;
  HouseCurve house;
  Measurement curve;  // kFile: the target as read (levels in dB)
};

// "flat", "house:BASS_DB,CORNER_HZ,TILT_DB_PER_OCTAVE" or a file name (read with
// ReadMeasurementFile). False with a reason in `error` when it cannot be used: a house
// curve with missing or unreadable numbers, a corner outside 20..20000 Hz, a file that
// does not read. A file's malformed lines go to `notes`.
bool ParseTarget(std::string_view text, Target& out, BilingualText& error);
bool ParseTarget(std::string_view text, Target& out, BilingualText& error, std::vector<BilingualText>& notes);

// The target's level at hz (dB). A file target is held at its end values outside its range.
double TargetLevelDb(const Target& target, double hz);

// "flat", "house curve: +6.0 dB below 120 Hz, -0.5 dB/octave", "target file left.txt".
BilingualText TargetName(const Target& target);

}  // namespace dsptune
