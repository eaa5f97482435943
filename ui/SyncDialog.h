#pragma once
// The synchronisation dialog (dialog 347): a modal "please wait" window with a marquee
// bar that blocks the interface while the parameter set moves between the application
// and the device. The user cannot dismiss it (Enter, Escape and the close box do
// nothing); it ends when the shell closes it or when its timeout runs out.
#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace dsptune {

class SyncDialog : public QDialog {
  Q_OBJECT
 public:
  // QDialog result codes of the two ways it ends.
  enum Result { kTimedOut = 0, kClosed = 1 };

  // `text` empty means the default wait text of the current language. The timeout
  // (milliseconds) starts when the dialog is first shown.
  SyncDialog(const QString& text, int timeoutMilliseconds, QWidget* parent = nullptr);

  // Stops the timeout and ends the dialog with kClosed.
  void Finish();

  QString Text() const;
  QProgressBar* Marquee() const { return m_marquee; }
  bool TimeoutRunning() const { return m_timeout.isActive(); }
  // True once the timeout has ended it (and only then).
  bool TimedOut() const { return m_timedOut; }

  void reject() override;  // Escape and the close box: nothing happens

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnTimeout();

  QProgressBar* m_marquee = nullptr;  // control 1217
  QLabel* m_text = nullptr;           // control 1218
  QTimer m_timeout;                   // timer 110
  bool m_started = false;
  bool m_timedOut = false;
};

}  // namespace dsptune
