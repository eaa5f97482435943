#pragma once
// The features dialog (dialog 515): the microphone exciter with its three-band loudness
// equaliser and harmonics, the microphone bass boost, the music bass extension, the
// automatic subwoofer decay and the automatic music input level. Every box and slider
// writes its parameter at once (editors/model/LoudnessControls.h); the wheel over a
// slider moves that slider.
//
// Modeless. The main window makes it on first use and refreshes it before every showing
// and after every end of synchronisation; closing it destroys it, which clears the main
// window's (guarded) pointer so the next use makes a new one.
#include <QDialog>
#include <array>

#include "editors/model/LoudnessControls.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QSlider;

namespace dsptune {

class FeaturesDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 515;

  // Control numbers of the controls with a text (the language table's keys use them).
  enum ControlNumber : int {
    kLowFrequencyLabelId = 1002,
    kMidFrequencyLabelId = 1003,
    kHighFrequencyLabelId = 1005,
    kLowGainLabelId = 1007,
    kMidGainLabelId = 1013,
    kHighGainLabelId = 1018,
    kHarmonicGainLabelId = 1021,
    kExciterEqBoxId = 1040,
    kExciterBoxId = 1041,
    kMicMaxBassBoxId = 1042,
    kAutoSubBoxId = 1044,
    kAutoMusicInputBoxId = 1045,
    kHarmonyLabelId = 1131,
    kHarmonicMixLabelId = 1132,
    kHarmonicLevelLabelId = 1133,
    kLpfFrequencyLabelId = 1134,
    kLpfDelayLabelId = 1135,
    kLpfGainLabelId = 1136,
    kSubVolumeLabelId = 1137,
    kValidLevelLabelId = 1138,
    kRatioLabelId = 1139,
    kAttackLabelId = 1140,
    kReleaseLabelId = 1141,
    kExciterGroupId = 1142,
    kBassGroupId = 1143,
    kAutoSubGroupId = 1144,
    kAutoMusicInputGroupId = 1145,
    kAutoSubNoteId = 1237,
  };
  // Groups in the order they are laid out.
  enum Group : int { kExciterGroup = 0, kBassGroup, kAutoSubGroup, kAutoMusicInputGroup };
  static constexpr int kGroupCount = 4;

  explicit FeaturesDialog(QWidget* parent = nullptr);

  // Refreshed, texts in the current language, shown, centred over its owner and
  // brought forward.
  void Open();
  // Every box and slider (and its value field) from the parameter image, the UI values
  // and the derived editor values. Writes nothing.
  void RefreshPage();
  // Texts in the current language, then dialog 515's table entries.
  void ApplyTexts();
  // Closing (Escape, the title bar) destroys the dialog.
  void reject() override;

  // ---- controls, for the main window and tests ----
  QSlider& Slider(LoudnessSlider slider) const;
  QLabel& ValueField(LoudnessSlider slider) const;
  // The caption beside a slider; for the bass boost, the "Mic Max Bass" box stands there.
  QWidget& Caption(LoudnessSlider slider) const;
  QCheckBox& Box(LoudnessBox box) const;
  QGroupBox& GroupBox(Group group) const;
  QLabel& AutoSubNote() const { return *note_; }

 signals:
  // The dialog was closed and is about to be destroyed.
  void closed();

 protected:
  // The main window announces a language switch with QEvent::LanguageChange.
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void OnSliderMoved(LoudnessSlider slider, int position);
  void ShowValue(LoudnessSlider slider, int position);

  struct SliderRow {
    QWidget* caption = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
  };
  std::array<SliderRow, kLoudnessSliderCount> rows_{};
  std::array<QCheckBox*, kLoudnessBoxCount> boxes_{};
  std::array<QGroupBox*, kGroupCount> groups_{};
  QLabel* note_ = nullptr;
};

}  // namespace dsptune
