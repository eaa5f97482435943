#include "model/ParameterRoles.h"

#include "model/SettingNames.h"

namespace dsptune {

std::string ParameterRole(std::uint8_t block, std::uint8_t address) {
  const SettingName name = RecordName(block, address);
  return name.page[kTextEnglish] + " / " + name.item[kTextEnglish];
}

const char* ConversionKindName(ConversionKind kind) {
  switch (kind) {
    case ConversionKind::None: return "none";
    case ConversionKind::Percent: return "percent";
    case ConversionKind::Raw: return "raw";
    case ConversionKind::Byte: return "byte";
    case ConversionKind::Milliseconds: return "ms";
    case ConversionKind::PerTenThousand: return "per10000";
  }
  return "?";
}

}  // namespace dsptune
