#include "shell/MachineSettingsDialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <mutex>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "shell/MasterControls.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"
#include "ui/StepSlider.h"

namespace dsptune {
namespace {

constexpr int kNotch = 120;
constexpr int kSliderWidth = 160;

// The texts the dialog template carries; the language table replaces them.
constexpr const char* kTemplateTitle = "机器设置";

VolumePath PathOf(int path) { return path == 0 ? VolumePath::Mic : VolumePath::Music; }
MasterControl MasterOf(int path) { return path == 0 ? MasterControl::Mic : MasterControl::Music; }

template <class W>
W* Make(QWidget* parent, int id, const char* text = nullptr) {
  W* widget = new W(parent);
  if (id != 0) SetControlId(widget, id);
  if (text) {
    if constexpr (std::is_base_of_v<QGroupBox, W>) widget->setTitle(QString::fromUtf8(text));
    else if constexpr (requires { widget->setText(QString()); }) widget->setText(QString::fromUtf8(text));
  }
  return widget;
}

StepSlider* MakeSlider(QWidget* parent, int id) {
  auto* slider = new StepSlider(Qt::Horizontal, parent);
  SetControlId(slider, id);
  slider->setRange(kLowestVolumeLimit, kHighestVolumeLimit);
  slider->setFocusPolicy(Qt::StrongFocus);
  slider->setMinimumWidth(kSliderWidth);
  return slider;
}

QString InvalidText() { return PickText("无效", "Invalid"); }

struct ControlTip {
  int id;
  const char* zh;
  const char* en;
};
using D = MachineSettingsDialog;
// What each control does; the settings take effect on the device only with "Apply".
constexpr ControlTip kControlTips[] = {
    {D::kMicEnableId, "开机时把话筒音量设为右边的值；不勾选则保持关机前的音量",
     "At power-on the microphone volume is set to the value beside; unticked it keeps the volume it had"},
    {D::kMusicEnableId, "开机时把音乐音量设为右边的值；不勾选则保持关机前的音量",
     "At power-on the music volume is set to the value beside; unticked it keeps the volume it had"},
    {D::kMicStartSliderId, "开机时的话筒音量（1至话筒最大音量）", "Microphone volume at power-on (1 to the microphone maximum)"},
    {D::kMusicStartSliderId, "开机时的音乐音量（1至音乐最大音量）", "Music volume at power-on (1 to the music maximum)"},
    {D::kMicMaxSliderId, "话筒音量的上限，主界面的话筒音量也受其限制",
     "Highest microphone volume; the main window's microphone volume stops there too"},
    {D::kMusicMaxSliderId, "音乐音量的上限，主界面的音乐音量也受其限制",
     "Highest music volume; the main window's music volume stops there too"},
    {D::kByPowerId, "主音量和输入源在关机时保存，开机时恢复", "Master volume and music input are kept across power-off"},
    {D::kByModeId, "主音量和输入源随每个模式分别保存", "Master volume and music input are kept with each mode"},
    {D::kPanelLockId, "锁定设备前面板的按键", "Locks the keys on the device's front panel"},
    {D::kVolumeLockId, "面板锁定时也锁定音量旋钮（需先锁定面板）", "Also locks the volume knob (needs the panel lock)"},
    {D::kModeLockId, "面板锁定时也锁定模式切换（需先锁定面板）", "Also locks the mode keys (needs the panel lock)"},
    {D::kPowerOnModeListId, "开机时调用的模式；“自动”为关机前的模式",
     "Mode the device starts in; Auto starts in the mode it was in"},
    {D::kRouteSlSrId, "DTS/AC3 环绕声输出到侧环绕 SL/SR", "DTS/AC3 surround goes to the side speakers SL/SR"},
    {D::kRouteSblSbrId, "DTS/AC3 环绕声输出到后环绕 SBL/SBR", "DTS/AC3 surround goes to the back speakers SBL/SBR"},
    {D::kRouteBothId, "DTS/AC3 环绕声同时输出到 SL/SR 和 SBL/SBR", "DTS/AC3 surround goes to both SL/SR and SBL/SBR"},
    {D::kHdmiMuteId, "HDMI 输出口不出声", "Silences the HDMI output"},
    {D::kFactoryM1Id, "把设备的模式 M1 恢复为出厂设置", "Restores the device's mode M1 to its factory settings"},
    {D::kFactoryM1Id + 1, "把设备的模式 M2 恢复为出厂设置", "Restores the device's mode M2 to its factory settings"},
    {D::kFactoryM1Id + 2, "把设备的模式 M3 恢复为出厂设置", "Restores the device's mode M3 to its factory settings"},
    {D::kFactoryM1Id + 3, "把设备的模式 M4 恢复为出厂设置", "Restores the device's mode M4 to its factory settings"},
    {D::kApplyId, "把这些设置发送到设备", "Sends these settings to the device"},
    {D::kCancelId, "放弃未应用的修改并关闭", "Drops the changes not applied and closes"},
};

MachineRecord EditCopy() { return EditedSettingsSnapshot(); }

// The current copy is otherwise written only by the device's report; same lock.
void MakeCurrent(const MachineRecord& record) {
  LinkState& link = CurrentLink();
  std::lock_guard lock(link.dataMutex);
  link.deviceSettings = record;
}

}  // namespace

MachineSettingsDialog::MachineSettingsDialog(ProgressWindows& progress, FactoryModeHook restoreFactoryMode, QWidget* parent)
    : QDialog(parent), progress_(progress), restoreFactoryMode_(std::move(restoreFactoryMode)) {
  setModal(false);
  setWindowTitle(QString::fromUtf8(kTemplateTitle));
  BuildControls();
  RefreshPage();
  ApplyTexts();
}

void MachineSettingsDialog::BuildControls() {
  // ---- volumes ----
  auto* volumes = Make<QGroupBox>(this, kStartVolumeGroupId, "开机音量");
  auto* volumeGrid = new QGridLayout(volumes);
  const int startLabelIds[] = {kMicStartLabelId, kMusicStartLabelId};
  const char* startTexts[] = {"话筒开机音量", "音乐开机音量"};
  const int enableIds[] = {kMicEnableId, kMusicEnableId};
  const int startSliderIds[] = {kMicStartSliderId, kMusicStartSliderId};
  const int startValueIds[] = {kMicStartValueId, kMusicStartValueId};
  const int maxLabelIds[] = {kMicMaxLabelId, kMusicMaxLabelId};
  const char* maxTexts[] = {"话筒最大音量", "音乐最大音量"};
  const int maxSliderIds[] = {kMicMaxSliderId, kMusicMaxSliderId};
  const int maxValueIds[] = {kMicMaxValueId, kMusicMaxValueId};
  // Wide enough for "Invalid", "无效" and "99" whichever language is shown later.
  const QFontMetrics metrics(font());
  const int valueWidth = 8 + std::max({metrics.horizontalAdvance(QStringLiteral("Invalid")),
                                       metrics.horizontalAdvance(QString::fromUtf8("无效")),
                                       metrics.horizontalAdvance(QStringLiteral("99"))});
  for (int path : {kMic, kMusic}) {
    VolumeRow& row = rows_[std::size_t(path)];
    row.startLabel = Make<QLabel>(volumes, startLabelIds[path], startTexts[path]);
    row.enable = Make<QCheckBox>(volumes, enableIds[path], "启用");
    row.startSlider = MakeSlider(volumes, startSliderIds[path]);
    row.startValue = Make<QLabel>(volumes, startValueIds[path]);
    row.startValue->setMinimumWidth(valueWidth);
    volumeGrid->addWidget(row.startLabel, path, 0);
    volumeGrid->addWidget(row.enable, path, 1);
    volumeGrid->addWidget(row.startSlider, path, 2);
    volumeGrid->addWidget(row.startValue, path, 3);
    connect(row.enable, &QCheckBox::clicked, this, [this, path](bool on) { OnEnableClicked(Path(path), on); });
  }
  auto* line = new QFrame(volumes);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  volumeGrid->addWidget(line, 2, 0, 1, 4);
  for (int path : {kMic, kMusic}) {
    VolumeRow& row = rows_[std::size_t(path)];
    auto* label = Make<QLabel>(volumes, maxLabelIds[path], maxTexts[path]);
    row.maxSlider = MakeSlider(volumes, maxSliderIds[path]);
    row.maxValue = Make<QLabel>(volumes, maxValueIds[path]);
    row.maxValue->setMinimumWidth(valueWidth);
    volumeGrid->addWidget(label, 3 + path, 0, 1, 2);
    volumeGrid->addWidget(row.maxSlider, 3 + path, 2);
    volumeGrid->addWidget(row.maxValue, 3 + path, 3);
  }
  for (const VolumeRow& row : rows_) {
    for (StepSlider* slider : {row.startSlider, row.maxSlider}) {
      const int id = ControlId(slider);
      connect(slider, &StepSlider::stepApplied, this, [this, id](int value) { OnSliderChanged(id, value); });
    }
  }

  // ---- what the master volume and music input are remembered with ----
  auto* saveGroup = Make<QGroupBox>(this, kSaveModeGroupId, "音量保存模式");
  auto* saveLayout = new QHBoxLayout(saveGroup);
  saveLayout->addWidget(Make<QLabel>(saveGroup, kSaveModeLabelId, "主音量和输入源："));
  saveModes_ = new QButtonGroup(this);
  saveModes_->addButton(Make<QRadioButton>(saveGroup, kByPowerId, "随开关机保存"), 0);
  saveModes_->addButton(Make<QRadioButton>(saveGroup, kByModeId, "随模式保存"), 1);
  for (QAbstractButton* button : saveModes_->buttons()) saveLayout->addWidget(button);
  saveLayout->addStretch();
  connect(saveModes_, &QButtonGroup::idClicked, this,
          [this](int byMode) { Edit([&](MachineRecord& r) { SetSavedByMode(r, byMode == 1); }); });

  // ---- locks ----
  auto* lockGroup = Make<QGroupBox>(this, kLockGroupId, "锁定");
  auto* lockLayout = new QHBoxLayout(lockGroup);
  panelLock_ = Make<QCheckBox>(lockGroup, kPanelLockId, "锁定面板");
  volumeLock_ = Make<QCheckBox>(lockGroup, kVolumeLockId, "锁定音量");
  modeLock_ = Make<QCheckBox>(lockGroup, kModeLockId, "锁定模式");
  for (QCheckBox* box : {panelLock_, volumeLock_, modeLock_}) lockLayout->addWidget(box);
  lockLayout->addStretch();
  connect(panelLock_, &QCheckBox::clicked, this, [this](bool on) {
    Edit([&](MachineRecord& r) { SetPanelLocked(r, on); });
    ShowLockUsability(on);
  });
  connect(volumeLock_, &QCheckBox::clicked, this,
          [this](bool on) { Edit([&](MachineRecord& r) { SetVolumeLocked(r, on); }); });
  connect(modeLock_, &QCheckBox::clicked, this,
          [this](bool on) { Edit([&](MachineRecord& r) { SetModeLocked(r, on); }); });

  // ---- power-on mode ----
  auto* modeGroup = Make<QGroupBox>(this, kPowerOnModeGroupId, "开机指定模式");
  auto* modeLayout = new QHBoxLayout(modeGroup);
  modeLayout->addWidget(Make<QLabel>(modeGroup, kPowerOnModeLabelId, "机器开机指定模式"));
  powerOnMode_ = Make<QComboBox>(modeGroup, kPowerOnModeListId);
  powerOnMode_->addItems({"Auto", "M1", "M2", "M3", "M4"});
  modeLayout->addWidget(powerOnMode_);
  modeLayout->addStretch();
  connect(powerOnMode_, &QComboBox::activated, this,
          [this](int index) { Edit([&](MachineRecord& r) { SetPowerOnMode(r, index); }); });

  // ---- surround routing ----
  auto* routeGroup = Make<QGroupBox>(this, kRouteGroupId, "DTS/AC3 环绕输出路由");
  auto* routeLayout = new QVBoxLayout(routeGroup);
  routes_ = new QButtonGroup(this);
  routes_->addButton(Make<QRadioButton>(routeGroup, kRouteSlSrId, "输出至SL/SR"), kRouteSlSr);
  routes_->addButton(Make<QRadioButton>(routeGroup, kRouteSblSbrId, "输出至SBL/SBR"), kRouteSblSbr);
  routes_->addButton(Make<QRadioButton>(routeGroup, kRouteBothId, "输出至SL/SR和SBL/SBR"), kRouteBoth);
  for (QAbstractButton* button : routes_->buttons()) routeLayout->addWidget(button);
  connect(routes_, &QButtonGroup::idClicked, this,
          [this](int route) { Edit([&](MachineRecord& r) { SetSurroundRouting(r, route); }); });

  // ---- HDMI ----
  hdmiGroup_ = Make<QGroupBox>(this, kHdmiGroupId, "HDMI静音");
  auto* hdmiLayout = new QVBoxLayout(hdmiGroup_);
  hdmiMute_ = Make<QCheckBox>(hdmiGroup_, kHdmiMuteId, "HDMI输出口静音");
  hdmiLayout->addWidget(hdmiMute_);
  connect(hdmiMute_, &QCheckBox::clicked, this,
          [this](bool on) { Edit([&](MachineRecord& r) { SetHdmiMuted(r, on); }); });

  // ---- factory modes ----
  auto* factoryGroup = Make<QGroupBox>(this, kFactoryGroupId, "出厂机器模式");
  auto* factoryLayout = new QHBoxLayout(factoryGroup);
  for (int mode = 0; mode < 4; ++mode) {
    auto* button = Make<QPushButton>(factoryGroup, kFactoryM1Id + mode);
    button->setText(QStringLiteral("M%1").arg(mode + 1));
    button->setAutoDefault(false);
    factoryLayout->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, mode] {
      if (restoreFactoryMode_) restoreFactoryMode_(mode);
    });
  }

  // ---- buttons ----
  auto* apply = Make<QPushButton>(this, kApplyId, "应用");
  auto* cancel = Make<QPushButton>(this, kCancelId, "取消");
  apply->setAutoDefault(false);
  cancel->setAutoDefault(false);
  connect(apply, &QPushButton::clicked, this, &MachineSettingsDialog::Apply);
  connect(cancel, &QPushButton::clicked, this, &MachineSettingsDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(volumes);
  left->addWidget(saveGroup);
  left->addWidget(lockGroup);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(modeGroup);
  right->addWidget(routeGroup);
  right->addWidget(hdmiGroup_);
  right->addWidget(factoryGroup);
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(columns);
  outer->addLayout(buttons);
  outer->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* MachineSettingsDialog::FindControl(int id) const {
  const QList<QWidget*> widgets = findChildren<QWidget*>();
  for (QWidget* widget : widgets) {
    if (ControlId(widget) == id) return widget;
  }
  return nullptr;
}

void MachineSettingsDialog::Open() {
  ApplyTexts();
  ShowCentred(this);
}

void MachineSettingsDialog::ApplyTexts() {
  ApplyDialogTexts(this, kDialogNumber);
  powerOnMode_->setItemText(0, PickText("自动", "Auto"));
  for (const ControlTip& tip : kControlTips)
    if (QWidget* control = FindControl(tip.id)) control->setToolTip(PickText(tip.zh, tip.en));
  const MachineRecord edited = EditCopy();
  for (int path : {kMic, kMusic}) {
    const VolumeRow& row = rows_[std::size_t(path)];
    row.startValue->setText(row.enable->isChecked() ? QString::number(PowerOnVolume(edited, PathOf(path))) : InvalidText());
    row.maxValue->setText(QString::number(MaxVolume(edited, PathOf(path))));
  }
}

void MachineSettingsDialog::RefreshPage() {
  // The edits start from the device's own bytes, also after edits left behind by a
  // dialog that was destroyed without Cancel: "Apply" changes only what the user
  // touched. A value the sliders cannot reach is shown clamped on the slider and as
  // stored in its label.
  const MachineRecord device = DeviceSettingsSnapshot();
  const MachineRecord shown = ShownRecord(device);
  SetEditedSettings(device);

  const bool noHdmi = ModelHasNoHdmi(IdentitySnapshot().ModelName());
  hdmiGroup_->setVisible(!noHdmi);
  hdmiMute_->setVisible(!noHdmi);

  for (int path : {kMic, kMusic}) {
    const VolumeRow& row = rows_[std::size_t(path)];
    const int maximum = MaxVolume(shown, PathOf(path));
    row.maxSlider->setRange(kLowestVolumeLimit, kHighestVolumeLimit);
    row.maxSlider->setValue(maximum);
    row.maxValue->setText(QString::number(MaxVolume(device, PathOf(path))));
    row.startSlider->setRange(kLowestVolumeLimit, maximum);
    ShowPowerOnVolume(Path(path), PowerOnVolume(shown, PathOf(path)));
    if (row.enable->isChecked()) row.startValue->setText(QString::number(PowerOnVolume(device, PathOf(path))));
  }

  panelLock_->setChecked(PanelLocked(shown));
  volumeLock_->setChecked(VolumeLocked(shown));
  modeLock_->setChecked(ModeLocked(shown));
  ShowLockUsability(PanelLocked(shown));

  const int mode = PowerOnMode(shown);
  powerOnMode_->setCurrentIndex(mode < kPowerOnModeCount ? mode : -1);
  hdmiMute_->setChecked(HdmiMuted(shown));

  // A routing the dialog does not know leaves all three choices unselected.
  if (QAbstractButton* route = routes_->button(SurroundRouting(shown))) {
    route->setChecked(true);
  } else {
    routes_->setExclusive(false);
    for (QAbstractButton* button : routes_->buttons()) button->setChecked(false);
    routes_->setExclusive(true);
  }
  saveModes_->button(SavedByMode(shown) ? 1 : 0)->setChecked(true);
}

void MachineSettingsDialog::ShowPowerOnVolume(Path path, int volume) {
  const VolumeRow& row = rows_[std::size_t(path)];
  const bool set = volume != 0;
  row.enable->setChecked(set);
  row.startSlider->setValue(set ? volume : row.startSlider->minimum());
  row.startValue->setText(set ? QString::number(volume) : InvalidText());
  // The slider is usable only while a power-on volume is set: moving it otherwise
  // would store a volume the unticked "Enable" says is not there.
  for (QWidget* widget : std::initializer_list<QWidget*>{row.startLabel, row.startSlider, row.startValue})
    widget->setEnabled(set);
}

void MachineSettingsDialog::ShowLockUsability(bool panelLocked) {
  volumeLock_->setEnabled(panelLocked);
  modeLock_->setEnabled(panelLocked);
}

void MachineSettingsDialog::Edit(const std::function<void(MachineRecord&)>& change) {
  MachineRecord record = EditCopy();
  change(record);
  SetEditedSettings(record);
}

void MachineSettingsDialog::OnEnableClicked(Path path, bool enabled) {
  int volume = 0;
  Edit([&](MachineRecord& r) {
    if (enabled) volume = EnabledPowerOnVolume(r, PathOf(path), CurrentValue(MasterOf(path)));
    SetPowerOnVolume(r, PathOf(path), volume);
  });
  ShowPowerOnVolume(path, volume);
}

void MachineSettingsDialog::OnSliderChanged(int controlId, int value) {
  switch (controlId) {
    case kMicStartSliderId: ApplyPowerOnVolume(kMic, value); break;
    case kMusicStartSliderId: ApplyPowerOnVolume(kMusic, value); break;
    case kMicMaxSliderId: ApplyMaxVolume(kMic, value); break;
    case kMusicMaxSliderId: ApplyMaxVolume(kMusic, value); break;
    default: break;
  }
}

void MachineSettingsDialog::ApplyPowerOnVolume(Path path, int volume) {
  Edit([&](MachineRecord& r) {
    SetPowerOnVolume(r, PathOf(path), volume);
    volume = PowerOnVolume(r, PathOf(path));
  });
  // The live volume follows, so the user hears the power-on volume being chosen.
  const MasterControlInfo& info = InfoOf(MasterOf(path));
  SetParameter(info.block, info.address, volume);
  rows_[std::size_t(path)].startValue->setText(QString::number(volume));
}

void MachineSettingsDialog::ApplyMaxVolume(Path path, int maximum) {
  int movedPowerOn = -1;
  Edit([&](MachineRecord& r) {
    movedPowerOn = SetMaxVolume(r, PathOf(path), maximum);
    maximum = MaxVolume(r, PathOf(path));
  });
  const VolumeRow& row = rows_[std::size_t(path)];
  row.maxValue->setText(QString::number(maximum));
  row.startSlider->setRange(kLowestVolumeLimit, maximum);
  if (movedPowerOn >= 0) {
    row.startSlider->setValue(movedPowerOn);
    ApplyPowerOnVolume(path, movedPowerOn);
  }
}

void MachineSettingsDialog::Apply() {
  if (!CurrentLink().connected) {
    // Nothing can reach a device: no success is claimed, and the edits wait here.
    progress_.ShowInfoPopup(PickText("未连接设备，机器设置未发送", "No device connected: the settings were not sent"),
                            kNotSentNoticeMs, this);
    return;
  }
  const MachineRecord record = EditCopy();
  MakeCurrent(record);
  std::array<std::uint8_t, 1 + kMachineRecordSize> packet{};
  packet[0] = kCmdSetMachineSettings;
  std::copy(record.begin(), record.end(), packet.begin() + 1);
  SendCommand(packet);
  progress_.ShowInfoPopup(PickText("机器设置已生效!", "Setting valid"), kAppliedNoticeMs, this);
}

void MachineSettingsDialog::reject() {
  SetEditedSettings(DeviceSettingsSnapshot());
  QDialog::reject();
  emit closed();
  deleteLater();
}

void MachineSettingsDialog::wheelEvent(QWheelEvent* event) {
  auto* slider = qobject_cast<StepSlider*>(focusWidget());
  const bool ours = slider && slider->isEnabled() &&
                    std::any_of(rows_.begin(), rows_.end(), [slider](const VolumeRow& row) {
                      return slider == row.startSlider || slider == row.maxSlider;
                    });
  if (!ours) {
    wheelRemainder_ = 0;
    QDialog::wheelEvent(event);
    return;
  }
  event->accept();
  const QPoint angle = event->angleDelta();
  int delta = std::abs(angle.x()) > std::abs(angle.y()) ? -angle.x() : angle.y();
  if (event->inverted()) delta = -delta;
  if (wheelRemainder_ != 0 && (wheelRemainder_ > 0) != (delta > 0)) wheelRemainder_ = 0;
  wheelRemainder_ += delta;
  const int steps = wheelRemainder_ / kNotch;
  wheelRemainder_ -= steps * kNotch;
  if (steps == 0) return;
  const int value = std::clamp(slider->value() + steps * slider->singleStep(), slider->minimum(), slider->maximum());
  if (value == slider->value()) return;
  slider->setValue(value);
  OnSliderChanged(ControlId(slider), value);
}

// ---------------------------------------------------------------------------------------

MachineSettingsHotkey::MachineSettingsHotkey(ProgressWindows& progress, std::function<void()> open, QObject* parent)
    : QObject(parent), progress_(progress), open_(std::move(open)) {}

bool MachineSettingsHotkey::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyRelease) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_F7) return false;
  if (!key->isAutoRepeat() && !handling_ && !progress_.SyncDialogRunning() && open_) {
    handling_ = true;
    open_();
    handling_ = false;
  }
  return true;
}

}  // namespace dsptune
