#include "shell/HistoryCommands.h"

#include <QAction>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include "files/ModeFile.h"
#include "link/SyncJobs.h"
#include "model/CompareSlots.h"
#include "model/DeviceData.h"
#include "model/EditJournal.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"
#include "ui/ProgressWindows.h"

namespace dsptune {
namespace {

constexpr int kNoticeMs = 3000;
const char* const kSlotNames[2] = {"A", "B"};

int TextLanguage() { return CurrentLanguage() == kEnglish ? kTextEnglish : kTextChinese; }

}  // namespace

HistoryCommands::HistoryCommands(ProgressWindows& progress, DeviceData& device, QWidget* window)
    : QObject(window), progress_(progress), device_(device), window_(window) {
  pane_ = new QLabel;
  pane_->hide();
  // A step whose settings are cheaper to send whole goes out as a write job; the
  // journal has already put them in the model.
  device_.Journal().SetFullWriteSender([this](const ParameterImageBytes&) {
    StartWriteJob();
    QTimer::singleShot(0, this, [this] { progress_.RunSyncDialog(); });
  });
}

HistoryCommands::~HistoryCommands() { device_.Journal().SetFullWriteSender(nullptr); }

void HistoryCommands::AddTo(QMenu* menu) {
  undo_ = menu->addAction(QString());
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_ = menu->addAction(QString());
  redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  connect(undo_, &QAction::triggered, this, &HistoryCommands::Undo);
  connect(redo_, &QAction::triggered, this, &HistoryCommands::Redo);
  menu->addSeparator();
  const QKeySequence storeKeys[2] = {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A),
                                     QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_B)};
  for (int slot = 0; slot < 2; ++slot) {
    store_[slot] = menu->addAction(QString());
    store_[slot]->setShortcut(storeKeys[slot]);
    connect(store_[slot], &QAction::triggered, this, [this, slot] { StoreAs(slot); });
  }
  switch_ = menu->addAction(QString());
  switch_->setShortcut(QKeySequence(Qt::Key_F9));
  connect(switch_, &QAction::triggered, this, &HistoryCommands::SwitchSlots);
  for (int slot = 0; slot < 2; ++slot) {
    save_[slot] = menu->addAction(QString());
    connect(save_[slot], &QAction::triggered, this, [this, slot] { SaveSlot(slot); });
  }
  for (QAction* action : {undo_, redo_, store_[0], store_[1], switch_}) window_->addAction(action);
  // The entries name what they would do at the moment the menu opens.
  connect(menu, &QMenu::aboutToShow, this, &HistoryCommands::ApplyTexts);
  menu->addSeparator();
  ApplyTexts();
}

void HistoryCommands::ApplyTexts() {
  if (!undo_) return;
  const EditJournal& journal = device_.Journal();
  const int language = TextLanguage();
  const QString undoText = QString::fromStdString(journal.UndoText(language));
  const QString redoText = QString::fromStdString(journal.RedoText(language));
  undo_->setText(PickText("撤销", "Undo") + (undoText.isEmpty() ? QString() : QLatin1Char(' ') + undoText));
  redo_->setText(PickText("重做", "Redo") + (redoText.isEmpty() ? QString() : QLatin1Char(' ') + redoText));
  undo_->setEnabled(journal.CanUndo());
  redo_->setEnabled(journal.CanRedo());
  const CompareSlots& compare = device_.Compare();
  for (int slot = 0; slot < 2; ++slot) {
    store_[slot]->setText(PickText("存为 %1", "Store as %1").arg(kSlotNames[slot]));
    save_[slot]->setText(PickText("将 %1 保存为文件…", "Save %1 as file…").arg(kSlotNames[slot]));
    save_[slot]->setEnabled(compare.Has(slot));
  }
  switch_->setText(PickText("切换 A/B", "Switch A/B"));
  switch_->setEnabled(compare.Has(0) && compare.Has(1));
  const int live = compare.LiveSlot();
  pane_->setVisible(live >= 0);
  if (live >= 0) pane_->setText(PickText("当前: %1", "Live: %1").arg(kSlotNames[live]));
}

void HistoryCommands::AfterReplay(bool changed) {
  if (changed) emit settingsChanged();
  ApplyTexts();
}

// Disabled entries do not stop their shortcuts from reaching here when the texts were
// last set before an edit: each command checks for itself.
void HistoryCommands::Undo() { AfterReplay(device_.Journal().Undo()); }
void HistoryCommands::Redo() { AfterReplay(device_.Journal().Redo()); }

void HistoryCommands::StoreAs(int slot) {
  device_.Compare().Store(slot);
  progress_.ShowInfoPopup(PickText("已存为 %1", "Stored as %1").arg(kSlotNames[slot]), kNoticeMs);
  ApplyTexts();
}

void HistoryCommands::SwitchSlots() {
  if (!device_.Compare().Switch()) {
    progress_.ShowInfoPopup(PickText("请先存入 A 和 B", "Store A and B first"), kNoticeMs);
    return;
  }
  AfterReplay(true);
}

void HistoryCommands::SaveSlot(int slot) {
  if (!device_.Compare().Has(slot)) return;
  const QString path = Dialogs().SaveFileName(window_, PickText("另存为", "Save As"), QString::fromLatin1(kSlotNames[slot]),
                                              QStringLiteral("mode"), QStringLiteral("Mode Files (*.mode)"));
  if (path.isEmpty()) return;
  std::string error;
  if (SaveSettingsFile(QFile::encodeName(path).toStdString(), device_.Compare().Settings(slot), &error) != 1)
    Dialogs().Message(window_, QString::fromUtf8(kCantWriteTitle.data(), qsizetype(kCantWriteTitle.size())),
                      QString::fromStdString(error), QMessageBox::Warning);
}

void HistoryCommands::DeviceRead() {
  const DeviceIdentity id = IdentitySnapshot();
  const QString identity = QString::fromStdString(id.ModelName() + '\n' + id.McuVersion() + '\n' + id.DspVersion());
  const bool differs = !identity_.isEmpty() && identity != identity_;
  identity_ = identity;
  EditJournal& journal = device_.Journal();
  if (!differs || (!journal.CanUndo() && !journal.CanRedo())) return;
  journal.Clear();
  device_.Compare().Clear();
  progress_.ShowInfoPopup(PickText("已连接另一台设备，撤销记录已清除", "Another device: the undo history was cleared"),
                          kNoticeMs);
  ApplyTexts();
}

}  // namespace dsptune
