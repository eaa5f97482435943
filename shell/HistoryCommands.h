#pragma once
// The application menu's history and comparison entries: Undo and Redo (Ctrl+Z,
// Ctrl+Shift+Z, Ctrl+Y) naming what they take back, and the A/B slots ("Store as A",
// "Store as B", "Switch A/B", each slot saved as a mode file). The history itself lives
// in the model (model/EditJournal.h); this class only shows it, clears it when a
// different device is read, and hands whole-image writes to the write job.
#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace dsptune {

class DeviceData;

class ProgressWindows;

class HistoryCommands : public QObject {
  Q_OBJECT
 public:
  // The history and A/B slots shown are `device`'s.
  HistoryCommands(ProgressWindows& progress, DeviceData& device, QWidget* window);
  ~HistoryCommands() override;

  // Adds the entries to the menu and their shortcuts to the window.
  void AddTo(QMenu* menu);
  // The status-bar field naming the live slot (hidden before the first store).
  QLabel* Pane() const { return pane_; }
  void ApplyTexts();

  void Undo();
  void Redo();
  void StoreAs(int slot);
  void SwitchSlots();
  void SaveSlot(int slot);
  // After every complete read: a device other than the one the history was made on
  // clears it (and the slots), with a notice.
  void DeviceRead();

  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }

 signals:
  // The settings changed under the pages; the window shows them anew.
  void settingsChanged();

 private:
  void AfterReplay(bool changed);

  ProgressWindows& progress_;
  DeviceData& device_;
  QWidget* window_;
  QLabel* pane_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* store_[2] = {nullptr, nullptr};
  QAction* switch_ = nullptr;
  QAction* save_[2] = {nullptr, nullptr};
  QString identity_;  // the device the history was made on; empty before the first read
};

}  // namespace dsptune
