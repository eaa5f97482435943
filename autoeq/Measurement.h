#pragma once
// Frequency responses as room-measurement programs export them, and what is done to
// them before a fit: averaging of several microphone positions and smoothing.
//
// Text form, one point a line:
//
//   * Measurement of the left speaker          (lines starting with '*' or '#': comments)
//   Frequency;SPL;Phase                        (one header line before the data: skipped)
//   20.0 72.31 -12.5                           (Hz, dB [, degrees])
//   20,5;72,40;-13,1                           (';' or tabs or spaces with comma decimals)
//   21.0,72.52,-13.8                           (',' between fields: '.' decimals)
//
// Fields are separated by spaces, tabs, commas or semicolons. A comma is a decimal mark
// when the fields are otherwise separated (by ';', a tab or spaces); a line of comma-
// separated fields uses '.' decimals. Frequencies must rise from line to line; a level
// must lie within ±1000 dB. CRLF, CR
// or LF line ends and a leading UTF-8 byte-order mark are accepted. A line that cannot be
// read is skipped and reported by its number; the rest of the file still loads.
//
// Usage:
//   MeasurementFile m = ReadMeasurementFile("left.txt");   // or ParseMeasurement(text)
//   if (!m.ok) print(m.error[language]);
//   for (auto& note : m.notes) print(note[language]);      // malformed lines
//   Measurement room = PrepareMeasurements({m.measurement, ...}, ParseSmoothing("1/6"), notes);
// Pure standard library; no exceptions leave these functions.
#include <string>
#include <string_view>
#include <vector>

#include "model/SettingsDiff.h"  // BilingualText

namespace dsptune {

// Fewer points than this in a file, or inside a fit range, is not a measurement.
inline constexpr int kMinMeasurementPoints = 8;

struct Measurement {
  std::vector<double> frequencyHz;  // strictly rising, > 0
  std::vector<double> levelDb;      // one per frequency
  std::vector<double> phaseDeg;     // one per frequency, or empty when the file had none
  std::string name;                 // file name or a caller's label, for reports

  int Size() const { return int(frequencyHz.size()); }
  bool Empty() const { return frequencyHz.empty(); }
  double LowestHz() const { return frequencyHz.empty() ? 0.0 : frequencyHz.front(); }
  double HighestHz() const { return frequencyHz.empty() ? 0.0 : frequencyHz.back(); }
};

struct MeasurementLineProblem {
  int line = 0;       // 1-based
  std::string text;   // the line as written (without its line end)
};

struct MeasurementFile {
  bool ok = false;
  BilingualText error;                          // why not ok: no file, too few points ...
  Measurement measurement;
  std::vector<MeasurementLineProblem> malformed;  // in line order
  std::vector<BilingualText> notes;             // one per malformed line: "Line 12: cannot read ..."
};

// A frequency for a report: to 0.1 Hz without trailing zeros ("20", "20.5", "20000").
std::string HzText(double hz);

// Reads the text of one export. `name` goes into measurement.name.
MeasurementFile ParseMeasurement(std::string_view text, std::string name = {});
// Reads a file; a file that cannot be opened is an error naming it.
MeasurementFile ReadMeasurementFile(const std::string& path);

// Level in dB at `hz`, linear in log-frequency between the neighbouring points; the end
// values outside the measured range (check coverage with Covers first).
double LevelAt(const Measurement& m, double hz);

// True when the measurement reaches from lowHz to highHz (within 1/96 octave, the
// rounding of exported frequencies).
bool Covers(const Measurement& m, double lowHz, double highHz);

// Power average of several measurements (10·log10 of the mean of 10^(L/10)), on the
// frequencies of the first one that lie inside the range all of them cover. Phase is
// dropped (positions do not share one). A single measurement is returned as it is.
// Empty result when the ranges do not overlap.
Measurement AverageMeasurements(const std::vector<Measurement>& measurements);

enum class SmoothingKind {
  kNone,
  kOctave,    // 1/N octave, N = fraction
  kVariable,  // psychoacoustic: 1/48 octave below 100 Hz widening to 1/3 octave at 10 kHz and above
};

struct Smoothing {
  SmoothingKind kind = SmoothingKind::kNone;
  int fraction = 0;  // N of 1/N octave: 1, 3, 6, 12, 24 or 48
};

// "none", "1/1", "1/3", "1/6", "1/12", "1/24", "1/48", "var"; ok false for anything else.
bool ParseSmoothing(std::string_view text, Smoothing& out);
// "none", "1/6 octave", "variable" / "无", "1/6倍频程", "可变".
BilingualText SmoothingName(const Smoothing& smoothing);

// Each point becomes the power mean of the points within ±1/(2N) octave of it (the
// window of that point for variable smoothing). Phase is dropped.
Measurement SmoothMeasurement(const Measurement& m, const Smoothing& smoothing);

// Average then smooth, with a note for each step taken ("Averaged 3 measurements (power
// average of levels) over 20–20000 Hz", "Smoothed 1/6 octave").
Measurement PrepareMeasurements(const std::vector<Measurement>& measurements, const Smoothing& smoothing,
                                std::vector<BilingualText>& notes);

}  // namespace dsptune
