#pragma once
// A measurement tool's filter set in an equaliser, and an equaliser back out as a filter
// set (dsp/FilterFile.h holds the text format).
//
// Import: each ON filter fills the next band of the EQ with the matching type (PK to
// "PEQ", LS/LSC to "LS", HS/HSC to "HS", LP/LPQ to "LP", HP/HPQ to "HP"), frequency
// rounded to whole hertz and held in 20..20000 Hz, gain rounded to 0.1 dB and held in
// ±15 dB (0 for "LP"/"HP", which have no gain of their own), Q rounded to 0.001 and held
// in the band's range (0.1..30 for "PEQ", 0.1..2 for the others). The bands left over
// go flat: "PEQ", 0 dB, Q 1.41 at their default frequencies. What the device does not
// take as given is reported line by line: more filters than bands, a type it does not
// run, a value held at a limit, a frequency rounded to whole hertz and a gain given to
// a pass filter (each with the largest difference it makes to the band's response),
// the preamp (never applied), a line that cannot be read. A value is reported as the
// file gave it, however large or small.
//
// A channel EQ's band 9, the tenth band of the output page, heads its crossover (with
// the hidden sections 10..12). A tenth filter takes it as a plain band: the filter at
// the head, the three sections flat ("PEQ", 0 dB at the head's frequency, as the page's
// type menu leaves them; a section already a "PEQ" keeps its Q, the others get 1.41),
// so the band plays the filter alone. With fewer
// filters it stays as it is, so a room correction does not undo the speaker's band
// limits. Export writes it as the tenth filter while its sections are flat; a
// crossover has no filter-line form and is written as a comment line that an import
// skips.
#include <array>
#include <string>
#include <vector>

#include "dsp/FilterFile.h"
#include "model/EqLayout.h"
#include "model/SettingsDiff.h"

namespace dsptune {

// Bands an import can fill and an export writes for EQ n, from band 0 (10 for a channel
// EQ, as its page edits); 0 for a bad number.
int FilterBandCount(int eq);

enum class ImportNoteKind {
  kMalformed,         // the line cannot be read
  kPreamp,            // read, not applied
  kUnknownType,       // a filter type the device does not run: skipped
  kTooManyFilters,    // no band left for it: not imported
  kFrequencyClamped,
  kGainClamped,
  kQClamped,
  kFrequencyRounded,  // to whole hertz; the note says what that does to the response
  kPassGainDropped,   // a gain given to "LP"/"HP": not applied
  kNoUsableFilter,    // line 0: nothing was written
};

struct ImportNote {
  int line = 0;  // 1-based line of the file; 0 for the file as a whole
  ImportNoteKind kind = ImportNoteKind::kMalformed;
  BilingualText text;  // one line in each language, the line number first
};

struct FilterImportPlan {
  int eq = -1;
  // Bands 0..FilterBandCount(eq) − 1 in band order; a channel EQ's tenth band only when a
  // tenth filter gives it.
  std::vector<BandRecord> records;
  int filtersUsed = 0;              // ON filters that got a band
  std::vector<ImportNote> notes;    // in line order
  bool Usable() const { return filtersUsed > 0; }
};

// What importing `file` into EQ `eq` would write. A bad EQ number gives an unusable
// plan with the "no usable filter" note.
FilterImportPlan PlanFilterImport(int eq, const FilterFile& file);

// Sends every band of the plan as a stored record is sent (WriteEqBandRecord: the
// coefficients designed from it, then its 7 bytes), so the device receives exactly what
// a band edit sends, in band order (a channel EQ's tenth band followed by its three
// sections). Then the same to every EQ of `linked`: the channel EQs a hand edit of the
// plan's EQ reaches (the output page's linked pairs), one EQ after the other. Links join
// channel EQs only: an entry that is the plan's own EQ or no channel EQ is skipped, and
// so is every entry when the plan's EQ is no channel EQ.
// Writes nothing for an unusable plan. Returns the number of bands written to each EQ.
int ApplyFilterImport(const FilterImportPlan& plan, const std::vector<int>& linked = {});
// The EQs ApplyFilterImport(plan, linked) writes, in its order (empty for an unusable plan).
std::vector<int> FilterImportTargets(const FilterImportPlan& plan, const std::vector<int>& linked);
// True when EQ `eq` of the live block holds every record ApplyFilterImport writes for
// the plan (a tenth band's flat sections included): after reading a device back, what
// shows that the device took the import.
bool HoldsFilterImport(const FilterImportPlan& plan, int eq);

// The bands of EQ `eq` as the live block holds them, as a filter-set text (LF line
// ends) that PlanFilterImport turns back into the same band records. A band whose type
// is none of "PEQ".."HS" is written as a flat "PK" line at its frequency.
std::string ExportEqFilters(int eq);

}  // namespace dsptune
