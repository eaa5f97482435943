#pragma once
// The music input source window (texts of dialog 512): a radio button per source to pick
// the device's music input, and a slider with a value label per source for its input
// gain. Which sources it offers, and under which labels, is the variant of the model that
// was connected when the window was made (MusicInputTemplate); the variant stays for the
// window's life. All 14 rows exist in every variant; a variant only hides and relabels
// them, so a row's source number (its radio's id in the group, its parameter addresses)
// never depends on the variant.
//
// A selected source the variant does not offer (a mode file's source of another model,
// say) is kept and shown as what it is: its row appears below the others, checked and
// labelled "AUX1 (not on this model)" (UnofferedSourceText); a value that is no source
// shows as its number on a line of its own. Nothing is written until the user picks a
// source; the next refresh that finds an offered source takes the line away again.
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
class QGridLayout;
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
  // Sources the user is offered (visible rows but the kept one), top to bottom.
  std::vector<int> VisibleSources() const;
  // The source shown as kept though not offered; -1 when none is.
  int KeptSource() const { return keptSource_; }
  // The line showing a kept value that is no source (hidden otherwise).
  QLabel& KeptCodeLabel() const { return *keptCode_; }

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
  // The label a row has in this variant (its default label for rows the variant lacks).
  QString VariantLabel(int source) const;
  // Put up and take down the kept line; the caller refits the window.
  void ShowKeptValue(int selected);
  void ClearKeptValue();
  void ApplyKeptText();
  // Sends a wheel turn to the focused gain slider when it is not already its target;
  // false when the wheel should take its usual way.
  bool ForwardWheel(QWidget* target, QWheelEvent* event);

  const MusicInputLayout& layout_;
  std::array<Row, kInputSourceCount> rows_{};
  QButtonGroup* group_ = nullptr;
  QGridLayout* grid_ = nullptr;
  QLabel* keptCode_ = nullptr;
  int keptLine_ = 0;       // the grid line below the variant's rows
  int keptSource_ = -1;    // the row shown as kept, or -1
  bool keptMoved_ = false;  // its row was put on keptLine_ (it has no place in the variant)
  BilingualText keptText_;
  bool loading_ = false;
};

}  // namespace dsptune
