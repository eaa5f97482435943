#pragma once
#include "model/ParameterImage.h"

namespace dsptune {

// The built-in parameter image: default band records, SSVC areas, then the 232 DSP
// records with their default values.
const ParameterImageBytes& DefaultImage();

// The default SSVC settings record bytes.
const std::array<std::uint8_t, kSsvcSettingsSize>& DefaultSsvcSettingsRecord();

}  // namespace dsptune
