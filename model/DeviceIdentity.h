#pragma once
// The device's identity as four answers report it. The fields lie together in this
// order (60 bytes) because a mode file stores them as its header.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dsptune {

inline constexpr int kIdentitySize = 60;
inline constexpr int kModelNameSize = 32;
inline constexpr int kVersionTextSize = 11;
inline constexpr std::int32_t kSupportedProtocol = 20;

struct DeviceIdentity {
  std::int32_t protocolCode = 17;
  std::array<char, kModelNameSize> modelName{'L', 'W', '4', '.', '1'};
  std::array<char, kVersionTextSize> mcuVersion{'-', '-', '.', '-', '-', '.', '-', '-', '-', '-'};
  std::array<char, kVersionTextSize> dspVersion{'-', '-', '.', '-', '-', '.', '-', '-', '-', '-'};

  // An identity with the given texts, each cut so that its field stays zero-terminated.
  static DeviceIdentity With(std::string_view model, std::int32_t protocol, std::string_view mcu,
                             std::string_view dsp) {
    DeviceIdentity id;
    id.protocolCode = protocol;
    Fill(id.modelName, model);
    Fill(id.mcuVersion, mcu);
    Fill(id.dspVersion, dsp);
    return id;
  }

  std::string ModelName() const { return Text(modelName.data(), modelName.size()); }
  std::string McuVersion() const { return Text(mcuVersion.data(), mcuVersion.size()); }
  std::string DspVersion() const { return Text(dspVersion.data(), dspVersion.size()); }

 private:
  template <std::size_t N>
  static void Fill(std::array<char, N>& field, std::string_view text) {
    field.fill('\0');
    for (std::size_t i = 0; i < text.size() && i + 1 < N; ++i) field[i] = text[i];
  }
  static std::string Text(const char* p, std::size_t n) {
    std::size_t len = 0;
    while (len < n && p[len] != '\0') ++len;
    return std::string(p, len);
  }
};

}  // namespace dsptune
