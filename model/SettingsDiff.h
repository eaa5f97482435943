#pragma once
// What differs between two complete sets of settings, in the user's terms.
//
// A set of settings is a 3518-byte image as a mode file stores it: the live block over
// bytes 0..1421 and the DSP record area after it. Every byte of the image belongs to
// exactly one item: a DSP record (its value bytes), an EQ band slot (7 bytes), one of
// the live settings records (an SSVC level, the SSVC settings record, the subwoofer
// decay level, the locate selector) or a named "other bytes" group (record headers,
// reserved bytes). So any changed byte shows up as exactly one difference.
//
// Used by the reconcile dialog, the command line's diff and the edit history.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ParameterImage.h"

namespace dsptune {

enum class DifferenceKind {
  Parameter,   // a DSP record (single value or multi-value, with or without a table entry)
  Band,        // an EQ band slot: its record in the live block plus its coefficients
  LiveRecord,  // an SSVC level, the SSVC settings, the subwoofer decay level or the locate selector
  OtherBytes,  // bytes no write command reaches on its own (record headers, reserved bytes)
};

// Texts come in both interface languages; index with the window's language number.
inline constexpr int kTextChinese = 0;
inline constexpr int kTextEnglish = 1;
using BilingualText = std::array<std::string, 2>;

struct SettingsDifference {
  DifferenceKind kind = DifferenceKind::Parameter;
  int offset = 0;  // first image byte of the item
  int length = 0;  // bytes of the item
  std::uint8_t block = 0, address = 0;  // Parameter: the DSP record
  int eq = -1, band = -1;               // Band: EQ number and band slot
  BilingualText page;    // where the user finds it: "Mic A EQ", "Output CH3", "Surround"...
  BilingualText item;    // what it is: "band 5", "Mic Vol", "Echo A time"...
  BilingualText first;   // value in the first settings, in display units ("55%", "-3.0 dB")
  BilingualText second;  // value in the second settings
};

// The current model's settings as a mode file would store them (the live block over the
// image's first 1422 bytes). The model itself is not changed.
ParameterImageBytes WorkingSettings();
ParameterImageBytes WorkingSettings(DataModel& m);

// Every item whose bytes differ between `first` and `second`, in image order.
std::vector<SettingsDifference> DiffSettings(const ParameterImageBytes& first, const ParameterImageBytes& second);

// One line per difference for terminals and logs, in the given language:
// "<page> / <item>: <first> -> <second>".
std::string DifferenceLine(const SettingsDifference& difference, int language);

}  // namespace dsptune
