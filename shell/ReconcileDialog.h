#pragma once
// Asked after a read when the device's settings differ from working settings that hold
// edits the device never received. Each question of the merge (model/SettingsMerge.h)
// is a row: where, what, the device's value, mine, who changed it, and a choice of the
// side to keep (mine for the user's own edits, the device's where both changed).
// Settings changed only on the device are listed below for information: they are taken
// without asking. Closing the dialog keeps the device's settings everywhere, the choice
// that loses nothing on the device.
#include <QDialog>
#include <vector>

#include "model/SettingsMerge.h"

class QComboBox;
class QTableWidget;
class QLabel;
class QPushButton;

namespace dsptune {

// SendMine: send the rows chosen as mine (the rest is the device's). KeepDevice: the
// device's settings everywhere.
enum class ReconcileChoice { SendMine, KeepDevice };

class ReconcileDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ReconcileDialog(const SettingsMerge& merge, QWidget* parent = nullptr);

  ReconcileChoice Choice() const { return choice_; }
  // The merge with each row's side as chosen in the dialog.
  const SettingsMerge& Merge() const { return merge_; }
  // The questions: page, parameter, the device's value, mine, who changed it, the side.
  QTableWidget& Table() const { return *table_; }
  // The side kept for a question row: index 0 the device's, 1 mine.
  QComboBox& SideBox(int row) const;
  // Changed on the device only: page, parameter, before, the device's value.
  QTableWidget& DeviceChanges() const { return *deviceTable_; }
  QPushButton& SendMineButton() const { return *sendMine_; }
  QPushButton& KeepDeviceButton() const { return *keepDevice_; }

  static constexpr int kSideColumn = 5;

  // Shows the dialog modally; returns the choice and leaves the rows' sides in `merge`.
  static ReconcileChoice Ask(SettingsMerge& merge, QWidget* parent);

 private:
  SettingsMerge merge_;
  std::vector<std::size_t> rowItems_;  // the merge item of each question row
  QLabel* intro_;
  QTableWidget* table_;
  QLabel* deviceLabel_;
  QTableWidget* deviceTable_;
  QPushButton* sendMine_;
  QPushButton* keepDevice_;
  ReconcileChoice choice_ = ReconcileChoice::KeepDevice;
};

}  // namespace dsptune
