#pragma once
// The status bar's texts, and the notices composed from them. The texts before any
// device has been connected in this run follow the interface language like the texts a
// link writes later, so a window started or switched to English never shows the Chinese
// start texts.
#include <QString>

namespace dsptune {

// The connection pane: "USB:未连接" in Chinese.
QString NoDeviceYetText();
// The mode pane: "当前模式：模式一" in Chinese (no mode has been read yet, the device
// starts in its first one).
QString NoModeReadYetText();

// Why a network device cannot be had now: another computer holds its module's one
// connection.
QString HostBusyReasonText();
// The busy popup: the fixed "主机已连接其他设备，请先断开!" / "Host is connected!" (which
// reads like success in English), with the reason on a second line.
QString HostBusyNoticeText();
// The reconnect pane: "%1 秒后重新连接" / "reconnecting in %1 s", the reason after it while
// the device was last found busy, so the reason stays in view after the popup has gone.
QString ReconnectCountdownText(int seconds, bool deviceBusy);

// "设备已连接，同步中……" / "Device connected!": a box for the first connection of the
// run, a status-bar notice for every later one.
QString DeviceConnectedNoticeText();
// The status-bar notice after the window brought a lost link back.
QString DeviceReconnectedNoticeText();

}  // namespace dsptune
