#pragma once
// The learning window (dialog 372): modal, shown while the device listens for one key
// of the user's remote. It waits without a time limit. When the device reports the code
// (message 1001, forwarded through ForwardLearnedKey) it shows the code, offers "Close"
// and closes itself two seconds later, long enough to read the code. "Cancel", Esc and the title bar's close button stop
// the learning on the device.
#include <QDialog>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dsptune {

class LearnKeyDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 372;
  // After a code arrived, the window closes itself once this has passed: time to read
  // the code and the closing notice.
  static constexpr int kAutoCloseMs = 2000;

  // `key` is the key number (1..25) whose learning text is shown.
  explicit LearnKeyDialog(int key, QWidget* parent = nullptr);

  int Key() const { return key_; }
  void ApplyTexts();

  // The device reported `code` for the key: shown as two upper-case hex digits, "Cancel"
  // gives way to "Close" and the closing countdown starts (again, for a later code).
  void ShowLearnedCode(int code);
  bool CodeReceived() const { return codeReceived_; }

  // Releases a synchronous send still waiting for a reply, tells the device to stop
  // learning (0x61 alone) and closes the window as cancelled.
  void CancelLearning();

  // The one learning window that learned codes are delivered to; null when none is open.
  static LearnKeyDialog* Registered();
  static void Register(LearnKeyDialog* window);

  QLabel& LearningText() const { return *learning_; }
  QLabel& Prompt() const { return *prompt_; }
  // What to do now, in either language: while waiting, press the key; once learned, the
  // code is stored.
  QLabel& Instruction() const { return *instruction_; }
  QLineEdit& CodeBox() const { return *code_; }
  QLabel& StatusLine() const { return *status_; }
  QPushButton& CancelButton() const { return *cancel_; }
  QPushButton& CloseButton() const { return *close_; }
  const QTimer& CloseTimer() const { return closeTimer_; }

  // Esc and the title bar's close button cancel the learning.
  void reject() override;

 private:
  void ShowInstruction();

  int key_;
  bool codeReceived_ = false;
  QLabel* learning_ = nullptr;
  QLabel* instruction_ = nullptr;
  QLabel* prompt_ = nullptr;   // control 1007
  QLineEdit* code_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* cancel_ = nullptr;  // control 3
  QPushButton* close_ = nullptr;   // control 1
  QTimer closeTimer_;
};

// Message 1001: hands a learned code to the registered learning window, if any. The
// remote code table has been updated by the receive path already.
void ForwardLearnedKey(int code);

}  // namespace dsptune
