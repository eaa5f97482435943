#include "shell/TrayNotice.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "ui/ProgressWindows.h"

namespace dsptune {

TrayNotice::TrayNotice(ProgressWindows* fallback, QObject* parent)
    : QObject(parent), m_fallback(fallback), m_trayAvailable([] {
        return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
      }) {
  m_removeTimer.setSingleShot(true);
  connect(&m_removeTimer, &QTimer::timeout, this, &TrayNotice::Remove);
}

TrayNotice::~TrayNotice() { Remove(); }

void TrayNotice::Show(const QString& title, const QString& text, int milliseconds) {
  if (!m_trayAvailable || !m_trayAvailable()) {
    if (m_fallback) m_fallback->ShowInfoPopup(text, milliseconds);
    return;
  }
  if (!m_icon) {
    m_icon = new QSystemTrayIcon(ApplicationIcon(), this);
    // Click, double click, right click and middle click all end the notice.
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayNotice::Remove);
  }
  m_icon->show();
  m_icon->showMessage(title, text, QSystemTrayIcon::Information, qMax(0, milliseconds));
  m_removeTimer.start(qMax(0, milliseconds));
}

void TrayNotice::Remove() {
  m_removeTimer.stop();
  if (!m_icon) return;
  QSystemTrayIcon* icon = m_icon;
  m_icon = nullptr;
  icon->hide();
  // May be running inside the icon's own activated() signal.
  icon->deleteLater();
}

bool TrayNotice::IconShown() const { return m_icon && m_icon->isVisible(); }

QIcon TrayNotice::ApplicationIcon() {
  const QIcon own = QGuiApplication::windowIcon();
  if (!own.isNull()) return own;
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(30, 100, 200));
  painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(20);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("DSP"));
  painter.end();
  return QIcon(pixmap);
}

}  // namespace dsptune
