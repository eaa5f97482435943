#pragma once
// The band list and band editor beside an EQ graph (EqGraphPanel), in one stacked widget:
// the list of every band (number, type drop-down, gain, frequency, Q) while no band is
// picked, the editor of one band (type radios, gain, frequency and Q sliders with their
// fields, optionally the crossover family drop-down) once the graph reports a band
// pressed. It listens to the graph's notifications and keeps graph, list and editor in
// step; every change of a band goes out through the page's BandWriter, so the page
// decides where a band is written (one EQ, or a linked group of channels).
//
// The widget routes input and shows the model; the rules live in
// editors/model/EqBandEditing.h.
#include <QColor>
#include <QStackedWidget>
#include <array>
#include <functional>

#include "editors/model/EqBandEditing.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTableWidget;
class QTableWidgetItem;

namespace dsptune {

class EqGraphPanel;

// Control numbers of the editor's texts in the page's language tables.
struct EqBandEditorIds {
  int gainCaption = 1199;
  int frequencyCaption = 1200;
  int qCaption = 1201;
  int typeGroup = 1202;
  int firstType = 1204;  // "PEQ" .. "HS": firstType .. firstType + 4
};

class EqBandEditor : public QStackedWidget {
  Q_OBJECT
 public:
  // Spacing of the editor: roomy where the list column has height to spare, compact
  // where it shares the column with other controls.
  enum class Density { kRoomy, kCompact };

  struct Options {
    int listRows = 15;  // rows the list shows without scrolling
    Density density = Density::kRoomy;
    bool crossoverFamily = false;  // the family drop-down, shown for a filtering cascade head
    // Gain, frequency and Q as three vertical sliders side by side, each with its field
    // under it (where the column has height to spare); else one row per slider.
    bool verticalSliders = false;
    EqBandEditorIds ids;
  };

  // Sends band `band.index` of the graph's EQ to the device, frequency in whole hertz.
  using BandWriter = std::function<void(const EqBand& band)>;

  // The panel must outlive the editor (both are children of the page).
  EqBandEditor(EqGraphPanel& panel, BandWriter writer, Options options, QWidget* parent = nullptr);
  ~EqBandEditor() override;

  // Shows EQ `eq` in the graph, loads its stored bands, refreshes the list, and keeps
  // the editor on its band while the new EQ has it (else shows the list). Clears the
  // graph's selection; leaves its bypass flag to the page.
  void ShowEq(int eq, StoredBandType types);
  // Headings, type names and captions in the current language; the list is refilled.
  void ApplyTexts();
  // Text colour of the list's rows; crossover sections stay grey.
  void SetTextColor(const QColor& color);

  void RefreshBandList();
  void ShowBandList();
  void ShowBandEditor(int band);  // ignored for a band not in use
  bool EditorShown() const;
  int EditedBand() const { return editedBand_; }  // -1 while the list is shown

  QTableWidget& List() const { return *list_; }
  QWidget& Editor() const { return *editor_; }
  QLineEdit& GainField() const { return *gainField_; }
  QLineEdit& FrequencyField() const { return *frequencyField_; }
  QLineEdit& QField() const { return *qField_; }
  QSlider& GainSlider() const { return *gainSlider_; }
  QSlider& FrequencySlider() const { return *frequencySlider_; }
  QSlider& QSliderControl() const { return *qSlider_; }
  QRadioButton& TypeRadio(int type) const;  // 1..5
  // Only with Options::crossoverFamily; nullptr otherwise.
  QComboBox* FamilyCombo() const { return familyCombo_; }
  QLabel* FamilyLabel() const { return familyLabel_; }

 signals:
  // "Copy EQ" or "Paste EQ" was carried out on the graph's EQ: the page reloads it.
  void reloadRequested();

 private:
  void BuildList();
  void BuildEditor();
  void ApplyTips();

  // Graph notifications.
  void OnBandChanged(int band);
  void OnCopyPaste(int action);

  void OnItemChanged(QTableWidgetItem* item);
  void ApplyMenuType(int band, int menuType);
  void ApplyFamily(int family);
  void ApplyEditorFields();
  // Writes the band, then shows it in its row and, when it is the edited band, the editor.
  void WriteAndShow(int band);
  void StyleRow(int row);  // editable or not, text colour
  void RefreshRow(int band);
  void RefreshEditor();
  void RefreshFamily();

  EqGraphPanel& panel_;
  BandWriter writer_;
  Options options_;
  QColor textColor_{0, 200, 255};

  QTableWidget* list_ = nullptr;
  QWidget* editor_ = nullptr;
  QLabel* bandNumber_ = nullptr;
  QGroupBox* typeGroup_ = nullptr;
  QButtonGroup* types_ = nullptr;
  std::array<QRadioButton*, 5> typeRadios_{};
  QLabel* gainCaption_ = nullptr;
  QLabel* frequencyCaption_ = nullptr;
  QLabel* qCaption_ = nullptr;
  QSlider* gainSlider_ = nullptr;
  QSlider* frequencySlider_ = nullptr;
  QSlider* qSlider_ = nullptr;
  QLineEdit* gainField_ = nullptr;
  QLineEdit* frequencyField_ = nullptr;
  QLineEdit* qField_ = nullptr;
  QLabel* familyLabel_ = nullptr;
  QComboBox* familyCombo_ = nullptr;

  int editedBand_ = -1;
  bool loading_ = false;  // controls are being set from the model: no writes
};

// What a page hosting an EqBandEditor offers its host and tests, forwarded to it. The
// page sets bandEditor_ while it builds its EQ area.
class EqBandEditorAccess {
 public:
  EqBandEditor& Bands() const { return *bandEditor_; }
  QTableWidget& BandList() const { return bandEditor_->List(); }
  QWidget& BandEditor() const { return bandEditor_->Editor(); }
  bool BandEditorShown() const { return bandEditor_->EditorShown(); }
  int EditedBand() const { return bandEditor_->EditedBand(); }
  QLineEdit& GainField() const { return bandEditor_->GainField(); }
  QLineEdit& FrequencyField() const { return bandEditor_->FrequencyField(); }
  QLineEdit& QField() const { return bandEditor_->QField(); }
  QSlider& GainSlider() const { return bandEditor_->GainSlider(); }
  QSlider& FrequencySlider() const { return bandEditor_->FrequencySlider(); }
  QSlider& QSliderControl() const { return bandEditor_->QSliderControl(); }
  QRadioButton& BandTypeRadio(int type) const { return bandEditor_->TypeRadio(type); }  // 1..5

 protected:
  EqBandEditor* bandEditor_ = nullptr;
};

}  // namespace dsptune
