#include "shell/QtNotificationBridge.h"

#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <climits>
#include <memory>

#include "model/DebugLog.h"

namespace dsptune {

QtNotificationBridge::QtNotificationBridge(QObject* parent) : QObject(parent) {}

void QtNotificationBridge::Post(int message, std::intptr_t wParam, std::intptr_t lParam) {
  QMetaObject::invokeMethod(this, [this, message, wParam, lParam] { Deliver(message, wParam, lParam); },
                            Qt::QueuedConnection);
}

void QtNotificationBridge::Send(int message, std::intptr_t wParam, std::intptr_t lParam) {
  if (QThread::currentThread() == thread()) {
    Deliver(message, wParam, lParam);
    return;
  }
  // Shared with the queued call, which may run after this function has given up.
  auto handled = std::make_shared<QSemaphore>(0);
  QMetaObject::invokeMethod(
      this,
      [this, message, wParam, lParam, handled] {
        Deliver(message, wParam, lParam);
        handled->release();
      },
      Qt::QueuedConnection);
  if (!handled->tryAcquire(1, static_cast<int>(std::clamp<long long>(m_sendWaitMs.load(), 0, INT_MAX)))) {
    DebugLog("Send: user interface busy, notice left queued\n");
  }
}

void QtNotificationBridge::ShowParameterError(const std::string& text) {
  const QString copy = QString::fromStdString(text);
  QMetaObject::invokeMethod(this, [this, copy] { emit parameterError(copy); }, Qt::QueuedConnection);
}

void QtNotificationBridge::Deliver(int message, std::intptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case kMsgRemoteLearn:
      emit remoteKeyLearned(static_cast<int>(wParam));
      break;
    case kMsgSyncDone:
      emit syncDone(static_cast<int>(wParam), static_cast<int>(lParam));
      break;
    case kMsgHostTimeout:
      emit hostTimeout();
      break;
    case kMsgHostBusy:
      emit hostBusy();
      break;
    case kMsgLinkClosed:
      emit linkClosed();
      break;
    default:
      DebugLog("Notification: unknown message " + std::to_string(message) + "\n");
      break;
  }
}

}  // namespace dsptune
