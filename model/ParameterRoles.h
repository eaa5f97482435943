#pragma once
// Plain-English role of each DSP record, for listings (the command-line tool's show).
#include <cstdint>
#include <string>

#include "model/Conversions.h"

namespace dsptune {

std::string ParameterRole(std::uint8_t block, std::uint8_t address);
const char* ConversionKindName(ConversionKind kind);

}  // namespace dsptune
