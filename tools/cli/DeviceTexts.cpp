#include "tools/cli/DeviceTexts.h"

#include <atomic>
#include <cstdio>
#include <string_view>

#include "model/SettingsDiff.h"

namespace dsptune::cli {
namespace {

std::atomic<int> chosen{kTextEnglish};

// The endings IdentityMismatchText (model/DeviceModels.cpp) puts after "E:<model>_<code> ".
struct Ending {
  std::string_view chinese, english;
};
constexpr Ending kIdentityEndings[] = {
    {"通信版本不匹配!", "protocol version mismatch!"},
    {"机器型号不匹配!", "model mismatch!"},
};

}  // namespace

void SetDeviceTextLanguage(int language) { chosen = language; }

std::string DeviceText(const std::string& text) {
  if (chosen == kTextChinese) return text;
  // The layout link/Dispatcher.cpp FormatParameterError gives the device's error answer.
  unsigned code = 0, command1 = 0, command2 = 0;
  if (std::sscanf(text.c_str(), "参数错误,代码0x:%2X,指令1:0x%2X,指令2:0x%2X", &code, &command1, &command2) == 3) {
    char english[96];
    std::snprintf(english, sizeof english, "parameter error: code 0x%02X, command 0x%02X 0x%02X", code, command1,
                  command2);
    return english;
  }
  if (text.starts_with("E:"))
    for (const Ending& e : kIdentityEndings)
      if (text.ends_with(e.chinese)) return text.substr(0, text.size() - e.chinese.size()) + std::string(e.english);
  return text;
}

}  // namespace dsptune::cli
