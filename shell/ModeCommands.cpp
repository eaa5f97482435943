#include "shell/ModeCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <chrono>
#include <utility>

#include "files/ModeFile.h"
#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/LinkState.h"
#include "link/ModeSlots.h"
#include "model/DeviceModels.h"
#include "model/EditJournal.h"
#include "model/SettingsDiff.h"
#include "ui/AppSettings.h"
#include "ui/DialogService.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const QString kModeFilter = QStringLiteral("Mode Files (*.mode)");
constexpr std::uint8_t kResetKey = 0xAA;

// "一".."四" in Chinese, "1".."4" in English.
QString ModeNumeral(int mode) {
  static const char* const kChinese[kModeSlots] = {"一", "二", "三", "四"};
  const int m = ClampModeSlot(mode);
  return PickText(QString::fromUtf8(kChinese[m]), QString::number(m + 1));
}

std::string ModeName(int mode) { return "M" + std::to_string(ClampModeSlot(mode) + 1); }

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

ModeCommands::ModeCommands(AppSettings& settings, ProgressWindows& progress, QWidget* window, DeviceSession* session)
    : session_(session ? *session : CurrentSession()), settings_(settings), progress_(progress), window_(window) {}

void ModeCommands::LoadDeviceMode(int mode) {
  LinkState& link = session_.Link();
  if (!link.connected) return;
  if (link.changedFlag) {
    const QString question = PickText("参数已更改，确定要直接载入模式", "Setting changed ! Are you sure load mode") +
                             ModeNumeral(mode) + QLatin1Char('?');
    if (Dialogs().Message(window_, PickText("信息", "Information"), question, QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      return;
  }
  NoteReload({"载入模式 " + ModeName(mode), "Load mode " + ModeName(mode)});
  RequestModeReload(kCmdLoadMode, mode, std::chrono::milliseconds(kLoadSettleMs));
  progress_.RunSyncDialog();
}

void ModeCommands::SaveDeviceMode(int mode) {
  if (!session_.Link().connected) return;
  const QString question =
      PickText("确定要保存至机器模式", "Save to machine mode ") + ModeNumeral(mode) + QLatin1Char('?');
  if (Dialogs().Message(window_, PickText("信息", "Information"), question, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  SaveIntoDeviceMode(mode);
  // The device needs a moment to store the mode; the window stays live meanwhile.
  const QString notice = PickText("正在储存模式%1,请稍等", "Saving Mode %1 ……").arg(ModeNumeral(mode));
  QTimer::singleShot(kAfterStoreMs, this, [this, notice] { progress_.ShowInfoPopup(notice, kSavingNoticeMs); });
}

void ModeCommands::RestoreFactoryMode(int mode) {
  if (!session_.Link().connected) return;
  NoteReload({"恢复出厂模式 " + ModeName(mode), "Factory mode " + ModeName(mode)});
  RequestModeReload(kCmdFactoryMode, mode, std::chrono::milliseconds(kLoadSettleMs));
  progress_.RunSyncDialog();
}

void ModeCommands::ReportRefusedFile(const QString& path, const std::string& error) {
  // A file that cannot be opened gets its own warning before the version notice.
  if (!error.empty())
    Dialogs().Message(window_, FromView(kCantWriteTitle), QString::fromStdString(error), QMessageBox::Warning);
  // The fixed notice alone would call any file a mode file of another version: the
  // file's name and what is really wrong with it follow on the next line.
  const BilingualText reason = ModeFileProblemText(CheckModeFile(QFile::encodeName(path).toStdString()),
                                                   QFileInfo(path).fileName().toStdString());
  QString text = FromView(kModeVersionText);
  if (!reason[kTextEnglish].empty())
    text += QLatin1Char('\n') + PickText(QString::fromStdString(reason[kTextChinese]),
                                         QString::fromStdString(reason[kTextEnglish]));
  Dialogs().Message(window_, FromView(kModeVersionTitle), text, QMessageBox::Information);
}

bool ModeCommands::WriteFileToDevice(const QString& path) {
  const ParameterImageBytes before = WorkingSettings(session_.Model());
  std::string error;
  if (LoadModeFileToDevice(QFile::encodeName(path).toStdString(), &error) != 1) {
    ReportRefusedFile(path, error);
    return false;
  }
  RecordFileLoad(before, path);
  NoteCurrentFile(path);
  progress_.RunSyncDialog();
  return true;
}

void ModeCommands::LoadModeFile() {
  const QString path = Dialogs().OpenFileName(window_, PickText("打开", "Open"), kModeFilter);
  if (!path.isEmpty()) OpenModeFile(path);
}

void ModeCommands::OpenModeFile(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    Dialogs().Message(window_, QString::fromUtf8("文件打开错误"), QString::fromUtf8("文件不存在！"),
                      QMessageBox::Information);
    return;
  }
  if (!session_.Link().connected) {
    if (LoadFileOffline(path)) AddToRecentFiles(path);
    return;
  }
  // Taken from the name before the file is read, since the end of the write job (inside
  // the synchronisation dialog) consumes it; a refused file leaves none behind.
  pendingSlot_ = dsptune::PendingModeSlot(QFileInfo(path).fileName().toStdString());
  if (!WriteFileToDevice(path)) {
    pendingSlot_ = -1;
    return;
  }
  AddToRecentFiles(path);
}

bool ModeCommands::LoadFileOffline(const QString& path) {
  const ParameterImageBytes before = WorkingSettings(session_.Model());
  std::string error;
  if (dsptune::LoadModeFile(QFile::encodeName(path).toStdString(), &error) != 1) {
    ReportRefusedFile(path, error);
    return false;
  }
  RecordFileLoad(before, path);
  // No device took it: the next connect compares before anything is replaced.
  MarkUnsentEdits();
  NoteCurrentFile(path);
  emit settingsReplaced();
  return true;
}

void ModeCommands::RecordFileLoad(const ParameterImageBytes& before, const QString& path) {
  const std::string name = QFileInfo(path).fileName().toStdString();
  session_.Data().Journal().RecordSettingsChange(before, WorkingSettings(session_.Model()), {"载入文件 " + name, "Load file " + name});
}

void ModeCommands::NoteReload(const BilingualText& label) {
  reloadAsked_ = true;
  beforeReload_ = WorkingSettings(session_.Model());
  reloadLabel_ = label;
}

void ModeCommands::RecordReloadStep() {
  if (!std::exchange(reloadAsked_, false)) return;
  session_.Data().Journal().RecordSettingsChange(beforeReload_, WorkingSettings(session_.Model()), reloadLabel_);
}

void ModeCommands::NoteCurrentFile(const QString& path) {
  currentFile_ = path;
  fileSettings_ = WorkingSettings(session_.Model());
}

bool ModeCommands::CurrentFileModified() const {
  return !currentFile_.isEmpty() && WorkingSettings(session_.Model()) != fileSettings_;
}

void ModeCommands::AddToRecentFiles(const QString& path) {
  settings_.AddRecentFile(path);
  emit recentFilesChanged();
}

bool ModeCommands::SaveDeviceAndFile(const QString& path) {
  if (session_.Link().connected) SaveIntoDeviceMode(session_.Link().currentMode);
  std::string error;
  if (dsptune::SaveModeFile(QFile::encodeName(path).toStdString(), &error) == 1) {
    NoteCurrentFile(path);
    return true;
  }
  Dialogs().Message(window_, FromView(kCantWriteTitle), QString::fromStdString(error), QMessageBox::Warning);
  return false;
}

QString ModeCommands::SuggestedFileName() const {
  if (!currentFile_.isEmpty()) return QFileInfo(currentFile_).completeBaseName();
  const DeviceIdentity identity = IdentitySnapshot();
  if (!IdentityAccepted(identity)) return QStringLiteral("preset");
  // A model name is the device's text: nothing in it may name a folder.
  QString model = QString::fromStdString(identity.ModelName()).trimmed();
  static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
  model.replace(unsafe, QStringLiteral("-"));
  return model + QLatin1Char(' ') + QString::fromStdString(ModeName(session_.Link().currentMode));
}

void ModeCommands::SaveModeFile() {
  const QString path = Dialogs().SaveFileName(window_, PickText("另存为", "Save As"), SuggestedFileName(),
                                              QStringLiteral("mode"), kModeFilter);
  if (path.isEmpty() || !SaveDeviceAndFile(path)) return;
  AddToRecentFiles(path);
}

bool ModeCommands::OpenRecentFile(const QString& path, bool* written) {
  if (written) *written = false;
  const QFileInfo file(path);
  if (!file.exists()) {
    Dialogs().Message(window_, QString::fromUtf8("文件打开错误"), QString::fromUtf8("文件不存在！"),
                      QMessageBox::Information);
    settings_.RemoveRecentFile(path);
    emit recentFilesChanged();
    return false;
  }
  if (file.suffix().compare(QLatin1String("mode"), Qt::CaseInsensitive) != 0) {
    settings_.RemoveRecentFile(path);
    emit recentFilesChanged();
    return false;
  }
  if (session_.Link().connected) {
    const bool taken = WriteFileToDevice(path);
    if (written) *written = taken;
    return true;
  }
  // As with a device: a file that exists stays listed even when its content is refused.
  LoadFileOffline(path);
  return true;
}

bool ModeCommands::ConfirmClose() {
  // Edits no device holds are lost on closing unless a file holds them.
  const bool unsaved = HasUnsentEdits() && (currentFile_.isEmpty() || CurrentFileModified());
  if (!session_.Link().changedFlag && !unsaved) return true;
  const auto answer = Dialogs().Message(
      window_, PickText("保存?", "Save?"),
      PickText("参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
               "parameter value is changed, do you want save it ?"),
      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer != QMessageBox::Yes) return true;
  const QString path = Dialogs().SaveFileName(window_, PickText("另存为", "Save As"), QStringLiteral("preset"),
                                              QStringLiteral("mode"), kModeFilter);
  if (!path.isEmpty()) SaveDeviceAndFile(path);
  return true;
}

bool ModeCommands::MachineReset() {
  if (!session_.Link().connected) return false;
  const QString question = PickText("您确定要将机器复位吗? \n机器复位后请手动重启机器.", "Are you sure reset machine? ");
  // A reset cannot be undone: Enter, or a hasty click on the default, answers No.
  if (Dialogs().Message(window_, QString::fromUtf8("提示"), question, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return false;
  SendCommand({kCmdResetMachine, kResetKey});
  settings_.ResetOptionRecord();
  progress_.ShowInfoPopup(PickText("请手动重启……", "Please restart……"), kRestartNoticeMs);
  return true;
}

void ModeCommands::ApplyPendingModeSlot() {
  if (pendingSlot_ < 0) return;
  const int slot = std::exchange(pendingSlot_, -1);
  SelectAndStoreMode(slot);
}

}  // namespace dsptune
