#pragma once
// Asked after a read when the device's settings differ from working settings that hold
// edits the device never received: one row per difference (where, what, the device's
// value, the working value) in the current language, and two ways out. Closing the
// dialog keeps the device's settings, the choice that loses nothing on the device.
#include <QDialog>
#include <vector>

#include "model/SettingsDiff.h"

class QTableWidget;
class QLabel;
class QPushButton;

namespace dsptune {

enum class ReconcileChoice { SendMine, KeepDevice };

class ReconcileDialog : public QDialog {
  Q_OBJECT
 public:
  // `differences`: first = the device's settings, second = the working settings.
  ReconcileDialog(const std::vector<SettingsDifference>& differences, QWidget* parent = nullptr);

  ReconcileChoice Choice() const { return choice_; }
  QTableWidget& Table() const { return *table_; }
  QPushButton& SendMineButton() const { return *sendMine_; }
  QPushButton& KeepDeviceButton() const { return *keepDevice_; }

  // Shows the dialog modally and returns the choice.
  static ReconcileChoice Ask(const std::vector<SettingsDifference>& differences, QWidget* parent);

 private:
  QLabel* intro_;
  QTableWidget* table_;
  QPushButton* sendMine_;
  QPushButton* keepDevice_;
  ReconcileChoice choice_ = ReconcileChoice::KeepDevice;
};

}  // namespace dsptune
