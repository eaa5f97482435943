#pragma once
// Crossover filters of the output channels: a cascade head band with three linked
// sections (EqBand::linked), each an ordinary second-order section. A family fixes the
// four section types for the low-pass and the high-pass side; the stored types are
// mapped back to a family and a menu type for display.
#include <array>

#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"

namespace dsptune {

inline constexpr int kCrossoverFamilyCount = 12;  // 0..10 named, 11 flat
inline constexpr int kCrossoverFlatFamily = 11;
// Families CrossoverReverseLookup can report: the 12 above plus 12 "LS" and 13 "HS".
inline constexpr int kCrossoverLookupFamilyCount = 14;

using CascadeTypes = std::array<int, 4>;  // head, link 1, link 2, link 3

// Drop-down name of family 0..10 ("LinkwitzRiely 12dB" .. "Chebyshev 12dB");
// "" for 11 (flat) and anything out of range. Never null.
const char* CrossoverFamilyName(int family);

// Section types of family 0..11 for one side. The high-pass side is each low-pass code
// + 1, except that a flat section ("PEQ", code 1) stays 1. False for a bad family.
bool CrossoverSectionTypes(int family, bool highPass, CascadeTypes& types);

// Section types for a cascade head's type menu choice 1..5 ("PEQ", "LP", "HP", "LS",
// "HS"): flat, the low-pass or high-pass row of "Butterworth 24dB", or a shelf with flat
// sections. False for a bad menu type.
bool CascadeMenuTypes(int menuType, CascadeTypes& types);

// The band-type rule every editor applies when it sets a type: "PEQ" (1) also sets
// Q 1.41; "LP".."HS" (2..5) also set gain 0 dB and Q 0.7; other codes change nothing else.
void ApplyBandType(EqBand& band, int type);

// True when the band heads a cascade whose three linked sections are all present.
bool IsCascadeHead(const EqBand& head);

// Applies family 0..11 to a cascade head: the side is low-pass when the head's current
// type is even, high-pass when odd (so a "PEQ" head goes high-pass); the head's gain and
// its sections' gains go to 0 dB, then head and links 1..3 take the family's types
// through ApplyBandType, and the cascade is recomputed with ComputeBandResponse on the
// given axis and plot width. Returns false, changing nothing, when the band is not a
// cascade head or the family is out of range.
bool SetCrossoverFamily(EqBand& head, int family, int plotWidth, double fMin = kGridMinHz,
                        double fMax = kGridMaxHz);

// Family (0..13) whose section row equals the four stored types, setting menuType to
// the row's menu type (2 "LP" / 3 "HP" for families 0..10, 1 for 11, 4 for 12, 5 for
// 13). Returns 0 and leaves menuType unchanged when no row matches.
int CrossoverReverseLookup(int headType, int link1Type, int link2Type, int link3Type, int& menuType);

// Cascade response on the grid: the head's stored response plus the stored responses
// of those linked sections whose type is not 0 (adding dB multiplies the magnitudes).
// A band without links gives its own response.
void CascadeResponse(const EqBand& head, std::array<float, kResponsePoints>& out);

// The same sum evaluated at one frequency f (Hz), every section designed at the head's
// frequency with its own type, gain and Q at 48000 Hz; independent of the stored
// responses.
double CascadeMagnitudeDb(const EqBand& head, double f);

}  // namespace dsptune
