#pragma once
// Plain-English role of each DSP record ("<page> / <item>", the names of
// model/SettingNames.h), for listings (the command-line tool's show).
#include <cstdint>
#include <string>

#include "model/Conversions.h"

namespace dsptune {

std::string ParameterRole(std::uint8_t block, std::uint8_t address);
const char* ConversionKindName(ConversionKind kind);

}  // namespace dsptune
