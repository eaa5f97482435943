#pragma once
// The main view: the master controls that sit in the ribbon (each twice, in the Input
// and the Output category) and the one embedded editor. Every slider, mute box and
// label routes to MasterControls; the widgets only show what it returns.
#include <QCheckBox>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "shell/EditorHost.h"
#include "shell/MasterControls.h"
#include "ui/RibbonPanel.h"
#include "ui/StepSlider.h"

namespace dsptune {

class Ribbon;
class ProgressWindows;

class MainView : public QWidget {
  Q_OBJECT
 public:
  enum Twin { kInput = 0, kOutput = 1 };
  // Timer periods.
  static constexpr int kFirstUsbAttemptMs = 250;
  static constexpr int kStatusPollMs = 500;
  static constexpr int kPitchRefreshMs = 2000;

  MainView(ProgressWindows& progress, QWidget* parent = nullptr);

  // Fills panels 1..6 of a category with the twin of every master control.
  void BuildMasterControls(Ribbon& ribbon, int category, Twin twin);
  // Moves a control by steps (the wheel) and applies it as a drag does.
  void StepControl(MasterControl control, int steps);
  // The master control a ribbon panel or slider stands for (the wheel rule).
  bool ControlForWheel(RibbonPanel* panel, QWidget* child, MasterControl& control) const;

  void RefreshMasterControls();
  void RefreshOpenEditors();
  void RelabelMasterControls();  // prefixes, values and tooltips in the current language
  void ShowEditor(int kind, int channel);
  EditorHost& Host() { return *host_; }
  // The category switch of the ribbon.
  void OnCategoryChanged(int category);
  int ActiveTwin() const;

  // Timers 3 (status poll) and 4 (pitch refresh).
  void StartLinkTimers();
  void StopLinkTimers();
  bool LinkTimersRunning() const { return statusPoll_.isActive(); }
  QTimer& FirstUsbAttemptTimer() { return firstUsbAttempt_; }

  // For tests: the twin widgets of a control.
  StepSlider* Slider(MasterControl control, Twin twin) const { return twins_[std::size_t(control)][twin].slider; }
  QToolButton* Label(MasterControl control, Twin twin) const { return twins_[std::size_t(control)][twin].label; }
  QCheckBox* MuteBox(MasterControl control, Twin twin) const { return twins_[std::size_t(control)][twin].mute; }

 signals:
  void firstUsbAttempt();

 private:
  struct TwinWidgets {
    QPointer<QToolButton> label;
    QPointer<StepSlider> slider;
    QPointer<QCheckBox> mute;
    QPointer<RibbonPanel> panel;
  };
  void OnSliderMoved(MasterControl control, Twin from);
  void ApplyValue(MasterControl control, int value);
  void ApplyPitchValue(int value);
  void ShowTwins(MasterControl control, int value);
  void ShowMuteBoxes(MasterControl control);
  // Volumes, gate and mute boxes as the parameter image holds them (not the pitch).
  void ShowStoredValues();
  void ApplyControlTips();
  void RefreshPitch(bool withColon);
  bool PitchCategoryActive() const;

  ProgressWindows& progress_;
  EditorHost* host_;
  Ribbon* ribbon_ = nullptr;
  std::array<std::array<TwinWidgets, 2>, 7> twins_{};
  std::array<int, 2> categoryOfTwin_{-1, -1};
  // The value each control's labels show (the stored one from the start).
  std::array<int, 7> shownValue_{100, 100, 100, 100, 100, 100, 0};
  QTimer firstUsbAttempt_, statusPoll_, pitchRefresh_;
};

}  // namespace dsptune
