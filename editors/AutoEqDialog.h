#pragma once
// "Auto EQ from measurement…" of the EQ graph's menu: room measurements (one file per
// microphone position, power-averaged), smoothing, a target (flat, a house curve or a
// file), the fit range, the boost limit and the number of bands, fitted to the shown
// EQ by autoeq/ within what the device stores. A preview graph shows measurement, target
// and the predicted result with the fitted bands, and the report says how close it came.
// Apply sets the bands as one step of the history, sent as a filter import sends them
// (the linked EQs too), and leaves the measurement over the graph while the bands are
// edited by hand; Cancel changes nothing. Every problem (a file that cannot be read, its
// bad lines by number, a range the measurement does not cover) is said in the dialog.
//
// The fit runs on the user-interface thread, a short moment after the last change.
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "editors/GraphFileMenu.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace dsptune {

class EqGraphPanel;
struct FitResult;

class AutoEqDialog : public QDialog {
  Q_OBJECT
 public:
  // The target choices, in the drop-down's order.
  enum TargetChoice { kTargetFlat = 0, kTargetHouse = 1, kTargetFile = 2 };

  // `graph` shows the EQ to fit and must outlive the dialog.
  explicit AutoEqDialog(EqGraphPanel& graph, QWidget* parent = nullptr);
  ~AutoEqDialog() override;

  // Reads a measurement (or target) file; its problems are shown. False when it cannot be
  // used at all; a file with some unreadable lines is used and its lines are listed.
  bool AddMeasurementFile(const QString& path);
  bool SetTargetFile(const QString& path);
  // Fits with the current choices at once and shows the outcome; false (with the reason
  // shown) when there is no fit.
  bool Fit();
  // Fits first when a choice changed since, then sets the bands as one undoable step
  // and puts the measurement over the graph. False (nothing changed) without a fit.
  bool Apply();

  // The last fit (ok false before one, or when it failed).
  const FitResult& Result() const;

  // The controls, for tests and the screenshot tour.
  QListWidget& Files() const { return *files_; }
  QComboBox& SmoothingBox() const { return *smoothing_; }
  QComboBox& TargetBox() const { return *target_; }
  QDoubleSpinBox& BassRise() const { return *bassRise_; }
  QSpinBox& Corner() const { return *corner_; }
  QDoubleSpinBox& Tilt() const { return *tilt_; }
  QSpinBox& LowHz() const { return *lowHz_; }
  QSpinBox& HighHz() const { return *highHz_; }
  QDoubleSpinBox& MaxBoost() const { return *maxBoost_; }
  QSpinBox& Bands() const { return *bands_; }
  QCheckBox& KeepExisting() const { return *keepExisting_; }
  QLabel& Problems() const { return *problems_; }
  QPlainTextEdit& Report() const { return *report_; }
  EqGraphPanel& Preview() const { return *preview_; }
  QPushButton& ApplyButton() const { return *apply_; }

 private:
  struct State;
  void Build();
  void ApplyTexts();
  void ResetPreview();   // the graph's bands as they are, in the dialog's language
  void UpdateEnabled();  // the controls the current choices use
  void ChoiceChanged();  // marks the fit stale and schedules a new one
  void UpdateBandLimit();
  void ShowProblems();
  void AddFileFromDialog();
  void RemoveSelectedFile();
  void ChooseTargetFile();

  EqGraphPanel& graph_;
  std::unique_ptr<State> state_;
  QListWidget* files_ = nullptr;
  QPushButton* addFile_ = nullptr;
  QPushButton* removeFile_ = nullptr;
  QComboBox* smoothing_ = nullptr;
  QComboBox* target_ = nullptr;
  QDoubleSpinBox* bassRise_ = nullptr;
  QSpinBox* corner_ = nullptr;
  QDoubleSpinBox* tilt_ = nullptr;
  QLineEdit* targetFile_ = nullptr;
  QPushButton* chooseTarget_ = nullptr;
  QSpinBox* lowHz_ = nullptr;
  QSpinBox* highHz_ = nullptr;
  QDoubleSpinBox* maxBoost_ = nullptr;
  QSpinBox* bands_ = nullptr;
  QCheckBox* keepExisting_ = nullptr;
  QLabel* problems_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  EqGraphPanel* preview_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QTimer* refit_ = nullptr;
  // Captions, kept to set their texts.
  QList<QWidget*> captions_;
};

// The graph menu's entries: "Auto EQ from measurement…", and "Clear measurement" while
// the graph shows one (texts in `language`: 0 Chinese, 1 English).
void AddAutoEqActions(QMenu& menu, const EqGraphPanel& graph, int language);
// Carries out `chosen` when it is one of them: kEqReplaced when bands were applied.
GraphFileOutcome RunAutoEqAction(EqGraphPanel& graph, const QAction& chosen);

// Runs the dialog and returns its result code. The default shows it modally; tests
// install one that works the dialog and closes it (nullptr restores the default).
using AutoEqDialogRunner = std::function<int(AutoEqDialog& dialog)>;
void SetAutoEqDialogRunner(AutoEqDialogRunner runner);

}  // namespace dsptune
