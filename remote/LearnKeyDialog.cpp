#include "remote/LearnKeyDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "remote/RemoteKeys.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kCloseId = 1, kCancelId = 3, kPromptId = 1007;

// A guarded pointer, so a window destroyed without unregistering is never reached.
QPointer<LearnKeyDialog>& RegisteredWindow() {
  static QPointer<LearnKeyDialog> window;
  return window;
}

}  // namespace

LearnKeyDialog::LearnKeyDialog(int key, QWidget* parent) : QDialog(parent), key_(key) {
  setModal(true);
  learning_ = new QLabel(this);
  QFont bold = learning_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  learning_->setFont(bold);
  instruction_ = new QLabel(this);
  instruction_->setWordWrap(true);

  prompt_ = new QLabel(this);
  SetControlId(prompt_, kPromptId);
  code_ = new QLineEdit(this);
  code_->setReadOnly(true);
  code_->setAlignment(Qt::AlignCenter);
  code_->setFixedWidth(80);
  status_ = new QLabel(this);
  QPalette blue = status_->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 200));
  status_->setPalette(blue);
  status_->setMinimumHeight(status_->fontMetrics().height());  // no jump when it fills

  cancel_ = new QPushButton(this);
  SetControlId(cancel_, kCancelId);
  close_ = new QPushButton(this);
  SetControlId(close_, kCloseId);
  close_->hide();
  connect(cancel_, &QPushButton::clicked, this, &LearnKeyDialog::CancelLearning);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);

  closeTimer_.setSingleShot(true);
  closeTimer_.setInterval(kAutoCloseMs);
  connect(&closeTimer_, &QTimer::timeout, this, &QDialog::accept);

  auto* column = new QVBoxLayout(this);
  column->addWidget(learning_);
  column->addWidget(instruction_);
  auto* codeRow = new QHBoxLayout;
  codeRow->addWidget(prompt_);
  codeRow->addWidget(code_);
  codeRow->addStretch();
  column->addLayout(codeRow);
  column->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);
  column->addLayout(buttons);
  setMinimumWidth(320);
  ApplyTexts();
}

void LearnKeyDialog::ApplyTexts() {
  setWindowTitle(PickText("学习中……", "Learning"));
  if (const RemoteKey* key = FindRemoteKey(key_)) learning_->setText(PickText(key->learningZh, key->learningEn));
  prompt_->setText(PickText("请您按下遥控器上的对应的按键", "Key code:"));
  cancel_->setText(PickText("放弃学习", "Cancel"));
  close_->setText(PickText("关闭", "Close"));
  if (codeReceived_) status_->setText(PickText("窗口将自动关闭", "Window will be closed!"));
  ShowInstruction();
  ApplyDialogTexts(this, kDialogNumber);
}

void LearnKeyDialog::ShowLearnedCode(int code) {
  codeReceived_ = true;
  code_->setText(QString::asprintf("%02X", unsigned(code) & 0xFFu));
  cancel_->hide();
  close_->show();
  close_->setDefault(true);
  status_->setText(PickText("窗口将自动关闭", "Window will be closed!"));
  ShowInstruction();
  closeTimer_.start();
}

void LearnKeyDialog::ShowInstruction() {
  instruction_->setText(codeReceived_ ? PickText("已学到此键的键码；学完所有按键后，按“应用参数”写入设备。",
                                                 "The key's code was learned. When all keys are learned, Apply writes "
                                                 "them to the device.")
                                      : PickText("请把遥控器对准设备的红外接收窗，按下要用作此功能的按键。",
                                                 "Point your remote at the device and press the key you want for this "
                                                 "function."));
}

void LearnKeyDialog::CancelLearning() {
  closeTimer_.stop();
  // The learn request consumed the reply signal and the device answers it only with a
  // key press, so the stop command would otherwise wait out the whole reply time-out.
  CurrentLink().replyEvent.Set();
  SendCommand({kCmdEndLearn});
  QDialog::reject();
}

void LearnKeyDialog::reject() { CancelLearning(); }

LearnKeyDialog* LearnKeyDialog::Registered() { return RegisteredWindow().data(); }

void LearnKeyDialog::Register(LearnKeyDialog* window) { RegisteredWindow() = window; }

void ForwardLearnedKey(int code) {
  if (LearnKeyDialog* window = LearnKeyDialog::Registered()) window->ShowLearnedCode(code);
}

}  // namespace dsptune
