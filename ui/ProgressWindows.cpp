#include "ui/ProgressWindows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/DialogService.h"
#include "ui/InfoPopup.h"
#include "ui/SyncDialog.h"

namespace dsptune {

void CentreOverOwner(QWidget* window) {
  QRect area;
  if (QWidget* owner = window->parentWidget()) {
    area = QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) window->move(area.center() - window->rect().center());
}

void ShowCentred(QWidget* window) {
  window->show();
  CentreOverOwner(window);
  window->raise();
  window->activateWindow();
}

ProgressWindows::ProgressWindows(QWidget* window, QObject* parent) : QObject(parent), m_window(window) {}

ProgressWindows::~ProgressWindows() {
  delete m_popup.data();
  // A RunSyncDialog further up the stack returns once control gets back to its loop.
  CloseSyncDialog();
}

void ProgressWindows::ShowInfoPopup(const QString& text, int milliseconds, const QWidget* keepClear) {
  if (!m_popup) m_popup = new InfoPopup(m_window);
  m_popup->ShowNotice(text, milliseconds);
  if (keepClear && keepClear->isVisible()) PlaceClearOf(m_popup, keepClear);
}

// Moves `window` next to `other` (above it, else below, else beside it) so that neither
// covers the other, within the screen where there is room.
void PlaceClearOf(QWidget* window, const QWidget* other) {
  constexpr int kGap = 8;
  const QRect avoid = other->frameGeometry();
  const QSize size = window->frameGeometry().size();
  QRect screen;
  if (QScreen* s = other->screen()) screen = s->availableGeometry();
  const int centredX = avoid.center().x() - size.width() / 2;
  const int centredY = avoid.center().y() - size.height() / 2;
  const QPoint candidates[] = {
      {centredX, avoid.top() - kGap - size.height()},
      {centredX, avoid.bottom() + kGap},
      {avoid.left() - kGap - size.width(), centredY},
      {avoid.right() + kGap, centredY},
  };
  for (const QPoint& place : candidates) {
    const QRect rect(place, size);
    if (!screen.isValid() || screen.contains(rect)) {
      window->move(place);
      return;
    }
  }
  window->move(candidates[0]);  // no room anywhere: above, partly off the screen
}

int ProgressWindows::RunSyncDialog(const QString& text) {
  if (m_sync) {
    if (m_sync->isVisible()) {
      m_sync->raise();
      m_sync->activateWindow();
    } else {
      m_sync->show();
    }
    return kSyncAlreadyRunning;
  }

  QPointer<ProgressWindows> self(this);
  QPointer<SyncDialog> dialog = new SyncDialog(text, m_syncTimeoutMs, m_window);
  m_sync = dialog;
  // Forgotten as soon as it ends, so that a request made before exec() has returned
  // starts a new dialog instead of re-showing the one that is going away.
  connect(dialog, &QDialog::finished, this, [this, raw = dialog.data()] {
    if (m_sync == raw) m_sync = nullptr;
  });

  dialog->exec();
  // Destroyed inside its own loop (its window went away) or hidden by someone: not a timeout.
  const bool timedOut = dialog && dialog->TimedOut();
  delete dialog.data();
  if (!self) return timedOut ? kSyncTimedOut : kSyncClosed;
  if (!timedOut) return kSyncClosed;

  Dialogs().Message(m_window, QStringLiteral("错误"), QStringLiteral("发生错误，与设备数据同步超时……"),
                    QMessageBox::Critical);
  if (self) emit syncTimedOut();
  return kSyncTimedOut;
}

void ProgressWindows::CloseSyncDialog() {
  if (SyncDialog* dialog = m_sync) {
    m_sync = nullptr;
    dialog->Finish();
  }
}

}  // namespace dsptune
