#pragma once
// Filter-set text files as room-measurement tools export them and parametric-EQ tools
// share them, one filter a line:
//
//   Preamp: -6 dB
//   Filter 3: ON PK Fc 125 Hz Gain -4.5 dB Q 2.10
//   Filter: ON LSC Fc 80 Hz Gain 3 dB Q 0.71
//   Filter 7: OFF PK Fc 1000 Hz Gain 0 dB Q 1
//
// Any spacing; the filter number is optional; decimals may use a comma; CRLF, CR or LF
// line ends; a leading UTF-8 byte-order mark. Lines that do not start with "Filter...:"
// or "Preamp:" are the tools' headers and notes and are skipped. Pure text handling:
// nothing here knows the device's bands (see editors/model/EqFilterImport.h).
#include <string>
#include <string_view>
#include <vector>

namespace dsptune {

enum class FilterKind {
  kPeaking,    // PK
  kLowShelf,   // LS, LSC
  kHighShelf,  // HS, HSC
  kLowPass,    // LP, LPQ
  kHighPass,   // HP, HPQ
  kUnknown,    // any other type word (BP, NO, AP, ...): read, never applied
};

// Q a filter gets when its line names none: the second-order Butterworth value, what the
// tools assume for LP/HP and shelves written without one.
inline constexpr double kFilterFileDefaultQ = 0.7071;

struct FilterSpec {
  int line = 0;        // 1-based line number in the file
  int number = -1;     // "Filter N:", -1 when the line has none
  bool on = true;
  FilterKind kind = FilterKind::kPeaking;
  std::string typeWord;  // as written ("PK", "LSC", "BP" ...)
  double frequencyHz = 0.0;
  double gainDb = 0.0;   // 0 when the line names none (LP/HP)
  double q = kFilterFileDefaultQ;
  bool hasGain = false;
  bool hasQ = false;
};

enum class FilterFileProblem {
  kMalformed,  // a "Filter...:" line whose fields cannot be read
  kPreamp,     // a "Preamp:" line: read, reported, never applied
};

struct FilterFileNote {
  int line = 0;
  FilterFileProblem problem = FilterFileProblem::kMalformed;
  double value = 0.0;  // the preamp in dB
  std::string text;    // the line as written (malformed lines)
};

struct FilterFile {
  std::vector<FilterSpec> filters;  // in file order, OFF and unknown types included
  std::vector<FilterFileNote> notes;
};

// Reads the whole text. "Filter N: ON None" (an unused slot of the tools) is skipped.
FilterFile ParseFilterFile(std::string_view text);

// The type word a kind is written with; the forms that carry a Q: "PK", "LSC", "HSC",
// "LPQ", "HPQ" ("" for kUnknown).
const char* FilterKindWord(FilterKind kind);

// One line "Filter N: ON PK Fc 125 Hz Gain -4.5 dB Q 2.100" (no line end). LP/HP lines
// carry no gain. Frequency in whole hertz, gain to 0.1 dB and Q to 0.001, the
// resolution of the device's band records, with '.' whatever the locale.
std::string FormatFilterLine(int number, const FilterSpec& filter);

// v with `decimals` decimals and '.', whatever the process locale; never "-0.0". A value
// too large for that (beyond about 1e15) is written in the shortest form that reads
// back as v ("1e+308"), never as a wrong number.
std::string FormatFixed(double v, int decimals);

// A value as a file gave it, for a report: with `decimals` decimals when that writes it
// exactly ("-18.0", "40.000"), else in the shortest form that reads back as v ("100.5",
// "0.0001", "1e+308").
std::string FormatGiven(double v, int decimals);

}  // namespace dsptune
