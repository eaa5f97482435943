#include "shell/StatusPaneTexts.h"

#include "ui/InterfaceLanguage.h"

namespace dsptune {

QString NoDeviceYetText() { return PickText("USB:未连接", "USB:Disconnected"); }

QString NoModeReadYetText() { return PickText("当前模式：模式一", "Current Mode:M1"); }

}  // namespace dsptune
