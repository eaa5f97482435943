#pragma once
// The device family this program serves. The model name the device reports decides
// whether the program works with it at all and which music-input dialog variant is shown.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/DeviceIdentity.h"

namespace dsptune {

// True when name equals one of the nine model names byte for byte ("LQ830 " is not "LQ830").
bool IsKnownModel(std::string_view name);

// A known model that speaks protocol 20.
bool IdentityAccepted(const DeviceIdentity& identity);

// The input source (image byte 2017) this model's own source list keeps: the source
// itself when the model has it or is not known, else the model's usual replacement.
// Informative only: a loaded mode file keeps its source as stored (ModeFile.h).
std::uint8_t ClampedInputSource(std::string_view model, std::uint8_t source);

// Dialog template number of the model's music-input page; 512 for unknown models.
int MusicInputTemplate(std::string_view name);

// Converter positions of the About dialog and the status-block byte each one reads.
enum class ConverterPosition { Mic, Music, Ch12, Ch34, Ch56, Ch78 };
int ConverterStatusByte(ConverterPosition position);

// Display name of a converter code at a position; codes out of range show as code 0.
std::string_view ConverterName(ConverterPosition position, int code);

// The About dialog's device lines.
struct AboutLines {
  std::string module;      // "Module:%s"
  std::string mcu;         // "MCU Ver:%s CMD Ver:%02d"
  std::string dsp;         // "DSP Ver:%s"
  std::string converters;  // "MIC:%s\nMusic:%s\nCH12:%s\nCH34:%s\nCH56:%s\nCH78:%s "
};
AboutLines FormatAboutLines(const DeviceIdentity& identity, const std::array<std::uint8_t, 30>& statusBlock);

// The identity check's verdict: "" when accepted, else the mismatch text the user is
// shown ("E:%s_%02x 通信版本不匹配!" for a known model on another protocol,
// "E:%s_%02x 机器型号不匹配!" for an unknown model), filled with the model name and
// the protocol code in hexadecimal.
std::string IdentityMismatchText(const DeviceIdentity& identity);

}  // namespace dsptune
