#include "ui/SyncDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {

SyncDialog::SyncDialog(const QString& text, int timeoutMilliseconds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(PickText("同步过程", "Synchronize"));
  setCursor(Qt::WaitCursor);  // inherited by every child

  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(background);
  setAutoFillBackground(true);

  // A 0..0 range is Qt's marquee: the style moves a block along the bar on its own timer.
  m_marquee = new QProgressBar(this);
  m_marquee->setObjectName(QStringLiteral("progress1217"));
  m_marquee->setRange(0, 0);
  m_marquee->setTextVisible(false);

  m_text = new QLabel(text.isEmpty() ? PickText("当前正在与机器同步数据,请稍候......", "Please wait a moment……") : text,
                      this);
  m_text->setObjectName(QStringLiteral("text1218"));
  m_text->setAlignment(Qt::AlignCenter);
  m_text->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->setSpacing(14);
  layout->addWidget(m_marquee);
  layout->addWidget(m_text);
  setFixedSize(380, 120);

  m_timeout.setSingleShot(true);
  m_timeout.setInterval(qMax(0, timeoutMilliseconds));
  connect(&m_timeout, &QTimer::timeout, this, &SyncDialog::OnTimeout);
}

void SyncDialog::Finish() {
  m_timeout.stop();
  done(kClosed);
}

QString SyncDialog::Text() const { return m_text->text(); }

void SyncDialog::reject() {}

void SyncDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_started) return;  // re-showing a running dialog keeps its original deadline
  m_started = true;
  CentreOverOwner(this);
  m_timeout.start();
}

void SyncDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void SyncDialog::OnTimeout() {
  m_timeout.stop();
  m_timedOut = true;
  done(kTimedOut);
}

}  // namespace dsptune
