#pragma once
// The machine settings dialog (dialog 335): power-on and maximum volumes, what the
// device remembers across power cycles, front-panel locks, the power-on mode, HDMI mute,
// surround routing, and the buttons that restore a device mode to its factory state.
//
// The dialog shows the link's current copy of the machine settings record and edits
// its edit copy; "Apply" makes the edit copy current and sends it. Cancel (or the title
// bar's close) drops the edits and the dialog deletes itself. Modeless; the main window
// keeps at most one, in a QPointer.
#include <QDialog>
#include <QObject>
#include <array>
#include <functional>

#include "model/MachineSettingsRecord.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace dsptune {

class ProgressWindows;
class StepSlider;

class MachineSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 335;
  static constexpr int kAppliedNoticeMs = 1100;
  static constexpr int kNotSentNoticeMs = 3000;

  // Control numbers (the language table's keys use them).
  enum ControlNumber : int {
    kCancelId = 2,
    kMusicStartLabelId = 1002,
    kMicStartLabelId = 1005,
    kMicMaxLabelId = 1006,
    kMicStartSliderId = 1014,
    kMusicStartSliderId = 1015,
    kMicMaxSliderId = 1016,
    kMusicMaxSliderId = 1019,
    kMicEnableId = 1039,
    kMusicEnableId = 1040,
    kPanelLockId = 1046,
    kVolumeLockId = 1047,
    kModeLockId = 1048,
    kHdmiMuteId = 1049,
    kApplyId = 1073,
    kMusicMaxLabelId = 1131,
    kPowerOnModeListId = 1134,
    kMicStartValueId = 1145,
    kMusicStartValueId = 1146,
    kMicMaxValueId = 1147,
    kMusicMaxValueId = 1150,
    kFactoryGroupId = 1183,
    kHdmiGroupId = 1186,
    kRouteGroupId = 1187,
    kByPowerId = 1190,
    kByModeId = 1191,
    kRouteSlSrId = 1192,
    kRouteSblSbrId = 1195,
    kStartVolumeGroupId = 1197,
    kLockGroupId = 1198,
    kRouteBothId = 1199,
    kSaveModeGroupId = 1201,
    kPowerOnModeGroupId = 1202,
    kPowerOnModeLabelId = 1238,
    kSaveModeLabelId = 1239,
    kFactoryM1Id = 32823,  // M1..M4 are 32823..32826
  };

  // Restores device mode 0..3 to its factory state (the mode commands; they do nothing
  // without a link).
  using FactoryModeHook = std::function<void(int mode)>;

  // Shows the current copy of the record at once (that is the dialog's opening).
  MachineSettingsDialog(ProgressWindows& progress, FactoryModeHook restoreFactoryMode, QWidget* parent = nullptr);

  // Texts in the current language, shown, centred over its owner and brought forward.
  // Edits in progress are kept.
  void Open();
  // The language table's texts plus the value texts, in the current language.
  void ApplyTexts();
  // Shows the current copy again (after a read synchronisation replaced both copies).
  void RefreshPage();
  // "Apply": the edit copy becomes current and is sent; the dialog stays open. Without a
  // link nothing is sent or made current, and the notice says so.
  void Apply();
  // "Cancel", Escape and the title bar's close: drops the edits and deletes the dialog.
  void reject() override;

  // The control with this number (nullptr when there is none or it is not a T).
  template <class T = QWidget>
  T* Control(int id) const {
    return qobject_cast<T*>(FindControl(id));
  }

 signals:
  // Cancel or close dropped the edits; the dialog is about to go. Moving a power-on
  // slider changed the live volumes, so the main view refreshes its master controls.
  void closed();

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  enum Path { kMic = 0, kMusic = 1 };
  struct VolumeRow {
    QLabel* startLabel = nullptr;
    QCheckBox* enable = nullptr;
    StepSlider* startSlider = nullptr;
    QLabel* startValue = nullptr;
    StepSlider* maxSlider = nullptr;
    QLabel* maxValue = nullptr;
  };

  QWidget* FindControl(int id) const;
  void BuildControls();
  void ShowPowerOnVolume(Path path, int volume);
  void ShowLockUsability(bool panelLocked);
  void OnEnableClicked(Path path, bool enabled);
  // One slider changed (by the user or the wheel): its control number and new value.
  void OnSliderChanged(int controlId, int value);
  void ApplyPowerOnVolume(Path path, int volume);
  void ApplyMaxVolume(Path path, int maximum);
  // Changes the edit copy.
  void Edit(const std::function<void(MachineRecord&)>& change);

  ProgressWindows& progress_;
  FactoryModeHook restoreFactoryMode_;
  std::array<VolumeRow, 2> rows_{};
  QCheckBox* panelLock_ = nullptr;
  QCheckBox* volumeLock_ = nullptr;
  QCheckBox* modeLock_ = nullptr;
  QComboBox* powerOnMode_ = nullptr;
  QGroupBox* hdmiGroup_ = nullptr;
  QCheckBox* hdmiMute_ = nullptr;
  QButtonGroup* routes_ = nullptr;
  QButtonGroup* saveModes_ = nullptr;
  int wheelRemainder_ = 0;
};

// F7 anywhere in the application opens the machine settings dialog. Installed on the
// application object; the key's release is consumed. While a synchronisation dialog
// runs nothing opens, and a second F7 cannot re-enter while the first is handled.
class MachineSettingsHotkey : public QObject {
  Q_OBJECT
 public:
  MachineSettingsHotkey(ProgressWindows& progress, std::function<void()> open, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ProgressWindows& progress_;
  std::function<void()> open_;
  bool handling_ = false;
};

}  // namespace dsptune
