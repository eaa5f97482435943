#include "remote/RemoteWindow.h"

#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>
#include <vector>

#include "files/RemoteFile.h"
#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "remote/LearnKeyDialog.h"
#include "remote/RemoteKeys.h"
#include "remote/RemotePicture.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kApplyId = 1, kLoadId = 3, kSaveId = 4;
constexpr int kKeyColumns = 5;
const QString kRemoteFilter = QStringLiteral("Remote Data File(*.remo)");
const QString kFileErrorTitle = QStringLiteral("Can't write to file");

// The status poll would queue behind the learn request, whose reply only comes with a
// key press; it is switched off for one learning run and on again afterwards.
class PollingPause {
 public:
  PollingPause() { CurrentLink().pollingNotSuspended = false; }
  ~PollingPause() { CurrentLink().pollingNotSuspended = true; }
  PollingPause(const PollingPause&) = delete;
  PollingPause& operator=(const PollingPause&) = delete;
};

// Key numbers as runs: {16, ..., 25} reads "16–25", {1, 2, 3, 18} "1–3" and "18".
QString KeyRuns(const std::vector<int>& keys, const QString& separator) {
  QStringList runs;
  for (std::size_t i = 0; i < keys.size();) {
    std::size_t last = i;
    while (last + 1 < keys.size() && keys[last + 1] == keys[last] + 1) ++last;
    runs << (last == i ? QString::number(keys[i]) : QString::fromUtf8("%1–%2").arg(keys[i]).arg(keys[last]));
    i = last + 1;
  }
  return runs.join(separator);
}

}  // namespace

QString UnknownKeysQuestion(const std::vector<int>& keys) {
  const char* english = keys.size() == 1 ? "key %1 was not read from this device and will be replaced"
                                          : "keys %1 were not read from this device and will be replaced";
  return PickText("按键%1的键码未从本机读取，将被替换，是否继续？", english).arg(KeyRuns(keys, PickText("、", ", ")));
}

RemoteWindow::RemoteWindow(ProgressWindows& progress, QWidget* parent) : QDialog(parent), progress_(progress) {
  setModal(false);
  auto* keyGrid = new QGridLayout;
  keyGrid->setSpacing(8);
  for (const RemoteKey& key : kRemoteKeys) {
    auto* button = new QPushButton(this);
    SetControlId(button, KeyButtonControlId(key.number));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    button->setMinimumSize(108, 48);
    button->setMaximumHeight(72);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const int index = key.number - 1;
    keyGrid->addWidget(button, index / kKeyColumns, index % kKeyColumns);
    connect(button, &QPushButton::clicked, this, [this, number = key.number] { LearnKey(number); });
    keys_ << button;
  }

  load_ = new QPushButton(this);
  SetControlId(load_, kLoadId);
  save_ = new QPushButton(this);
  SetControlId(save_, kSaveId);
  apply_ = new QPushButton(this);
  SetControlId(apply_, kApplyId);
  for (QPushButton* command : {load_, save_, apply_}) {
    command->setAutoDefault(false);
    command->setMinimumSize(96, 32);
  }
  connect(load_, &QPushButton::clicked, this, &RemoteWindow::LoadFile);
  connect(save_, &QPushButton::clicked, this, &RemoteWindow::SaveFile);
  connect(apply_, &QPushButton::clicked, this, &RemoteWindow::Apply);

  picture_ = new RemotePicture(this);

  auto* commands = new QHBoxLayout;
  commands->addStretch();
  commands->addWidget(load_);
  commands->addWidget(save_);
  commands->addWidget(apply_);
  auto* left = new QVBoxLayout;
  left->addLayout(keyGrid, 1);
  left->addSpacing(12);
  left->addLayout(commands);
  auto* row = new QHBoxLayout(this);
  row->addLayout(left, 1);
  row->addWidget(picture_);
  ApplyTexts();
}

void RemoteWindow::ApplyTexts() {
  setWindowTitle(PickText("遥控学习", "Learn remoter control "));
  for (const RemoteKey& key : kRemoteKeys) keys_[key.number - 1]->setText(PickText(key.captionZh, key.captionEn));
  load_->setText(PickText("载入参数", "Load file"));
  save_->setText(PickText("保存参数", "Save file"));
  apply_->setText(PickText("应用参数", "Apply"));
  ApplyDialogTexts(this, kDialogNumber);
  // After the table's captions: the tips name the caption the button shows.
  for (const RemoteKey& key : kRemoteKeys) {
    QPushButton* button = keys_[key.number - 1];
    button->setToolTip(PickText(QString::fromUtf8("学习“%1”：点击后，对准设备按下您遥控器上的对应按键"),
                                QStringLiteral("Learn \"%1\": click, then press the matching key of your remote at the device"))
                           .arg(button->text()));
  }
  load_->setToolTip(PickText("从遥控数据文件（.remo）载入键码", "Load the key codes from a remote data file (.remo)"));
  save_->setToolTip(PickText("把键码保存为遥控数据文件（.remo）", "Save the key codes as a remote data file (.remo)"));
  apply_->setToolTip(PickText("把全部键码写入设备", "Write all key codes to the device"));
  picture_->setToolTip(PickText("各功能键在常见遥控器上的位置", "Where each function sits on a typical remote"));
  picture_->update();
}

void RemoteWindow::Open() {
  ApplyTexts();
  ShowCentred(this);
}

void RemoteWindow::changeEvent(QEvent* event) {
  // The main window announces a language switch this way, since it cannot name this class.
  if (event->type() == QEvent::LanguageChange) ApplyTexts();
  QDialog::changeEvent(event);
}

void RemoteWindow::LearnKey(int key) {
  if (!FindRemoteKey(key)) return;
  PollingPause pause;
  const std::uint8_t learn[] = {kCmdLearnKey, std::uint8_t(key)};
  SendCommand(learn);

  QPointer<LearnKeyDialog> window = new LearnKeyDialog(key, this);
  LearnKeyDialog::Register(window);
  window->exec();
  // This window may have been destroyed meanwhile (a new device replaces the modeless
  // windows), taking the learning window with it; the guards keep that harmless.
  if (LearnKeyDialog::Registered() == window.data()) LearnKeyDialog::Register(nullptr);
  delete window.data();
}

void RemoteWindow::Apply() {
  if (!RequireLink()) return;  // "saved" must mean the device got the codes
  if (!AcceptUnknownKeys(UnknownRemoteKeys())) return;
  SendRemoteTable();
  MarkRemoteTableKnown();
  Notice(PickText("遥控器键码保存成功!", "Save successed !"));
}

void RemoteWindow::LoadFile() {
  if (!RequireLink()) return;
  const QString path = Dialogs().OpenFileName(this, PickText("打开", "Open"), kRemoteFilter);
  if (!path.isEmpty()) OpenFile(path);
}

void RemoteWindow::OpenFile(const QString& path) {
  if (!RequireLink()) return;
  const std::filesystem::path file = QFile::encodeName(path).toStdString();
  // A short file leaves the keys past its end as the table holds them, and the whole
  // table is sent. A file that cannot be sized is left to the load to report.
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(WithRemoteExtension(file), sizeError);
  if (!sizeError && size < std::uintmax_t(kRemoteFileSize) && !AcceptUnknownKeys(UnknownRemoteKeys(int(size))))
    return;
  std::string error;
  if (LoadRemoteFile(file, &error) == 1) {
    MarkRemoteTableKnown();
    Notice(QString::fromUtf8("载入遥控文件成功"));
    return;
  }
  // A failed read is named as one, in the interface language; the text below it carries
  // the path and the system's reason.
  Dialogs().Message(this, PickText("无法读取文件", "Can't read file"), QString::fromStdString(error), QMessageBox::Warning);
  Notice(QString::fromUtf8("载入遥控文件失败"));
}

void RemoteWindow::SaveFile() {
  if (!RequireLink()) return;
  const QString path =
      Dialogs().SaveFileName(this, PickText("另存为", "Save As"), QString(), QStringLiteral("remo"), kRemoteFilter);
  if (path.isEmpty()) return;
  std::string error;
  if (SaveRemoteFile(QFile::encodeName(path).toStdString(), &error) == 1) {
    Notice(QString::fromUtf8("保存遥控文件成功"));
    return;
  }
  Dialogs().Message(this, kFileErrorTitle, QString::fromStdString(error), QMessageBox::Warning);
  Notice(QString::fromUtf8("保存遥控文件失败"));
}

bool RemoteWindow::AcceptUnknownKeys(const std::vector<int>& keys) {
  if (keys.empty()) return true;
  return Dialogs().Message(this, PickText("提示", "Notice"), UnknownKeysQuestion(keys), QMessageBox::Question,
                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool RemoteWindow::RequireLink() {
  if (CurrentLink().connected) return true;
  Notice(QString::fromUtf8("请先连接机器再进行此操作!"));
  return false;
}

void RemoteWindow::Notice(const QString& text) { progress_.ShowInfoPopup(text, kNoticeMs); }

}  // namespace dsptune
