#include "model/DeviceModels.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>


namespace dsptune {
namespace {

struct KnownModel {
  std::string_view name;
  int musicInputTemplate;
  std::initializer_list<std::uint8_t> keptSources;
  std::uint8_t replacementSource;
};

constexpr int kUnknownModelTemplate = 512;

const KnownModel* FindModel(std::string_view name) {
  static const KnownModel kModels[] = {
      {"LQ830", 530, {0, 1, 2, 3, 5, 6, 11}, 0},
      {"LQ620", 529, {5, 6, 11}, 11},
      {"LQ4.1", 527, {0, 1, 2, 3, 5}, 0},
      {"LW4.1", 536, {0, 1, 2, 5}, 0},
      {"LQ480", 528, {5, 8, 11}, 11},
      {"AMP540", 512, {0, 1, 2, 3}, 0},
      {"RN830", 532, {0, 1, 2, 3, 5, 6, 11, 12}, 3},
      {"4R830JJ", 534, {0, 1, 2, 3, 5, 6, 11, 12}, 3},
      {"P620JJ", 535, {5, 6, 8, 9, 11}, 11},
  };
  for (const KnownModel& m : kModels)
    if (m.name == name) return &m;
  return nullptr;
}


}  // namespace

bool IsKnownModel(std::string_view name) { return FindModel(name) != nullptr; }

bool IdentityAccepted(const DeviceIdentity& identity) {
  return IsKnownModel(identity.ModelName()) && identity.protocolCode == kSupportedProtocol;
}

std::uint8_t ClampedInputSource(std::string_view model, std::uint8_t source) {
  const KnownModel* m = FindModel(model);
  if (!m) return source;
  const bool kept = std::find(m->keptSources.begin(), m->keptSources.end(), source) != m->keptSources.end();
  return kept ? source : m->replacementSource;
}

int MusicInputTemplate(std::string_view name) {
  const KnownModel* m = FindModel(name);
  return m ? m->musicInputTemplate : kUnknownModelTemplate;
}

int ConverterStatusByte(ConverterPosition position) {
  switch (position) {
    case ConverterPosition::Mic: return 16;
    case ConverterPosition::Music: return 22;
    case ConverterPosition::Ch12: return 20;
    case ConverterPosition::Ch34: return 19;
    case ConverterPosition::Ch56: return 18;
    case ConverterPosition::Ch78: return 17;
  }
  return 16;
}

std::string_view ConverterName(ConverterPosition position, int code) {
  static constexpr std::string_view kMic[] = {"未知", "AK5358", "PCM4202", "AK5720", "CS5381", "未知"};
  static constexpr std::string_view kMusic[] = {"未知", "NONE", "PCM4202", "AK5720"};
  static constexpr std::string_view kOutput[] = {"未知", "AK4396", "CS4398", "耳放板", "PCM1794"};
  const auto pick = [code](const auto& names) {
    return code >= 0 && std::size_t(code) < std::size(names) ? names[std::size_t(code)] : names[0];
  };
  switch (position) {
    case ConverterPosition::Mic: return pick(kMic);
    case ConverterPosition::Music: return pick(kMusic);
    default: return pick(kOutput);
  }
}

AboutLines FormatAboutLines(const DeviceIdentity& identity, const std::array<std::uint8_t, 30>& statusBlock) {
  AboutLines lines;
  lines.module = "Module:" + identity.ModelName();
  char mcu[64];
  std::snprintf(mcu, sizeof mcu, "MCU Ver:%s CMD Ver:%02d", identity.McuVersion().c_str(),
                identity.protocolCode == kSupportedProtocol ? 1 : 0);
  lines.mcu = mcu;
  lines.dsp = "DSP Ver:" + identity.DspVersion();
  static constexpr std::pair<const char*, ConverterPosition> kParts[] = {
      {"MIC:", ConverterPosition::Mic},    {"\nMusic:", ConverterPosition::Music},
      {"\nCH12:", ConverterPosition::Ch12}, {"\nCH34:", ConverterPosition::Ch34},
      {"\nCH56:", ConverterPosition::Ch56}, {"\nCH78:", ConverterPosition::Ch78},
  };
  for (const auto& [label, position] : kParts) {
    lines.converters += label;
    lines.converters += ConverterName(position, statusBlock[std::size_t(ConverterStatusByte(position))]);
  }
  lines.converters += ' ';
  return lines;
}

std::string IdentityMismatchText(const DeviceIdentity& identity) {
  if (IdentityAccepted(identity)) return "";
  const std::string model = identity.ModelName();
  char text[128];
  std::snprintf(text, sizeof text, IsKnownModel(model) ? "E:%s_%02x 通信版本不匹配!" : "E:%s_%02x 机器型号不匹配!",
                model.c_str(), unsigned(identity.protocolCode));
  return text;
}

}  // namespace dsptune
