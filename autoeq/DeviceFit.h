#pragma once
// The fit against the device image: which bands of an EQ a fit may set, what plays with
// them, and the fit turned into the band records an import writes.
//
//   FitSetup setup = AutoEqSetupFor(eq, options);               // or with a chain channel
//   FitResult r = FitEq(room, target, setup, options);
//   FilterImportPlan plan = AutoEqImportPlan(setup, r);
//   ApplyFilterImport(plan, linked);                            // as eq-import sends it
//   ... read back ... HoldsFilterImport(plan, eq)
#include "autoeq/EqFit.h"
#include "editors/model/EqFilterImport.h"

namespace dsptune {

// The slots of EQ `eq` a fit may set: every band FilterBandCount(eq) covers, except a
// channel EQ's tenth band while it heads a crossover (its type is a crossover section,
// or a section behind it is not flat). With options.keepExistingBands, only the flat
// bands of those ("PEQ" at 0 dB, or off); the others are fixed bands.
// `chainChannel` 0..7 (or -1 for none) fits channel EQ ChannelEq(chainChannel) with the
// chain before it as fixed bands: the routed source EQ's bands and the channel's
// crossover (tenth band and its sections). With a chain, `eq` must be that channel's EQ.
// A bad EQ number, or a chain channel whose EQ is not `eq`, gives a setup with no free
// slot and a note that says why.
// The setup's notes say which bands were kept, that a crossover stays, and that a
// chain's channel EQ is bypassed. Reads the live image: call it where the model is read
// (the window's thread); FitEq itself touches no global state and may run on a worker.
FitSetup AutoEqSetupFor(int eq, const FitOptions& options, int chainChannel = -1);

// The band records an import of the fit writes (ApplyFilterImport, HoldsFilterImport):
// bands 0..FilterBandCount(eq) − 1 in order, each free slot as the fit set it (flat when
// the fit left it unused), every other band as it is stored now; a channel EQ's tenth
// band only when the fit set it. Unusable (no records) when the result is not ok.
FilterImportPlan AutoEqImportPlan(const FitSetup& setup, const FitResult& result);

}  // namespace dsptune
