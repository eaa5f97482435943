#pragma once
// The music input source window (texts of dialog 512): a radio button per source to pick
// the device's music input, and a slider with a value label per source for its input
// gain. Which sources it offers, and under which labels, is the variant of the model that
// was connected when the window was made (MusicInputTemplate); the variant stays for the
// window's life. All 14 rows exist in every variant; a variant only hides and relabels
// them, so a row's source number (its radio's id in the group, its parameter addresses)
// never depends on the variant.
//
// Modeless. Closing (close box, Escape) only hides it; the main window keeps one in a
// QPointer, shows it again with Open and deletes it when a new USB device arrives, so the
// next Open makes the variant of the device then connected. Every value is written at
// once with SetParameter; RefreshPage rereads them all from the model.
#include <QDialog>
#include <array>
#include <vector>

#include "editors/model/MusicInputSources.h"

class QButtonGroup;
class QLabel;
class QRadioButton;
class QSlider;
class QWheelEvent;

namespace dsptune {

class InputSourceDialog : public QDialog {
  Q_OBJECT
 public:
  // Every variant takes its texts from dialog 512's language keys.
  static constexpr int kDialogNumber = 512;

  // templateNumber: MusicInputTemplate of the model (512 or one of the variants; any
  // other number gives 512's variant).
  explicit InputSourceDialog(int templateNumber, QWidget* parent = nullptr);
  // The variant of the model the device identity holds now.
  static InputSourceDialog* ForConnectedModel(QWidget* owner);

  int TemplateNumber() const { return layout_.templateNumber; }

  // Rereads all controls, applies dialog 512's texts, shows the window centred over its
  // owner and brings it forward.
  void Open();
  // Loads every slider, value label and the checked radio from the model; shows the
  // conditional row for an "LQ4.1" on protocol 20 (it is never hidden again).
  void RefreshPage();
  // The title in the current language from dialog 512's keys; row labels stay.
  void ApplyTexts();

  QButtonGroup& SourceGroup() const { return *group_; }
  QRadioButton& SourceButton(int source) const { return *rows_[std::size_t(source)].radio; }
  QSlider& GainSlider(int source) const { return *rows_[std::size_t(source)].slider; }
  QLabel& GainLabel(int source) const { return *rows_[std::size_t(source)].value; }
  // Sources whose rows are visible, top to bottom.
  std::vector<int> VisibleSources() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A LanguageChange event (how the main window tells windows made outside the shell
  // that the language was switched) re-applies the texts.
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  struct Row {
    QRadioButton* radio = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
  };

  void BuildRows();
  void ShowRow(int source, bool visible);
  void FitSize();
  void OnGainChanged(int source, int position);
  // Sends a wheel turn to the focused gain slider when it is not already its target;
  // false when the wheel should take its usual way.
  bool ForwardWheel(QWidget* target, QWheelEvent* event);

  const MusicInputLayout& layout_;
  std::array<Row, kInputSourceCount> rows_{};
  QButtonGroup* group_ = nullptr;
  bool loading_ = false;
};

}  // namespace dsptune
