#include "shell/CommandTips.h"

#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

struct Tip {
  const char* zh;
  const char* en;
};

constexpr Tip kTabRowTips[] = {
    {"通过网络连接设备：输入设备的IP地址和端口", "Connect to a device over the network by its IP address and port"},
    {"特色功能：设备的附加功能设置", "Feature settings of the device"},
    {"选择音乐输入源及其电平", "Choose the music input sources and their levels"},
    {"机器复位：把设备恢复为出厂设置，之后需手动重启设备", "Reset the device to its factory settings; restart it by hand afterwards"},
    {"学习红外遥控器按键并写入设备", "Learn infrared remote control keys and store them in the device"},
    {"切换界面语言（中文 / English）", "Switch the interface language (中文 / English)"},
    {"关于", "About"},
};

constexpr Tip kRibbonTips[] = {
    {"从设备载入模式 M1–M4", "Load one of the device's modes M1–M4"},
    {"打开模式文件（.mode）并写入设备；未连接设备时只载入到窗口",
     "Open a mode file (.mode) and write it to the device; without a device it is only loaded into the window"},
    {"把当前设置保存到设备的模式 M1–M4", "Store the current settings in one of the device's modes M1–M4"},
    {"把当前设置保存为模式文件（.mode）", "Save the current settings as a mode file (.mode)"},
    {"菜单：打开、保存、最近的文档、撤销与重做、机器设置、断开连接",
     "Menu: open, save, recent files, undo and redo, machine settings, disconnect"},
    {"均衡旁路：暂时不用当前均衡，便于对比", "Bypass the current EQ for a moment to compare"},
    {"把当前均衡的所有频段恢复为平直", "Set every band of the current EQ flat"},
    {"机器设置：开机音量、音量上限、锁定、开机模式、HDMI静音和环绕输出路由",
     "Machine settings: power-on volumes, volume limits, locks, power-on mode, HDMI mute and surround routing"},
};

// Index by MasterControl.
constexpr Tip kControlNames[] = {
    {"话筒总音量", "Microphone master volume"}, {"效果总音量", "Effects master volume"},
    {"混响音量", "Reverb volume"},              {"回声音量", "Echo volume"},
    {"音乐总音量", "Music master volume"},      {"音乐噪声门阈值", "Music noise gate threshold"},
    {"音乐变调（半音）", "Music pitch shift (semitones)"},
};
constexpr Tip kMutedPaths[] = {
    {"话筒", "microphones"}, {"效果", "effects"}, {"混响", "reverb"}, {"回声", "echo"}, {"音乐", "music"},
};

QString Pick(const Tip& tip) { return PickText(tip.zh, tip.en); }

}  // namespace

QString TabRowTip(TabRowCommand command) { return Pick(kTabRowTips[int(command)]); }

QString RibbonTip(RibbonCommand command) { return Pick(kRibbonTips[int(command)]); }

QString MasterControlTip(MasterControl control) {
  const MasterControlInfo& info = InfoOf(control);
  return PickText(QString::fromUtf8("%1（%2 至 %3）：拖动滑块，或在此面板上转动滚轮逐格调节"),
                  QStringLiteral("%1 (%2 to %3): drag the slider, or turn the wheel over this panel to step it"))
      .arg(Pick(kControlNames[int(control)]))
      .arg(info.minimum)
      .arg(info.maximum);
}

QString MasterMuteTip(MasterControl control) {
  const int index = int(control);
  if (index >= int(std::size(kMutedPaths))) return QString();
  return PickText(QString::fromUtf8("静音%1；再点一次取消静音"), QStringLiteral("Mute the %1; click again to unmute"))
      .arg(Pick(kMutedPaths[index]));
}

QString NeedsDeviceTip(const QString& tip, bool connected) {
  if (connected) return tip;
  return tip + PickText("\n（需要先连接设备）", "\n(needs a connected device)");
}

}  // namespace dsptune
