#pragma once
// The texts the link passes on from the device in the device's own words (Chinese): a
// refused command's parameter error and the identity check's verdict. The command line
// speaks English unless a command is told otherwise (diff --lang zh), so it says them in
// that language too.
#include <string>

namespace dsptune::cli {

// kTextEnglish (the default) or kTextChinese (model/SettingsDiff.h), for this process.
void SetDeviceTextLanguage(int language);

// `text` in the chosen language: "参数错误,代码0x:01,指令1:0x62,指令2:0x00 " becomes
// "parameter error: code 0x01, command 0x62 0x00", "E:XYZ_14 机器型号不匹配!" becomes
// "E:XYZ_14 model mismatch!". A text of another form is returned as it is.
std::string DeviceText(const std::string& text);

}  // namespace dsptune::cli
