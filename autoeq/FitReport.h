#pragma once
// A fit's report in both interface languages, so the command line and the window print
// the same words: notes (averaging, smoothing, alignment, chain), the deviation from the
// target before and after (RMS and largest, over the fit range), each band set, every
// limit that held a band, and the suggested preamp when the result boosts.
#include <string>
#include <vector>

#include "autoeq/EqFit.h"
#include "model/SettingsDiff.h"

namespace dsptune {

// One entry per line, no line ends.
std::vector<BilingualText> FitReportLines(const FitResult& result);
// The lines in one language (kTextChinese / kTextEnglish), each ended by '\n'.
std::string FitReportText(const FitResult& result, int language);
// "PEQ 125 Hz -4.5 dB Q 2.100" / the same words in Chinese.
BilingualText FittedBandText(const FittedBand& band);
BilingualText FitLimitText(FitLimit limit);

}  // namespace dsptune
