#pragma once
// The self-closing information popup (dialog 344): a short notice in large centred text
// with a close button. It deletes itself when its time is up or when the user closes it;
// ProgressWindows keeps at most one of them alive.
#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace dsptune {

class InfoPopup : public QDialog {
  Q_OBJECT
 public:
  // Takes the title and button text of the current language and centres itself over
  // `parent` (over the primary screen without one).
  explicit InfoPopup(QWidget* parent = nullptr);

  // Shows `text` and (re)starts the close timer with `milliseconds`; a popup already on
  // screen keeps its window and counts the new duration from this call. Non-positive
  // durations close it at the next turn of the event loop.
  void ShowNotice(const QString& text, int milliseconds);

  QString Text() const;
  QPushButton* CloseButton() const { return m_close; }
  // Milliseconds left before the popup closes itself; -1 when the timer is not running.
  int RemainingTime() const { return m_timer.remainingTime(); }
  // The duration the popup was last shown for, in milliseconds.
  int Duration() const { return m_timer.interval(); }

 private:

  QLabel* m_text = nullptr;       // control 1223
  QPushButton* m_close = nullptr;  // control 2
  QTimer m_timer;                  // timer 900
};

}  // namespace dsptune
