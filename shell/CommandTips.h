#pragma once
// What each command of the ribbon and the status bar does, and what each master control
// sets, as tooltips in the current language. A command that needs a device says so while
// none is connected.
#include <QString>

#include "shell/MasterControls.h"

namespace dsptune {

// The buttons on the tab row, in their order there.
enum class TabRowCommand { ConnectIp, Features, InputSource, Reset, RemoteControl, Language, About };
// The mode and file buttons of the Load and Save panels, the status bar's EQ controls and
// the application menu's machine settings.
enum class RibbonCommand { LoadMode, LoadFile, SaveMode, SaveFile, ApplicationMenu, EqBypass, ResetEq, MachineSettings };

QString TabRowTip(TabRowCommand command);
QString RibbonTip(RibbonCommand command);
// A master control's slider and value, and its mute box.
QString MasterControlTip(MasterControl control);
QString MasterMuteTip(MasterControl control);

// tip, followed by why the command is greyed while no device is connected.
QString NeedsDeviceTip(const QString& tip, bool connected);

}  // namespace dsptune
