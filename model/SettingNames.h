#pragma once
// What the user calls each part of the settings, in both interface languages, and how
// its value reads in display units. The page is where the user finds the control (the
// editor page, dialog or ribbon area), the item its label there; where a window has no
// label for it (derived records, reserved bytes) the item is a plain description.
//
// One source for these names: the diff, the edit history and the command line's
// listings all take them from here.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "model/ParameterTable.h"
#include "model/SettingsDiff.h"

namespace dsptune {

struct SettingName {
  BilingualText page;
  BilingualText item;
};

// The DSP record (block, address). Every record of the image has a name of its own; any
// other pair is named by its block and address under "Other".
SettingName RecordName(std::uint8_t block, std::uint8_t address);
// "Mic A EQ" / "话筒A均衡" ... "Record EQ" / "录音均衡".
BilingualText EqName(int eq);
// Band slot `band` (0-based) of EQ `eq`: "band 5" for the user's bands, the band-split
// sections and the loudness filter by their role.
SettingName BandName(int eq, int band);
// A settings record of the live block, by its offset: an SSVC level (1358 + 4c), the SSVC
// settings (1390), the subwoofer decay level (1410) or the locate selector (1414).
SettingName LiveRecordName(int offset);
// Bytes no write reaches on their own: the header of the record at `offset`, or the
// reserved live bytes (1415).
SettingName OtherBytesName(int offset);

// A record's value bytes (count x 4, big-endian) in display units.
BilingualText RecordValueText(const DspRecordLayout& record, std::span<const std::uint8_t> values);
// A 7-byte band record: "PEQ 1000 Hz +3.0 dB Q 1.414".
BilingualText BandValueText(std::span<const std::uint8_t> record);
// A live settings record other than the SSVC settings.
BilingualText LiveRecordValueText(int offset, std::span<const std::uint8_t> bytes);
// Two SSVC settings records, each told by the parts in which it differs from the other
// (room size, listener, speaker places), so a moved speaker reads as that speaker alone.
std::array<BilingualText, 2> SsvcSettingsTexts(std::span<const std::uint8_t> first,
                                               std::span<const std::uint8_t> second);
// "04 0E 07".
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace dsptune
