#pragma once
// Turns the link's notifications (link/Notifications.h) into Qt signals emitted on the
// thread this object lives in, the user-interface thread. Any thread may call Post, Send
// and ShowParameterError; no widget is touched outside the UI thread.
//
// Send (the learned remote key, message 1001) waits until the UI thread has handled the
// signal, but only for a bounded time: the UI thread may itself be blocked waiting for
// the calling link thread (joining the receive thread while closing a link), and a
// blocking queued call would then deadlock both. After the bound the sender goes on and
// the notice is still handled later, in order with the posts queued after it.
//
// The bridge must outlive its registration as CurrentLink().sink; calls that are still
// queued when it is destroyed are dropped.
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "link/Notifications.h"

namespace dsptune {

class QtNotificationBridge : public QObject, public NotificationSink {
  Q_OBJECT
 public:
  static constexpr std::chrono::milliseconds kDefaultSendWait{2000};

  explicit QtNotificationBridge(QObject* parent = nullptr);

  void Post(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void Send(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void ShowParameterError(const std::string& text) override;

  // How long Send waits for the UI thread before giving up (default 2000 ms; negative
  // values count as 0).
  void SetSendWait(std::chrono::milliseconds wait) { m_sendWaitMs.store(wait.count()); }

 signals:
  // 1002: wParam 0 after a read job, 1 after a write job; outcome as SyncOutcome (0 done)
  void syncDone(int wParam, int outcome);
  void hostTimeout();              // 1003
  void hostBusy();                 // 1007
  void linkClosed();               // 1008
  void remoteKeyLearned(int code); // 1001
  void parameterError(const QString& text);

 private:
  // Emits the signal of `message`; UI thread only.
  void Deliver(int message, std::intptr_t wParam, std::intptr_t lParam);

  std::atomic<long long> m_sendWaitMs{kDefaultSendWait.count()};
};

}  // namespace dsptune
