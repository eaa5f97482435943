#include "shell/MainView.h"

#include "shell/CommandTips.h"
#include "shell/EditorPages.h"

#include <QSignalBlocker>
#include <QVBoxLayout>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Ribbon.h"
#include "ui/RibbonPanel.h"
#include "ui/StepSlider.h"

namespace dsptune {
namespace {

constexpr int kVolumeSliderWidth = 90;
constexpr int kGateSliderWidth = 100;
constexpr int kInfoNoticeMs = 1100;

bool IsOutputName(const QString& name) { return name == "Output" || name == QString::fromUtf8("输出调节"); }
bool IsInputName(const QString& name) { return name == "Input" || name == QString::fromUtf8("输入控制"); }

}  // namespace

MainView::MainView(ProgressWindows& progress, QWidget* parent)
    : QWidget(parent), progress_(progress), host_(new EditorHost(this)) {
  InstallEditorPages(*host_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(host_);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(p);

  firstUsbAttempt_.setSingleShot(true);
  firstUsbAttempt_.setInterval(kFirstUsbAttemptMs);
  connect(&firstUsbAttempt_, &QTimer::timeout, this, &MainView::firstUsbAttempt);

  statusPoll_.setInterval(kStatusPollMs);
  connect(&statusPoll_, &QTimer::timeout, this, [] {
    LinkState& link = CurrentLink();
    if (link.pollingNotSuspended && link.connected && link.statusPollingAllowed) SendCommand({kCmdStatus});
  });
  pitchRefresh_.setInterval(kPitchRefreshMs);
  connect(&pitchRefresh_, &QTimer::timeout, this, [this] {
    if (CurrentLink().connected) RefreshPitch(true);
  });
}

void MainView::BuildMasterControls(Ribbon& ribbon, int category, Twin twin) {
  ribbon_ = &ribbon;
  categoryOfTwin_[twin] = category;
  const QList<RibbonPanel*> panels = ribbon.Panels(category);
  const int language = CurrentLanguage();
  for (int i = 0; i < kVolumeControlCount; ++i) {
    const MasterControl control = kMasterControls[std::size_t(i)];
    const MasterControlInfo& info = InfoOf(control);
    const auto& ids = twin == kInput ? info.inputIds : info.outputIds;
    TwinWidgets& w = twins_[std::size_t(i)][twin];
    w.panel = panels.value(i);
    w.label = new QToolButton;
    w.label->setAutoRaise(true);
    w.label->setText(InitialLabelText(control, language));
    w.label->setProperty("controlId", ids[0]);
    w.slider = new StepSlider;
    w.slider->setRange(info.minimum, info.maximum);
    w.slider->setValue(info.maximum);
    w.slider->setFixedWidth(kVolumeSliderWidth);
    w.slider->setProperty("controlId", ids[1]);
    w.mute = new QCheckBox(PickText("静音", "Mute"));
    w.mute->setProperty("controlId", ids[2]);
    if (w.panel) {
      w.panel->AddWidget(w.label);
      w.panel->AddWidget(w.slider);
      w.panel->AddWidget(w.mute);
    }
    connect(w.slider, &StepSlider::stepApplied, this, [this, control, twin] { OnSliderMoved(control, twin); });
    connect(w.mute, &QCheckBox::clicked, this, [this, control] {
      ToggleMute(control);
      ShowMuteBoxes(control);
    });
  }

  // Panel 6: the noise gate and the pitch; the pitch value is shown in the panel title.
  RibbonPanel* pitchPanel = panels.value(5);
  for (MasterControl control : {MasterControl::NoiseGate, MasterControl::Pitch}) {
    const MasterControlInfo& info = InfoOf(control);
    const auto& ids = twin == kInput ? info.inputIds : info.outputIds;
    TwinWidgets& w = twins_[std::size_t(control)][twin];
    w.panel = pitchPanel;
    if (control == MasterControl::NoiseGate) {
      w.label = new QToolButton;
      w.label->setAutoRaise(true);
      w.label->setText(InitialLabelText(control, language));
      w.label->setProperty("controlId", ids[0]);
      if (pitchPanel) pitchPanel->AddWidget(w.label);
    }
    w.slider = new StepSlider;
    w.slider->setRange(info.minimum, info.maximum);
    w.slider->setValue(control == MasterControl::Pitch ? 0 : info.maximum);
    w.slider->setFixedWidth(kGateSliderWidth);
    w.slider->setProperty("controlId", ids[1]);
    if (pitchPanel) pitchPanel->AddWidget(w.slider);
    connect(w.slider, &StepSlider::stepApplied, this, [this, control, twin] { OnSliderMoved(control, twin); });
  }
  ApplyControlTips();
  // Without a device the controls stand for the stored settings, as they do once one is read.
  ShowStoredValues();
}

int MainView::ActiveTwin() const {
  if (ribbon_ && IsOutputName(ribbon_->CategoryName(ribbon_->ActiveCategory()))) return kOutput;
  return kInput;
}

bool MainView::PitchCategoryActive() const {
  if (!ribbon_) return false;
  const QString name = ribbon_->CategoryName(ribbon_->ActiveCategory());
  return IsInputName(name) || IsOutputName(name);
}

void MainView::OnSliderMoved(MasterControl control, Twin from) {
  // The active category's twin decides (a twin in a hidden category cannot move).
  const int twin = ActiveTwin();
  const StepSlider* slider = twins_[std::size_t(control)][twin].slider;
  const int value = slider ? slider->value() : twins_[std::size_t(control)][from].slider->value();
  if (control == MasterControl::Pitch) {
    if (PitchCategoryActive()) ApplyPitchValue(value);
    return;
  }
  ApplyValue(control, value);
}

void MainView::ApplyValue(MasterControl control, int value) {
  const int language = CurrentLanguage();
  const MasterChange change = ApplySliderValue(control, value, language);
  if (!change.limitNotice.isEmpty()) progress_.ShowInfoPopup(change.limitNotice, kInfoNoticeMs);
  ShowTwins(control, change.value);
  if (change.muteNotice) progress_.ShowInfoPopup(MuteNoticeText(language), kInfoNoticeMs);
}

void MainView::ApplyPitchValue(int value) {
  if (CurrentLink().connected) pitchRefresh_.start();  // keep the periodic refresh off for 2 s
  ApplyPitch(value);
  for (auto& w : twins_[std::size_t(MasterControl::Pitch)])
    if (w.slider) {
      const QSignalBlocker block(w.slider);
      w.slider->setValue(value);
    }
  RefreshPitch(true);
}

void MainView::StepControl(MasterControl control, int steps) {
  StepSlider* slider = twins_[std::size_t(control)][ActiveTwin()].slider;
  if (!slider || steps == 0) return;
  const int value = std::clamp(slider->value() + steps * slider->singleStep(), slider->minimum(), slider->maximum());
  {
    const QSignalBlocker block(slider);
    slider->setValue(value);
  }
  if (control == MasterControl::Pitch) ApplyPitchValue(value);
  else ApplyValue(control, value);
}

bool MainView::ControlForWheel(RibbonPanel* panel, QWidget* child, MasterControl& control) const {
  const int twin = ActiveTwin();
  for (MasterControl c : {MasterControl::NoiseGate, MasterControl::Pitch}) {
    QWidget* slider = twins_[std::size_t(c)][twin].slider;
    if (slider && child && (child == slider || slider->isAncestorOf(child))) {
      control = c;
      return true;
    }
  }
  for (int i = 0; i < kVolumeControlCount; ++i)
    if (panel && twins_[std::size_t(i)][twin].panel == panel) {
      control = kMasterControls[std::size_t(i)];
      return true;
    }
  return false;
}

void MainView::ShowTwins(MasterControl control, int value) {
  const int language = CurrentLanguage();
  shownValue_[std::size_t(control)] = value;
  for (auto& w : twins_[std::size_t(control)]) {
    if (w.slider) {
      const QSignalBlocker block(w.slider);
      w.slider->setValue(value);
    }
    if (w.label) w.label->setText(LabelText(control, value, language));
  }
}

void MainView::ShowMuteBoxes(MasterControl control) {
  const bool muted = IsMuted(control);
  for (auto& w : twins_[std::size_t(control)])
    if (w.mute) w.mute->setChecked(muted);
}

void MainView::RefreshPitch(bool withColon) {
  const int pitch = CurrentValue(MasterControl::Pitch);
  for (auto& w : twins_[std::size_t(MasterControl::Pitch)])
    if (w.slider) {
      const QSignalBlocker block(w.slider);
      w.slider->setRange(-5, 5);
      w.slider->setValue(pitch);
    }
  if (!PitchCategoryActive()) return;
  if (RibbonPanel* panel = twins_[std::size_t(MasterControl::Pitch)][ActiveTwin()].panel)
    panel->SetTitle(PitchTitle(pitch, CurrentLanguage(), withColon));
}

void MainView::ShowStoredValues() {
  for (MasterControl control : kMasterControls) {
    if (control == MasterControl::Pitch) continue;
    ShowTwins(control, CurrentValue(control));
    ShowMuteBoxes(control);
  }
}

void MainView::RefreshMasterControls() {
  ShowStoredValues();
  RefreshPitch(true);
}

void MainView::RelabelMasterControls() {
  const int language = CurrentLanguage();
  for (MasterControl control : kMasterControls)
    for (auto& w : twins_[std::size_t(control)]) {
      if (w.label) w.label->setText(LabelText(control, shownValue_[std::size_t(control)], language));
      if (w.mute) w.mute->setText(PickText("静音", "Mute"));
    }
  ApplyControlTips();
}

void MainView::ApplyControlTips() {
  for (MasterControl control : kMasterControls)
    for (auto& w : twins_[std::size_t(control)]) {
      const QString tip = MasterControlTip(control);
      if (w.label) w.label->setToolTip(tip);
      if (w.slider) w.slider->setToolTip(tip);
      if (w.mute) w.mute->setToolTip(MasterMuteTip(control));
    }
}

void MainView::RefreshOpenEditors() {
  RefreshMasterControls();
  if (EditorPage* page = host_->Editor()) page->RefreshPage();
}

void MainView::ShowEditor(int kind, int channel) { host_->ShowEditor(kind, channel); }

void MainView::OnCategoryChanged(int category) {
  if (!ribbon_) return;
  const QString name = ribbon_->CategoryName(category);
  if (IsInputName(name)) ShowEditor(kEditorMicMusic, 0);
  else if (IsOutputName(name)) ShowEditor(kEditorOutput, host_->OutputChannel());
  RefreshPitch(true);
}

void MainView::StartLinkTimers() {
  statusPoll_.start();
  pitchRefresh_.start();
}

void MainView::StopLinkTimers() {
  statusPoll_.stop();
  pitchRefresh_.stop();
}

}  // namespace dsptune
