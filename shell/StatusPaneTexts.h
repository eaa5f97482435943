#pragma once
// The status bar's texts before any device has been connected in this run. They follow
// the interface language like the texts a link writes later, so a window started or
// switched to English never shows the Chinese start texts.
#include <QString>

namespace dsptune {

// The connection pane: "USB:未连接" in Chinese.
QString NoDeviceYetText();
// The mode pane: "当前模式：模式一" in Chinese (no mode has been read yet, the device
// starts in its first one).
QString NoModeReadYetText();

}  // namespace dsptune
