#pragma once
// The reverb and echo parameter list of the mic and music page: nine rows (number,
// name, value) for one microphone path, the selected row's name label, a slider over
// the row's range and a value field that only displays. Moving the slider, turning the
// wheel over the list (one step per notch) or pressing Left/Down (−1) and Up/Right (+1)
// while the list has the focus writes the selected row at once (EffectParameters.h)
// and refreshes its cell and the field. Row values, ranges and writes live in
// editors/model/EffectParameters.h; this widget only shows them and routes input.
#include <QColor>
#include <QWidget>

class QLabel;
class QLineEdit;
class QSlider;
class QTableWidget;
class QVBoxLayout;

namespace dsptune {

class EffectParameterList : public QWidget {
  Q_OBJECT
 public:
  explicit EffectParameterList(QWidget* parent = nullptr);

  // Shows path 0 (A) or 1 (B) and reloads every row from the model.
  void SetHalf(int half);
  int Half() const { return half_; }
  // Rereads every row of the shown path and the selected row's controls.
  void Reload();
  // Selects row 0..8: name label, slider range and position, value field.
  void SelectRow(int row);
  int SelectedRow() const { return row_; }
  // Colour of the row texts.
  void SetTextColor(const QColor& color);
  // Headers, names and values in the current language.
  void ApplyTexts();
  // Controls placed under the slider (the page puts the echo type there).
  void AddBelowSlider(QWidget* widget);

  QTableWidget& List() const { return *list_; }
  QSlider& Slider() const { return *slider_; }
  QLineEdit& ValueField() const { return *value_; }
  QLabel& NameLabel() const { return *name_; }

 signals:
  // Row `row` of the shown path was written with `value`.
  void valueApplied(int row, int value);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Writes the selected row's value moved by delta (wheel, keys).
  void Step(int delta);
  // Writes the selected row with an absolute value (slider).
  void Apply(int value);
  void RefreshRow(int row);
  void RefreshControls();

  QTableWidget* list_ = nullptr;
  QLabel* name_ = nullptr;
  QSlider* slider_ = nullptr;
  QLineEdit* value_ = nullptr;
  QVBoxLayout* side_ = nullptr;
  QColor textColor_{0, 200, 255};
  int half_ = 0;
  int row_ = 0;
  int wheelRemainder_ = 0;  // eighths of a degree not yet a whole notch
  bool loading_ = false;    // controls are being set from the model
};

}  // namespace dsptune
