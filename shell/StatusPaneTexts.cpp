#include "shell/StatusPaneTexts.h"

#include "ui/InterfaceLanguage.h"

namespace dsptune {

QString NoDeviceYetText() { return PickText("USB:未连接", "USB:Disconnected"); }

QString NoModeReadYetText() { return PickText("当前模式：模式一", "Current Mode:M1"); }

QString HostBusyReasonText() {
  return PickText("另一台电脑占用着设备的网络连接", "another computer holds the device's network connection");
}

QString HostBusyNoticeText() {
  return PickText("主机已连接其他设备，请先断开!", "Host is connected!") + QLatin1Char('\n') + HostBusyReasonText();
}

QString ReconnectCountdownText(int seconds, bool deviceBusy) {
  QString text = PickText("%1 秒后重新连接", "reconnecting in %1 s").arg(seconds);
  if (deviceBusy) text += PickText("（%1）", " (%1)").arg(HostBusyReasonText());
  return text;
}

QString DeviceConnectedNoticeText() { return PickText("设备已连接，同步中……", "Device connected!"); }

QString DeviceReconnectedNoticeText() { return PickText("设备已重新连接", "Device reconnected!"); }

}  // namespace dsptune
